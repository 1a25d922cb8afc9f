// Change processing of the plug-in object: recording edits in the pending change set,
// the idle hook, and applying the set to the scene once the host is idle.

#include <algorithm>
#include <memory>
#include <unordered_set>
#include <vector>

#include "link/live_connection.h"
#include "materials/material_manager.h"
#include "plugin/velora_plugin.h"
#include "scene/change_set.h"
#include "idle_observer.h"
#include "scene/rh_scene.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/block_nesting.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_instance_definition_table.h"
#include "sdk/document/rhino_layer_table.h"
#include "sdk/document/rhino_material_table.h"
#include "sdk/document/rhino_object.h"
#include "sdk/document/rhino_object_iterator.h"
#include "sdk/document/rhino_texture_mapping_table.h"

namespace {

constexpr uint32_t kSceneLockTimeoutMs = 50;

bool contains(const ChangeSet::Serials& set, uint64_t serial) { return set.count(serial) != 0; }

std::vector<uint64_t> sorted(const ChangeSet::Serials& set) {
    std::vector<uint64_t> out(set.begin(), set.end());
    std::sort(out.begin(), out.end());
    return out;
}

bool usesModifiedMapping(const CRhinoObject& object, const CRhinoDoc& doc, const ChangeSet::Serials& mappings) {
    const ON_MappingRef* ref = object.Attributes().m_rendering_attributes.MappingRef(RhinoApp().GetDefaultRenderApp());
    if (!ref)
        return false;
    const CRhinoTextureMappingTable& table = doc.m_texture_mapping_table;
    for (const ON_MappingChannel& channel : ref->m_mapping_channels) {
        const int index = table.FindTextureMapping(&channel, true);
        if (table.IsValidTextureMappingTableIndex(index) && contains(mappings, table[index].RuntimeSerialNumber()))
            return true;
    }
    return false;
}

bool dependsOn(const CRhinoObject& object, const CRhinoDoc& doc, const ChangeSet& changes, int depth) {
    if (contains(changes.modifiedLayers, object.ObjectLayer().RuntimeSerialNumber()))
        return true;
    if (contains(changes.modifiedMaterials, object.ObjectMaterial().RuntimeSerialNumber()))
        return true;
    if (!changes.modifiedMappings.empty() && usesModifiedMapping(object, doc, changes.modifiedMappings))
        return true;
    const CRhinoInstanceObject* instance = CRhinoInstanceObject::Cast(&object);
    const CRhinoInstanceDefinition* definition = instance ? instance->InstanceDefinition() : nullptr;
    // The scene places nothing past the nesting limit, so nothing there can matter.
    if (!definition || !IsFollowedBlockLevel(depth))
        return false;
    ON_SimpleArray<const CRhinoObject*> members;
    definition->GetObjects(members);
    for (const CRhinoObject* member : members)
        if (member && dependsOn(*member, doc, changes, depth + 1))
            return true;
    return false;
}

// Adds to modified every layer below a modified one: a layer is visible only when its
// parents are, so hiding or showing a parent changes what its children's objects show.
void addChildLayers(const CRhinoLayerTable& layers, ChangeSet::Serials& modified) {
    const int count = layers.LayerCount();
    std::vector<int> parent(static_cast<size_t>(count), -1);
    for (int i = 0; i < count; ++i)
        if (!ON_UuidIsNil(layers[i].ParentLayerId()))
            parent[static_cast<size_t>(i)] = layers.FindLayerFromId(layers[i].ParentLayerId(), false);
    for (int i = 0; i < count; ++i) {
        // Bounded by the table's size, so that a cycle in a damaged table ends.
        int above = parent[static_cast<size_t>(i)];
        for (int depth = 0; depth < count && layers.IsValidLayerTableIndex(above); ++depth) {
            if (contains(modified, layers[above].RuntimeSerialNumber())) {
                modified.insert(layers[i].RuntimeSerialNumber());
                break;
            }
            above = parent[static_cast<size_t>(above)];
        }
    }
}

// Tells the user, once per change, why the link delivers nothing and when it does
// again: in the command area and the status pane, as the start and stop are told.
void reportTrouble(VeloraPlugin& plugin) {
    if (!plugin.scene())
        return;
    const int now = static_cast<int>(plugin.scene()->Trouble());
    if (now == plugin.reportedTrouble)
        return;
    plugin.reportedTrouble = now;
    const char16_t* text = nullptr;
    switch (plugin.scene()->Trouble()) {
        case RHScene::LinkTrouble::lockHeld:
            text = u"Velora Vantro: the renderer keeps the link locked; changes wait until it lets go.";
            break;
        case RHScene::LinkTrouble::buffersFailing:
            text = u"Velora Vantro: no shared memory left for the link; changes wait and are retried.";
            break;
        case RHScene::LinkTrouble::none: text = u"Velora Vantro: the link delivers again."; break;
    }
    RhinoApp().Print(u"%ls\n", text);
    RhinoApp().SetStatusBarMessagePane(text);
}

}  // namespace

bool VeloraPlugin::EnsureChangeSet() {
    if (linkState != kLinkRunning)
        return false;
    if (idleObserver_ && !idleObserver_->IsEnabled())
        idleObserver_->Enable(true);
    if (!changes_)
        changes_ = std::make_unique<ChangeSet>();
    return true;
}

void VeloraPlugin::MarkObjectAdded(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->addedObjects.insert(serial);
}
void VeloraPlugin::MarkObjectModified(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->modifiedObjects.insert(serial);
}
void VeloraPlugin::MarkObjectDeleted(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->MarkObjectDeleted(serial);
}
void VeloraPlugin::MarkMaterialAdded(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->addedMaterials.insert(serial);
}
void VeloraPlugin::MarkMaterialModified(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->modifiedMaterials.insert(serial);
}
void VeloraPlugin::MarkMaterialDeleted(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->deletedMaterials.insert(serial);
}
void VeloraPlugin::MarkLayerAdded(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->addedLayers.insert(serial);
}
void VeloraPlugin::MarkLayerModified(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->modifiedLayers.insert(serial);
}
void VeloraPlugin::MarkLayerDeleted(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->deletedLayers.insert(serial);
}
void VeloraPlugin::MarkMappingAdded(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->addedMappings.insert(serial);
}
void VeloraPlugin::MarkMappingModified(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->modifiedMappings.insert(serial);
}
void VeloraPlugin::MarkMappingDeleted(uint64_t serial) {
    if (EnsureChangeSet())
        changes_->deletedMappings.insert(serial);
}

void VeloraPlugin::OnIdle() {
    if (linkState != kLinkRunning)
        return;
    // The renderer sets the closed flag when it ends the link; the link stops here,
    // on the main thread, at the next idle.
    if (connection_ && !connection_->IsActive()) {
        StopLink();
        return;
    }
    reportTrouble(*this);
    ProcessChanges();
}

bool VeloraPlugin::ProcessChanges() {
    if (!changes_)
        return false;
    if (changes_->Empty()) {
        DiscardChanges();
        return false;
    }
    if (!scene_ || !document)
        return false;
    // The worker is writing and did not let go in time: changing the scene now would
    // race with it. The set stays as it is; the next idle pass tries again.
    if (!scene_->LockScene(kSceneLockTimeoutMs))
        return false;
    ExpandChanges();
    // Taken out before anything is added: whatever the host raises while the scene
    // asks it for meshes belongs to the next pass, not to this one.
    const std::unique_ptr<ChangeSet> set = std::move(changes_);

    if (materials_) {
        for (uint64_t serial : set->addedMaterials)
            materials_->AddMaterial(serial);
        for (uint64_t serial : set->modifiedMaterials)
            materials_->UpdateMaterial(serial);
        for (uint64_t serial : set->deletedMaterials)
            materials_->RemoveMaterial(serial);
    }
    for (uint64_t serial : set->modifiedObjects)
        scene_->RemoveObject(serial);
    for (uint64_t serial : set->deletedObjects)
        scene_->RemoveObject(serial);

    ON_SimpleArray<const CRhinoObject*> objects;
    objects.Reserve(static_cast<int>(set->addedObjects.size() + set->modifiedObjects.size()));
    std::unordered_set<uint64_t> taken;
    const unsigned int docSerial = document->RuntimeSerialNumber();
    // Added, then modified, each in serial (creation) order: the meshes go to the end
    // of their materials' buffers in an order that does not depend on hashing.
    for (const ChangeSet::Serials* serials : {&set->addedObjects, &set->modifiedObjects})
        for (uint64_t serial : sorted(*serials)) {
            if (serial > UINT32_MAX || !taken.insert(serial).second)
                continue;
            // Gone (purged, or its document closed) since the event: nothing to add.
            if (const CRhinoObject* object =
                    CRhinoObject::FromRuntimeSerialNumber(docSerial, static_cast<unsigned int>(serial)))
                objects.Append(object);
        }
    if (objects.Count() > 0)
        scene_->AddObjects(objects, false);
    scene_->ReleaseScene();
    return true;
}

void VeloraPlugin::ExpandChanges() {
    if (!changes_ || !document)
        return;
    const CRhinoDoc& doc = *document;
    // Before the layers of modified materials join: a layer's material is its own, not
    // its children's.
    if (!changes_->modifiedLayers.empty())
        addChildLayers(doc.m_layer_table, changes_->modifiedLayers);
    if (!changes_->modifiedMaterials.empty()) {
        const CRhinoLayerTable& layers = doc.m_layer_table;
        for (int i = 0; i < layers.LayerCount(); ++i)
            if (contains(changes_->modifiedMaterials, layers[i].LayerMaterial().RuntimeSerialNumber()))
                changes_->modifiedLayers.insert(layers[i].RuntimeSerialNumber());
    }
    if (changes_->modifiedLayers.empty() && changes_->modifiedMaterials.empty() && changes_->modifiedMappings.empty())
        return;
    CRhinoObjectIterator it(doc, CRhinoObjectIterator::undeleted_objects, CRhinoObjectIterator::active_objects);
    for (const CRhinoObject* object = it.First(); object; object = it.Next())
        if (scene_ && scene_->IsRenderable(object) && DependsOnChanges(object))
            changes_->modifiedObjects.insert(object->RuntimeSerialNumber());
}

bool VeloraPlugin::DependsOnChanges(const CRhinoObject* object) const {
    if (!object || !changes_ || !document)
        return false;
    return dependsOn(*object, *document, *changes_, 0);
}

void VeloraPlugin::DiscardChanges() { changes_.reset(); }
