#pragma once
// Reads the JSON text of a document into DocumentData: syntax, field types, ranges,
// words and everything that can be checked within one entry (array sizes, face
// indices, camera and frustum, bitmap sizes). References between entries are left to
// checkDocument (document_checker.h).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "document_data.h"

namespace vantro::docio {

struct ParseOutcome {
    bool ok = false;
    // When !ok: "line 12 column 5: object 3: attributes.layer: expected an integer"
    // or, for an entry that is complete but wrong, "object 3 "Chair" (<id>): mesh:
    // face 7 refers to vertex 9001 of 8000".
    std::string error;
    // Unknown fields (one per distinct path), in the order first met.
    std::vector<std::string> warnings;
};

// A document's binary companion as the parser reads it: its size, and a reader of
// byte ranges inside it (offset + bytes <= size is checked before every call). A
// file read piece by piece never has to be held whole beside the arrays made of it.
struct BinarySource {
    uint64_t size = 0;
    std::function<bool(uint64_t offset, size_t bytes, void* into)> read;
};

// The same over bytes in memory (which must outlive the source).
BinarySource binaryInMemory(std::string_view bytes);

// Parses text into out (which should be default-constructed; on failure it holds a
// partial result that must be discarded). binary is the document's binary companion
// (docs/document-format.md), which numeric arrays written {"binary": [offset, count]}
// refer to; every reference is checked against its size. Any thread; text, binary and
// out are not shared.
ParseOutcome parseDocument(std::string_view text, DocumentData& out, const BinarySource& binary);
ParseOutcome parseDocument(std::string_view text, DocumentData& out, std::string_view binary = {});

// "object 12 "Chair" (3f2a…)": how messages name an entry. name may be empty; a nil id
// is left out.
std::string entryLabel(std::string_view kind, size_t index, const ON_wString& name, const ON_UUID& id);

}  // namespace vantro::docio
