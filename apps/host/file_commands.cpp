// File commands: New, Open (with merge), Save, SaveAs (with the selected-only flag of
// an export), Close, AutoSave and Export (the COLLADA export, model_export.h). The application raises the document
// events; the formats (.json read and written, .3dm read) are those registered at start-up. Paths are made absolute
// first: the document's path names its live link.

#include <filesystem>

#include "host_session.h"
#include "model_export.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

using Outcome = CommandOutcome;

ON_wString absolutePath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), ec);
    return ON_wString::FromUtf8(ec ? path : absolute.lexically_normal().string());
}

std::string describeDocument(const CRhinoDoc& doc) {
    int objects = 0;
    for (const CRhinoObject* object : doc.Objects())
        if (!object->IsDeleted() && !object->IsInstanceDefinitionGeometry())
            ++objects;
    return std::to_string(objects) + " object(s)";
}

Outcome newDocument(HostSession& session, const CommandArgs& args) {
    if (args.count() != 0 || !args.options().empty())
        return Outcome::bad("expected no arguments");
    RhinoApp().NewDocument();
    session.message("New document.");
    return Outcome::ok();
}

Outcome openDocument(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1 || args[0].empty())
        return Outcome::bad("expected a file");
    if (!args.onlyOptions({"merge"}, error))
        return Outcome::bad(error);
    bool merge = false;
    if (const std::string* text = args.option("merge")) {
        const auto on = parseSwitch(*text, error);
        if (!on)
            return Outcome::bad("merge: " + error);
        merge = *on;
    }
    const ON_wString path = absolutePath(args[0]);
    // The application prints why an open failed; the active document stays as it was.
    if (!RhinoApp().OpenDocument(path, merge))
        return Outcome::fail();
    session.message(std::string(merge ? "Merged \"" : "Opened \"") + path.ToUtf8() +
                    "\": " + describeDocument(*session.document()) + " in the document.");
    return Outcome::ok();
}

Outcome saveTo(HostSession& session, const ON_wString& path, bool selectedOnly) {
    if (!RhinoApp().SaveDocument(*session.document(), path, selectedOnly))
        return Outcome::fail();
    session.message(std::string(selectedOnly ? "Exported the selected objects to \"" : "Saved \"") + path.ToUtf8() +
                    "\".");
    return Outcome::ok();
}

Outcome saveDocument(HostSession& session, const CommandArgs& args) {
    if (args.count() != 0 || !args.options().empty())
        return Outcome::bad("expected no arguments");
    const ON_wString path = session.document()->GetPathName();
    if (path.IsEmpty())
        return Outcome::fail("the document has never been saved; use SaveAs <file>");
    return saveTo(session, path, false);
}

Outcome saveDocumentAs(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1 || args[0].empty())
        return Outcome::bad("expected a file");
    if (!args.onlyOptions({"selected"}, error))
        return Outcome::bad(error);
    bool selected = false;
    if (const std::string* text = args.option("selected")) {
        const auto on = parseSwitch(*text, error);
        if (!on)
            return Outcome::bad("selected: " + error);
        selected = *on;
    }
    return saveTo(session, absolutePath(args[0]), selected);
}

Outcome closeDocument(HostSession& session, const CommandArgs& args) {
    if (args.count() != 0 || !args.options().empty())
        return Outcome::bad("expected no arguments");
    RhinoApp().CloseDocument();
    session.message("Closed the document.");
    return Outcome::ok();
}

Outcome autoSave(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 0)
        return Outcome::bad("expected no positional arguments");
    if (!args.onlyOptions({"file"}, error))
        return Outcome::bad(error);
    CRhinoAppFileSettings& settings = RhinoApp().AppSettings().FileSettings();
    if (const std::string* file = args.option("file")) {
        if (file->empty())
            return Outcome::bad("file: expected a path");
        settings.SetAutoSaveFile(absolutePath(*file));
    }
    if (!settings.AutoSaveEnabled())
        return Outcome::fail("auto-save is switched off");
    if (!RhinoApp().AutoSave())
        return Outcome::fail();
    session.message("Auto-saved to \"" + settings.AutoSaveFile().ToUtf8() + "\".");
    return Outcome::ok();
}

// The save dialog is answered with the file given (relative to the working directory)
// or with the document's proposal, as `vantro-host export` answers it.
Outcome exportDocument(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() > 1 || (args.count() == 1 && args[0].empty()))
        return Outcome::bad("expected at most one file");
    if (!args.onlyOptions({"overwrite", "form"}, error))
        return Outcome::bad(error);
    ExportRequest request;
    if (args.count() == 1)
        request.file = args[0];
    if (const std::string* text = args.option("overwrite")) {
        const auto on = parseSwitch(*text, error);
        if (!on)
            return Outcome::bad("overwrite: " + error);
        request.overwrite = *on;
    }
    if (const std::string* text = args.option("form")) {
        static constexpr std::string_view kForms[] = {"renderer", "schema-valid"};
        const auto form = parseChoice(*text, kForms, error);
        if (!form)
            return Outcome::bad("form: " + error);
        request.schemaValid = *form == 1;
    }
    const ExportOutcome outcome = exportActiveDocument(session.plugins(), request);
    if (outcome.kind != ExportOutcome::written) {
        const char* what = outcome.kind == ExportOutcome::cancelled ? "cancelled: " : "nothing was exported: ";
        return Outcome::fail(what + outcome.message);
    }
    for (const std::string& line : exportReport(outcome))
        session.message(line);
    return Outcome::ok();
}

// Without an argument, says what is followed.
Outcome watchDocument(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() > 1 || !args.options().empty())
        return Outcome::bad("expected on or off");
    DocumentWatcher& watcher = session.watcher();
    if (args.count() == 0) {
        session.message(watcher.following() ? "Following \"" + watcher.path() + "\" (" + watcher.method() + ")."
                                            : std::string("Not following the document's file."));
        return Outcome::ok();
    }
    const auto on = parseSwitch(args[0], error);
    if (!on)
        return Outcome::bad(error);
    if (!*on) {
        if (watcher.following())
            session.message("Stopped following \"" + watcher.path() + "\".");
        watcher.stop();
        return Outcome::ok();
    }
    if (!watcher.start(error))
        return Outcome::fail(error);
    session.message("Following \"" + watcher.path() + "\" (" + watcher.method() + ").");
    return Outcome::ok();
}

}  // namespace

void addFileCommands(CommandTable& table) {
    table.add({"New", "", "Closes the document and starts a new, empty one.", newDocument, false});
    table.add({"Open", "<file> [merge=on|off]", "Opens a document (.json, .3dm), or merges it into the open one.",
               openDocument, false});
    table.add({"Save", "", "Saves the document under its name.", saveDocument});
    table.add({"SaveAs", "<file> [selected=on|off]",
               "Saves the document under a new name, or exports only the selected objects.", saveDocumentAs});
    table.add({"Close", "", "Closes the document.", closeDocument});
    table.add({"AutoSave", "[file=<path>]", "Writes the auto-save copy of the document (the name stays).", autoSave});
    table.add({"Export", "[file.dae] [overwrite=yes|no] [form=renderer|schema-valid]",
               "Exports the document as COLLADA with its texture folder (default: the document's path as .dae); "
               "form=schema-valid for importers that validate the schema (the renderer reads the default form).",
               exportDocument});
    table.add({"Watch", "[on|off]", "Follows the document's file: each save another program makes is applied as edits.",
               watchDocument});
}

}  // namespace vantro::host
