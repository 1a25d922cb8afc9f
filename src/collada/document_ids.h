#pragma once
// The ids of the document's materials and geometries. Every id is built from a name by
// adding prefixes ("effect-", "material-", "image-") or suffixes ("-positions",
// "-positions-array", "-vertices", ...), so different names can meet in one id: the
// geometry of a material named "X-positions" and the positions source of "X" would
// both be "X-positions". Here each name gets a key, the name's id form (idText), and
// a key whose ids are taken already gets ".1", ".2", ... until all of its ids are free.
// Keys are handed out in document order (fixed ids, materials, geometries), so a name
// that meets nothing keeps its text and an ordinary document is written unchanged.
// In the schema-valid form the keys start from the names' XML-name form (ncNameText)
// instead, and stay XML names with their suffixes.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "document_form.h"

namespace vantro::collada {

class DocumentIds {
public:
    // No names: every query answers the name's id form.
    DocumentIds() = default;

    // materialNames and geometryNames in document order; a geometry's name is its
    // material's name. nodeIds are the placement ids (L); with exportNodes the node
    // blocks' fixed ids are taken too.
    DocumentIds(const std::vector<std::string_view>& materialNames, const std::vector<std::string_view>& geometryNames,
                const std::vector<std::string_view>& nodeIds, bool exportNodes,
                DocumentForm form = DocumentForm::renderer);

    // The key of material i (ids "effect-", "material-", "image-" + key).
    std::string material(std::size_t index, std::string_view name) const;
    // The key of geometry j (ids key, key + "-positions", ...).
    std::string geometry(std::size_t index, std::string_view name) const;
    // The key of the material geometry j belongs to: the first material of that name, or
    // the name's id form when there is none.
    std::string materialOfGeometry(std::size_t index, std::string_view name) const;

private:
    // The name's id form in this document's form.
    std::string idOf(std::string_view name) const;
    // The first of base, base.1, base.2, ... whose ids (base with each affix) are all
    // free; takes them.
    std::string claim(const std::string& base, const std::vector<std::string_view>& prefixes,
                      const std::vector<std::string_view>& suffixes);

    DocumentForm form_ = DocumentForm::renderer;
    std::unordered_set<std::string> taken_;
    std::vector<std::string> materials_;
    std::vector<std::string> geometries_;
    std::vector<std::string> geometryMaterials_;
};

}  // namespace vantro::collada
