#pragma once
// The edge analysis behind ON_Mesh::IsClosed and ON_Mesh::SolidOrientation, done once
// for both. Not part of the SDK's interface.
//
// Vertices at exactly the same position (+0 and -0 alike) are one topological vertex.
// Every edge of every face is collected as (low, high, direction) over topological
// vertices, bucketed by its low end (a counting sort) and matched within the bucket,
// so the work is linear in the number of faces and needs a handful of flat arrays
// instead of a node per edge.

#include <cstdint>
#include <span>

#include "sdk/geometry/on_mesh.h"

namespace vantro::sdk {

struct MeshTopologySummary {
    bool closed = false;  // every edge used by at least two faces, and at least one edge
    int orientation = 0;  // ON_Mesh::SolidOrientation's +1 / -1 / 0
    friend bool operator==(const MeshTopologySummary&, const MeshTopologySummary&) = default;
};

// Both answers for the mesh given by its vertices and faces. A face with a corner
// index outside [0, vertices.size()) makes the mesh neither closed nor solid, as does
// a mesh without faces or whose edges all collapse. Any thread; reads only its
// arguments. Throws std::bad_alloc when the scratch arrays (up to 8 ints per vertex
// and 3 per face corner, freed on return) cannot be had.
MeshTopologySummary analyseMeshTopology(std::span<const ON_3fPoint> vertices, std::span<const ON_MeshFace> faces);

// A 64-bit digest of the vertex positions and faces, bit for bit (counts included):
// what the analysis depends on, so that a cached summary can be checked against the
// mesh as it is now. Any thread.
uint64_t meshShapeDigest(std::span<const ON_3fPoint> vertices, std::span<const ON_MeshFace> faces);

}  // namespace vantro::sdk
