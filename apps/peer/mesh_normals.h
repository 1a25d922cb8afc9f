#pragma once
// Normals for vertices that arrive without one. A mesh the modeller holds without
// normals may travel with zero vectors; lit as they are, such faces would show only
// the ambient light. A renderer then shades them by their faces.

#include "mirror_decoders.h"

namespace vantro::peer {

// Gives every vertex whose normal is zero (or not finite) the normalised sum of the
// normals of the triangles that use it, each taken in the order the indices are
// stored (the sender's winding, which faces outwards in the renderer's axes). Other
// vertices keep theirs. Returns how many vertices were given a normal.
size_t fillMissingNormals(MeshData& mesh);

}  // namespace vantro::peer
