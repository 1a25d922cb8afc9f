#pragma once
// Meshes NURBS breps face by face with OpenCASCADE: each face's surface is rebuilt
// exactly, its trims are rebuilt on the surface from the 3D edges the file gives
// (projected to the surface's parameters), and the trimmed face is meshed to the
// settings' tolerance. The library's headers stay in brep_mesher.cpp.

#include <string>
#include <vector>

#include "sdk/meshing/surface_geometry.h"
#include "sdk/meshing/triangle_mesh.h"

namespace vantro::meshing {

struct FaceMeshResult {
    bool ok = false;
    TriangleMesh mesh;
    std::string error;  // when !ok
};

// One mesh per face, in face order; a face that cannot be meshed says why and leaves
// the others alone. brep must have passed checkBrep. Any thread; breps may be meshed
// concurrently.
std::vector<FaceMeshResult> meshBrep(const Brep& brep, const MeshSettings& settings);

// The diagonal of the bounding box of the brep's control points (an upper bound of
// the geometry's), for tolerances relative to the object's size.
double controlBoxDiagonal(const Brep& brep);

}  // namespace vantro::meshing
