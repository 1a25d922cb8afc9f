#pragma once
// Meshes SubD objects on their limit surface with OpenSubdiv (Catmull-Clark, creases
// and corners kept): the control net is refined uniformly, then every refined vertex
// is moved to the limit surface with its limit normal. The library's headers stay in
// subd_mesher.cpp.

#include <string>

#include "sdk/meshing/surface_geometry.h"
#include "sdk/meshing/triangle_mesh.h"

namespace vantro::meshing {

struct SubDMeshResult {
    bool ok = false;
    TriangleMesh mesh;
    std::string error;  // when !ok
};

// subd must have passed checkSubD. Refines settings.subdLevelOrDefault() times; each
// control face of n sides gives n * 4^(level-1) quads, each split into two triangles.
// Texture coordinates are left out (a SubD has no global parameters). Any thread.
SubDMeshResult meshSubD(const SubD& subd, const MeshSettings& settings);

}  // namespace vantro::meshing
