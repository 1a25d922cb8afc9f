#include "sdk/app/rhino_app.h"

#include <algorithm>
#include <cstdarg>
#include <filesystem>

#include "sdk/app/rhino_display_conduit.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_event_watcher.h"
#include "sdk/document/rhino_event_watcher_ex.h"
#include "sdk_internal.h"

namespace {

constexpr const char16_t* kProfileRoot = u"Software\\Rhinoceros\\6.0\\Profile";

ON_wString extensionOf(const ON_wString& path) {
    const ON_wString name = vantro::sdk::fileNamePart(path);
    const int dot = name.ReverseFind(u'.');
    ON_wString ext = dot < 0 ? ON_wString() : name.Mid(dot + 1);
    ext.MakeLowerOrdinal();
    return ext;
}

template <class T>
void eraseOne(std::vector<T*>& list, T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// Splits a macro into tokens: whitespace separates, double quotes group.
std::vector<ON_wString> tokenize(const ON_wString& script) {
    std::vector<ON_wString> tokens;
    ON_wString current;
    bool quoted = false, any = false;
    for (int i = 0; i < script.Length(); ++i) {
        const char16_t c = script[i];
        if (c == u'"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n')) {
            if (any)
                tokens.push_back(current);
            current.Empty();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        tokens.push_back(current);
    return tokens;
}

}  // namespace

CRhinoApp& RhinoApp() {
    // Never destroyed: static plug-in, command and watcher objects of loaded modules
    // unregister from it during process exit.
    static CRhinoApp* app = new CRhinoApp();
    return *app;
}

ON_UUID RhinoDefaultRendererId() { return ON_UuidFromString(u"b1c9a1d5-0c8e-4e6a-9f3a-5e1d2c7b8a90"); }

const char* RhinoAppVersionBuildDescription() { return "Rhinoceros 6 SR9 (stand-in host)"; }
const char* RhinoAppVersionQuartetAsString() { return "6.9.18271.20591"; }

CRhinoApp::CRhinoApp() : defaultRenderApp_(RhinoDefaultRendererId()), profile_(kProfileRoot) {
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    const std::filesystem::path file = (ec ? std::filesystem::path("/tmp") : temp) / "RhinoAutoSave.json";
    settings_.FileSettings().SetAutoSaveFile(ON_wString::FromUtf8(file.string()));
}

CRhinoAppSettings::CRhinoAppSettings() {
    defaultMaterial_.SetName(u"Default");
    defaultMaterial_.SetDiffuse(ON_Color(250, 250, 250));
    defaultMaterial_.SetSpecular(ON_Color(255, 255, 255));
}

// --- documents ---

void CRhinoApp::SetDocumentReader(const ON_wString& extension, DocumentReader reader) {
    ON_wString key = extension;
    key.MakeLowerOrdinal();
    readers_[key] = std::move(reader);
}

void CRhinoApp::SetDocumentWriter(const ON_wString& extension, DocumentWriter writer) {
    ON_wString key = extension;
    key.MakeLowerOrdinal();
    writers_[key] = std::move(writer);
}

const CRhinoApp::DocumentReader* CRhinoApp::readerFor(const ON_wString& path) const {
    const auto it = readers_.find(extensionOf(path));
    return it == readers_.end() || !it->second ? nullptr : &it->second;
}

const CRhinoApp::DocumentWriter* CRhinoApp::writerFor(const ON_wString& path) const {
    const auto it = writers_.find(extensionOf(path));
    return it == writers_.end() || !it->second ? nullptr : &it->second;
}

void CRhinoApp::adoptDocument(std::unique_ptr<CRhinoDoc> doc) {
    doc->events_ = true;
    activeDoc_ = std::move(doc);
}

CRhinoDoc* CRhinoApp::NewDocument() {
    CloseDocument();
    auto doc = std::make_unique<CRhinoDoc>();
    ON_Layer layer;
    layer.SetName(u"Default");
    doc->m_layer_table.AddLayer(layer);
    doc->AddDefaultViews();
    adoptDocument(std::move(doc));
    CRhinoDoc& d = *activeDoc_;
    raise([&](CRhinoEventWatcher& w) { w.OnNewDocument(d); });
    raise([&](CRhinoEventWatcher& w) { w.OnActiveDocumentChanged(d); });
    ON_SimpleArray<CRhinoView*> views;
    d.GetViewList(views);
    for (CRhinoView* view : views)
        raise([&](CRhinoEventWatcher& w) { w.OnCreateView(view); });
    if (CRhinoView* active = d.ActiveView())
        raise([&](CRhinoEventWatcher& w) { w.OnSetActiveView(active); });
    return &d;
}

bool CRhinoApp::ReadDocument(const ON_wString& path, CRhinoDoc& doc, ON_wString& error) const {
    const DocumentReader* reader = readerFor(path);
    if (!reader) {
        error = u"no reader for this kind of file.";
        return false;
    }
    if ((*reader)(doc, path, error))
        return true;
    if (error.IsEmpty())
        error = u"the file could not be read.";
    return false;
}

bool CRhinoApp::OpenDocument(const ON_wString& path, bool merge, ON_wString* error) {
    ON_wString message;
    auto failWith = [&](const ON_wString& why) {
        message = why;
        Print(u"Unable to open \"%ls\": %ls\n", path.Array(), why.Array());
        if (error)
            *error = message;
        return false;
    };
    const DocumentReader* reader = readerFor(path);
    if (!reader)
        return failWith(u"no reader for this kind of file.");
    auto doc = std::make_unique<CRhinoDoc>();
    ON_wString why;
    if (!(*reader)(*doc, path, why))
        return failWith(why.IsEmpty() ? ON_wString(u"the file could not be read.") : why);

    const std::u16string name = path.str();
    if (merge && activeDoc_) {
        CRhinoDoc& target = *activeDoc_;
        raise([&](CRhinoEventWatcher& w) { w.OnBeginOpenDocument(target, name.c_str(), true, false); });
        mergeDocument(target, *doc);
        raise([&](CRhinoEventWatcher& w) { w.OnEndOpenDocument(target, name.c_str(), true, false); });
        return true;
    }
    CloseDocument();
    doc->SetPathName(path);
    ON_SimpleArray<CRhinoView*> views;
    if (doc->GetViewList(views) == 0) {
        doc->AddDefaultViews();
        doc->GetViewList(views);
    }
    adoptDocument(std::move(doc));
    CRhinoDoc& d = *activeDoc_;
    raise([&](CRhinoEventWatcher& w) { w.OnNewDocument(d); });
    raise([&](CRhinoEventWatcher& w) { w.OnActiveDocumentChanged(d); });
    raise([&](CRhinoEventWatcher& w) { w.OnBeginOpenDocument(d, name.c_str(), false, false); });
    for (CRhinoView* view : views)
        raise([&](CRhinoEventWatcher& w) { w.OnCreateView(view); });
    raise([&](CRhinoEventWatcher& w) { w.OnEndOpenDocument(d, name.c_str(), false, false); });
    if (CRhinoView* active = d.ActiveView())
        raise([&](CRhinoEventWatcher& w) { w.OnSetActiveView(active); });
    return true;
}

bool CRhinoApp::SaveDocument(CRhinoDoc& doc, const ON_wString& path, bool selectedOnly, ON_wString* error) {
    const std::u16string name = path.str();
    doc.raise([&](CRhinoEventWatcher& w) { w.OnBeginSaveDocument(doc, name.c_str(), selectedOnly); });
    ON_wString why;
    const DocumentWriter* writer = writerFor(path);
    if (!writer)
        why = u"no writer for this kind of file.";
    else if (!(*writer)(doc, path, selectedOnly, why) && why.IsEmpty())
        why = u"the file could not be written.";
    if (writer && why.IsEmpty()) {
        if (!selectedOnly)
            doc.SetPathName(path);
        doc.raise([&](CRhinoEventWatcher& w) { w.OnEndSaveDocument(doc, name.c_str(), selectedOnly); });
        return true;
    }
    Print(u"Unable to save \"%ls\": %ls\n", path.Array(), why.Array());
    if (error)
        *error = why;
    return false;
}

bool CRhinoApp::AutoSave(ON_wString* error) {
    const CRhinoAppFileSettings& file = settings_.FileSettings();
    if (!activeDoc_ || !file.AutoSaveEnabled() || file.AutoSaveFile().IsEmpty())
        return false;
    CRhinoDoc& doc = *activeDoc_;
    const ON_wString keep = doc.GetPathName();
    // An auto-save writes a copy; the document keeps its own name.
    const bool ok = SaveDocument(doc, file.AutoSaveFile(), false, error);
    doc.SetPathName(keep);
    return ok;
}

void CRhinoApp::CloseDocument() {
    if (!activeDoc_)
        return;
    CRhinoDoc& doc = *activeDoc_;
    raise([&](CRhinoEventWatcher& w) { w.OnCloseDocument(doc); });
    doc.closeViews();
    activeDoc_.reset();
}

void CRhinoApp::CloseRhino() {
    raise([&](CRhinoEventWatcher& w) { w.OnCloseRhino(*this); });
    CloseDocument();
    UnloadPlugIns();
}

void CRhinoApp::InitRhino() {
    raise([&](CRhinoEventWatcher& w) { w.OnInitRhino(*this); });
}

CRhinoView* CRhinoApp::ActiveView() const { return activeDoc_ ? activeDoc_->ActiveView() : nullptr; }

bool CRhinoApp::SetActiveView(CRhinoView* view) {
    if (!view || !activeDoc_ || view->Document() != activeDoc_.get())
        return false;
    return activeDoc_->SetActiveView(view);
}

// --- command area and status bar ---

void CRhinoApp::Print(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string text;
    const bool ok = vantro::sdk::formatWide(text, format, args);
    va_end(args);
    if (ok)
        PrintText(ON_wString(std::move(text)));
}

void CRhinoApp::PrintText(const ON_wString& text) {
    std::lock_guard lock(printMutex_);
    history_ += text;
    if (printSink_)
        printSink_(text);
}

ON_wString CRhinoApp::CommandHistoryWindowText() const {
    std::lock_guard lock(printMutex_);
    return history_;
}

void CRhinoApp::ClearCommandHistoryWindow() {
    std::lock_guard lock(printMutex_);
    history_.Empty();
}

void CRhinoApp::SetPrintSink(std::function<void(const ON_wString&)> sink) {
    std::lock_guard lock(printMutex_);
    printSink_ = std::move(sink);
}

int CRhinoApp::StatusBarProgressMeterStart(int lower, int upper, const char16_t* label, bool embedLabel,
                                           bool showPercent) {
    if (lower > upper)
        return 0;
    if (meterRunning_ && !meters_.empty())
        meters_.back().ended = true;
    RhinoProgressMeterRun run;
    run.lower = lower;
    run.upper = upper;
    run.label = label;
    run.embedLabel = embedLabel;
    run.showPercent = showPercent;
    meters_.push_back(std::move(run));
    meterRunning_ = true;
    meterPos_ = lower;
    if (progressSink_)
        progressSink_(meters_.back(), meterPos_);
    return 1;
}

int CRhinoApp::StatusBarProgressMeterPos(int position, bool absolute) {
    if (!meterRunning_ || meters_.empty())
        return 0;
    RhinoProgressMeterRun& run = meters_.back();
    const long long wanted = absolute ? position : static_cast<long long>(meterPos_) + position;
    meterPos_ = static_cast<int>(std::clamp<long long>(wanted, run.lower, run.upper));
    run.positions.push_back(meterPos_);
    if (progressSink_)
        progressSink_(run, meterPos_);
    return meterPos_;
}

void CRhinoApp::StatusBarProgressMeterEnd() {
    const bool wasRunning = meterRunning_ && !meters_.empty();
    if (wasRunning)
        meters_.back().ended = true;
    meterRunning_ = false;
    if (wasRunning && progressSink_)
        progressSink_(meters_.back(), meterPos_);
}

ON_wString CRhinoApp::GetRhinoPlugInsRegistryPath(bool versioned) const {
    return versioned ? ON_wString(u"Software\\Rhinoceros\\6.0\\Plug-ins")
                     : ON_wString(u"Software\\Rhinoceros\\Plug-ins");
}

// --- plug-ins ---

CRhinoPlugInRecord* CRhinoApp::AddPlugInRecord(const ON_UUID& id, const ON_wString& name, const ON_wString& fileName) {
    CRhinoPlugInRecord* record = PlugInRecord(id);
    if (!record) {
        records_.push_back(std::make_unique<CRhinoPlugInRecord>());
        record = records_.back().get();
        record->id_ = id;
    }
    record->name_ = name;
    record->fileName_ = fileName;
    return record;
}

CRhinoPlugInRecord* CRhinoApp::PlugInRecord(const ON_UUID& id) {
    for (const auto& record : records_)
        if (record->Id() == id)
            return record.get();
    return nullptr;
}

std::vector<std::pair<CRhinoPlugIn*, void*>> CRhinoApp::PlugInMenus() const {
    std::vector<std::pair<CRhinoPlugIn*, void*>> menus;
    for (const auto& record : records_)
        if (record->PlugIn())
            for (void* menu : record->Menus())
                menus.emplace_back(record->PlugIn(), menu);
    return menus;
}

ON_wString CRhinoApp::PlugInProfileSection(const CRhinoPlugIn& plugIn) const {
    return ON_wString(u"Plug-ins\\") + ON_UuidToString(plugIn.PlugInID());
}

int CRhinoApp::LoadPlugIn(const ON_wString& fileName, RhinoModuleHandle module) {
    std::vector<CRhinoPlugIn*> pending;
    pending.swap(pendingPlugIns_);
    std::vector<CRhinoCommand*> commands;
    commands.swap(pendingCommands_);
    loadingModule_ = false;
    if (pending.empty()) {
        Print(u"Unable to load \"%ls\": it holds no plug-in.\n", fileName.Array());
        return 0;
    }
    int result = 0;
    for (CRhinoPlugIn* plugIn : pending) {
        plugIn->fileName_ = fileName;
        plugIn->module_ = module;
        for (CRhinoCommand* command : commands)
            if (!command->plugIn_)
                command->plugIn_ = plugIn;
        CRhinoPlugInRecord* record = AddPlugInRecord(plugIn->PlugInID(), plugIn->PlugInName(), fileName);
        record->plugIn_ = plugIn;
        record->menus_.clear();
        loading_ = plugIn;
        const ON_wString section = PlugInProfileSection(*plugIn);
        plugIn->LoadProfile(section.Array(), profile_);
        result = plugIn->OnLoadPlugIn();
        loading_ = nullptr;
        if (result == 1) {
            loadedPlugIns_.push_back(plugIn);
            continue;
        }
        if (result == 0)
            Print(u"Unable to load %ls plug-in: initialization failed.\n", plugIn->PlugInName());
        record->plugIn_ = nullptr;
        record->menus_.clear();
        std::erase_if(commands_, [&](CRhinoCommand* c) { return c->plugIn_ == plugIn; });
    }
    return result;
}

void CRhinoApp::CancelPlugInModuleLoad() {
    for (CRhinoCommand* command : pendingCommands_)
        eraseOne(commands_, command);
    pendingCommands_.clear();
    pendingPlugIns_.clear();
    loadingModule_ = false;
}

void CRhinoApp::UnloadPlugIns() {
    std::vector<CRhinoPlugIn*> loaded;
    loaded.swap(loadedPlugIns_);
    for (auto it = loaded.rbegin(); it != loaded.rend(); ++it) {
        CRhinoPlugIn* plugIn = *it;
        const ON_wString section = PlugInProfileSection(*plugIn);
        plugIn->SaveProfile(section.Array(), profile_);
        plugIn->OnUnloadPlugIn();
        if (CRhinoPlugInRecord* record = PlugInRecord(plugIn->PlugInID())) {
            record->plugIn_ = nullptr;
            record->menus_.clear();
        }
    }
}

// --- commands ---

CRhinoCommand* CRhinoApp::FindCommand(const ON_wString& name) const {
    for (CRhinoCommand* command : commands_)
        if (name.EqualOrdinal(command->EnglishCommandName(), true) ||
            name.EqualOrdinal(command->LocalCommandName(), true))
            return command;
    return nullptr;
}

void CRhinoApp::SetCommandInput(std::function<bool(const ON_wString&, ON_wString&)> input) {
    input_ = std::move(input);
}

bool CRhinoApp::nextCommandToken(const ON_wString& prompt, ON_wString& token) {
    if (tokenPos_ < tokens_.size()) {
        token = tokens_[tokenPos_++];
        return true;
    }
    return input_ ? input_(prompt, token) : false;
}

void CRhinoApp::runCommand(CRhinoCommand& command) {
    CRhinoCommandContext context;
    context.m_rhino_doc_sn = activeDoc_ ? activeDoc_->RuntimeSerialNumber() : 0;
    context.m_interactive = static_cast<bool>(input_);
    raise([&](CRhinoEventWatcher& w) { w.OnBeginCommand(command, context); });
    const CRhinoCommand::result result = command.RunCommand(context);
    raise([&](CRhinoEventWatcher& w) { w.OnEndCommand(command, context, static_cast<int>(result)); });
    lastResult_ = result;
    OnIdle();
}

CRhinoCommand::result CRhinoApp::RunScript(const ON_wString& script, bool echo) {
    // A command may run a script of its own; the outer script continues afterwards.
    std::vector<ON_wString> outerTokens = std::move(tokens_);
    const size_t outerPos = tokenPos_;
    tokens_ = tokenize(script);
    tokenPos_ = 0;
    CRhinoCommand::result last = CRhinoCommand::unknown_command;
    while (tokenPos_ < tokens_.size()) {
        ON_wString name = tokens_[tokenPos_++];
        while (name.Length() > 0 && (name[0] == u'_' || name[0] == u'-'))
            name = name.Mid(1);
        CRhinoCommand* command = FindCommand(name);
        if (!command) {
            Print(u"Unknown command: %ls\n", name.Array());
            continue;
        }
        if (echo)
            Print(u"Command: %ls\n", command->EnglishCommandName());
        runCommand(*command);
        last = lastResult_;
    }
    tokens_ = std::move(outerTokens);
    tokenPos_ = outerPos;
    return last;
}

// --- idle ---

void CRhinoApp::OnIdle() {
    ++idleCount_;
    CRhinoIsIdle::CParameters parameters;
    parameters.m_idle_count = idleCount_;
    const std::vector<CRhinoEventWatcherEx*> snapshot = watchersEx_;
    for (CRhinoEventWatcherEx* watcher : snapshot) {
        if (std::find(watchersEx_.begin(), watchersEx_.end(), watcher) == watchersEx_.end())
            continue;
        if (!watcher->IsEnabled())
            continue;
        if (auto* idle = dynamic_cast<CRhinoIsIdle*>(watcher))
            idle->Notify(parameters);
    }
}

// --- registration ---

void CRhinoApp::registerEventWatcher(CRhinoEventWatcher* watcher) { watchers_.push_back(watcher); }
void CRhinoApp::unregisterEventWatcher(CRhinoEventWatcher* watcher) { eraseOne(watchers_, watcher); }
void CRhinoApp::registerEventWatcherEx(CRhinoEventWatcherEx* watcher) { watchersEx_.push_back(watcher); }
void CRhinoApp::unregisterEventWatcherEx(CRhinoEventWatcherEx* watcher) { eraseOne(watchersEx_, watcher); }
void CRhinoApp::registerConduit(CRhinoDisplayConduit* conduit) { conduits_.push_back(conduit); }
void CRhinoApp::unregisterConduit(CRhinoDisplayConduit* conduit) { eraseOne(conduits_, conduit); }

void CRhinoApp::registerCommand(CRhinoCommand* command) {
    commands_.push_back(command);
    if (loadingModule_ && !command->plugIn_)
        pendingCommands_.push_back(command);
}

void CRhinoApp::unregisterCommand(CRhinoCommand* command) {
    eraseOne(commands_, command);
    eraseOne(pendingCommands_, command);
}

void CRhinoApp::registerPlugInObject(CRhinoPlugIn* plugIn) { pendingPlugIns_.push_back(plugIn); }

void CRhinoApp::unregisterPlugInObject(CRhinoPlugIn* plugIn) {
    eraseOne(pendingPlugIns_, plugIn);
    eraseOne(loadedPlugIns_, plugIn);
    for (const auto& record : records_)
        if (record->plugIn_ == plugIn) {
            record->plugIn_ = nullptr;
            record->menus_.clear();
        }
}

void CRhinoApp::raise(const std::function<void(CRhinoEventWatcher&)>& call) {
    const std::vector<CRhinoEventWatcher*> snapshot = watchers_;
    for (CRhinoEventWatcher* watcher : snapshot) {
        if (std::find(watchers_.begin(), watchers_.end(), watcher) == watchers_.end())
            continue;
        if (watcher->IsEnabled())
            call(*watcher);
    }
}
