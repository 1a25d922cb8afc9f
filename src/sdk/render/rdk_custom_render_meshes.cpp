#include "sdk/render/rdk_custom_render_meshes.h"

#include "sdk/document/rhino_object.h"

const ON_Mesh* CRhRdkCustomRenderMeshes::Mesh(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return meshes_[static_cast<size_t>(index)].get();
}

bool CRhRdkCustomRenderMeshManager::HasCustomRenderMeshes(const ON_Viewport&, const CRhinoObject* object,
                                                          const CRhinoDoc&, const ON_UUID&, unsigned int,
                                                          const CDisplayPipelineAttributes*) const {
    return object && object->HasCustomRenderMeshData();
}

bool CRhRdkCustomRenderMeshManager::CustomMeshes(const ON_Viewport&, const ON_UUID&, const CRhinoDoc&,
                                                 CRhRdkCustomRenderMeshes& meshes, unsigned int,
                                                 const CDisplayPipelineAttributes*) const {
    meshes.Clear();
    const CRhinoObject* object = meshes.Object();
    if (!object || !object->HasCustomRenderMeshData() || !object->CustomRenderMeshesDeliverable())
        return false;
    for (const auto& mesh : object->CustomRenderMeshes())
        meshes.Add(mesh);
    meshes.SetInstanceTransform(object->CustomRenderMeshXform());
    return true;
}

CRhRdkCustomRenderMeshManager& RhRdkCustomRenderMeshManager() {
    static CRhRdkCustomRenderMeshManager manager;
    return manager;
}
