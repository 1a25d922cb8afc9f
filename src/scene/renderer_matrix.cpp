#include "scene/renderer_matrix.h"

#include <cmath>

#include "sdk/geometry/on_xform.h"

using namespace vantro::scene;

namespace {

// Output index of the entry in row i, column j of the document's matrix: the
// transpose with rows and columns 1 and 2 exchanged.
constexpr int kRendererIndex[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

// Inverse of a 4x4 row-major matrix by cofactors, in double; false when singular.
bool invert4(const double a[16], double inv[16]) {
    inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
             a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
    inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] - a[8] * a[7] * a[14] -
             a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
    inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
             a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
    inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] - a[8] * a[6] * a[13] -
              a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
    inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] - a[9] * a[3] * a[14] -
             a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
    inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
             a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
    inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
             a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
    inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
              a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
    inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
             a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
    inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
             a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
    inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
              a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
    inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
              a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
    inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
             a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
    inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
             a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
    inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
              a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
    inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] + a[8] * a[1] * a[6] -
              a[8] * a[2] * a[5];
    const double det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
    if (det == 0.0 || !std::isfinite(det))
        return false;
    const double f = 1.0 / det;
    for (int i = 0; i < 16; ++i)
        inv[i] *= f;
    return true;
}

}  // namespace

RendererMatrix ToRendererMatrix(const ON_Xform* x, float unitScale) {
    RendererMatrix out;
    if (!x)
        return out;
    const float w = static_cast<float>(x->m_xform[3][3]);
    const float f = w == 0.0f ? 1.0f : 1.0f / w;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out.m[static_cast<size_t>(kRendererIndex[4 * i + j])] = static_cast<float>(x->m_xform[i][j]) * f;
    for (int c = 0; c < 3; ++c)
        out.at(3, c) *= unitScale;
    return out;
}

RendererMatrix Multiply(const RendererMatrix& a, const RendererMatrix& b) {
    RendererMatrix out;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.at(i, k) * b.at(k, j);
            out.at(i, j) = sum;
        }
    return out;
}

bool vantro::scene::NormalMatrix(const RendererMatrix& m, RendererMatrix& out) {
    double a[16];
    for (int i = 0; i < 16; ++i)
        a[i] = m.m[static_cast<size_t>(i)];
    a[12] = a[13] = a[14] = 0.0;
    a[15] = 1.0;
    double inv[16];
    if (!invert4(a, inv))
        return false;
    RendererMatrix n;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            n.at(i, j) = static_cast<float>(inv[4 * j + i]);
    if (!IsFinite(n))
        return false;
    out = n;
    return true;
}

bool vantro::scene::IsFinite(const RendererMatrix& m) {
    for (float v : m.m)
        if (!std::isfinite(v))
            return false;
    return true;
}
