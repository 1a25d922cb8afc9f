#pragma once
// CRhinoObject: an object of a document: its type, attributes, runtime serial number,
// state (deleted, selected, reference, instance-definition geometry) and the render
// meshes it can give. Geometry the stand-in does not model (breps, extrusions, SubDs,
// curves, points) is represented by the type alone plus the render meshes the
// document carried for it.
//
// Runtime serial numbers are process-wide, start at 1, are given at construction and
// never reused; a replaced object's successor has a new one. Objects are created
// outside a document and handed to CRhinoDoc (AddObject and friends), which owns them
// from then on. Changing a live object through the setters below raises no event:
// edits that the host would report go through CRhinoDoc.
// Thread-safety: main thread only; the serial counter itself is atomic.

#include <map>
#include <memory>
#include <vector>

#include "sdk/geometry/on.h"
#include "sdk/geometry/on_array.h"
#include "sdk/geometry/on_component_index.h"
#include "sdk/geometry/on_mesh.h"
#include "sdk/document/on_object_attributes.h"
#include "sdk/geometry/on_xform.h"

class CRhinoDoc;
class CRhinoLayer;
class CRhinoMaterial;
class ON_MeshParameters;

class CRhinoObject {
public:
    using MeshList = std::vector<std::shared_ptr<const ON_Mesh>>;

    explicit CRhinoObject(ON::object_type type, const ON_3dmObjectAttributes& attributes = ON_3dmObjectAttributes());
    CRhinoObject(const CRhinoObject&) = delete;
    CRhinoObject& operator=(const CRhinoObject&) = delete;
    virtual ~CRhinoObject();

    // The live (or deleted but not purged) object with that serial number in the
    // document with that serial number; null when there is none.
    static const CRhinoObject* FromRuntimeSerialNumber(unsigned int docSerial, unsigned int objectSerial);

    unsigned int RuntimeSerialNumber() const { return serial_; }
    ON::object_type ObjectType() const { return type_; }
    const ON_UUID& Id() const { return attributes_.m_uuid; }
    const CRhinoObjectAttributes& Attributes() const { return attributes_; }

    // The owning document; null before the object is added.
    CRhinoDoc* Document() const { return doc_; }
    unsigned int DocumentRuntimeSerialNumber() const;

    bool IsDeleted() const { return deleted_; }
    bool IsSelected() const { return selected_; }
    bool IsReference() const { return reference_; }
    bool IsInstanceDefinitionGeometry() const { return idefGeometry_; }
    bool IsHidden() const { return attributes_.Mode() == ON::hidden_object; }
    bool IsLocked() const { return attributes_.Mode() == ON::locked_object; }
    // Not deleted, in a document, its visibility flag on, not hidden, and its layer
    // and all parent layers visible. For instance-definition geometry the mode is not
    // considered (the definition's objects carry the idef mode).
    bool IsVisible() const;

    // The object's layer; an unset layer (index -1) when the index is not valid or
    // the object is in no document.
    const CRhinoLayer& ObjectLayer() const;
    // The material the object renders with for a component (ci) and renderer: a
    // material set for that component (SetComponentMaterialIndex) wins; otherwise by
    // the material source: object -> the attributes' index, layer -> the layer's
    // material, parent -> like layer (a document object has no parent). An index that
    // is not valid gives the document's default material (index -1). The renderer id
    // is accepted for the SDK's signature; materials do not differ per renderer here.
    const CRhinoMaterial& ObjectMaterial(const ON_COMPONENT_INDEX& ci = ON_COMPONENT_INDEX(),
                                         const ON_UUID& rendererId = ON_nil_uuid) const;

    // Whether the object can give meshes of this type: meshes and surface-like
    // objects (brep, extrusion, surface, SubD) always, instance references when
    // something in their definition can, anything else only when it carries meshes.
    virtual bool IsMeshable(ON::mesh_type type) const;
    // Render meshes the object holds now (render_mesh or any_mesh; other types 0).
    // Meshes carried but not yet built (SetRenderMeshes with cached = false) do not
    // count until RhinoGetRenderMeshes builds them.
    virtual int MeshCount(ON::mesh_type type, const ON_MeshParameters* parameters = nullptr) const;
    // Appends the meshes MeshCount counts; returns how many were appended.
    virtual int GetMeshes(ON::mesh_type type, ON_SimpleArray<const ON_Mesh*>& meshes) const;

    // --- data the document carries (set before adding, or by readers) ---

    // The render meshes; cached = false models meshes the host would build on request.
    void SetRenderMeshes(MeshList meshes, bool cached = true);
    const MeshList& RenderMeshes() const { return renderMeshes_; }
    bool RenderMeshesCached() const { return meshesCached_; }
    // Marks carried meshes as built; returns true when that changed anything.
    bool BuildRenderMeshes();

    // Custom render meshes (displacement, render primitives) an RDK provider gives the
    // object, with their placement. deliverable = false makes the provider fail.
    void SetCustomRenderMeshes(MeshList meshes, const ON_Xform& instanceXform, bool deliverable = true);
    bool HasCustomRenderMeshData() const { return hasCustom_; }
    const MeshList& CustomRenderMeshes() const { return customMeshes_; }
    const ON_Xform& CustomRenderMeshXform() const { return customXform_; }
    bool CustomRenderMeshesDeliverable() const { return customDeliverable_; }

    // A material for one component (a brep face, ...); -1 removes the setting.
    void SetComponentMaterialIndex(const ON_COMPONENT_INDEX& ci, int materialIndex);
    // The index set for the component, or -2 when none is set.
    int ComponentMaterialIndex(const ON_COMPONENT_INDEX& ci) const;
    const std::map<ON_COMPONENT_INDEX, int>& ComponentMaterialIndices() const { return componentMaterials_; }

    // Attributes of an object not yet in a document (CRhinoDoc::ModifyObjectAttributes
    // changes live ones). False once the object is in a document.
    bool SetAttributes(const ON_3dmObjectAttributes& attributes);

    // A copy with the same type, attributes, meshes and material settings, not in a
    // document, with a new serial number.
    virtual std::unique_ptr<CRhinoObject> DuplicateObject() const;
    // Transforms the geometry it carries (meshes are copied, not changed in place).
    // False for a non-invertible transformation.
    virtual bool Transform(const ON_Xform& xform);

protected:
    void copyDataTo(CRhinoObject& other) const;

private:
    friend class CRhinoDoc;
    friend class CRhinoInstanceDefinitionTable;

    ON::object_type type_;
    unsigned int serial_;
    ON_3dmObjectAttributes attributes_;
    CRhinoDoc* doc_ = nullptr;
    bool deleted_ = false;
    bool selected_ = false;
    bool reference_ = false;
    bool idefGeometry_ = false;
    MeshList renderMeshes_;
    bool meshesCached_ = true;
    bool hasCustom_ = false;
    MeshList customMeshes_;
    ON_Xform customXform_;
    bool customDeliverable_ = true;
    std::map<ON_COMPONENT_INDEX, int> componentMaterials_;
};

// A mesh object: its mesh is also its render mesh.
class CRhinoMeshObject : public CRhinoObject {
public:
    explicit CRhinoMeshObject(const ON_Mesh& mesh, const ON_3dmObjectAttributes& attributes = ON_3dmObjectAttributes());
    static const CRhinoMeshObject* Cast(const CRhinoObject* object);

    const ON_Mesh* Mesh() const { return mesh_.get(); }

    std::unique_ptr<CRhinoObject> DuplicateObject() const override;
    bool Transform(const ON_Xform& xform) override;

private:
    std::shared_ptr<const ON_Mesh> mesh_;
};

class CRhinoInstanceDefinition;

// A block instance: a reference to an instance definition with a placement.
class CRhinoInstanceObject : public CRhinoObject {
public:
    // definitionId names the definition in the document the object will be added to.
    CRhinoInstanceObject(const ON_UUID& definitionId, const ON_Xform& xform,
                         const ON_3dmObjectAttributes& attributes = ON_3dmObjectAttributes());
    static const CRhinoInstanceObject* Cast(const CRhinoObject* object);

    // The (undeleted) definition in the object's document; null when there is none.
    const CRhinoInstanceDefinition* InstanceDefinition() const;
    const ON_UUID& InstanceDefinitionId() const { return definitionId_; }
    // Placement of the definition's geometry.
    ON_Xform InstanceXform() const { return xform_; }

    bool IsMeshable(ON::mesh_type type) const override;
    std::unique_ptr<CRhinoObject> DuplicateObject() const override;
    // Composes the placement: the instance moves with xform (xform * InstanceXform()).
    bool Transform(const ON_Xform& xform) override;

private:
    friend class CRhinoDoc;
    ON_UUID definitionId_;
    ON_Xform xform_;
};
