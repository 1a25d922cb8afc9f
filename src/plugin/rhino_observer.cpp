#include "rhino_observer.h"

#include "camera_observer.h"
#include "link/live_connection.h"
#include "plugin/velora_plugin.h"
#include "scene/change_set.h"
#include "scene/render_mesh_request.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_instance_definition_table.h"
#include "sdk/document/rhino_layer_table.h"
#include "sdk/document/rhino_material_table.h"
#include "sdk/document/rhino_object.h"
#include "sdk/document/rhino_texture_mapping_table.h"
#include "sdk/app/rhino_view.h"
#include "ui/plugin_ui.h"

using namespace vantro::scene;

RhinoObserver::RhinoObserver(VeloraPlugin* plugin) : plugin(plugin) { Register(); }

void RhinoObserver::OnCloseDocument(CRhinoDoc&) {
    if (plugin)
        plugin->StopLink();
}

void RhinoObserver::OnNewDocument(CRhinoDoc&) {
    if (plugin)
        plugin->StopLink();
}

void RhinoObserver::OnBeginOpenDocument(CRhinoDoc&, const char16_t*, bool merge, bool) {
    // A merge imports into the linked document, which stays linked.
    if (plugin && !merge)
        plugin->StopLink();
}

void RhinoObserver::OnBeginSaveDocument(CRhinoDoc& doc, const char16_t* fileName, bool exportSelected) {
    // Exporting the selection leaves the document's name as it is.
    if (plugin && !exportSelected)
        plugin->CheckSavedName(&doc, fileName);
}

void RhinoObserver::OnSetActiveView(CRhinoView*) {
    if (!plugin || !plugin->connection() || !plugin->cameraObserver())
        return;
    if (plugin->connection()->IsOpen() && plugin->linkState == VeloraPlugin::kLinkRunning && plugin->cameraSync)
        plugin->cameraObserver()->FollowView(RhinoApp().ActiveView());
    // The camera buttons depend on whether the active view is a perspective one: after
    // the hook's own work, the dock bar and menu show the new view's state at once
    // rather than at the next view change.
    if (plugin->ui())
        plugin->ui()->RefreshUi();
}

void RhinoObserver::OnDocumentPropertiesChanged(CRhinoDoc& doc) {
    if (!plugin || plugin->linkState != VeloraPlugin::kLinkRunning || plugin->document != &doc)
        return;
    const float before = plugin->unitScale;
    plugin->UpdateUnitScale(&doc);
    // Scaling units moves the views' cameras before the new units are announced, so the
    // camera sent then was measured with the old scale: the followed view is sent again.
    if (plugin->unitScale != before && plugin->cameraSync && plugin->cameraObserver() && plugin->IsPerspectiveActive())
        plugin->cameraObserver()->FollowView(RhinoApp().ActiveView());
}

void RhinoObserver::OnViewModified(CRhinoView*) {
    if (!plugin || !plugin->cameraSync || !plugin->cameraObserver())
        return;
    if (plugin->IsPerspectiveActive())
        plugin->cameraObserver()->FollowView(RhinoApp().ActiveView());
    else
        plugin->cameraObserver()->StopFollowing();
    if (plugin->ui())
        plugin->ui()->RefreshUi();
}

void RhinoObserver::OnAddObject(CRhinoDoc&, CRhinoObject& object) {
    if (plugin)
        plugin->MarkObjectAdded(object.RuntimeSerialNumber());
}

void RhinoObserver::OnDeleteObject(CRhinoDoc&, CRhinoObject& object) {
    if (plugin)
        plugin->MarkObjectDeleted(object.RuntimeSerialNumber());
}

void RhinoObserver::OnUnDeleteObject(CRhinoDoc&, CRhinoObject& object) {
    if (plugin)
        plugin->MarkObjectAdded(object.RuntimeSerialNumber());
}

void RhinoObserver::OnPurgeObject(CRhinoDoc&, CRhinoObject& object) {
    if (plugin)
        plugin->MarkObjectDeleted(object.RuntimeSerialNumber());
}

void RhinoObserver::OnModifyObjectAttributes(CRhinoDoc&, CRhinoObject& object, const CRhinoObjectAttributes&) {
    if (plugin)
        plugin->MarkObjectModified(object.RuntimeSerialNumber());
}

void RhinoObserver::OnUpdateObjectMesh(CRhinoDoc&, CRhinoObject& object) {
    if (plugin && !RenderMeshRequest::Active())
        plugin->MarkObjectModified(object.RuntimeSerialNumber());
}

void RhinoObserver::LayerTableEvent(layer_event event, const CRhinoLayerTable& table, int index, const ON_Layer* old) {
    if (!plugin)
        return;
    const bool valid = table.IsValidLayerTableIndex(index);
    switch (event) {
        case layer_added:
        case layer_undeleted:
            if (valid)
                plugin->MarkLayerAdded(table[index].RuntimeSerialNumber());
            break;
        case layer_deleted:
            if (old)
                plugin->MarkLayerDeleted(old->RuntimeSerialNumber());
            break;
        case layer_modified:
            if (valid)
                plugin->MarkLayerModified(table[index].RuntimeSerialNumber());
            break;
        default: break;
    }
}

void RhinoObserver::IdefTableEvent(idef_event event, const CRhinoInstanceDefinitionTable& table, int index,
                                   const ON_InstanceDefinition*) {
    if (!plugin || event != idef_modified_event || !table.IsValidInstanceDefinitionTableIndex(index))
        return;
    ON_SimpleArray<const CRhinoObject*> members;
    table[index].GetObjects(members);
    for (const CRhinoObject* member : members)
        if (member)
            plugin->MarkObjectDeleted(member->RuntimeSerialNumber());
}

void RhinoObserver::MaterialTableEvent(material_event event, const CRhinoMaterialTable& table, int index,
                                       const ON_Material*) {
    if (!plugin)
        return;
    const uint64_t serial =
        table.IsValidMaterialTableIndex(index) ? table[index].RuntimeSerialNumber() : ChangeSet::kInvalidSerial;
    switch (event) {
        case material_added:
        case material_undeleted: plugin->MarkMaterialAdded(serial); break;
        case material_deleted: plugin->MarkMaterialDeleted(serial); break;
        case material_modified: plugin->MarkMaterialModified(serial); break;
        default: break;
    }
}

void RhinoObserver::TextureMappingTableEvent(texture_mapping_event event, const CRhinoTextureMappingTable& table,
                                             int index, const ON_TextureMapping*) {
    if (!plugin)
        return;
    const uint64_t serial =
        table.IsValidTextureMappingTableIndex(index) ? table[index].RuntimeSerialNumber() : ChangeSet::kInvalidSerial;
    switch (event) {
        case tm_added_event:
        case tm_undeleted_event: plugin->MarkMappingAdded(serial); break;
        case tm_deleted_event: plugin->MarkMappingDeleted(serial); break;
        case tm_modified_event: plugin->MarkMappingModified(serial); break;
        default: break;
    }
}
