#pragma once
// Registers the document formats with the host application: ".json" read and written
// in the host's JSON format, ".3dm" read through the converter. The host program
// calls this once at start-up.

class CRhinoApp;

namespace vantro::docio {

// Reading a file also puts the application settings it carries in effect and prints
// its warnings in the command area, one per line. Writing stores the application
// settings with the document. Main thread.
void registerDocumentFormats(CRhinoApp& app);

}  // namespace vantro::docio
