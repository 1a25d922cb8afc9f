#pragma once
// RhinoGetRenderMeshes: the render meshes of a list of objects, built when allowed.
//
// For each object in order (null entries skipped): when skipHiddenObjects is set and
// the object is not visible it is skipped; meshes carried but not yet built are built
// when okToCreate is set (the object then raises CRhinoEventWatcher::OnUpdateObjectMesh
// through its document), otherwise they are left out; each mesh gives one reference
// (object, mesh). An object that gives no mesh gives one reference without a mesh
// when returnAllObjects is set. Instance references give no meshes (their
// definitions' objects do). Returns the number of references appended.
// Thread-safety: main thread only.

#include "sdk/geometry/on_array.h"
#include "sdk/document/rhino_obj_ref.h"

class CRhinoObject;

int RhinoGetRenderMeshes(const ON_SimpleArray<const CRhinoObject*>& objects, ON_ClassArray<CRhinoObjRef>& meshes,
                         bool okToCreate, bool returnAllObjects, bool skipHiddenObjects = true);
