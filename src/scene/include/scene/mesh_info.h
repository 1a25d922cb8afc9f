#pragma once
// The records of the scene mirror (see RHScene): MeshInfo, one finished render mesh
// in the renderer's axes and metres; NodeInfo, where an object reached through a
// block instance is placed (export mode); ObjectEntry, the meshes made from one
// top-level object.
//
// Thread-safety: plain data. The scene's sceneLock guards every record an RHScene
// owns (RHScene.h says who may touch them when).

#include <cstdint>
#include <vector>

#include "scene/renderer_matrix.h"
#include "sdk/geometry/on_uuid.h"

struct MeshInfo {
    int64_t id = 0;           // NextMeshId(): unique in the process, never reused
    uint64_t materialId = 0;  // MaterialInfo id (the default material's -1 as its u64 pattern)
    bool twoSided = false;    // source mesh not closed: sent twice, the second copy reversed
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    std::vector<uint32_t> indices;  // triangle list, every entry < vertexCount
    std::vector<float> positions;   // 3 per vertex, renderer axes, metres
    std::vector<float> normals;     // 3 per vertex, renderer axes, not renormalised
    std::vector<float> uvs;         // 2 per vertex (one coordinate set)
};

struct NodeInfo {
    uint64_t id = 0;           // NextNodeId()
    ON_UUID objectId;          // CRhinoObject::Id of the object reached through the instance
    RendererMatrix transform;  // accumulated placement
};

struct ObjectEntry {
    std::vector<uint64_t> meshIds;  // ids of the MeshInfo made from the object, in creation order
};

namespace vantro::scene {

// Next value of the process-wide 32-bit signed mesh counter (first 1), sign-extended.
// Any thread.
int64_t NextMeshId();
// Next value of the process-wide 64-bit node counter (first 1). Any thread.
uint64_t NextNodeId();

}  // namespace vantro::scene
