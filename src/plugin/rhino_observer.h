#pragma once
// RhinoObserver: the plug-in's document event watcher. It registers itself with the
// host at construction and stays disabled until the link starts; while enabled it
// stops the link when the linked document closes or is replaced, checks the name of
// every full save (VeloraPlugin::CheckSavedName), and records edits for the idle
// processing.
//
// Compiled into the plug-in library (vantro_plugin), not vantro_scene: it reports to
// the plug-in object, and the scene library stays free of plug-in includes.
// Main thread only.

#include "sdk/document/rhino_event_watcher.h"

class VeloraPlugin;

class RhinoObserver : public CRhinoEventWatcher {
public:
    // Registers with the host, disabled. plugin is not owned and outlives it.
    explicit RhinoObserver(VeloraPlugin* plugin);

    void OnCloseDocument(CRhinoDoc& doc) override;
    void OnNewDocument(CRhinoDoc& doc) override;
    void OnBeginOpenDocument(CRhinoDoc& doc, const char16_t* fileName, bool merge, bool reference) override;
    void OnBeginSaveDocument(CRhinoDoc& doc, const char16_t* fileName, bool exportSelected) override;
    // Camera following moves to the new active view while the link runs with camera
    // synchronisation on.
    void OnSetActiveView(CRhinoView* view) override;
    // Units changed without scaling: meshes added from now on use the new scale.
    void OnDocumentPropertiesChanged(CRhinoDoc& doc) override;
    // A projection changed: follow the active view while it is a perspective view,
    // stop following otherwise; the user interface shows the result.
    void OnViewModified(CRhinoView* view) override;

    // Object edits, recorded by serial number for the next idle pass.
    void OnAddObject(CRhinoDoc& doc, CRhinoObject& object) override;
    void OnDeleteObject(CRhinoDoc& doc, CRhinoObject& object) override;
    void OnUnDeleteObject(CRhinoDoc& doc, CRhinoObject& object) override;
    void OnPurgeObject(CRhinoDoc& doc, CRhinoObject& object) override;
    void OnModifyObjectAttributes(CRhinoDoc& doc, CRhinoObject& object,
                                  const CRhinoObjectAttributes& oldAttributes) override;
    // Not while the plug-in itself asks for render meshes (RenderMeshRequest): the
    // host reports the meshes it builds for that request as an update.
    void OnUpdateObjectMesh(CRhinoDoc& doc, CRhinoObject& object) override;

    // Table edits: layers, materials and mappings by the entry's serial number (all
    // ones for an index that is not valid); a modified block definition deletes its
    // own objects from the mirror (its instances follow only when they change).
    void LayerTableEvent(layer_event event, const CRhinoLayerTable& table, int index, const ON_Layer* old) override;
    void IdefTableEvent(idef_event event, const CRhinoInstanceDefinitionTable& table, int index,
                        const ON_InstanceDefinition* old) override;
    void MaterialTableEvent(material_event event, const CRhinoMaterialTable& table, int index,
                            const ON_Material* old) override;
    void TextureMappingTableEvent(texture_mapping_event event, const CRhinoTextureMappingTable& table, int index,
                                  const ON_TextureMapping* old) override;

    VeloraPlugin* const plugin;
};
