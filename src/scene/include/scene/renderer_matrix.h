#pragma once
// RendererMatrix: a 4x4 f32 matrix in the renderer's convention: row vectors
// (p' = p x M), translation in the fourth row, axes x, y, z of the renderer = x, z, y
// of the document, translation in metres. Stored row-major: m[4 * row + column].
//
// Thread-safety: value type; the functions are pure.

#include <array>
#include <cstddef>

class ON_Xform;

struct RendererMatrix {
    std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // identity

    float at(int row, int column) const { return m[static_cast<std::size_t>(4 * row + column)]; }
    float& at(int row, int column) { return m[static_cast<std::size_t>(4 * row + column)]; }
    friend bool operator==(const RendererMatrix&, const RendererMatrix&) = default;

    static RendererMatrix Identity() { return {}; }
};

// Converts a document transformation (column vectors, translation in column 3) into
// the renderer's convention: every entry is divided by m[3][3] unless that is 0
// (computed in f32), transposed with y and z exchanged, and the translation is
// multiplied by unitScale (document units to metres). Null gives the identity.
RendererMatrix ToRendererMatrix(const ON_Xform* x, float unitScale);

// a x b in the row-vector sense: apply a, then b.
RendererMatrix Multiply(const RendererMatrix& a, const RendererMatrix& b);

namespace vantro::scene {

// The matrix that transforms normals for m: the transpose of the inverse of m with
// its fourth row replaced by (0, 0, 0, 1). False (out untouched) when that matrix is
// singular or not finite.
bool NormalMatrix(const RendererMatrix& m, RendererMatrix& out);

// Every entry finite.
bool IsFinite(const RendererMatrix& m);

}  // namespace vantro::scene
