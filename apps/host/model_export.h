#pragma once
// ModelExport: runs the loaded plug-in's COLLADA export on the active document, as a
// user's click on "Export as COLLADA" (menu command 31781) does, with its save dialog
// answered by the host: a file the user named, or the file the dialog proposes (the
// document's path with ".dae" for its extension). Used by `vantro-host export` and by
// the Export command. The exporter is the module's own; the host sees what a user
// sees of it: the dialog, the status-bar text and the files.
//
// Before the dialog is answered, the destination is checked the way a writer meets it:
// the folder must exist, a directory is refused, and the file must open for writing
// (probed without truncating; a probe file this check creates is removed again). An
// existing file is replaced unless the request says not to, which cancels the dialog
// as a user who answers "no" to the overwrite prompt does.
//
// Afterwards no partial file is left behind: an export that fails removes the .dae it
// began (the exporter does) and the texture folder it created (this does); a file that
// was already there before a failed write may be gone, as the exporter deletes the
// file at the chosen path.
// Main thread only (the exporter's own rule); installs and removes the save-file
// handler around the export. A precision other than the setting is given to the
// plug-in as its ExportPrecision setting for the one export (export_setting.h), and a
// form other than the setting as its ExportSchemaValid setting.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantro::sdk {
struct SaveFileRequest;
}

namespace vantro::host {

class PluginHost;

// The plug-in's menu and dock-bar command "Export as COLLADA".
constexpr std::uintptr_t kExportCommandId = 31781;

struct ExportRequest {
    // The file to write (UTF-8; relative paths are taken from the working directory).
    // Empty: the dialog's proposal. An existing folder: the proposal's file name in it.
    // A file name without an extension gets ".dae", as the dialog gives it (a "." in a
    // folder's name does not count; "\\" is a character of the name, not a separator).
    std::string file;
    bool overwrite = true;            // false: an existing file cancels the export
    std::optional<int> precision;     // decimals of the number lists; nullopt: the setting
    std::optional<bool> schemaValid;  // the schema-valid form (true) or the renderer's; nullopt: the setting
};

struct ExportOutcome {
    enum Kind {
        written,     // the document was written to path
        cancelled,   // no file to answer with, or an existing file not to be replaced
        unwritable,  // the destination cannot be written, or a write failed
        failed,      // the export stopped before writing (the preparation failed)
    };
    Kind kind = failed;
    std::string path;            // the .dae file (absolute), once a file was chosen
    std::string texturesFolder;  // the texture folder, when the export left one
    std::uintmax_t bytes = 0;    // size of the written file (regular files only)
    std::size_t textureFiles = 0;
    std::string message;   // why, for every kind but written
    std::string collapse;  // written: "n of m triangles collapse at 1 mm", or empty
};

// Exports the active document through the plug-ins plugins has loaded; failed with a
// message when none handles the export command. Requires an active document.
ExportOutcome exportActiveDocument(PluginHost& plugins, const ExportRequest& request);

// Plays the user of one save dialog with request's file (or the dialog's proposal),
// checked as the export checks it: the answer, or nullopt (cancel) with why in reason.
std::optional<std::u16string> answerSaveDialog(const ExportRequest& request, const sdk::SaveFileRequest& dialog,
                                               std::string& reason);

// The lines that report a written export: where the file went and its size, the
// texture folder with its file count ("Textures: none." without one), and, when
// triangles lost their area to the precision, how many and what to do about it.
std::vector<std::string> exportReport(const ExportOutcome& outcome);

}  // namespace vantro::host
