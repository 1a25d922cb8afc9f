#pragma once
// CRhinoObjRef: a reference to a document object, optionally with a mesh that was
// obtained for it (RhinoGetRenderMeshes). Copyable; the mesh is shared.
//
// The object pointer is valid while the object is (until it is purged).
// Thread-safety: a value type.

#include <memory>

class CRhinoObject;
class ON_Mesh;

class CRhinoObjRef {
public:
    CRhinoObjRef() = default;
    CRhinoObjRef(const CRhinoObject* object) : object_(object) {}  // NOLINT: the SDK converts implicitly
    CRhinoObjRef(const CRhinoObject* object, std::shared_ptr<const ON_Mesh> mesh)
        : object_(object), mesh_(std::move(mesh)) {}

    const CRhinoObject* Object() const { return object_; }
    // The mesh obtained for the object; null when there is none.
    const ON_Mesh* Mesh() const { return mesh_.get(); }

private:
    const CRhinoObject* object_ = nullptr;
    std::shared_ptr<const ON_Mesh> mesh_;
};
