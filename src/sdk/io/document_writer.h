#pragma once
// Writes a CRhinoDoc in the host's JSON document format (docs/document-format.md).
// Reading what was written gives an equal document: every table entry and object with
// all its fields (defaults included), deleted entries left out and indices renumbered
// to match.

#include <string>

class CRhinoDoc;
class CRhinoAppSettings;

namespace vantro::docio {

struct WriteOptions {
    // Only the selected model objects (with all tables and definitions).
    bool selectedOnly = false;
    // Settings to store as "appSettings"; null writes none.
    const CRhinoAppSettings* appSettings = nullptr;
};

// The document as JSON text. Main thread (the document is main-thread only).
std::string writeDocumentJson(const CRhinoDoc& doc, const WriteOptions& options = {});

// Writes the JSON to path (UTF-8) through a temporary file beside it that replaces
// path only when complete, so a failed write leaves an existing file intact. False
// with the system's reason in error.
bool writeDocumentFile(const CRhinoDoc& doc, const std::string& path, const WriteOptions& options, std::string& error);

}  // namespace vantro::docio
