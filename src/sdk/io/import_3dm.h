#pragma once
// .3dm files: converted to the JSON document format by tools/3dm-to-json.mjs (run with
// node, npm package rhino3dm) and then read like any JSON document.

#include <cstdio>
#include <memory>
#include <string>

#include "document_parser.h"

namespace vantro::docio {

struct Converted3dm {
    bool ok = false;
    std::string json;  // the converted document
    // Its binary companion (numeric arrays, docs/document-format.md), open for reading
    // piece by piece; its file is already removed.
    std::shared_ptr<std::FILE> binaryFile;
    uint64_t binarySize = 0;

    // The companion as the parser reads it (valid while this lives).
    BinarySource binary() const;
    std::string error;  // when !ok: why, with the converter's own message when it gave one
};

// Converts the file at path (UTF-8). Runs `node <script> --binary <path> <temporary
// file>` and waits for it; the temporary files are removed afterwards. Fails when the input is
// missing, node or the script cannot be found, or the converter reports an error.
// Any thread; blocks for as long as the conversion takes.
Converted3dm convert3dmToJson(const std::string& path);

// The converter script: $VANTRO_3DM_CONVERTER when set, else tools/3dm-to-json.mjs
// in the directory of the running executable or one of its parents, else in the
// working directory or one of its parents. Empty when none is found. The node
// program is $VANTRO_NODE when set, else "node" from PATH.
std::string findConverterScript();

}  // namespace vantro::docio
