#pragma once
// Writes a mirror as a Wavefront OBJ file with its MTL library, for any other viewer.
//
// - FILE.obj: "mtllib FILE.mtl", then per material (in record-id order) one group
//   "o <name>", "usemtl <name>", its vertices (v), texture coordinates (vt, with v
//   turned back to bottom-up), normals (vn) and triangles (f v/vt/vn), in the
//   renderer's axes (y up, metres) with the winding that faces outwards there.
// - FILE.mtl: per material Kd (its colour, white when textured), d (opacity),
//   Ns (shine x 1000) and map_Kd for a texture: the file's path, or, for an image
//   that travelled in memory, a PNG written beside FILE as FILE-<record id>.png.
// Material names are the record names in UTF-8 with blanks made '_' (an empty name
// becomes "record-<id>").

#include <string>

#include "peer_mirror.h"

namespace vantro::peer {

// False with a message in error when a file cannot be written; what was written
// stays (the caller names the files in its message).
bool writeObj(const PeerMirror& mirror, const std::string& objPath, std::string& error);

}  // namespace vantro::peer
