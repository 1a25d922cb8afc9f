#pragma once
// TriangleMesh: what the host's meshers give, in plain arrays the document turns
// into render meshes. MeshSettings: how fine they mesh.

#include <cstdint>
#include <string>
#include <vector>

namespace vantro::meshing {

struct TriangleMesh {
    std::vector<float> vertices;     // x, y, z per vertex
    std::vector<float> normals;      // x, y, z per vertex, unit length
    std::vector<float> uvs;          // u, v per vertex: surface parameters scaled to 0..1
    std::vector<int32_t> triangles;  // 3 vertex indices per triangle, counter-clockwise seen from the normal

    size_t vertexCount() const { return vertices.size() / 3; }
    size_t triangleCount() const { return triangles.size() / 3; }
};

// The document's render-mesh settings. Distances are in model units.
struct MeshSettings {
    enum class Preset { coarse, smooth };
    Preset preset = Preset::coarse;
    // Largest distance between a mesh and its surface; 0: the preset's share of the
    // object's bounding-box diagonal.
    double tolerance = 0;
    // Largest angle between neighbouring normals along the surface, radians; 0: the
    // preset's.
    double angle = 0;
    // SubD limit surfaces: subdivision levels; 0: the preset's.
    int subdLevel = 0;
    // The document's absolute tolerance: meshes are never asked to be closer than it.
    double minimumTolerance = 0;

    static const char* presetName(Preset p) { return p == Preset::coarse ? "coarse" : "smooth"; }
    // The tolerance for an object whose bounding box has this diagonal.
    double toleranceFor(double diagonal) const;
    // The tolerance for one face of such an object, of this size (0: unknown): never
    // more than the preset's share of the face itself, so that a small face on a large
    // object keeps its shape, nor less than minimumTolerance.
    double toleranceForFace(double objectTolerance, double faceDiagonal) const;
    double angleOrDefault() const;
    int subdLevelOrDefault() const;
};

}  // namespace vantro::meshing
