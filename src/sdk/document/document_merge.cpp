// CRhinoApp::OpenDocument with merge: the read document's content is added to the
// active document through the editing functions, so every addition raises its event.

#include <algorithm>
#include <vector>

#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

namespace {

struct IndexMaps {
    std::vector<int> layers;
    std::vector<int> materials;
    std::vector<int> mappings;
    std::vector<std::pair<ON_UUID, ON_UUID>> mappingIds;  // source id -> target id
    int fallbackLayer = 0;

    static int at(const std::vector<int>& map, int index, int none) {
        return index >= 0 && index < static_cast<int>(map.size()) && map[static_cast<size_t>(index)] >= 0
                   ? map[static_cast<size_t>(index)]
                   : none;
    }

    ON_3dmObjectAttributes remap(ON_3dmObjectAttributes a) const {
        a.m_layer_index = at(layers, a.m_layer_index, fallbackLayer);
        a.m_material_index = a.m_material_index < 0 ? -1 : at(materials, a.m_material_index, -1);
        for (ON_MappingRef& ref : a.m_rendering_attributes.m_mappings) {
            for (ON_MappingChannel& channel : ref.m_mapping_channels) {
                for (const auto& [from, to] : mappingIds)
                    if (channel.m_mapping_id == from)
                        channel.m_mapping_id = to;
                channel.m_mapping_index = at(mappings, channel.m_mapping_index, -1);
            }
        }
        return a;
    }

    std::unique_ptr<CRhinoObject> copy(const CRhinoObject& object) const {
        std::unique_ptr<CRhinoObject> dup = object.DuplicateObject();
        dup->SetAttributes(remap(object.Attributes()));
        for (const auto& [ci, index] : object.ComponentMaterialIndices())
            dup->SetComponentMaterialIndex(ci, at(materials, index, -1));
        return dup;
    }
};

// True when every block the object (an instance) places exists in target.
bool placeable(const CRhinoObject& object, const CRhinoDoc& target) {
    const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(&object);
    return !instance ||
           target.m_instance_definition_table.FindInstanceDefinition(instance->InstanceDefinitionId()) >= 0;
}

}  // namespace

bool CRhinoApp::mergeDocument(CRhinoDoc& target, CRhinoDoc& source) {
    IndexMaps maps;
    maps.fallbackLayer = std::max(target.m_layer_table.CurrentLayerIndex(), 0);

    const CRhinoMaterialTable& materials = source.m_material_table;
    for (int i = 0; i < materials.MaterialCount(); ++i)
        maps.materials.push_back(materials[i].IsDeleted() ? -1 : target.m_material_table.AddMaterial(materials[i]));

    const CRhinoTextureMappingTable& mappings = source.m_texture_mapping_table;
    for (int i = 0; i < mappings.TextureMappingCount(); ++i) {
        const int added = mappings[i].IsDeleted() ? -1 : target.m_texture_mapping_table.AddTextureMapping(mappings[i]);
        maps.mappings.push_back(added);
        if (added >= 0)
            maps.mappingIds.emplace_back(mappings[i].Id(), target.m_texture_mapping_table[added].Id());
    }

    for (int i = 0; i < source.m_bitmap_table.BitmapCount(); ++i) {
        const ON_Bitmap* bitmap = source.m_bitmap_table.Bitmap(i);
        if (target.m_bitmap_table.FindBitmapFromId(bitmap->Id()) < 0)
            target.m_bitmap_table.AddBitmap(*bitmap);
    }
    for (int i = 0; i < source.RdkDocument().ContentCount(); ++i)
        target.RdkDocument().AddContent(source.RdkDocument().Content(i)->Clone());

    // Layers come parents first in both tables, and keep their ids (a layer whose id
    // is already there is the same layer).
    const CRhinoLayerTable& layers = source.m_layer_table;
    for (int i = 0; i < layers.LayerCount(); ++i) {
        const CRhinoLayer& layer = layers[i];
        int index = layer.IsDeleted() ? -1 : target.m_layer_table.FindLayerFromId(layer.Id());
        if (!layer.IsDeleted() && index < 0) {
            ON_Layer copy = layer;
            copy.SetRenderMaterialIndex(IndexMaps::at(maps.materials, layer.RenderMaterialIndex(), -1));
            index = target.m_layer_table.AddLayer(copy);
        }
        maps.layers.push_back(index);
    }

    // Definitions may place each other: add those whose blocks are all present until
    // no more can be added.
    std::vector<int> pending;
    for (int i = 0; i < source.m_instance_definition_table.InstanceDefinitionCount(); ++i)
        if (!source.m_instance_definition_table[i].IsDeleted())
            pending.push_back(i);
    for (bool progress = true; progress && !pending.empty();) {
        progress = false;
        for (auto it = pending.begin(); it != pending.end();) {
            const CRhinoInstanceDefinition& idef = source.m_instance_definition_table[*it];
            bool ready = target.m_instance_definition_table.FindInstanceDefinition(idef.Id()) >= 0;
            if (!ready) {
                bool all = true;
                for (int k = 0; k < idef.ObjectCount(); ++k)
                    all = all && placeable(*idef.Object(k), target);
                if (all) {
                    CRhinoInstanceDefinitionTable::Geometry geometry;
                    for (int k = 0; k < idef.ObjectCount(); ++k)
                        geometry.push_back(maps.copy(*idef.Object(k)));
                    ready = target.m_instance_definition_table.AddInstanceDefinition(idef, std::move(geometry)) >= 0;
                }
            }
            if (ready) {
                it = pending.erase(it);
                progress = true;
            } else {
                ++it;
            }
        }
    }

    bool complete = pending.empty();
    for (const CRhinoObject* object : source.Objects()) {
        if (object->IsDeleted() || object->IsInstanceDefinitionGeometry())
            continue;
        if (!target.AddObject(maps.copy(*object), object->IsReference()))
            complete = false;
    }
    return complete;
}
