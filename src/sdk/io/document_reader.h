#pragma once
// Reads documents in the host's JSON format (docs/document-format.md) into a
// CRhinoDoc, and .3dm files through the converter (import_3dm.h).
//
// A read either fills the document completely or leaves it as it was: the text is
// parsed and every rule checked before the first entry goes into the document.

#include <string>
#include <string_view>
#include <vector>

#include "document_data.h"

class CRhinoDoc;
class CRhinoAppSettings;

namespace vantro::docio {

struct DocumentLoadResult {
    bool ok = false;
    // When !ok: "<file>: <where>: <what>", e.g.
    // "house.json: object 12 "Chair" (<id>): mesh: face 7 refers to vertex 9001 of 8000".
    std::string error;
    // "<file>: <what>" each: the file's own warnings, unknown fields, texture files
    // that do not exist here, dangling render-material ids.
    std::vector<std::string> warnings;
    // Application settings the file carries; applyAppSettings puts them in effect.
    AppSettingsData appSettings;
};

// Reads a document from JSON text. fileName names the file in messages (no path
// needed). doc must be empty (a newly constructed, detached document); on failure it
// is left empty. Main thread (the document is main-thread only); text may be any size.
DocumentLoadResult readDocumentJson(std::string_view text, std::string_view fileName, CRhinoDoc& doc);

// Reads the file at path (UTF-8): ".3dm" (any letter case) through the converter,
// anything else as JSON. Sets the document's path name on success. Missing or
// unreadable files fail with the system's reason. Main thread.
DocumentLoadResult readDocumentFile(const std::string& path, CRhinoDoc& doc);

// Applies the settings a file carried (only those it gave). Main thread.
void applyAppSettings(const AppSettingsData& settings, CRhinoAppSettings& target);

// The last path component, for messages.
std::string_view fileNameOf(std::string_view path);

}  // namespace vantro::docio
