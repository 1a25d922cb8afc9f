#include "io/document_builder.h"

#include <memory>
#include <unordered_map>
#include <vector>

#include "sdk/render/rdk_document.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object.h"

namespace vantro::docio {
namespace {

class Builder {
public:
    Builder(DocumentData& d, const BuildPlan& plan, CRhinoDoc& doc) : d_(d), plan_(plan), doc_(doc) {}

    std::optional<std::string> run() {
        if (d_.units != doc_.UnitSystem() && !doc_.SetUnitSystem(d_.units, false))
            return "the unit system was refused";
        for (auto& rc : d_.renderContents) {
            if (!doc_.RdkDocument().AddContent(rc.id, rc.typeId, rc.name))
                return refused("render content", rc.id);
        }
        for (size_t i = 0; i < d_.materials.size(); ++i) {
            if (doc_.m_material_table.AddMaterial(d_.materials[i]) != static_cast<int>(i))
                return refused("material", i);
        }
        for (size_t i = 0; i < d_.textureMappings.size(); ++i) {
            if (doc_.m_texture_mapping_table.AddTextureMapping(d_.textureMappings[i]) != static_cast<int>(i)) {
                return refused("texture mapping", i);
            }
        }
        for (size_t i = 0; i < d_.bitmaps.size(); ++i) {
            if (doc_.m_bitmap_table.AddBitmap(d_.bitmaps[i]) < 0)
                return refused("bitmap", i);
        }
        if (auto e = addLayers())
            return e;
        if (auto e = addDefinitions())
            return e;
        if (auto e = addModelObjects())
            return e;
        return addViews();
    }

private:
    static std::string refused(const char* what, size_t index) {
        return "the document refused " + std::string(what) + " " + std::to_string(index);
    }
    static std::string refused(const char* what, const ON_UUID& id) {
        return "the document refused " + std::string(what) + " " + ON_UuidToString(id).ToUtf8();
    }

    std::optional<std::string> addLayers() {
        if (plan_.addDefaultLayer) {
            ON_Layer layer;
            layer.SetName(u"Default");
            if (doc_.m_layer_table.AddLayer(layer, true) != 0)
                return "the default layer was refused";
            return std::nullopt;
        }
        for (const size_t i : plan_.layerOrder) {
            if (doc_.m_layer_table.AddLayer(d_.layers[i], true) != plan_.layerIndex[i])
                return refused("layer", i);
        }
        return std::nullopt;
    }

    // The document's object for one parsed object; its meshes move over.
    std::unique_ptr<CRhinoObject> makeObject(ObjectData& o) {
        ON_3dmObjectAttributes attributes = o.attributes;
        if (!plan_.addDefaultLayer)
            attributes.m_layer_index = plan_.layerIndex[static_cast<size_t>(attributes.m_layer_index)];
        for (ON_MappingRef& ref : attributes.m_rendering_attributes.m_mappings) {
            for (ON_MappingChannel& ch : ref.m_mapping_channels) {
                ch.m_mapping_index = doc_.m_texture_mapping_table.FindTextureMapping(ch.m_mapping_id);
            }
        }
        if (o.type == ON::mesh_object) {
            auto object = std::make_unique<CRhinoMeshObject>(*o.mesh, attributes);
            o.mesh.reset();
            return object;
        }
        if (o.isInstance)
            return std::make_unique<CRhinoInstanceObject>(o.definitionId, o.instanceXform, attributes);
        auto object = std::make_unique<CRhinoObject>(static_cast<ON::object_type>(o.type), attributes);
        if (!o.renderMeshes.empty()) {
            CRhinoObject::MeshList meshes(o.renderMeshes.begin(), o.renderMeshes.end());
            o.renderMeshes.clear();
            // Meshes the host made are built on request, like the application's own.
            object->SetRenderMeshes(std::move(meshes), !o.meshedByHost);
        }
        return object;
    }

    std::optional<std::string> addDefinitions() {
        std::vector<std::vector<size_t>> members(d_.definitions.size());
        for (size_t i = 0; i < d_.objects.size(); ++i) {
            if (plan_.definitionOf[i] >= 0)
                members[static_cast<size_t>(plan_.definitionOf[i])].push_back(i);
        }
        std::unordered_map<ON_UUID, size_t, ON_UuidHash> objectIndex;
        for (size_t i = 0; i < d_.objects.size(); ++i)
            objectIndex.emplace(d_.objects[i].attributes.m_uuid, i);
        for (const size_t def : plan_.definitionOrder) {
            CRhinoInstanceDefinitionTable::Geometry geometry;
            // Members in the order the definition lists them.
            for (const ON_UUID& id : d_.definitions[def].members)
                geometry.push_back(makeObject(d_.objects[objectIndex.at(id)]));
            if (doc_.m_instance_definition_table.AddInstanceDefinition(d_.definitions[def].definition,
                                                                       std::move(geometry)) < 0) {
                return refused("instance definition", def);
            }
        }
        return std::nullopt;
    }

    std::optional<std::string> addModelObjects() {
        for (size_t i = 0; i < d_.objects.size(); ++i) {
            if (plan_.definitionOf[i] != BuildPlan::kModelObject)
                continue;
            if (!doc_.AddObject(makeObject(d_.objects[i])))
                return refused("object", i);
        }
        return std::nullopt;
    }

    std::optional<std::string> addViews() {
        std::vector<CRhinoView*> views;
        for (size_t i = 0; i < d_.views.size(); ++i) {
            CRhinoView* view = doc_.AddView(d_.views[i].viewport, d_.views[i].name);
            if (!view)
                return refused("view", i);
            views.push_back(view);
        }
        if (d_.activeView >= 0 && !doc_.SetActiveView(views[static_cast<size_t>(d_.activeView)])) {
            return "the active view was refused";
        }
        return std::nullopt;
    }

    DocumentData& d_;
    const BuildPlan& plan_;
    CRhinoDoc& doc_;
};

}  // namespace

std::optional<std::string> buildDocument(DocumentData& data, const BuildPlan& plan, CRhinoDoc& doc) {
    return Builder(data, plan, doc).run();
}

}  // namespace vantro::docio
