#include "model_export.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "export_setting.h"
#include "plugin_host.h"
#include "platform/utf.h"
#include "sdk/app/rhino_app.h"
#include "sdk/app/save_file_dialog.h"

namespace vantro::host {

namespace {

namespace fs = std::filesystem;
using sdk::SaveFileRequest;
using Kind = ExportOutcome::Kind;

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

// What the host answered the dialog with, and what was on disk before the export.
struct Destination {
    bool asked = false;
    std::optional<Kind> refusal;  // set when the dialog was cancelled on purpose
    std::string message;
    fs::path file;
    bool fileExisted = false;
    fs::file_time_type fileTimeBefore{};
    fs::path textures;
    bool texturesExisted = false;

    std::optional<std::u16string> refuse(Kind kind, std::string why) {
        refusal = kind;
        message = std::move(why);
        return std::nullopt;
    }
};

bool endsWithSeparator(const std::string& text) {
    return !text.empty() && (text.back() == '/' || text.back() == char(fs::path::preferred_separator));
}

// The file the request names, before the dialog's ".dae" rule; nullopt when there is
// no name to give (nothing named and nothing proposed).
std::optional<fs::path> namedFile(const ExportRequest& request, const std::u16string& proposal) {
    const fs::path proposed(platform::toUtf8(proposal));
    if (request.file.empty()) {
        if (proposal.empty())
            return std::nullopt;
        return proposed;
    }
    std::error_code error;
    fs::path named = fs::absolute(fs::path(request.file), error);
    if (error)
        named = fs::path(request.file);
    named = named.lexically_normal();
    if (!endsWithSeparator(request.file) && !fs::is_directory(named, error))
        return named;
    // A folder: the proposed file's name in it.
    if (proposal.empty())
        return std::nullopt;
    return named / proposed.filename();
}

// Probes that file opens for writing without changing it; empty when it does, else
// the system's reason.
std::string probeWrite(const fs::path& file, bool existed) {
    errno = 0;
    std::FILE* probe = std::fopen(file.c_str(), "ab");
    if (probe == nullptr)
        return errno != 0 ? std::strerror(errno) : "it cannot be opened for writing";
    std::fclose(probe);
    std::error_code error;
    if (!existed)
        fs::remove(file, error);
    return {};
}

// The folder the export copies textures into: beside the file, named after it without
// its extension, with "_Textures".
fs::path textureFolderFor(const fs::path& file) {
    std::string name = file.filename().string();
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos)
        name.erase(dot);
    return file.parent_path() / (name + "_Textures");
}

// Refuses (returns nullopt with the reason in d) or answers with d.file.
std::optional<std::u16string> checkDestination(Destination& d, const ExportRequest& request,
                                               const SaveFileRequest& dialog) {
    std::error_code error;
    const std::u16string answer = platform::fromUtf8(d.file.string());
    if (answer.size() >= dialog.bufferSize)
        return d.refuse(Kind::unwritable, "the path " + quoted(d.file) + " has " + std::to_string(answer.size()) +
                                              " characters; the export takes at most " +
                                              std::to_string(dialog.bufferSize - 1));
    const fs::file_status status = fs::status(d.file, error);
    d.fileExisted = fs::exists(status);
    if (fs::is_directory(status))
        return d.refuse(Kind::unwritable, quoted(d.file) + " is a folder");
    if (d.fileExisted && !request.overwrite)
        return d.refuse(Kind::cancelled, quoted(d.file) + " exists and is not to be replaced");
    const fs::path folder = d.file.parent_path();
    if (!fs::exists(folder, error))
        return d.refuse(Kind::unwritable, "the folder " + quoted(folder) + " does not exist");
    if (!fs::is_directory(folder, error))
        return d.refuse(Kind::unwritable, quoted(folder) + " is not a folder");
    if (const std::string why = probeWrite(d.file, d.fileExisted); !why.empty())
        return d.refuse(Kind::unwritable, "cannot write " + quoted(d.file) + ": " + why);
    if (fs::is_regular_file(status))
        d.fileTimeBefore = fs::last_write_time(d.file, error);
    d.textures = textureFolderFor(d.file);
    d.texturesExisted = fs::exists(d.textures, error);
    return answer;
}

// Plays the user of the save dialog for one export.
std::optional<std::u16string> answerDialog(Destination& d, const ExportRequest& request,
                                           const SaveFileRequest& dialog) {
    d.asked = true;
    std::optional<fs::path> file = namedFile(request, dialog.initialFile);
    if (!file)
        return d.refuse(Kind::cancelled,
                        "the document has never been saved, so the export proposes no file; "
                        "name the file to write");
    // The dialog appends ".dae" to an answer without any "."; the answer gets it here
    // already so that the checks below see the file that will be written.
    std::error_code error;
    const fs::file_status named = fs::status(*file, error);
    // A device or pipe (/dev/full, /dev/stdout) would get a texture folder beside it,
    // and, without a "." in its path, the dialog's rule would turn it into a new file
    // next to the device.
    if (fs::exists(named) && !fs::is_regular_file(named) && !fs::is_directory(named))
        return d.refuse(Kind::unwritable, quoted(*file) +
                                              " is not a regular file; the export writes a .dae file "
                                              "and a texture folder beside it");
    d.file = fs::path(platform::toUtf8(sdk::WithDefaultExtension(platform::fromUtf8(file->string()), u".dae")));
    return checkDestination(d, request, dialog);
}

// The stage the status pane showed when the export stopped, without the exporter's
// prefix and ellipsis.
std::string lastStage() {
    std::string stage = platform::toUtf8(RhinoApp().StatusBarMessagePane().str());
    const std::string prefix = "exporter: ";
    if (const size_t at = stage.find(prefix); at != std::string::npos)
        stage.erase(0, at + prefix.size());
    const std::string ellipsis = "\xE2\x80\xA6";
    if (stage.size() >= ellipsis.size() &&
        stage.compare(stage.size() - ellipsis.size(), ellipsis.size(), ellipsis) == 0)
        stage.erase(stage.size() - ellipsis.size());
    return stage;
}

// The writer's stages; a failure during them is a failed write (the preparation is done).
bool stoppedWhileWriting(const std::string& stage) {
    return stage.rfind("processing ", 0) == 0 || stage.rfind("export complete", 0) == 0;
}

void removeLeftovers(const Destination& d) {
    std::error_code error;
    if (!d.fileExisted && fs::is_regular_file(d.file, error))
        fs::remove(d.file, error);
    if (!d.texturesExisted && !d.textures.empty() && fs::exists(d.textures, error))
        fs::remove_all(d.textures, error);
}

// The collapse count the exporter closes its status text with ("export complete; 12 of
// 24 triangles collapse at 1 mm."), or empty.
std::string collapseReport(const std::string& stage) {
    const std::string complete = "export complete; ";
    if (stage.rfind(complete, 0) != 0)
        return {};
    std::string report = stage.substr(complete.size());
    if (!report.empty() && report.back() == '.')
        report.pop_back();
    return report;
}

ExportOutcome failedExport(const Destination& d) {
    ExportOutcome outcome;
    outcome.path = d.file.string();
    const std::string stage = lastStage();
    if (stoppedWhileWriting(stage)) {
        outcome.kind = Kind::unwritable;
        outcome.message = "writing " + quoted(d.file) +
                          " failed (the device is full or refuses data); nothing of the export was kept";
    } else {
        outcome.kind = Kind::failed;
        outcome.message = "the export stopped at \"" + stage + "\" before anything was written";
    }
    removeLeftovers(d);
    return outcome;
}

// Whether the export left its file: there now, and new or rewritten. The exporter
// removes what it began when it fails, and writes nothing to a file it cannot open.
bool fileWritten(const Destination& d) {
    std::error_code error;
    const fs::file_status status = fs::status(d.file, error);
    if (!fs::exists(status))
        return false;
    return !d.fileExisted || !fs::is_regular_file(status) || fs::last_write_time(d.file, error) != d.fileTimeBefore;
}

ExportOutcome finishedExport(const Destination& d) {
    ExportOutcome outcome;
    outcome.path = d.file.string();
    outcome.kind = Kind::written;
    outcome.collapse = collapseReport(lastStage());
    std::error_code error;
    if (fs::is_regular_file(d.file, error))
        outcome.bytes = fs::file_size(d.file, error);
    if (fs::is_directory(d.textures, error)) {
        outcome.texturesFolder = d.textures.string();
        for (const auto& entry : fs::directory_iterator(d.textures, error))
            outcome.textureFiles += entry.is_regular_file();
    }
    return outcome;
}

// Installs the dialog's handler for one export and puts the session's back.
class DialogAnswer {
public:
    DialogAnswer(Destination& d, const ExportRequest& request)
        : standing_(sdk::SetSaveFileHandler(
              [&d, request](const SaveFileRequest& dialog) { return answerDialog(d, request, dialog); })) {}
    ~DialogAnswer() { sdk::SetSaveFileHandler(std::move(standing_)); }
    DialogAnswer(const DialogAnswer&) = delete;
    DialogAnswer& operator=(const DialogAnswer&) = delete;

private:
    sdk::SaveFileHandler standing_;
};

}  // namespace

std::optional<std::u16string> answerSaveDialog(const ExportRequest& request, const sdk::SaveFileRequest& dialog,
                                               std::string& reason) {
    Destination destination;
    std::optional<std::u16string> answer = answerDialog(destination, request, dialog);
    reason = destination.message;
    return answer;
}

ExportOutcome exportActiveDocument(PluginHost& plugins, const ExportRequest& request) {
    Destination destination;
    bool handled = false;
    {
        const DialogAnswer answer(destination, request);
        std::optional<std::uint32_t> decimals;
        if (request.precision)
            decimals = static_cast<std::uint32_t>(*request.precision);
        const ExportSetting precision(u"ExportPrecision", decimals);
        std::optional<std::uint32_t> form;
        if (request.schemaValid)
            form = *request.schemaValid ? 1u : 0u;
        const ExportSetting schemaValid(u"ExportSchemaValid", form);
        RhinoApp().SetStatusBarMessagePane(ON_wString());
        // What the user's click does: the plug-in makes its exporter and runs it.
        handled = plugins.menuCommand(kExportCommandId);
    }
    if (!handled) {
        ExportOutcome outcome;
        outcome.message = "no loaded plug-in exports COLLADA (menu command " + std::to_string(kExportCommandId) +
                          "); load the plug-in module with --plugin";
        return outcome;
    }
    if (destination.refusal) {
        ExportOutcome outcome;
        outcome.kind = *destination.refusal;
        outcome.path = destination.file.string();
        outcome.message = destination.message;
        return outcome;
    }
    if (!destination.asked) {
        ExportOutcome outcome;
        outcome.message = "the export did not ask for a file";
        return outcome;
    }
    return fileWritten(destination) ? finishedExport(destination) : failedExport(destination);
}

std::vector<std::string> exportReport(const ExportOutcome& outcome) {
    std::vector<std::string> lines;
    std::string written = "Exported \"" + outcome.path + "\"";
    if (outcome.bytes > 0)
        written += " (" + std::to_string(outcome.bytes) + " bytes)";
    lines.push_back(written + ".");
    if (outcome.texturesFolder.empty())
        lines.push_back("Textures: none.");
    else
        lines.push_back("Textures: \"" + outcome.texturesFolder + "\" (" + std::to_string(outcome.textureFiles) +
                        (outcome.textureFiles == 1 ? " file)." : " files)."));
    if (!outcome.collapse.empty())
        lines.push_back("Precision: " + outcome.collapse + "; use --precision for other tools.");
    return lines;
}

}  // namespace vantro::host
