#include "sdk/io/document_formats.h"

#include "io/document_reader.h"
#include "io/document_writer.h"
#include "sdk/app/rhino_app.h"

namespace vantro::docio {
namespace {

bool read(CRhinoApp& app, CRhinoDoc& doc, const ON_wString& path, ON_wString& error) {
    const DocumentLoadResult result = readDocumentFile(path.ToUtf8(), doc);
    if (!result.ok) {
        error = ON_wString::FromUtf8(result.error);
        return false;
    }
    applyAppSettings(result.appSettings, app.AppSettings());
    for (const std::string& warning : result.warnings)
        app.PrintText(ON_wString::FromUtf8(warning + "\n"));
    return true;
}

}  // namespace

void registerDocumentFormats(CRhinoApp& app) {
    CRhinoApp::DocumentReader reader = [&app](CRhinoDoc& doc, const ON_wString& path, ON_wString& error) {
        return read(app, doc, path, error);
    };
    app.SetDocumentReader(u"json", reader);
    app.SetDocumentReader(u"3dm", reader);
    app.SetDocumentWriter(u"json",
                          [&app](const CRhinoDoc& doc, const ON_wString& path, bool selectedOnly, ON_wString& error) {
                              WriteOptions options;
                              options.selectedOnly = selectedOnly;
                              options.appSettings = &app.AppSettings();
                              std::string reason;
                              if (writeDocumentFile(doc, path.ToUtf8(), options, reason))
                                  return true;
                              error = ON_wString::FromUtf8(reason);
                              return false;
                          });
}

}  // namespace vantro::docio
