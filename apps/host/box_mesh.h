#pragma once
// Boxes for the host's AddBox and Replace commands: an axis-aligned box between two
// corners as render-ready meshes, each side a quad with its own four vertices, so that
// every side has flat normals and texture coordinates covering 0..1.
// Any thread; values only.

#include <memory>
#include <vector>

#include "sdk/geometry/on_mesh.h"
#include "sdk/geometry/on_point.h"

namespace vantro::host {

// The whole box as one mesh: 24 vertices, 6 quads, outward normals, closed.
// The corners may be given in any order; each extent must be non-zero.
ON_Mesh boxMesh(const ON_3dPoint& a, const ON_3dPoint& b);

// The box as six meshes of one side each (in the order -x, +x, -y, +y, -z, +z), the
// way a brep carries one render mesh per face.
std::vector<std::shared_ptr<const ON_Mesh>> boxSideMeshes(const ON_3dPoint& a, const ON_3dPoint& b);

}  // namespace vantro::host
