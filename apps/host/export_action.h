#pragma once
// `vantro-host export`: loads the plug-in (--plugin, else the module built with the
// host), opens one document, runs the plug-in's COLLADA export with the save dialog
// answered from the command line (model_export.h), reports where the file went on
// standard output and ends. The application's command-area text (load warnings, the
// reason a document cannot be read) and the export's error go to standard error, so
// that standard output carries only the report.

#include "host_options.h"

namespace vantro::host {

// Runs the export action of options (action exportModel); returns the exit status:
// kExitOk, kExitStartFailed (the plug-in cannot be loaded or the document cannot be read), kExitUnwritable,
// kExitExportCancelled or kExitExportFailed. Main thread; once per process.
int runExportAction(const HostOptions& options);

}  // namespace vantro::host
