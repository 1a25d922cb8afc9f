#pragma once
// Whether a changed object only moved: its meshes after a save are its meshes before,
// carried by one affine map. Lets the followed file tell a move from a reshape.

#include <optional>
#include <vector>

#include "sdk/geometry/on_xform.h"

class ON_Mesh;

namespace vantro::host {

// The affine map that carries every vertex of before onto the vertex of after with
// the same index, mesh by mesh, when there is one: the lists are equally long, each
// pair has the same faces and vertex count, and no vertex strays more than a
// millionth of the meshes' size from where the map puts it (the file holds 32-bit
// floats). Nullopt otherwise, also when the meshes are empty or all their vertices lie
// on one line (no map can be told from them). Null entries count as empty meshes.
std::optional<ON_Xform> findMeshMotion(const std::vector<const ON_Mesh*>& before,
                                       const std::vector<const ON_Mesh*>& after);

// Whether an affine map keeps shapes: a rotation or reflection, uniform scaling and a
// translation (its linear part's columns orthogonal and equally long, to 1e-4: the
// map is fitted to 32-bit vertices far from the origin, whose rounding shows
// against short edges). A
// stretched box is a new shape, not a moved one.
bool keepsShape(const ON_Xform& xform);

}  // namespace vantro::host
