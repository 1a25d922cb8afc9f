#include "export_action.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "host_output.h"
#include "model_export.h"
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

int exportOpenDocument(const HostOptions& options) {
    ExportRequest request{options.output, options.overwrite, std::nullopt};
    if (options.precision >= 0)
        request.precision = options.precision;
    const ExportOutcome outcome = exportActiveDocument(request);
    if (outcome.kind == ExportOutcome::written) {
        for (const std::string& line : exportReport(outcome))
            writeTo(stdout, line + "\n");
    } else {
        writeTo(stderr, "vantro-host export: " + outcome.message + "\n");
    }
    return exitStatusOf(outcome.kind);
}

}  // namespace

int runExportAction(const HostOptions& options) {
    HostOutput diagnostics([](std::string_view text) { writeTo(stderr, text); });
    RhinoApp().SetPrintSink([&diagnostics](const ON_wString& text) { diagnostics.write(text.ToUtf8()); });
    docio::registerDocumentFormats(RhinoApp());
    const StandardErrorProgress progress;
    RhinoApp().InitRhino();
    // OpenDocument prints why a file cannot be read (to standard error, above).
    const int status = RhinoApp().OpenDocument(absoluteDocumentPath(options.document)) ? exportOpenDocument(options)
                                                                                       : kExitStartFailed;
    RhinoApp().CloseRhino();
    RhinoApp().SetPrintSink(nullptr);
    std::fflush(stdout);
    return status;
}

}  // namespace vantro::host
