#include "document_ids.h"

#include "collada_escape.h"

namespace vantro::collada {
namespace {

const std::vector<std::string_view> kNoAffix = {""};
const std::vector<std::string_view> kMaterialPrefixes = {"image-", "effect-", "material-"};
const std::vector<std::string_view> kGeometrySuffixes = {
    "", "-positions", "-positions-array", "-normals", "-normals-array", "-uv", "-uv-array", "-vertices"};

}  // namespace

DocumentIds::DocumentIds(const std::vector<std::string_view>& materialNames,
                         const std::vector<std::string_view>& geometryNames,
                         const std::vector<std::string_view>& nodeIds, bool exportNodes, DocumentForm form)
    : form_(form) {
    taken_ = {"Rhino_project", "node-veloraModel"};
    if (exportNodes) {
        for (const std::string_view suffix : kGeometrySuffixes)
            taken_.insert("veloraNode" + std::string(suffix));
        taken_.insert({"effect-veloraNode", "material-veloraNode"});
        for (const std::string_view node : nodeIds)
            taken_.insert("node-" + std::string(node));
    }
    std::unordered_map<std::string_view, std::size_t> materialByName;
    for (std::size_t i = 0; i < materialNames.size(); ++i) {
        materials_.push_back(claim(idOf(materialNames[i]), kMaterialPrefixes, kNoAffix));
        materialByName.emplace(materialNames[i], i);
    }
    for (const std::string_view name : geometryNames) {
        geometries_.push_back(claim(idOf(name), kNoAffix, kGeometrySuffixes));
        const auto material = materialByName.find(name);
        geometryMaterials_.push_back(material == materialByName.end() ? idOf(name) : materials_[material->second]);
    }
}

std::string DocumentIds::idOf(std::string_view name) const {
    return form_ == DocumentForm::schemaValid ? ncNameText(name) : idText(name);
}

std::string DocumentIds::claim(const std::string& base, const std::vector<std::string_view>& prefixes,
                               const std::vector<std::string_view>& suffixes) {
    std::vector<std::string> ids;
    for (std::size_t n = 0;; ++n) {
        const std::string key = n == 0 ? base : base + "." + std::to_string(n);
        ids.clear();
        for (const std::string_view prefix : prefixes)
            for (const std::string_view suffix : suffixes)
                ids.push_back(std::string(prefix) + key + std::string(suffix));
        bool free = true;
        for (const std::string& id : ids)
            free = free && taken_.count(id) == 0;
        if (!free)
            continue;
        taken_.insert(ids.begin(), ids.end());
        return key;
    }
}

std::string DocumentIds::material(std::size_t index, std::string_view name) const {
    return index < materials_.size() ? materials_[index] : idOf(name);
}

std::string DocumentIds::geometry(std::size_t index, std::string_view name) const {
    return index < geometries_.size() ? geometries_[index] : idOf(name);
}

std::string DocumentIds::materialOfGeometry(std::size_t index, std::string_view name) const {
    return index < geometryMaterials_.size() ? geometryMaterials_[index] : idOf(name);
}

}  // namespace vantro::collada
