#pragma once

namespace vantro::scene {

// RenderMeshRequest: marks the time the plug-in itself asks the host for render
// meshes. The host answers a request for meshes it has not built yet by building
// them, and announces that as a mesh update of the object (OnUpdateObjectMesh).
// Such an update is the plug-in's own doing, not an edit: the document observer
// ignores it while a request is active, or every idle pass that re-adds an object
// would record it again and re-add it on the next pass, for ever.
//
// Scoped (RAII) and nestable; per thread (the scene asks on the main thread).

class RenderMeshRequest {
public:
    RenderMeshRequest();
    ~RenderMeshRequest();
    RenderMeshRequest(const RenderMeshRequest&) = delete;
    RenderMeshRequest& operator=(const RenderMeshRequest&) = delete;

    // Whether this thread is inside a request now.
    static bool Active();
};

}  // namespace vantro::scene
