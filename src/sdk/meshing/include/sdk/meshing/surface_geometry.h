#pragma once
// Exact geometry a document file may carry for the host to mesh: NURBS breps (faces
// on NURBS surfaces, bounded by loops of trims that run along 3D edge curves) and
// SubD control nets. Plain data in the file's own conventions, free of any meshing
// library's types, so that the reader can hold it without pulling those headers in.
//
// Conventions (those of the modelling application's files):
// - Knot vectors hold degree + count - 1 knots (the two superfluous end knots left out).
// - Control points are x, y, z, w with Euclidean x, y, z and weight w > 0; a surface's
//   point (i, j) is at index i * count[1] + j.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantro::meshing {

struct NurbsCurve {
    int degree = 1;
    std::vector<double> knots;
    std::vector<double> points;  // 4 per control point
};

struct NurbsSurface {
    std::array<int, 2> degree{1, 1};
    std::array<int, 2> count{2, 2};
    std::array<std::vector<double>, 2> knots;
    std::vector<double> points;  // 4 per control point
};

struct BrepLoop {
    bool outer = false;
    // Pairs (edge index, reversed 0/1) in loop order; edge -1 is a singular trim (a
    // side of the surface's domain that collapses to a point).
    std::vector<int32_t> trims;
};

struct BrepFace {
    NurbsSurface surface;
    bool reversed = false;  // the face's normal is opposite the surface's
    std::vector<BrepLoop> loops;
    int cachedMesh = -1;  // index of the face's cached render mesh, when known
};

struct Brep {
    std::vector<NurbsCurve> edges;
    std::vector<BrepFace> faces;
};

struct SubD {
    std::vector<double> vertices;       // x, y, z per control vertex
    std::vector<int32_t> faceCounts;    // vertices per face
    std::vector<int32_t> faceVertices;  // indices, face after face
    std::vector<int32_t> creases;       // pairs of vertex indices: sharp edges
    std::vector<int32_t> corners;       // corner vertices
};

// What is wrong with geometry read from a file (sizes, knot order, weights, indices),
// or nothing. The meshers assume geometry that passed. Any thread.
std::optional<std::string> checkCurve(const NurbsCurve& curve);
std::optional<std::string> checkSurface(const NurbsSurface& surface);
std::optional<std::string> checkBrep(const Brep& brep);
std::optional<std::string> checkSubD(const SubD& subd);

}  // namespace vantro::meshing
