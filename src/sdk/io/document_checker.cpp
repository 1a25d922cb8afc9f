#include "io/document_checker.h"

#include <functional>
#include <unordered_map>

#include "io/document_parser.h"

namespace vantro::docio {
namespace {

using IdIndex = std::unordered_map<ON_UUID, size_t, ON_UuidHash>;

std::string idText(const ON_UUID& id) { return ON_UuidToString(id).ToUtf8(); }

class Checker {
public:
    Checker(const DocumentData& d, BuildPlan& plan, std::vector<std::string>& warnings)
        : d_(d), plan_(plan), warnings_(warnings) {}

    std::optional<std::string> run() {
        if (auto e = checkTables())
            return e;
        if (auto e = checkLayers())
            return e;
        if (auto e = checkMaterials())
            return e;
        if (auto e = indexObjects())
            return e;
        if (auto e = checkDefinitions())
            return e;
        if (auto e = checkObjects())
            return e;
        if (auto e = orderDefinitions())
            return e;
        if (d_.activeView >= static_cast<int>(d_.views.size())) {
            return "activeView: " + std::to_string(d_.activeView) + " is not a view index (" +
                   std::to_string(d_.views.size()) + " views)";
        }
        return std::nullopt;
    }

private:
    std::string layerLabel(size_t i) const { return entryLabel("layer", i, d_.layers[i].Name(), d_.layers[i].Id()); }
    std::string materialLabel(size_t i) const {
        return entryLabel("material", i, d_.materials[i].Name(), d_.materials[i].Id());
    }
    std::string objectLabel(size_t i) const {
        return entryLabel("object", i, d_.objects[i].attributes.m_name, d_.objects[i].attributes.m_uuid);
    }
    std::string definitionLabel(size_t i) const {
        const auto& def = d_.definitions[i].definition;
        return entryLabel("instance definition", i, def.Name(), def.Id());
    }

    // Ids of one table: unique among the entries that have one.
    template <typename Label>
    std::optional<std::string> uniqueIds(size_t count, const std::function<ON_UUID(size_t)>& idOf, IdIndex& index,
                                         Label&& label) {
        for (size_t i = 0; i < count; ++i) {
            const ON_UUID id = idOf(i);
            if (ON_UuidIsNil(id))
                continue;
            const auto [it, added] = index.emplace(id, i);
            if (!added)
                return label(i) + ": id " + idText(id) + " is also the id of entry " + std::to_string(it->second);
        }
        return std::nullopt;
    }

    std::optional<std::string> checkTables() {
        if (auto e = uniqueIds(
                d_.layers.size(), [&](size_t i) { return d_.layers[i].Id(); }, layerIds_,
                [&](size_t i) { return layerLabel(i); })) {
            return e;
        }
        if (auto e = uniqueIds(
                d_.materials.size(), [&](size_t i) { return d_.materials[i].Id(); }, materialIds_,
                [&](size_t i) { return materialLabel(i); })) {
            return e;
        }
        IdIndex ids;
        if (auto e = uniqueIds(
                d_.renderContents.size(), [&](size_t i) { return d_.renderContents[i].id; }, contentIds_,
                [&](size_t i) {
                    return entryLabel("render content", i, d_.renderContents[i].name, d_.renderContents[i].id);
                })) {
            return e;
        }
        if (auto e = uniqueIds(
                d_.textureMappings.size(), [&](size_t i) { return d_.textureMappings[i].Id(); }, mappingIds_,
                [&](size_t i) {
                    const auto& m = d_.textureMappings[i];
                    return entryLabel("texture mapping", i, m.Name(), m.Id());
                })) {
            return e;
        }
        if (auto e = uniqueIds(
                d_.bitmaps.size(), [&](size_t i) { return d_.bitmaps[i].Id(); }, ids,
                [&](size_t i) { return entryLabel("bitmap", i, d_.bitmaps[i].Name(), d_.bitmaps[i].Id()); })) {
            return e;
        }
        return uniqueIds(
            d_.definitions.size(), [&](size_t i) { return d_.definitions[i].definition.Id(); }, definitionIds_,
            [&](size_t i) { return definitionLabel(i); });
    }

    std::optional<std::string> checkMaterialIndex(const std::string& label, int index) const {
        if (index < static_cast<int>(d_.materials.size()))
            return std::nullopt;
        return label + ": " + std::to_string(index) + " is not a material index (" +
               std::to_string(d_.materials.size()) + " materials)";
    }

    // Parents must exist and must not lead back to the layer.
    std::optional<std::string> checkLayers() {
        const size_t n = d_.layers.size();
        parentOf_.assign(n, n);
        for (size_t i = 0; i < n; ++i) {
            if (auto e = checkMaterialIndex(layerLabel(i) + ": materialIndex", d_.layers[i].RenderMaterialIndex()))
                return e;
            const ON_UUID& parentId = d_.layers[i].ParentLayerId();
            if (ON_UuidIsNil(parentId))
                continue;
            const auto parent = layerIds_.find(parentId);
            if (parent == layerIds_.end())
                return layerLabel(i) + ": parentId: no layer has id " + idText(parentId);
            parentOf_[i] = parent->second;
        }
        for (size_t i = 0; i < n; ++i) {
            size_t at = i;
            for (size_t steps = 0; parentOf_[at] != n; ++steps) {
                at = parentOf_[at];
                if (at == i || steps > n)
                    return layerLabel(i) + ": parentId: the layer is its own ancestor";
            }
        }
        orderLayers();
        return std::nullopt;
    }

    // File order, except that a layer whose parent comes later moves to just after
    // its parent (which moves up before it, with its own ancestors).
    void orderLayers() {
        const size_t n = d_.layers.size();
        std::vector<bool> placed(n, false);
        for (size_t i = 0; i < n; ++i) {
            std::vector<size_t> chain;
            for (size_t at = i; at != n && !placed[at]; at = parentOf_[at])
                chain.push_back(at);
            for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
                placed[*it] = true;
                plan_.layerOrder.push_back(*it);
            }
        }
        plan_.layerIndex.assign(n, -1);
        for (size_t k = 0; k < n; ++k)
            plan_.layerIndex[plan_.layerOrder[k]] = static_cast<int>(k);
        plan_.addDefaultLayer = n == 0;
    }

    std::optional<std::string> checkMaterials() {
        for (size_t i = 0; i < d_.materials.size(); ++i) {
            const ON_UUID& rdk = d_.materials[i].RdkMaterialInstanceId();
            if (ON_UuidIsNotNil(rdk) && !contentIds_.count(rdk)) {
                warnings_.push_back(materialLabel(i) + ": renderMaterialInstanceId " + idText(rdk) +
                                    " names no render content of the file");
            }
        }
        return std::nullopt;
    }

    std::optional<std::string> indexObjects() {
        for (size_t i = 0; i < d_.objects.size(); ++i) {
            const auto [it, added] = objectIds_.emplace(d_.objects[i].attributes.m_uuid, i);
            if (!added) {
                return objectLabel(i) + ": id is also the id of object " + std::to_string(it->second);
            }
        }
        return std::nullopt;
    }

    std::optional<std::string> checkDefinitions() {
        plan_.definitionOf.assign(d_.objects.size(), BuildPlan::kModelObject);
        for (size_t i = 0; i < d_.definitions.size(); ++i) {
            for (const ON_UUID& member : d_.definitions[i].members) {
                const auto it = objectIds_.find(member);
                if (it == objectIds_.end())
                    return definitionLabel(i) + ": objects: no object has id " + idText(member);
                const size_t o = it->second;
                if (d_.objects[o].attributes.Mode() != ON::idef_object) {
                    return definitionLabel(i) + ": objects: " + objectLabel(o) +
                           " is a member but its mode is not \"instanceDefinition\"";
                }
                if (plan_.definitionOf[o] != BuildPlan::kModelObject) {
                    return definitionLabel(i) + ": objects: " + objectLabel(o) + " is already a member of definition " +
                           std::to_string(plan_.definitionOf[o]);
                }
                plan_.definitionOf[o] = static_cast<int>(i);
            }
        }
        return std::nullopt;
    }

    std::optional<std::string> checkObject(size_t i) {
        const ObjectData& o = d_.objects[i];
        const int layer = o.attributes.m_layer_index;
        const size_t layers = d_.layers.size();
        if (layers > 0 ? layer >= static_cast<int>(layers) : layer != 0) {
            return objectLabel(i) + ": attributes.layer: " + std::to_string(layer) + " is not a layer index (" +
                   std::to_string(layers) + " layers)";
        }
        if (auto e = checkMaterialIndex(objectLabel(i) + ": attributes.materialIndex", o.attributes.m_material_index))
            return e;
        for (const ON_MappingRef& ref : o.attributes.m_rendering_attributes.m_mappings) {
            for (const ON_MappingChannel& ch : ref.m_mapping_channels) {
                if (!mappingIds_.count(ch.m_mapping_id)) {
                    return objectLabel(i) + ": attributes.mappings: channel " +
                           std::to_string(ch.m_mapping_channel_id) + " names mapping " + idText(ch.m_mapping_id) +
                           ", which the file does not have";
                }
            }
        }
        if (o.isInstance && !definitionIds_.count(o.definitionId)) {
            return objectLabel(i) + ": instance.definition: no instance definition has id " + idText(o.definitionId);
        }
        return std::nullopt;
    }

    std::optional<std::string> checkObjects() {
        for (size_t i = 0; i < d_.objects.size(); ++i) {
            if (auto e = checkObject(i))
                return e;
            if (d_.objects[i].attributes.Mode() == ON::idef_object &&
                plan_.definitionOf[i] == BuildPlan::kModelObject) {
                plan_.definitionOf[i] = BuildPlan::kSkipped;
                warnings_.push_back(objectLabel(i) + ": a block member that no instance definition lists; not loaded");
            }
        }
        return std::nullopt;
    }

    // Definitions placed by a definition's members, by index.
    std::vector<size_t> nestedDefinitions(size_t def) const {
        std::vector<size_t> out;
        for (const ON_UUID& member : d_.definitions[def].members) {
            const ObjectData& o = d_.objects[objectIds_.at(member)];
            if (o.isInstance)
                out.push_back(definitionIds_.at(o.definitionId));
        }
        return out;
    }

    // Depth-first, nested definitions first; a definition met again while it is still
    // open places itself.
    std::optional<std::string> orderDefinitions() {
        enum class State { unvisited, open, done };
        std::vector<State> state(d_.definitions.size(), State::unvisited);
        for (size_t root = 0; root < d_.definitions.size(); ++root) {
            if (state[root] != State::unvisited)
                continue;
            std::vector<std::pair<size_t, std::vector<size_t>>> stack;
            stack.emplace_back(root, nestedDefinitions(root));
            state[root] = State::open;
            while (!stack.empty()) {
                auto& [def, pending] = stack.back();
                if (pending.empty()) {
                    state[def] = State::done;
                    plan_.definitionOrder.push_back(def);
                    stack.pop_back();
                    continue;
                }
                const size_t next = pending.back();
                pending.pop_back();
                if (state[next] == State::open)
                    return definitionLabel(next) + ": places itself through its members";
                if (state[next] == State::done)
                    continue;
                state[next] = State::open;
                stack.emplace_back(next, nestedDefinitions(next));
            }
        }
        return std::nullopt;
    }

    const DocumentData& d_;
    BuildPlan& plan_;
    std::vector<std::string>& warnings_;
    IdIndex layerIds_, materialIds_, contentIds_, mappingIds_, definitionIds_, objectIds_;
    std::vector<size_t> parentOf_;  // per layer: its parent's index, or the layer count
};

}  // namespace

std::optional<std::string> checkDocument(const DocumentData& doc, BuildPlan& plan, std::vector<std::string>& warnings) {
    return Checker(doc, plan, warnings).run();
}

}  // namespace vantro::docio
