#pragma once
// CRhinoDoc: an in-memory document: units, path, the layer, material, texture-mapping,
// instance-definition and bitmap tables, the objects, the views, and the RDK content
// list. Its editing functions change it the way the host's commands do and raise the
// events the host raises (CRhinoEventWatcher), in the host's order.
//
// Documents made by CRhinoApp (NewDocument, OpenDocument) raise events. A document
// constructed directly is "detached": it raises no events and is not the active
// document; readers fill such documents before the application adopts them, and
// tests use them for plain data. Both kinds can be found by runtime serial number.
//
// Failures: editing functions return false / null for bad input (an index out of
// range, a locked object, an object already in a document) and change nothing; when
// `quiet` is false they also print the reason in the command area.
// Thread-safety: main thread only. The worker threads of a plug-in must not touch it.

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "sdk/geometry/on.h"
#include "sdk/geometry/on_array.h"
#include "sdk/geometry/on_string.h"
#include "sdk/render/rdk_document.h"
#include "sdk/document/rhino_bitmap_table.h"
#include "sdk/document/rhino_instance_definition_table.h"
#include "sdk/document/rhino_layer_table.h"
#include "sdk/document/rhino_material_table.h"
#include "sdk/document/rhino_obj_ref.h"
#include "sdk/document/rhino_object.h"
#include "sdk/document/rhino_texture_mapping_table.h"
#include "sdk/app/rhino_view.h"

class CRhinoEventWatcher;
class CRhinoInstanceObject;
class CRhinoMeshObject;

class CRhinoDoc {
public:
    CRhinoDoc();  // detached and empty (no layers, no views)
    CRhinoDoc(const CRhinoDoc&) = delete;
    CRhinoDoc& operator=(const CRhinoDoc&) = delete;
    ~CRhinoDoc();

    // The document with that serial number, null when none exists (any more).
    static CRhinoDoc* FromRuntimeSerialNumber(unsigned int docSerial);
    // Process-wide, from 1, never reused.
    unsigned int RuntimeSerialNumber() const { return serial_; }

    // Tables. Their editing functions raise the table events.
    CRhinoLayerTable m_layer_table;
    CRhinoMaterialTable m_material_table;
    CRhinoTextureMappingTable m_texture_mapping_table;
    CRhinoInstanceDefinitionTable m_instance_definition_table;
    CRhinoBitmapTable m_bitmap_table;

    // The RDK contents (render materials and others) of the document.
    CRhRdkDocument& RdkDocument() { return rdk_; }
    const CRhRdkDocument& RdkDocument() const { return rdk_; }

    // Full path of the file the document was read from or last saved as; empty for a
    // document never saved.
    ON_wString GetPathName() const { return path_; }
    void SetPathName(const ON_wString& path) { path_ = path; }
    // The file name part of the path (after the last '/' or '\').
    ON_wString GetTitle() const;

    ON::LengthUnitSystem UnitSystem() const { return units_; }
    // Changes the units. Without scaling only the unit changes (objects keep their
    // numbers): raises OnDocumentPropertiesChanged. With scaling every object and every
    // definition is scaled about the origin by UnitScale(old, new): definitions'
    // geometry is replaced (IdefTableEvent modified each), objects are replaced
    // (OnReplaceObject, OnDeleteObject, OnAddObject each), then
    // OnUnitsChangedWithScaling(scale) and OnDocumentPropertiesChanged. The same units
    // again change nothing; Unset is refused.
    bool SetUnitSystem(ON::LengthUnitSystem units, bool scaleObjects);

    // --- objects ---

    // Adds an object that is in no document. Its attributes must name a valid layer
    // (an index out of range is refused) and a material index >= -1; a nil or
    // duplicate id is replaced by a new one; an instance reference must name an
    // undeleted definition of this document. reference marks a reference
    // (worksession) object. Raises OnAddObject. Returns the object (now owned by the
    // document) or null (the object is destroyed).
    CRhinoObject* AddObject(std::unique_ptr<CRhinoObject> object, bool reference = false);
    CRhinoMeshObject* AddMeshObject(const ON_Mesh& mesh, const ON_3dmObjectAttributes* attributes = nullptr);
    // Places definition idefIndex with xform.
    CRhinoInstanceObject* AddInstanceObject(int idefIndex, const ON_Xform& xform,
                                            const ON_3dmObjectAttributes* attributes = nullptr);

    // Deletes an undeleted model object (it stays findable and can be undeleted until
    // purged). Locked objects are refused unless ignoreModes. Raises OnDeleteObject.
    bool DeleteObject(const CRhinoObjRef& objRef, bool quiet = true, bool ignoreModes = false);
    // Raises OnUnDeleteObject.
    bool UndeleteObject(const CRhinoObject* object);
    // Removes an object (deleted or not) for good: raises OnPurgeObject, then destroys
    // it and sets the pointer to null.
    bool PurgeObject(CRhinoObject*& object);
    // Replaces the attributes of an undeleted model object (checked like AddObject's;
    // the object id cannot change). Raises OnModifyObjectAttributes with the old
    // attributes; nothing when they are equal.
    bool ModifyObjectAttributes(const CRhinoObjRef& objRef, const ON_3dmObjectAttributes& attributes,
                                bool quiet = false);
    // Hides / shows an object: sets its mode (hidden / normal) through
    // ModifyObjectAttributes.
    bool HideObject(const CRhinoObjRef& objRef, bool ignoreLayerMode = false);
    bool ShowObject(const CRhinoObjRef& objRef, bool ignoreLayerMode = false);
    // Replaces an undeleted model object by a new one (in no document) that takes over
    // its id: raises OnReplaceObject(old, new), OnDeleteObject(old), OnAddObject(new).
    // The old object stays as a deleted object. Returns the new object or null.
    CRhinoObject* ReplaceObject(const CRhinoObjRef& objRef, std::unique_ptr<CRhinoObject> newObject);
    CRhinoObject* ReplaceObject(const CRhinoObjRef& objRef, const ON_Mesh& mesh);
    // Moves an object: replaces it by a transformed duplicate (with its mapping
    // channels' object transformations updated). Returns the new object or null.
    CRhinoObject* TransformObject(const CRhinoObjRef& objRef, const ON_Xform& xform);
    // Sets or clears an object's selection state (no event).
    bool SelectObject(const CRhinoObjRef& objRef, bool select = true);
    void UnselectAll();
    // Replaces the render meshes an object carries (built): raises OnUpdateObjectMesh.
    bool SetObjectRenderMeshes(const CRhinoObjRef& objRef, CRhinoObject::MeshList meshes);

    // The undeleted object with that id (model or definition geometry), null.
    CRhinoObject* LookupObject(const ON_UUID& id) const;
    // All objects the document holds, in the order they were added (model objects,
    // definition geometry, deleted ones); for iterators and readers.
    const std::vector<CRhinoObject*>& Objects() const { return order_; }

    // --- views ---

    // Adds a view with that camera and name; raises OnCreateView and notifies the
    // conduits (1). The first view becomes the active view.
    CRhinoView* AddView(const ON_Viewport& vp, const ON_wString& name);
    // Adds the host's four standard views (Top, Front, Right parallel; Perspective
    // perspective, which becomes active).
    void AddDefaultViews();
    int GetViewList(ON_SimpleArray<CRhinoView*>& views) const;
    CRhinoView* ActiveView() const { return active_; }
    // Makes one of this document's views active; raises OnSetActiveView when it
    // changes (and the document is the application's active one). False for a view
    // of another document or null.
    bool SetActiveView(CRhinoView* view);
    // Redraws every view.
    void Regen();
    void Redraw() { Regen(); }

    // Whether this document raises events (true once the application adopted it).

private:
    friend class CRhinoApp;
    friend class CRhinoLayerTable;
    friend class CRhinoMaterialTable;
    friend class CRhinoTextureMappingTable;
    friend class CRhinoInstanceDefinitionTable;
    friend class CRhinoObject;
    friend class CRhinoViewport;
    friend int RhinoGetRenderMeshes(const ON_SimpleArray<const CRhinoObject*>&, ON_ClassArray<CRhinoObjRef>&, bool,
                                    bool, bool);

    CRhinoObject* liveModelObject(const CRhinoObjRef& objRef, bool quiet, const char16_t* action) const;
    bool checkAttributes(const ON_3dmObjectAttributes& attributes, bool quiet) const;
    bool checkObject(const CRhinoObject& object, bool quiet) const;
    CRhinoObject* adopt(std::unique_ptr<CRhinoObject> object, bool idefGeometry);
    void destroy(CRhinoObject* object);
    void closeViews();
    void fail(bool quiet, const ON_wString& message) const;
    void raise(const std::function<void(CRhinoEventWatcher&)>& call) const;
    std::unique_ptr<CRhinoObject> scaledForUnits(const CRhinoObject& object, const ON_Xform& scale) const;

    unsigned int serial_;
    bool events_ = false;
    ON_wString path_;
    ON::LengthUnitSystem units_ = ON::LengthUnitSystem::Millimeters;
    CRhRdkDocument rdk_;
    std::vector<std::unique_ptr<CRhinoObject>> objects_;
    std::vector<CRhinoObject*> order_;
    std::unordered_map<ON_UUID, CRhinoObject*, ON_UuidHash> byId_;  // undeleted objects
    std::vector<std::unique_ptr<CRhinoView>> views_;
    CRhinoView* active_ = nullptr;
};
