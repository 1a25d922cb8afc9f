#pragma once
// Checks the references between the entries of a parsed document (ids unique, every
// index and id resolving, no layer or block cycles) and works out the order in which
// the document must be built: a layer after its parent, a block definition after the
// definitions its members place.

#include <optional>
#include <string>
#include <vector>

#include "document_data.h"

namespace vantro::docio {

struct BuildPlan {
    // Indices into DocumentData::layers, parents before children.
    std::vector<size_t> layerOrder;
    // The document index each file layer gets (file indices are what objects use).
    std::vector<int> layerIndex;
    // The file has no layers: a "Default" layer is added for its objects.
    bool addDefaultLayer = false;
    // Indices into DocumentData::definitions, nested definitions first.
    std::vector<size_t> definitionOrder;
    // Per object: the definition it belongs to, kModelObject, or kSkipped (a block
    // member no definition lists; reported as a warning).
    std::vector<int> definitionOf;
    static constexpr int kModelObject = -1;
    static constexpr int kSkipped = -2;
};

// Nothing when the document is consistent (plan filled, warnings appended), else the
// first problem as "<entry label>: <field>: <what>". Any thread.
std::optional<std::string> checkDocument(const DocumentData& doc, BuildPlan& plan, std::vector<std::string>& warnings);

}  // namespace vantro::docio
