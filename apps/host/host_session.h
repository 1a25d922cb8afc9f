#pragma once
// HostSession: runs the host's command language against the application
// (RhinoApp()) and its active document, one line at a time.
//
// A line is blank, a comment (first non-blank character '#'), a host command (see
// docs/host.md and Help), or the name of a command registered with the application
// (a plug-in's command, e.g. "Vantro Start"), which runs through CRhinoApp::RunScript
// with the rest of the line as its answers. After every host command the idle pump
// runs once, as the modelling application goes idle after each command (application
// commands get theirs from RunScript; Idle pumps as often as it is told).
//
// Bad arguments and unknown commands print a message and a usage line and change
// nothing. All messages go to the application's command area, whose text reaches the
// HostOutput given at construction.
// Main thread only.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "command_table.h"
#include "document_watcher.h"
#include "host_output.h"
#include "plugin_host.h"

class CRhinoDoc;

namespace vantro::host {

class HostSession {
public:
    // Installs the print sink on RhinoApp() (removed again by the destructor).
    explicit HostSession(HostOutput& output);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Runs one line (UTF-8). Returns what the command did; blank lines and comments
    // are done.
    CommandOutcome::Kind runLine(std::string_view line);

    bool quitRequested() const { return quit_; }
    // Commands that failed or had bad arguments so far.
    int failures() const { return failures_; }

    // --- services for the commands ---

    HostOutput& output() { return output_; }
    // Prints text on a line of its own in the command area.
    void message(std::string_view utf8);
    // The active document, null when none is open.
    CRhinoDoc* document() const;
    const CommandTable& commands() const { return table_; }
    PluginHost& plugins() { return plugins_; }
    // Follows the document's file while other programs save it (Watch, --watch).
    DocumentWatcher& watcher() { return watcher_; }
    void requestQuit() { quit_ = true; }
    // The text of the running line after its first word, blanks around it removed
    // (for commands that take free text).
    std::string currentArguments() const;

private:
    CommandOutcome::Kind runHostCommand(const CommandSpec& spec, const std::vector<Word>& words, size_t consumed);
    CommandOutcome::Kind runApplicationCommand(std::string_view line);
    void reportUnknown(const std::vector<Word>& words);
    void printUsage(const CommandSpec& spec);

    HostOutput& output_;
    CommandTable table_;
    std::string currentLine_;
    PluginHost plugins_;
    DocumentWatcher watcher_{*this};
    bool quit_ = false;
    int failures_ = 0;
};

// Registration of the command families (one file each).
void addObjectCommands(CommandTable& table);
void addLayerCommands(CommandTable& table);
void addMaterialCommands(CommandTable& table);
void addMappingCommands(CommandTable& table);
void addBlockCommands(CommandTable& table);
void addViewCommands(CommandTable& table);
void addFileCommands(CommandTable& table);
void addSessionCommands(CommandTable& table);
void addUiCommands(CommandTable& table);
void addSaveDialogCommands(CommandTable& table);

// The plug-in menus as a user sees them once opened (ui_commands.cpp).
CommandOutcome showMenus(HostSession& session);
// Prints every dialog a plug-in opens and closes it as Escape would, unless the
// Dialog command has clicks for it.
void installDialogDriver(HostSession& session);
// Answers every save-file dialog a plug-in opens as a user would: the file the
// SaveDialog command queued, else the dialog's proposal (save_dialog_answers.cpp).
void installSaveDialogDriver(HostSession& session);

}  // namespace vantro::host
