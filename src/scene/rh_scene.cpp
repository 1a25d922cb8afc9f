// RHScene: construction, Load/Clear, the object bookkeeping and the material lookup.
// Mesh extraction is rh_scene_extraction.cpp; the worker is rh_scene_sync.cpp.

#include "scene/rh_scene.h"

#include <cassert>
#include <string>

#include "link/live_connection.h"
#include "materials/material_manager.h"
#include "settings/plugin_settings.h"
#include "sdk/render/rdk_custom_render_meshes.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object.h"
#include "sdk/document/rhino_object_iterator.h"

namespace {

constexpr int kInitialCandidates = 512;
constexpr char16_t kLoadingLabel[] = u"Velora Vantro: loading scene";

}  // namespace

RHScene::RHScene(VantroAPI::LiveConnection* linkIn, MaterialManager* materialsIn)
    : link(linkIn), materials(materialsIn) {}

RHScene::~RHScene() { Clear(); }

bool RHScene::Load(CRhinoDoc* document, const PluginSettings* settings, bool forExport) {
    Clear();
    if (!document)
        return false;
    if (forExport && settings)
        exportNodes = settings->exportNodes != 0;
    doc = document;

    CRhinoObjectIterator it(doc->RuntimeSerialNumber(), CRhinoObjectIterator::undeleted_objects,
                            CRhinoObjectIterator::active_objects);
    it.EnableVisibleFilter(true);
    ON_SimpleArray<const CRhinoObject*> candidates(kInitialCandidates);
    for (const CRhinoObject* object = it.First(); object; object = it.Next()) {
        const bool node = exportNodes && object->ObjectType() == ON::instance_reference;
        if (node || object->IsMeshable(ON::render_mesh) || HasCustomMeshes(object))
            candidates.Append(object);
    }
    AddObjects(candidates, true);

    // The worker starts with sceneLock free and nothing to do: it sends nothing until
    // the caller's ReleaseScene.
    mainHoldsLock = false;
    dirty = false;
    running = true;
    worker = std::thread(&RHScene::WorkerLoop, this);
    return true;
}

void RHScene::Clear() {
    running = false;
    dirty = false;
    { std::lock_guard<std::mutex> pause(pauseMutex_); }
    pauseWake_.notify_all();
    if (mainHoldsLock.exchange(false))
        sceneLock.unlock();
    if (worker.joinable())
        worker.join();

    objects.clear();
    materialMeshes.clear();
    meshes.clear();
    pendingMaterials.clear();
    nodes.clear();
    // Replaced buffers that were waiting for a publication nobody will make.
    if (link)
        for (uint32_t id : retiredBuffers_)
            link->DestroyBuffer(id);
    retiredBuffers_.clear();
    unpublished_.clear();
    geometry_.clear();
    reportedObjects_.clear();
    oversizeReported_.clear();
    exportNodes = false;
    doc = nullptr;
}

bool RHScene::AddObjects(const ON_SimpleArray<const CRhinoObject*>& objectsToAdd, bool showProgress) {
    CRhinoApp& app = RhinoApp();
    if (showProgress)
        app.StatusBarProgressMeterStart(0, objectsToAdd.Count(), kLoadingLabel, false, true);
    const RendererMatrix identity;
    for (int i = 0; i < objectsToAdd.Count(); ++i) {
        if (showProgress)
            app.StatusBarProgressMeterPos(i, true);
        const CRhinoObject* object = objectsToAdd[i];
        if (object && !object->IsInstanceDefinitionGeometry())
            AddObject(object, nullptr, &identity);
    }
    if (showProgress)
        app.StatusBarProgressMeterEnd();
    return true;
}

bool RHScene::RemoveObject(uint64_t serial) {
    const auto found = objects.find(serial);
    if (found == objects.end())
        return false;
    for (uint64_t meshId : found->second.meshIds)
        RemoveMesh(meshId);
    objects.erase(found);
    return true;
}

bool RHScene::RemoveMesh(uint64_t meshId) {
    const auto found = meshes.find(meshId);
    if (found == meshes.end() || !found->second)
        return false;
    MeshInfo* mi = found->second.get();
    pendingMaterials.insert(mi->materialId);
    materialMeshes[mi->materialId].erase(mi);
    meshes.erase(found);
    return true;
}

int RHScene::MaterialIndexOf(const CRhinoObject* object, const CRhinoObject* top) const {
    if (!object)
        return -1;
    const CRhinoObject* o = object;
    const CRhinoObject* p = top ? top : object;
    for (;;) {
        const CRhinoObjectAttributes& attributes = o->Attributes();
        switch (attributes.MaterialSource()) {
            case ON::material_from_object: return attributes.m_material_index;
            case ON::material_from_parent:
                if (p) {
                    o = p;
                    p = nullptr;
                    continue;
                }
                break;
            case ON::material_from_layer: break;
            default: return -1;
        }
        const CRhinoDoc* document = doc ? doc : o->Document();
        const int layer = attributes.m_layer_index;
        if (!document || !document->m_layer_table.IsValidLayerTableIndex(layer))
            return -1;
        return document->m_layer_table[layer].RenderMaterialIndex();
    }
}

bool RHScene::HasCustomMeshes(const CRhinoObject* object) const {
    const CRhinoView* view = RhinoApp().ActiveView();
    const CRhinoDoc* document = doc ? doc : (object ? object->Document() : nullptr);
    if (!object || !view || !document)
        return false;
    return RhRdkCustomRenderMeshManager().HasCustomRenderMeshes(view->ActiveViewport().VP(), object, *document,
                                                                ON_nil_uuid, 0, nullptr);
}

bool RHScene::IsRenderable(const CRhinoObject* object) const {
    if (!object)
        return false;
    if (exportNodes && object->ObjectType() == ON::instance_reference)
        return true;
    return object->IsMeshable(ON::render_mesh) || HasCustomMeshes(object);
}

RHScene::GeometryState RHScene::GeometryStateOf(uint64_t materialId) const {
    const auto found = geometry_.find(materialId);
    return found == geometry_.end() ? GeometryState{} : found->second;
}

std::vector<std::string> RHScene::CheckInvariants() const {
    std::vector<std::string> broken;
    auto fail = [&](std::string text) { broken.push_back(std::move(text)); };
    std::unordered_map<uint64_t, int> owners;  // mesh id -> entries listing it
    for (const auto& [serial, entry] : objects)
        for (uint64_t id : entry.meshIds) {
            if (!meshes.count(id))
                fail("object " + std::to_string(serial) + " lists missing mesh " + std::to_string(id));
            ++owners[id];
        }
    size_t inSets = 0;
    for (const auto& [materialId, set] : materialMeshes) {
        inSets += set.size();
        for (const MeshInfo* mi : set) {
            const auto found = meshes.find(uint64_t(mi->id));
            if (found == meshes.end() || found->second.get() != mi)
                fail("material " + std::to_string(materialId) + " holds a mesh not in meshes");
            else if (mi->materialId != materialId)
                fail("mesh " + std::to_string(mi->id) + " filed under material " + std::to_string(materialId));
        }
    }
    if (inSets != meshes.size())
        fail("materialMeshes holds " + std::to_string(inSets) + " meshes, meshes " + std::to_string(meshes.size()));
    for (const auto& [id, mi] : meshes) {
        const std::string name = "mesh " + std::to_string(id);
        if (!mi) {
            fail(name + " is null");
            continue;
        }
        if (uint64_t(mi->id) != id)
            fail(name + " has id " + std::to_string(mi->id));
        if (owners[id] != 1)
            fail(name + " belongs to " + std::to_string(owners[id]) + " objects");
        const auto set = materialMeshes.find(mi->materialId);
        if (set == materialMeshes.end() || !set->second.count(mi.get()))
            fail(name + " missing from its material's set");
        const size_t n = mi->vertexCount;
        if (mi->positions.size() != 3 * n || mi->normals.size() != 3 * n || mi->uvs.size() != 2 * n ||
            mi->indices.size() != mi->indexCount || mi->indexCount % 3 != 0)
            fail(name + " arrays do not match its counts");
        for (uint32_t index : mi->indices)
            if (index >= mi->vertexCount) {
                fail(name + " has an index out of range");
                break;
            }
    }
    return broken;
}
