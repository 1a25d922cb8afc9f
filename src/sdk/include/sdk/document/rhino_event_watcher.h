#pragma once
// CRhinoEventWatcher: receives the host's events. Derive, override the hooks you need
// (the base versions do nothing), Register() and Enable(true).
//
// A watcher receives events only while registered and enabled; it is constructed
// unregistered and disabled, and unregisters itself on destruction. Hooks run on the
// main thread, synchronously, in the order watchers were registered; a hook may
// register, unregister, enable or disable watchers (the change applies from the next
// event) but must not destroy the document it is told about.
//
// The hooks are declared in this order (the order is part of the interface):
//   1 OnInitRhino             2 OnCloseRhino
//   3 OnCloseDocument         4 OnNewDocument            5 OnActiveDocumentChanged
//   6 OnBeginOpenDocument     7 OnEndOpenDocument        8 OnBeginSaveDocument
//   9 OnSetActiveView        10 OnEndSaveDocument       11 OnDocumentPropertiesChanged
//  12 OnUnitsChangedWithScaling 13 OnBeginCommand       14 OnEndCommand
//  15 OnCreateView           16 OnViewModified
//  17 OnAddObject            18 OnDeleteObject          19 OnReplaceObject
//  20 OnUnDeleteObject       21 OnPurgeObject           22 OnModifyObjectAttributes
//  23 OnUpdateObjectMesh     24 LayerTableEvent         25 IdefTableEvent
//  26 MaterialTableEvent     27 TextureMappingTableEvent
// See docs/sdk.md for exactly when the host raises each one.

#include "sdk/document/on_object_attributes.h"

class CRhinoApp;
class CRhinoDoc;
class CRhinoObject;
class CRhinoView;
class CRhinoCommand;
class CRhinoCommandContext;
class CRhinoLayerTable;
class CRhinoMaterialTable;
class CRhinoTextureMappingTable;
class CRhinoInstanceDefinitionTable;
class ON_Layer;
class ON_Material;
class ON_TextureMapping;
class ON_InstanceDefinition;

class CRhinoEventWatcher {
public:
    enum layer_event : unsigned int {
        layer_added = 0,
        layer_deleted = 1,
        layer_undeleted = 2,
        layer_modified = 3,
        layer_sorted = 4,
        current_layer_changed = 5,
    };
    enum idef_event : unsigned int {
        idef_added_event = 0,
        idef_deleted_event = 1,
        idef_undeleted_event = 2,
        idef_modified_event = 3,
        idef_sorted_event = 4,
    };
    enum material_event : unsigned int {
        material_added = 0,
        material_deleted = 1,
        material_undeleted = 2,
        material_modified = 3,
        material_sorted = 4,
        current_material_changed = 5,
    };
    enum texture_mapping_event : unsigned int {
        tm_added_event = 0,
        tm_deleted_event = 1,
        tm_undeleted_event = 2,
        tm_modified_event = 3,
    };

    CRhinoEventWatcher() = default;
    CRhinoEventWatcher(const CRhinoEventWatcher&) = delete;
    CRhinoEventWatcher& operator=(const CRhinoEventWatcher&) = delete;
    virtual ~CRhinoEventWatcher();

    // 1-2: the application starts (after plug-ins load) and is about to close.
    virtual void OnInitRhino(CRhinoApp& app);
    virtual void OnCloseRhino(CRhinoApp& app);
    // 3: a document is about to close (its objects and views still exist).
    virtual void OnCloseDocument(CRhinoDoc& doc);
    // 4: a new, empty document was created (File New, or the start of an open).
    virtual void OnNewDocument(CRhinoDoc& doc);
    // 5: the application's active document is now doc.
    virtual void OnActiveDocumentChanged(CRhinoDoc& doc);
    // 6-7: a file is about to be read into doc / has been read. merge: imported into
    // an existing document; reference: read as reference (worksession) objects.
    virtual void OnBeginOpenDocument(CRhinoDoc& doc, const char16_t* fileName, bool merge, bool reference);
    virtual void OnEndOpenDocument(CRhinoDoc& doc, const char16_t* fileName, bool merge, bool reference);
    // 8: doc is about to be written to fileName; exportSelected: only the selected
    // objects are written (export), and the document keeps its name.
    virtual void OnBeginSaveDocument(CRhinoDoc& doc, const char16_t* fileName, bool exportSelected);
    // 9: the active view changed; view is the new active view.
    virtual void OnSetActiveView(CRhinoView* view);
    // 10: the write of 8 finished (only raised when it succeeded).
    virtual void OnEndSaveDocument(CRhinoDoc& doc, const char16_t* fileName, bool exportSelected);
    // 11: document settings changed (units among them, with or without scaling).
    virtual void OnDocumentPropertiesChanged(CRhinoDoc& doc);
    // 12: the units changed and the model was scaled by scale.
    virtual void OnUnitsChangedWithScaling(CRhinoDoc& doc, double scale);
    // 13-14: a command starts / ended with a result (CRhinoCommand::result as int).
    virtual void OnBeginCommand(const CRhinoCommand& command, const CRhinoCommandContext& context);
    virtual void OnEndCommand(const CRhinoCommand& command, const CRhinoCommandContext& context, int result);
    // 15: a view was created in a document.
    virtual void OnCreateView(CRhinoView* view);
    // 16: a view's projection changed (perspective <-> parallel); raised after the
    // display conduits got their notifications for the change.
    virtual void OnViewModified(CRhinoView* view);
    // 17-23: object events. A replace raises 19, then 18 for the old object, then 17
    // for the new one. 22 passes the attributes as they were. 23: the object's render
    // meshes were built or changed.
    virtual void OnAddObject(CRhinoDoc& doc, CRhinoObject& object);
    virtual void OnDeleteObject(CRhinoDoc& doc, CRhinoObject& object);
    virtual void OnReplaceObject(CRhinoDoc& doc, CRhinoObject& oldObject, CRhinoObject& newObject);
    virtual void OnUnDeleteObject(CRhinoDoc& doc, CRhinoObject& object);
    virtual void OnPurgeObject(CRhinoDoc& doc, CRhinoObject& object);
    virtual void OnModifyObjectAttributes(CRhinoDoc& doc, CRhinoObject& object,
                                          const CRhinoObjectAttributes& oldAttributes);
    virtual void OnUpdateObjectMesh(CRhinoDoc& doc, CRhinoObject& object);
    // 24-27: table events. index is the entry's table index; old is the entry as it
    // was for modified and deleted events, null otherwise.
    virtual void LayerTableEvent(layer_event event, const CRhinoLayerTable& table, int index, const ON_Layer* old);
    virtual void IdefTableEvent(idef_event event, const CRhinoInstanceDefinitionTable& table, int index,
                                const ON_InstanceDefinition* old);
    virtual void MaterialTableEvent(material_event event, const CRhinoMaterialTable& table, int index,
                                    const ON_Material* old);
    virtual void TextureMappingTableEvent(texture_mapping_event event, const CRhinoTextureMappingTable& table,
                                          int index, const ON_TextureMapping* old);

    // Adds the watcher to the host's list (once; again is a no-op).
    void Register();
    void UnRegister();
    void Enable(bool enable) { enabled_ = enable; }
    bool IsEnabled() const { return enabled_; }

private:
    bool registered_ = false;
    bool enabled_ = false;
};
