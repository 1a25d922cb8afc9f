#include "export_action.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "host_output.h"
#include "model_export.h"
#include "plugin_host.h"
#include "terminal_progress.h"
#include "sdk/io/document_formats.h"
#include "sdk/app/rhino_app.h"

namespace vantro::host {

namespace {

void writeTo(std::FILE* stream, std::string_view text) { std::fwrite(text.data(), 1, text.size(), stream); }

int exitStatusOf(ExportOutcome::Kind kind) {
    switch (kind) {
        case ExportOutcome::written: return kExitOk;
        case ExportOutcome::cancelled: return kExitExportCancelled;
        case ExportOutcome::unwritable: return kExitUnwritable;
        case ExportOutcome::failed: break;
    }
    return kExitExportFailed;
}

ON_wString absoluteDocumentPath(const std::string& document) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(document, error);
    return ON_wString::FromUtf8(error ? document : absolute.lexically_normal().string());
}

int exportOpenDocument(PluginHost& plugins, const HostOptions& options) {
    ExportRequest request{options.output, options.overwrite, std::nullopt, std::nullopt};
    if (options.precision >= 0)
        request.precision = options.precision;
    if (options.schemaValid)
        request.schemaValid = true;
    const ExportOutcome outcome = exportActiveDocument(plugins, request);
    if (outcome.kind == ExportOutcome::written) {
        for (const std::string& line : exportReport(outcome))
            writeTo(stdout, line + "\n");
    } else {
        writeTo(stderr, "vantro-host export: " + outcome.message + "\n");
    }
    return exitStatusOf(outcome.kind);
}

// Loads the plug-in that exports; false with the reason on standard error.
bool loadExporter(PluginHost& plugins, const HostOptions& options) {
    const std::string path = options.plugins.empty() ? std::string(kDefaultPluginPath) : options.plugins.front();
    std::string error;
    const int result = plugins.load(path, error);
    if (result == 1)
        return true;
    if (error.empty())
        error = "the plug-in declined to load";
    writeTo(stderr, "vantro-host export: cannot load the plug-in " + path + ": " + error + "\n");
    return false;
}

}  // namespace

int runExportAction(const HostOptions& options) {
    HostOutput diagnostics([](std::string_view text) { writeTo(stderr, text); });
    RhinoApp().SetPrintSink([&diagnostics](const ON_wString& text) { diagnostics.write(text.ToUtf8()); });
    docio::registerDocumentFormats(RhinoApp());
    PluginHost plugins;
    const bool loaded = loadExporter(plugins, options);
    const StandardErrorProgress progress;
    RhinoApp().InitRhino();
    // OpenDocument prints why a file cannot be read (to standard error, above).
    int status = kExitStartFailed;
    if (loaded && RhinoApp().OpenDocument(absoluteDocumentPath(options.document)))
        status = exportOpenDocument(plugins, options);
    RhinoApp().CloseRhino();
    RhinoApp().SetPrintSink(nullptr);
    std::fflush(stdout);
    return status;
}

}  // namespace vantro::host
