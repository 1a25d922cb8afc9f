#include "document_sync.h"

#include <cstring>
#include <set>
#include <vector>

#include "mesh_motion.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/geometry/on_mesh.h"

namespace vantro::host {

namespace {

// --- equality of what a file carries -------------------------------------------

bool sameMesh(const ON_Mesh* a, const ON_Mesh* b) {
    if (a == b)
        return true;
    return a && b && a->m_V == b->m_V && a->m_F == b->m_F && a->m_N == b->m_N && a->m_FN == b->m_FN && a->m_T == b->m_T;
}

bool sameMeshes(const CRhinoObject::MeshList& a, const CRhinoObject::MeshList& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!sameMesh(a[i].get(), b[i].get()))
            return false;
    return true;
}

bool sameTexture(const ON_Texture& a, const ON_Texture& b) {
    return a.m_texture_id == b.m_texture_id && a.m_mapping_channel_id == b.m_mapping_channel_id &&
           a.m_image_file_reference == b.m_image_file_reference && a.m_bOn == b.m_bOn && a.m_type == b.m_type &&
           a.m_mode == b.m_mode && a.m_blend_constant_A == b.m_blend_constant_A && a.m_uvw == b.m_uvw;
}

bool sameMaterial(const ON_Material& a, const ON_Material& b) {
    if (a.Name() != b.Name() || a.m_ambient != b.m_ambient || a.m_diffuse != b.m_diffuse ||
        a.m_emission != b.m_emission || a.m_specular != b.m_specular || a.m_reflection != b.m_reflection ||
        a.m_transparent != b.m_transparent || a.m_index_of_refraction != b.m_index_of_refraction ||
        a.m_reflectivity != b.m_reflectivity || a.m_shine != b.m_shine || a.m_transparency != b.m_transparency ||
        a.RdkMaterialInstanceId() != b.RdkMaterialInstanceId() || a.m_textures.Count() != b.m_textures.Count())
        return false;
    for (int i = 0; i < a.m_textures.Count(); ++i)
        if (!sameTexture(a.m_textures[i], b.m_textures[i]))
            return false;
    return true;
}

bool sameMapping(const ON_TextureMapping& a, const ON_TextureMapping& b) {
    return a.Name() == b.Name() && a.m_type == b.m_type && a.m_projection == b.m_projection &&
           a.m_texture_space == b.m_texture_space && a.m_bCapped == b.m_bCapped && a.m_Pxyz == b.m_Pxyz &&
           a.m_Nxyz == b.m_Nxyz && a.m_uvw == b.m_uvw;
}

bool sameLayer(const ON_Layer& a, const ON_Layer& b) {
    return a.Name() == b.Name() && a.ParentLayerId() == b.ParentLayerId() && a.IsVisible() == b.IsVisible() &&
           a.IsLocked() == b.IsLocked() && a.Color() == b.Color() && a.RenderMaterialIndex() == b.RenderMaterialIndex();
}

bool sameBitmap(const ON_Bitmap& a, const ON_Bitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitsPerPixel() != b.BitsPerPixel() ||
        !(a.m_file_reference == b.m_file_reference) || a.SizeofImage() != b.SizeofImage())
        return false;
    // The rows are one block (SizeofImage bytes from the first row).
    return a.SizeofImage() == 0 || std::memcmp(a.Bits(0), b.Bits(0), a.SizeofImage()) == 0;
}

std::vector<const ON_Mesh*> meshesOf(const CRhinoObject& object) {
    std::vector<const ON_Mesh*> meshes;
    if (const CRhinoMeshObject* mesh = CRhinoMeshObject::Cast(&object))
        meshes.push_back(mesh->Mesh());
    for (const auto& mesh : object.RenderMeshes())
        meshes.push_back(mesh.get());
    for (const auto& mesh : object.CustomRenderMeshes())
        meshes.push_back(mesh.get());
    return meshes;
}

// Everything of an object but its attributes; material indices already remapped.
bool sameGeometry(const CRhinoObject& a, const CRhinoObject& b) {
    if (a.ObjectType() != b.ObjectType() || a.ComponentMaterialIndices() != b.ComponentMaterialIndices() ||
        a.HasCustomRenderMeshData() != b.HasCustomRenderMeshData() ||
        a.CustomRenderMeshesDeliverable() != b.CustomRenderMeshesDeliverable() ||
        !(a.CustomRenderMeshXform() == b.CustomRenderMeshXform()) ||
        !sameMeshes(a.CustomRenderMeshes(), b.CustomRenderMeshes()) || !sameMeshes(a.RenderMeshes(), b.RenderMeshes()))
        return false;
    const CRhinoMeshObject* meshA = CRhinoMeshObject::Cast(&a);
    const CRhinoMeshObject* meshB = CRhinoMeshObject::Cast(&b);
    if ((meshA == nullptr) != (meshB == nullptr) || (meshA && !sameMesh(meshA->Mesh(), meshB->Mesh())))
        return false;
    const CRhinoInstanceObject* instanceA = CRhinoInstanceObject::Cast(&a);
    const CRhinoInstanceObject* instanceB = CRhinoInstanceObject::Cast(&b);
    if ((instanceA == nullptr) != (instanceB == nullptr))
        return false;
    return !instanceA || (instanceA->InstanceDefinitionId() == instanceB->InstanceDefinitionId() &&
                          instanceA->InstanceXform() == instanceB->InstanceXform());
}

// A changed geometry that is the old one placed elsewhere.
bool onlyMoved(const CRhinoObject& before, const CRhinoObject& after) {
    const CRhinoInstanceObject* a = CRhinoInstanceObject::Cast(&before);
    const CRhinoInstanceObject* b = CRhinoInstanceObject::Cast(&after);
    if (a || b)
        return a && b && a->InstanceDefinitionId() == b->InstanceDefinitionId();
    if (before.ObjectType() != after.ObjectType() ||
        before.ComponentMaterialIndices() != after.ComponentMaterialIndices())
        return false;
    const std::optional<ON_Xform> motion = findMeshMotion(meshesOf(before), meshesOf(after));
    return motion && keepsShape(*motion);
}

// --- indices of the read document in the open one -------------------------------

struct IndexMap {
    std::vector<int> layers;
    std::vector<int> materials;
    std::vector<int> mappings;

    static int at(const std::vector<int>& map, int index, int none) {
        return index >= 0 && index < static_cast<int>(map.size()) && map[static_cast<size_t>(index)] >= 0
                   ? map[static_cast<size_t>(index)]
                   : none;
    }

    ON_3dmObjectAttributes remap(ON_3dmObjectAttributes a, int fallbackLayer) const {
        a.m_layer_index = at(layers, a.m_layer_index, fallbackLayer);
        a.m_material_index = a.m_material_index < 0 ? a.m_material_index : at(materials, a.m_material_index, -1);
        // Mapping channels name their mapping by id, which the open document keeps.
        for (ON_MappingRef& ref : a.m_rendering_attributes.m_mappings)
            for (ON_MappingChannel& channel : ref.m_mapping_channels)
                channel.m_mapping_index = at(mappings, channel.m_mapping_index, -1);
        return a;
    }

    // A copy of a read object that may enter the open document.
    std::unique_ptr<CRhinoObject> copy(const CRhinoObject& object, int fallbackLayer) const {
        std::unique_ptr<CRhinoObject> dup = object.DuplicateObject();
        dup->SetAttributes(remap(object.Attributes(), fallbackLayer));
        for (const auto& [ci, index] : object.ComponentMaterialIndices())
            dup->SetComponentMaterialIndex(ci, at(materials, index, -1));
        return dup;
    }
};

bool isModelObject(const CRhinoObject& object) {
    return !object.IsDeleted() && !object.IsInstanceDefinitionGeometry() && !object.IsReference();
}

// --- the steps, in an order that keeps every reference valid -------------------

class Sync {
public:
    Sync(CRhinoDoc& open, const CRhinoDoc& read) : open_(open), read_(read) {}

    DocumentChanges run() {
        units();
        bitmaps();
        materials();
        mappings();
        layers();
        definitions();
        objects();
        removeDefinitions();
        removeLayers();
        removeMaterials();
        removeMappings();
        views();
        return changes_;
    }

private:
    void count(bool applied, int& kind) { applied ? ++kind : ++changes_.refused; }

    void units() {
        if (read_.UnitSystem() == open_.UnitSystem())
            return;
        changes_.units = open_.SetUnitSystem(read_.UnitSystem(), false);
        changes_.refused += changes_.units ? 0 : 1;
    }

    // Images first: a material that shows a changed image is told so below, even when
    // its own fields are the same.
    void bitmaps() {
        const CRhinoBitmapTable& from = read_.m_bitmap_table;
        CRhinoBitmapTable& to = open_.m_bitmap_table;
        for (int i = 0; i < from.BitmapCount(); ++i) {
            const ON_Bitmap& bitmap = *from.Bitmap(i);
            const int index = to.FindBitmapFromId(bitmap.Id());
            if (index < 0) {
                to.AddBitmap(bitmap);
            } else if (!sameBitmap(*to.Bitmap(index), bitmap) && to.ReplaceBitmap(index, bitmap)) {
                changedImages_.insert(bitmap.Id());
            }
        }
    }

    bool showsChangedImage(const CRhinoMaterial& material) const {
        for (int i = 0; i < material.m_textures.Count(); ++i) {
            const ON_Bitmap* image = material.TextureBitmap(material.m_textures[i].m_type);
            if (image && changedImages_.count(image->Id()))
                return true;
        }
        return false;
    }

    void materials() {
        const CRhinoMaterialTable& from = read_.m_material_table;
        CRhinoMaterialTable& to = open_.m_material_table;
        for (int i = 0; i < from.MaterialCount(); ++i) {
            const CRhinoMaterial& material = from[i];
            int index = material.IsDeleted() ? -1 : to.FindMaterialFromId(material.Id(), false);
            if (material.IsDeleted()) {
            } else if (index < 0) {
                index = to.AddMaterial(material);
                count(index >= 0, changes_.materials);
            } else if (to[index].IsDeleted()) {
                const bool ok = to.UndeleteMaterial(index) &&
                                (sameMaterial(to[index], material) || to.ModifyMaterial(material, index, false));
                count(ok, changes_.materials);
            } else if (!sameMaterial(to[index], material) || showsChangedImage(to[index])) {
                count(to.ModifyMaterial(material, index, false), changes_.materials);
            }
            map_.materials.push_back(index);
        }
    }

    void mappings() {
        const CRhinoTextureMappingTable& from = read_.m_texture_mapping_table;
        CRhinoTextureMappingTable& to = open_.m_texture_mapping_table;
        for (int i = 0; i < from.TextureMappingCount(); ++i) {
            const ON_TextureMapping& mapping = from[i];
            int index = mapping.IsDeleted() ? -1 : to.FindTextureMapping(mapping.Id(), false);
            if (mapping.IsDeleted()) {
            } else if (index < 0) {
                index = to.AddTextureMapping(mapping);
                count(index >= 0, changes_.mappings);
            } else if (to[index].IsDeleted()) {
                const bool ok = to.UndeleteTextureMapping(index) &&
                                (sameMapping(to[index], mapping) || to.ModifyTextureMapping(mapping, index));
                count(ok, changes_.mappings);
            } else if (!sameMapping(to[index], mapping)) {
                count(to.ModifyTextureMapping(mapping, index), changes_.mappings);
            }
            map_.mappings.push_back(index);
        }
    }

    // Layers come parents first in a read table, so a parent is there before its
    // children name it.
    void layers() {
        const CRhinoLayerTable& from = read_.m_layer_table;
        CRhinoLayerTable& to = open_.m_layer_table;
        for (int i = 0; i < from.LayerCount(); ++i) {
            const CRhinoLayer& read = from[i];
            ON_Layer layer = read;
            layer.SetRenderMaterialIndex(IndexMap::at(map_.materials, read.RenderMaterialIndex(), -1));
            int index = read.IsDeleted() ? -1 : to.FindLayerFromId(read.Id(), false);
            if (read.IsDeleted()) {
            } else if (index < 0) {
                index = to.AddLayer(layer);
                count(index >= 0, changes_.layers);
            } else if (to[index].IsDeleted()) {
                const bool ok =
                    to.UndeleteLayer(index) && (sameLayer(to[index], layer) || to.ModifyLayer(layer, index));
                count(ok, changes_.layers);
            } else if (!sameLayer(to[index], layer)) {
                count(to.ModifyLayer(layer, index), changes_.layers);
            }
            map_.layers.push_back(index);
        }
        fallbackLayer_ = std::max(to.CurrentLayerIndex(), 0);
    }

    CRhinoInstanceDefinitionTable::Geometry members(const CRhinoInstanceDefinition& definition) const {
        CRhinoInstanceDefinitionTable::Geometry geometry;
        for (int k = 0; k < definition.ObjectCount(); ++k)
            geometry.push_back(map_.copy(*definition.Object(k), fallbackLayer_));
        return geometry;
    }

    // A member's id is the document's to choose (adopting a member whose id is taken
    // gives it a new one), so it is no part of the content; but a member must not keep
    // an id that the file gives a model object, or that object could never be added
    // under its own id.
    bool sameMembers(const CRhinoInstanceDefinition& open, const CRhinoInstanceDefinition& read) const {
        if (open.ObjectCount() != read.ObjectCount())
            return false;
        for (int k = 0; k < open.ObjectCount(); ++k) {
            const CRhinoObject& kept = *open.Object(k);
            const std::unique_ptr<CRhinoObject> member = map_.copy(*read.Object(k), fallbackLayer_);
            ON_3dmObjectAttributes attributes = member->Attributes();
            attributes.m_uuid = kept.Id();
            if (!sameGeometry(kept, *member) || !(kept.Attributes() == attributes) ||
                namesModelObject(read_, kept.Id()))
                return false;
        }
        return true;
    }

    static bool namesModelObject(const CRhinoDoc& doc, const ON_UUID& id) {
        const CRhinoObject* object = doc.LookupObject(id);
        return object && isModelObject(*object);
    }

    // A definition may place others: one whose blocks are not all there yet waits for
    // the next round, until a round adds nothing.
    void definitions() {
        const CRhinoInstanceDefinitionTable& from = read_.m_instance_definition_table;
        std::vector<int> pending;
        for (int i = 0; i < from.InstanceDefinitionCount(); ++i)
            if (!from[i].IsDeleted())
                pending.push_back(i);
        for (bool progress = true; progress && !pending.empty();) {
            progress = false;
            for (auto it = pending.begin(); it != pending.end();) {
                if (definition(from[*it])) {
                    it = pending.erase(it);
                    progress = true;
                } else {
                    ++it;
                }
            }
        }
        changes_.refused += static_cast<int>(pending.size());
    }

    bool placeable(const CRhinoInstanceDefinition& definition) const {
        for (int k = 0; k < definition.ObjectCount(); ++k) {
            const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(definition.Object(k));
            if (instance &&
                open_.m_instance_definition_table.FindInstanceDefinition(instance->InstanceDefinitionId()) < 0)
                return false;
        }
        return true;
    }

    // False while the definition cannot be added yet.
    bool definition(const CRhinoInstanceDefinition& read) {
        CRhinoInstanceDefinitionTable& to = open_.m_instance_definition_table;
        const int index = to.FindInstanceDefinition(read.Id(), false);
        if (index < 0) {
            if (!placeable(read))
                return false;
            count(to.AddInstanceDefinition(read, members(read)) >= 0, changes_.blocks);
            return true;
        }
        bool changed = false, ok = true;
        if (to[index].IsDeleted())
            changed = true, ok = to.UndeleteInstanceDefinition(index);
        if (ok && (to[index].Name() != read.Name() || to[index].Description() != read.Description()))
            changed = true, ok = to.ModifyInstanceDefinition(read, index);
        if (ok && !sameMembers(to[index], read)) {
            if (!placeable(read))
                return false;
            changed = true, ok = to.ModifyInstanceDefinitionGeometry(index, members(read));
        }
        if (changed)
            count(ok, changes_.blocks);
        return true;
    }

    void objects() {
        std::set<ON_UUID> inFile;
        for (const CRhinoObject* object : read_.Objects()) {
            if (!isModelObject(*object))
                continue;
            inFile.insert(object->Id());
            object_(*object);
        }
        // Collected first: deleting changes the list being walked.
        std::vector<const CRhinoObject*> gone;
        for (const CRhinoObject* object : open_.Objects())
            if (isModelObject(*object) && !inFile.count(object->Id()))
                gone.push_back(object);
        for (const CRhinoObject* object : gone)
            count(open_.DeleteObject(object, false, true), changes_.deleted);
    }

    void object_(const CRhinoObject& read) {
        std::unique_ptr<CRhinoObject> copy = map_.copy(read, fallbackLayer_);
        const CRhinoObject* open = open_.LookupObject(read.Id());
        if (open && !isModelObject(*open)) {
            // The id is held by what this step leaves alone (a reference object, the
            // geometry of a block the file no longer has): added, the object would get
            // a new id and be added again at every save.
            ++changes_.refused;
            return;
        }
        if (!open) {
            count(open_.AddObject(std::move(copy)) != nullptr, changes_.added);
            return;
        }
        if (sameGeometry(*open, *copy)) {
            if (!(open->Attributes() == copy->Attributes()))
                count(open_.ModifyObjectAttributes(open, copy->Attributes()), changes_.attributes);
            return;
        }
        // The file's own copy replaces the object even when it only moved, so that no
        // rounding of a recomputed transformation creeps in from save to save.
        int& kind = onlyMoved(*open, *copy) ? changes_.moved : changes_.replaced;
        count(open_.ReplaceObject(open, std::move(copy)) != nullptr, kind);
    }

    void removeDefinitions() {
        const CRhinoInstanceDefinitionTable& from = read_.m_instance_definition_table;
        CRhinoInstanceDefinitionTable& to = open_.m_instance_definition_table;
        for (int i = 0; i < to.InstanceDefinitionCount(); ++i) {
            const int found = from.FindInstanceDefinition(to[i].Id());
            if (!to[i].IsDeleted() && found < 0)
                count(to.DeleteInstanceDefinition(i), changes_.blocks);
        }
    }

    void removeLayers() {
        CRhinoLayerTable& to = open_.m_layer_table;
        auto inFile = [this](const CRhinoLayer& layer) { return read_.m_layer_table.FindLayerFromId(layer.Id()) >= 0; };
        // The current layer cannot go: another one of the file's takes its place.
        if (to.CurrentLayerIndex() >= 0 && !inFile(to[to.CurrentLayerIndex()])) {
            for (int index : map_.layers)
                if (index >= 0 && !to[index].IsDeleted() && to.SetCurrentLayerIndex(index))
                    break;
        }
        // Children before parents: a layer with undeleted children cannot go.
        for (int i = to.LayerCount() - 1; i >= 0; --i)
            if (!to[i].IsDeleted() && !inFile(to[i]))
                count(to.DeleteLayer(i, false), changes_.layers);
    }

    void removeMaterials() {
        CRhinoMaterialTable& to = open_.m_material_table;
        for (int i = 0; i < to.MaterialCount(); ++i)
            if (!to[i].IsDeleted() && read_.m_material_table.FindMaterialFromId(to[i].Id()) < 0)
                count(to.DeleteMaterial(i), changes_.materials);
    }

    void removeMappings() {
        CRhinoTextureMappingTable& to = open_.m_texture_mapping_table;
        for (int i = 0; i < to.TextureMappingCount(); ++i)
            if (!to[i].IsDeleted() && read_.m_texture_mapping_table.FindTextureMapping(to[i].Id()) < 0)
                count(to.DeleteTextureMapping(i), changes_.mappings);
    }

    static CRhinoView* viewNamed(const CRhinoDoc& doc, const ON_wString& name) {
        ON_SimpleArray<CRhinoView*> list;
        doc.GetViewList(list);
        for (CRhinoView* view : list)
            if (view->Viewport().Name() == name)
                return view;
        return nullptr;
    }

    // Views are matched by name; a view the file no longer has stays (closing a
    // window is the user's business, not the file's).
    void views() {
        ON_SimpleArray<CRhinoView*> list;
        if (read_.GetViewList(list) == 0)
            return;
        std::set<std::u16string> seen;
        for (const CRhinoView* view : list) {
            const CRhinoViewport& read = view->Viewport();
            // Of views that share a name, the first one speaks for them.
            if (!seen.insert(read.Name().str()).second)
                continue;
            CRhinoView* open = viewNamed(open_, read.Name());
            if (!open)
                count(open_.AddView(read.VP(), read.Name()) != nullptr, changes_.views);
            else if (!(open->Viewport().VP() == read.VP()))
                count(open->Viewport().SetVP(read.VP()), changes_.views);
        }
        const CRhinoView* active = read_.ActiveView();
        CRhinoView* wanted = active ? viewNamed(open_, active->Viewport().Name()) : nullptr;
        if (wanted && wanted != open_.ActiveView())
            count(open_.SetActiveView(wanted), changes_.views);
    }

    CRhinoDoc& open_;
    const CRhinoDoc& read_;
    IndexMap map_;
    int fallbackLayer_ = 0;
    std::set<ON_UUID> changedImages_;
    DocumentChanges changes_;
};

void addPart(std::string& text, int n, const char* one, const char* many) {
    if (n == 0)
        return;
    text += (text.empty() ? "" : ", ") + std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string describeChanges(const DocumentChanges& c) {
    std::string text;
    addPart(text, c.added, "object added", "objects added");
    addPart(text, c.deleted, "object deleted", "objects deleted");
    addPart(text, c.replaced, "object replaced", "objects replaced");
    addPart(text, c.moved, "object moved", "objects moved");
    addPart(text, c.attributes, "object's attributes", "objects' attributes");
    addPart(text, c.layers, "layer", "layers");
    addPart(text, c.materials, "material", "materials");
    addPart(text, c.mappings, "texture mapping", "texture mappings");
    addPart(text, c.blocks, "block", "blocks");
    addPart(text, c.views, "view", "views");
    if (c.units)
        text += text.empty() ? "units" : ", units";
    if (text.empty())
        text = "no changes";
    if (c.refused > 0)
        text += "; " + std::to_string(c.refused) + (c.refused == 1 ? " edit" : " edits") + " refused";
    return text;
}

DocumentChanges applyDocumentChanges(CRhinoDoc& open, const CRhinoDoc& read) { return Sync(open, read).run(); }

}  // namespace vantro::host
