#pragma once
// CRhinoApp / RhinoApp(): the host application: documents, the command area, the
// status bar, views, settings, plug-ins, commands, idle processing and the profile.
//
// RhinoApp() lives for the whole process (it is never destroyed, so static plug-in,
// command and watcher objects may unregister from it at any time during exit).
// Thread-safety: main thread only, except Print (which any thread may call: output is
// serialised) — the host's command area accepts text from any thread.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/window.h"
#include "sdk/geometry/on_string.h"
#include "sdk/geometry/on_uuid.h"
#include "sdk/app/rhino_app_settings.h"
#include "sdk/app/rhino_command.h"
#include "sdk/app/rhino_plug_in.h"
#include "sdk/app/rhino_profile_context.h"

class CRhinoDoc;
class CRhinoView;
class CRhinoEventWatcher;
class CRhinoEventWatcherEx;
class CRhinoIsIdle;
class CRhinoDisplayConduit;

// One run of the status-bar progress meter, kept for inspection.
struct RhinoProgressMeterRun {
    int lower = 0;
    int upper = 0;
    ON_wString label;
    bool embedLabel = false;
    bool showPercent = false;
    std::vector<int> positions;  // every position set, in order
    bool ended = false;
};

class CRhinoApp {
public:
    CRhinoApp(const CRhinoApp&) = delete;
    CRhinoApp& operator=(const CRhinoApp&) = delete;

    // --- documents ---

    // Reads path into doc (a detached, empty document); on failure returns false with
    // a message. Writers write doc (all objects, or the selected ones only).
    using DocumentReader = std::function<bool(CRhinoDoc& doc, const ON_wString& path, ON_wString& error)>;
    using DocumentWriter =
        std::function<bool(const CRhinoDoc& doc, const ON_wString& path, bool selectedOnly, ON_wString& error)>;
    // Registers the reader / writer for a file extension (without the dot, ASCII case
    // folded), replacing an earlier one.
    void SetDocumentReader(const ON_wString& extension, DocumentReader reader);
    void SetDocumentWriter(const ON_wString& extension, DocumentWriter writer);

    CRhinoDoc* ActiveDoc() const { return activeDoc_.get(); }
    // Closes the active document (if any) and makes a new empty one with a "Default"
    // layer and the four standard views. Events: OnCloseDocument(old) and conduit
    // notification 2 for its views; OnNewDocument(new), OnActiveDocumentChanged(new),
    // OnCreateView for each view, OnSetActiveView.
    CRhinoDoc* NewDocument();
    // Opens a file. The file is read first into a detached document; when that fails
    // nothing changes and the reason is returned (and printed). Then, without merge:
    // the active document closes (as in NewDocument) and the read document becomes
    // active: OnNewDocument, OnActiveDocumentChanged, OnBeginOpenDocument(merge false),
    // OnCreateView per view (the standard views when the file has none), OnEndOpenDocument,
    // OnSetActiveView. With merge (import into the active document): OnBeginOpenDocument
    // (merge true), then the file's layers, materials, texture mappings, definitions
    // and objects are added to the active document with their usual events (indices
    // remapped, ids kept unless taken), then OnEndOpenDocument(merge true).
    bool OpenDocument(const ON_wString& path, bool merge = false, ON_wString* error = nullptr);
    // Reads a file into doc (a detached, empty document) with the registered reader and
    // raises no event: for a caller that compares a file with the open document. False
    // with the reason in error (nothing printed) when no reader handles the extension
    // or the file cannot be read; doc may then hold part of the file.
    bool ReadDocument(const ON_wString& path, CRhinoDoc& doc, ON_wString& error) const;
    // Writes the document. Events: OnBeginSaveDocument(path, selectedOnly); then, when
    // the write succeeded, OnEndSaveDocument; a full save also renames the document
    // to path. Fails (events still raised for the begin) when no writer handles the
    // extension or the write fails.
    bool SaveDocument(CRhinoDoc& doc, const ON_wString& path, bool selectedOnly = false, ON_wString* error = nullptr);
    // Writes the active document to the auto-save file (when auto-save is enabled):
    // begin/end save events with that file name; the document keeps its name.
    bool AutoSave(ON_wString* error = nullptr);
    // Closes the active document: OnCloseDocument, conduit notification 2 per view,
    // then the document is destroyed. No active document afterwards.
    void CloseDocument();
    // Raises OnCloseRhino, closes the active document, saves plug-in profiles and
    // unloads plug-ins.
    void CloseRhino();
    // Raises OnInitRhino (the host program calls it once plug-ins are loaded).
    void InitRhino();

    // The active document's active view; null when none.
    CRhinoView* ActiveView() const;
    // Makes view (of the active document) active; see CRhinoDoc::SetActiveView.
    bool SetActiveView(CRhinoView* view);

    // --- command area and status bar ---

    // Appends formatted text (ON_wString::Format rules) to the command area.
    void Print(const char16_t* format, ...);
    // Appends text as it is (no formatting).
    void PrintText(const ON_wString& text);
    // Everything printed so far.
    ON_wString CommandHistoryWindowText() const;
    void ClearCommandHistoryWindow();
    // Also passes every printed text to sink (e.g. to echo it); null removes it.
    void SetPrintSink(std::function<void(const ON_wString&)> sink);

    void SetStatusBarMessagePane(const ON_wString& text) { statusPane_ = text; }
    const ON_wString& StatusBarMessagePane() const { return statusPane_; }

    // Progress meter: Start returns 1 (0 when lower > upper, nothing started); Pos
    // returns the position now shown (absolute, or relative to the current one),
    // clamped to the limits, or 0 when no meter runs. End stops it.
    int StatusBarProgressMeterStart(int lower, int upper, const char16_t* label, bool embedLabel, bool showPercent);
    int StatusBarProgressMeterPos(int position, bool absolute = true);
    void StatusBarProgressMeterEnd();
    bool StatusBarProgressMeterRunning() const { return meterRunning_; }
    // Also passes every step of the meter to sink, on the thread that steps it: the run
    // as it now stands (ended set after End) and the position now shown. For drawing
    // the meter while it runs; null removes it.
    void SetProgressSink(std::function<void(const RhinoProgressMeterRun&, int position)> sink) {
        progressSink_ = std::move(sink);
    }
    const std::vector<RhinoProgressMeterRun>& ProgressMeterHistory() const { return meters_; }
    void ClearProgressMeterHistory() { meters_.clear(); }

    // --- application ---

    // The main window's handle: 0, the host program shows no window of its own.
    vantro::platform::WindowHandle MainWnd() const { return mainWnd_; }

    CRhinoAppSettings& AppSettings() { return settings_; }
    const CRhinoAppSettings& AppSettings() const { return settings_; }

    int ExeVersion() const { return exeVersion_; }
    int ExeServiceRelease() const { return exeServiceRelease_; }

    // The renderer whose mapping references objects use by default.
    ON_UUID GetDefaultRenderApp() const { return defaultRenderApp_; }

    // Registry path (under either hive) of the host's plug-in registrations;
    // versioned adds the host version folder.
    ON_wString GetRhinoPlugInsRegistryPath(bool versioned) const;

    // --- plug-ins ---

    // Loads the plug-in object(s) constructed since the last call (by loading the
    // module fileName): records, LoadProfile, OnLoadPlugIn. Returns OnLoadPlugIn's
    // result (1 loaded, 0 failed with a printed error, -1 refused silently), or 0 when
    // no plug-in object is pending. Commands of a plug-in that did not load are
    // removed.
    int LoadPlugIn(const ON_wString& fileName, RhinoModuleHandle module);
    // Call before loading a plug-in's module: commands constructed from then until
    // LoadPlugIn belong to that plug-in (commands constructed at any other time are
    // the host program's own).
    void BeginPlugInModuleLoad() { loadingModule_ = true; }
    // Ends a module load that will not reach LoadPlugIn (the module could not be
    // opened, or the host refuses it): the plug-in objects and commands it constructed
    // are forgotten and its commands are not run by name.
    void CancelPlugInModuleLoad();
    // SaveProfile and OnUnloadPlugIn for every loaded plug-in, latest first.
    void UnloadPlugIns();
    // Adds (or updates) a record for a plug-in that is registered but not loaded.
    CRhinoPlugInRecord* AddPlugInRecord(const ON_UUID& id, const ON_wString& name, const ON_wString& fileName);
    CRhinoPlugInRecord* PlugInRecord(const ON_UUID& id);
    // Menus inserted by plug-ins, for the host program's menu bar.
    std::vector<std::pair<CRhinoPlugIn*, void*>> PlugInMenus() const;
    // The profile section and context the host gives a plug-in.
    ON_wString PlugInProfileSection(const CRhinoPlugIn& plugIn) const;
    CRhinoProfileContext& ProfileContext() { return profile_; }

    // --- commands ---

    // The command with that English or local name (ASCII case folded); null.
    CRhinoCommand* FindCommand(const ON_wString& name) const;
    std::vector<CRhinoCommand*> Commands() const { return commands_; }
    // Runs a macro: whitespace-separated tokens (double quotes group), the first
    // naming a command and the following ones answering its questions; tokens left
    // over start the next command. Each command: OnBeginCommand, RunCommand,
    // OnEndCommand, then an idle notification. Unknown command names print a line and
    // are skipped. Returns the last command's result (unknown_command when none ran).
    CRhinoCommand::result RunScript(const ON_wString& script, bool echo = false);
    // Supplies further answers when a script runs out (an interactive prompt); the
    // callback gets the prompt and returns false at end of input. Null removes it.
    void SetCommandInput(std::function<bool(const ON_wString& prompt, ON_wString& line)> input);

    // --- idle ---

    // Sends an idle notification to the enabled idle watchers.
    void OnIdle();

    // --- internal registration (base-class constructors and destructors) ---
    void registerEventWatcher(CRhinoEventWatcher* watcher);
    void unregisterEventWatcher(CRhinoEventWatcher* watcher);
    const std::vector<CRhinoEventWatcher*>& eventWatchers() const { return watchers_; }
    void registerEventWatcherEx(CRhinoEventWatcherEx* watcher);
    void unregisterEventWatcherEx(CRhinoEventWatcherEx* watcher);
    void registerConduit(CRhinoDisplayConduit* conduit);
    void unregisterConduit(CRhinoDisplayConduit* conduit);
    const std::vector<CRhinoDisplayConduit*>& conduits() const { return conduits_; }
    void registerCommand(CRhinoCommand* command);
    void unregisterCommand(CRhinoCommand* command);
    void registerPlugInObject(CRhinoPlugIn* plugIn);
    void unregisterPlugInObject(CRhinoPlugIn* plugIn);
    // Raises an event on every registered, enabled watcher (a snapshot is taken, and a
    // watcher unregistered meanwhile is skipped).
    void raise(const std::function<void(CRhinoEventWatcher&)>& call);
    // The next answer for a running command's question; false at end of input.
    bool nextCommandToken(const ON_wString& prompt, ON_wString& token);

private:
    friend CRhinoApp& RhinoApp();
    CRhinoApp();
    void adoptDocument(std::unique_ptr<CRhinoDoc> doc);
    bool mergeDocument(CRhinoDoc& target, CRhinoDoc& source);
    const DocumentReader* readerFor(const ON_wString& path) const;
    const DocumentWriter* writerFor(const ON_wString& path) const;
    void runCommand(CRhinoCommand& command);

    std::map<ON_wString, DocumentReader> readers_;
    std::map<ON_wString, DocumentWriter> writers_;
    std::unique_ptr<CRhinoDoc> activeDoc_;

    mutable std::mutex printMutex_;  // guards history_ and printSink_
    ON_wString history_;
    std::function<void(const ON_wString&)> printSink_;

    ON_wString statusPane_;
    bool meterRunning_ = false;
    int meterPos_ = 0;
    std::vector<RhinoProgressMeterRun> meters_;
    std::function<void(const RhinoProgressMeterRun&, int)> progressSink_;

    vantro::platform::WindowHandle mainWnd_ = 0;
    CRhinoAppSettings settings_;
    int exeVersion_ = 6;
    int exeServiceRelease_ = 9;
    ON_UUID defaultRenderApp_;
    CRhinoProfileContext profile_;

    std::vector<CRhinoEventWatcher*> watchers_;
    std::vector<CRhinoEventWatcherEx*> watchersEx_;
    std::vector<CRhinoDisplayConduit*> conduits_;
    std::vector<CRhinoCommand*> commands_;
    std::vector<CRhinoPlugIn*> pendingPlugIns_;
    std::vector<CRhinoPlugIn*> loadedPlugIns_;
    CRhinoPlugIn* loading_ = nullptr;
    bool loadingModule_ = false;
    std::vector<CRhinoCommand*> pendingCommands_;  // constructed during a module load
    std::vector<std::unique_ptr<CRhinoPlugInRecord>> records_;

    std::vector<ON_wString> tokens_;  // answers left for the running command
    size_t tokenPos_ = 0;
    std::function<bool(const ON_wString&, ON_wString&)> input_;
    unsigned int idleCount_ = 0;
    CRhinoCommand::result lastResult_ = CRhinoCommand::unknown_command;
};

// The host application.
CRhinoApp& RhinoApp();

// The default renderer's plug-in id (the host's own renderer).
ON_UUID RhinoDefaultRendererId();

// The host's build description and four-part version, UTF-8.
const char* RhinoAppVersionBuildDescription();
const char* RhinoAppVersionQuartetAsString();
