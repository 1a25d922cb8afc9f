#include "sdk/render/rhino_render_meshes.h"

#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_event_watcher.h"
#include "sdk/document/rhino_object.h"

int RhinoGetRenderMeshes(const ON_SimpleArray<const CRhinoObject*>& objects, ON_ClassArray<CRhinoObjRef>& meshes,
                         bool okToCreate, bool returnAllObjects, bool skipHiddenObjects) {
    const int before = meshes.Count();
    for (const CRhinoObject* constObject : objects) {
        if (!constObject)
            continue;
        if (skipHiddenObjects && !constObject->IsVisible())
            continue;
        CRhinoObject* object = const_cast<CRhinoObject*>(constObject);
        const bool isInstance = object->ObjectType() == ON::instance_reference;
        if (!isInstance && okToCreate && object->BuildRenderMeshes()) {
            if (CRhinoDoc* doc = object->Document())
                doc->raise([&](CRhinoEventWatcher& w) { w.OnUpdateObjectMesh(*doc, *object); });
        }
        int given = 0;
        if (!isInstance && object->RenderMeshesCached()) {
            for (const auto& mesh : object->RenderMeshes()) {
                meshes.Append(CRhinoObjRef(object, mesh));
                ++given;
            }
        }
        if (given == 0 && returnAllObjects)
            meshes.Append(CRhinoObjRef(object));
    }
    return meshes.Count() - before;
}
