#include "document/block_nesting_check.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "sdk/document/block_nesting.h"
#include "sdk/document/rhino_instance_definition_table.h"
#include "sdk/document/rhino_object.h"
#include "sdk/geometry/on_mesh.h"

namespace {

// What one instance of a definition places.
struct Reach {
    int depth = 0;           // instance levels inside: 0 when it holds no instance
    uint64_t expansion = 0;  // placed triangles (an object without a mesh counts one)
};

uint64_t saturatingAdd(uint64_t a, uint64_t b) { return std::min(a + b, kMaxBlockExpansion + 1); }

uint64_t objectExpansion(const CRhinoObject& object) {
    uint64_t triangles = 0;
    for (const auto& mesh : object.RenderMeshes())
        if (mesh)
            triangles = saturatingAdd(triangles, static_cast<uint64_t>(std::max(0, mesh->TriangleCount())));
    return std::max<uint64_t>(triangles, 1);
}

class NestingWalk {
public:
    NestingWalk(const CRhinoInstanceDefinitionTable& table, const ON_UUID& self,
                const std::vector<std::unique_ptr<CRhinoObject>>& geometry)
        : table_(table), self_(self) {
        for (const auto& object : geometry)
            selfObjects_.push_back(object.get());
    }

    // Reach of one instance of the definition id, with `enclosing` instances around it.
    Reach definition(const ON_UUID& id, int enclosing) {
        if (problem_ != BlockNestingProblem::none)
            return {};
        if (!IsFollowedBlockLevel(enclosing)) {
            problem_ = BlockNestingProblem::tooDeep;
            return {};
        }
        // A finished definition's reach is the same at any level; only the depth
        // check depends on the level, and the reach's depth carries it.
        if (auto known = done_.find(id); known != done_.end()) {
            if (!IsFollowedBlockLevel(enclosing + known->second.depth))
                problem_ = BlockNestingProblem::tooDeep;
            return known->second;
        }
        std::vector<const CRhinoObject*> objects;
        if (!membersOf(id, objects))
            return {};  // not in the document (yet): places nothing
        if (!open_.insert(id).second) {
            problem_ = BlockNestingProblem::placesItself;
            return {};
        }
        Reach reach = members(objects, enclosing + 1);
        open_.erase(id);
        if (problem_ == BlockNestingProblem::none)
            done_.emplace(id, reach);
        return reach;
    }

    BlockNestingProblem problem() const { return problem_; }

private:
    bool membersOf(const ON_UUID& id, std::vector<const CRhinoObject*>& objects) const {
        if (id == self_) {
            objects = selfObjects_;
            return true;
        }
        const CRhinoInstanceDefinition* found = table_.InstanceDefinition(table_.FindInstanceDefinition(id, false));
        if (!found)
            return false;
        for (int i = 0; i < found->ObjectCount(); ++i)
            objects.push_back(found->Object(i));
        return true;
    }

    // Reach of a list of members with `enclosing` instances around them.
    Reach members(const std::vector<const CRhinoObject*>& objects, int enclosing) {
        Reach total;
        for (const CRhinoObject* object : objects) {
            if (problem_ != BlockNestingProblem::none)
                break;
            if (!object)
                continue;
            const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(object);
            if (!instance) {
                total.expansion = saturatingAdd(total.expansion, objectExpansion(*object));
                continue;
            }
            Reach inner = definition(instance->InstanceDefinitionId(), enclosing);
            total.depth = std::max(total.depth, inner.depth + 1);
            total.expansion = saturatingAdd(total.expansion, inner.expansion);
        }
        if (problem_ == BlockNestingProblem::none && total.expansion > kMaxBlockExpansion)
            problem_ = BlockNestingProblem::tooLarge;
        return total;
    }

    const CRhinoInstanceDefinitionTable& table_;
    ON_UUID self_;
    std::vector<const CRhinoObject*> selfObjects_;
    std::unordered_map<ON_UUID, Reach, ON_UuidHash> done_;
    std::unordered_set<ON_UUID, ON_UuidHash> open_;  // the definitions on the path being walked
    BlockNestingProblem problem_ = BlockNestingProblem::none;
};

}  // namespace

BlockNestingProblem checkBlockNesting(const CRhinoInstanceDefinitionTable& table, const ON_UUID& self,
                                      const std::vector<std::unique_ptr<CRhinoObject>>& geometry, bool alsoPlacers) {
    NestingWalk walk(table, self, geometry);
    walk.definition(self, 0);
    for (int i = 0; alsoPlacers && i < table.InstanceDefinitionCount(); ++i)
        walk.definition(table[i].Id(), 0);
    return walk.problem();
}
