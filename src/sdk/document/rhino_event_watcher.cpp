#include "sdk/document/rhino_event_watcher.h"

#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_event_watcher_ex.h"

CRhinoEventWatcher::~CRhinoEventWatcher() { UnRegister(); }

void CRhinoEventWatcher::Register() {
    if (registered_)
        return;
    RhinoApp().registerEventWatcher(this);
    registered_ = true;
}

void CRhinoEventWatcher::UnRegister() {
    if (!registered_)
        return;
    RhinoApp().unregisterEventWatcher(this);
    registered_ = false;
}

// The base hooks do nothing; watchers override the ones they need.
void CRhinoEventWatcher::OnInitRhino(CRhinoApp&) {}
void CRhinoEventWatcher::OnCloseRhino(CRhinoApp&) {}
void CRhinoEventWatcher::OnCloseDocument(CRhinoDoc&) {}
void CRhinoEventWatcher::OnNewDocument(CRhinoDoc&) {}
void CRhinoEventWatcher::OnActiveDocumentChanged(CRhinoDoc&) {}
void CRhinoEventWatcher::OnBeginOpenDocument(CRhinoDoc&, const char16_t*, bool, bool) {}
void CRhinoEventWatcher::OnEndOpenDocument(CRhinoDoc&, const char16_t*, bool, bool) {}
void CRhinoEventWatcher::OnBeginSaveDocument(CRhinoDoc&, const char16_t*, bool) {}
void CRhinoEventWatcher::OnSetActiveView(CRhinoView*) {}
void CRhinoEventWatcher::OnEndSaveDocument(CRhinoDoc&, const char16_t*, bool) {}
void CRhinoEventWatcher::OnDocumentPropertiesChanged(CRhinoDoc&) {}
void CRhinoEventWatcher::OnUnitsChangedWithScaling(CRhinoDoc&, double) {}
void CRhinoEventWatcher::OnBeginCommand(const CRhinoCommand&, const CRhinoCommandContext&) {}
void CRhinoEventWatcher::OnEndCommand(const CRhinoCommand&, const CRhinoCommandContext&, int) {}
void CRhinoEventWatcher::OnCreateView(CRhinoView*) {}
void CRhinoEventWatcher::OnViewModified(CRhinoView*) {}
void CRhinoEventWatcher::OnAddObject(CRhinoDoc&, CRhinoObject&) {}
void CRhinoEventWatcher::OnDeleteObject(CRhinoDoc&, CRhinoObject&) {}
void CRhinoEventWatcher::OnReplaceObject(CRhinoDoc&, CRhinoObject&, CRhinoObject&) {}
void CRhinoEventWatcher::OnUnDeleteObject(CRhinoDoc&, CRhinoObject&) {}
void CRhinoEventWatcher::OnPurgeObject(CRhinoDoc&, CRhinoObject&) {}
void CRhinoEventWatcher::OnModifyObjectAttributes(CRhinoDoc&, CRhinoObject&, const CRhinoObjectAttributes&) {}
void CRhinoEventWatcher::OnUpdateObjectMesh(CRhinoDoc&, CRhinoObject&) {}
void CRhinoEventWatcher::LayerTableEvent(layer_event, const CRhinoLayerTable&, int, const ON_Layer*) {}
void CRhinoEventWatcher::IdefTableEvent(idef_event, const CRhinoInstanceDefinitionTable&, int,
                                        const ON_InstanceDefinition*) {}
void CRhinoEventWatcher::MaterialTableEvent(material_event, const CRhinoMaterialTable&, int, const ON_Material*) {}
void CRhinoEventWatcher::TextureMappingTableEvent(texture_mapping_event, const CRhinoTextureMappingTable&, int,
                                                  const ON_TextureMapping*) {}

CRhinoEventWatcherEx::~CRhinoEventWatcherEx() { UnRegister(); }

void CRhinoEventWatcherEx::Register() {
    if (registered_)
        return;
    RhinoApp().registerEventWatcherEx(this);
    registered_ = true;
}

void CRhinoEventWatcherEx::UnRegister() {
    if (!registered_)
        return;
    RhinoApp().unregisterEventWatcherEx(this);
    registered_ = false;
}
