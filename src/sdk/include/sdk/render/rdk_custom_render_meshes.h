#pragma once
// Custom render meshes: meshes that RDK providers give an object in place of (or in
// addition to) its own render meshes, for example displacement. The stand-in's
// provider serves the custom meshes an object carries
// (CRhinoObject::SetCustomRenderMeshes).
//
// Main thread only.

#include <memory>
#include <vector>

#include "sdk/geometry/on_mesh.h"
#include "sdk/geometry/on_uuid.h"
#include "sdk/geometry/on_viewport.h"
#include "sdk/geometry/on_xform.h"

class CRhinoDoc;
class CRhinoObject;
class CDisplayPipelineAttributes;

// The meshes of one object, filled by the manager.
class CRhRdkCustomRenderMeshes {
public:
    explicit CRhRdkCustomRenderMeshes(const CRhinoObject* object) : object_(object) {}

    const CRhinoObject* Object() const { return object_; }
    int Count() const { return static_cast<int>(meshes_.size()); }
    // Mesh i in [0, Count()); null outside.
    const ON_Mesh* Mesh(int index) const;
    // Placement of all meshes of the collection (identity when none was given).
    ON_Xform GetInstanceTransform() const { return xform_; }

    void Add(std::shared_ptr<const ON_Mesh> mesh) { meshes_.push_back(std::move(mesh)); }
    void SetInstanceTransform(const ON_Xform& xform) { xform_ = xform; }
    void Clear() {
        meshes_.clear();
        xform_ = ON_Xform();
    }

private:
    const CRhinoObject* object_;
    std::vector<std::shared_ptr<const ON_Mesh>> meshes_;
    ON_Xform xform_;
};

class CRhRdkCustomRenderMeshManager {
public:
    // Whether providers have custom meshes for object. The viewport, requesting
    // plug-in, flags and attributes are accepted for the SDK's signature. False for a
    // null object.
    bool HasCustomRenderMeshes(const ON_Viewport& vp, const CRhinoObject* object, const CRhinoDoc& doc,
                               const ON_UUID& requestingPlugIn, unsigned int flags,
                               const CDisplayPipelineAttributes* attributes) const;
    // Fills meshes with the custom meshes of its object (cleared first). False when
    // the object has none or its provider fails to deliver them.
    bool CustomMeshes(const ON_Viewport& vp, const ON_UUID& requestingPlugIn, const CRhinoDoc& doc,
                      CRhRdkCustomRenderMeshes& meshes, unsigned int flags,
                      const CDisplayPipelineAttributes* attributes) const;
};

// The host's manager.
CRhRdkCustomRenderMeshManager& RhRdkCustomRenderMeshManager();
