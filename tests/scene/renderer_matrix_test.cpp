// RendererMatrix: conversion from document transformations, products and the normal
// matrix, checked against points moved both ways.

#include "scene/renderer_matrix.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sdk/geometry/on_xform.h"

using namespace vantro::scene;

namespace {

// p x M for a renderer-space point (row vector, no division).
std::array<float, 3> apply(const RendererMatrix& m, float x, float y, float z) {
    return {x * m.at(0, 0) + y * m.at(1, 0) + z * m.at(2, 0) + m.at(3, 0),
            x * m.at(0, 1) + y * m.at(1, 1) + z * m.at(2, 1) + m.at(3, 1),
            x * m.at(0, 2) + y * m.at(1, 2) + z * m.at(2, 2) + m.at(3, 2)};
}

// Document point -> renderer point with scale s: (x, z, y) * s.
std::array<float, 3> toRenderer(const ON_3dPoint& p, float s) {
    return {float(p.x) * s, float(p.z) * s, float(p.y) * s};
}

// (p, 1) x M divided by its fourth component: a projective placement's point.
std::array<float, 3> applyProjective(const RendererMatrix& m, float x, float y, float z) {
    const auto a = apply(m, x, y, z);
    const float w = x * m.at(0, 3) + y * m.at(1, 3) + z * m.at(2, 3) + m.at(3, 3);
    return {a[0] / w, a[1] / w, a[2] / w};
}

void expectNear(const std::array<float, 3>& a, const std::array<float, 3>& b) {
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(a[size_t(i)], b[size_t(i)], 1e-5f) << "component " << i;
}

}  // namespace

// Moving a document point with the xform and converting gives the same as converting
// and moving with the renderer matrix; the translation is scaled to metres, and a
// projective placement's bottom row lands where the renderer divides by it.
TEST(RendererMatrix, AgreesWithTheDocumentTransformation) {
    ON_Xform x = ON_Xform::RotationTransformation(0.7, ON_3dVector(1, 2, 3), ON_3dPoint(4, -1, 2));
    x = ON_Xform::TranslationTransformation(5, -6, 7) * x;
    const float s = 0.001f;
    const RendererMatrix r = ToRendererMatrix(&x, s);
    const ON_3dPoint p(1.5, -2.25, 3.0);
    const auto moved = toRenderer(x * p, s);
    const auto viaMatrix = toRenderer(p, s);
    expectNear(apply(r, viaMatrix[0], viaMatrix[1], viaMatrix[2]), moved);

    // A projective placement: every entry of the bottom row reaches its place too.
    ON_Xform projective = x;
    projective.m_xform[3][0] = 0.01;
    projective.m_xform[3][1] = -0.02;
    projective.m_xform[3][2] = 0.03;
    const RendererMatrix rp = ToRendererMatrix(&projective, 1.0f);
    const auto q = toRenderer(p, 1.0f);
    expectNear(applyProjective(rp, q[0], q[1], q[2]), toRenderer(projective * p, 1.0f));
}

// m[3][3] = 2 divides every entry (before the translation is scaled); 0 leaves them.
TEST(RendererMatrix, DividesByTheHomogeneousWeight) {
    ON_Xform x = ON_Xform::TranslationTransformation(4, 6, 8);
    x.m_xform[3][3] = 2.0;
    RendererMatrix r = ToRendererMatrix(&x, 0.5f);
    EXPECT_EQ(r.at(0, 0), 0.5f);
    EXPECT_EQ(r.at(3, 0), 4.0f / 2.0f * 0.5f);
    EXPECT_EQ(r.at(3, 1), 8.0f / 2.0f * 0.5f);  // document z becomes renderer y
    EXPECT_EQ(r.at(3, 2), 6.0f / 2.0f * 0.5f);
    EXPECT_EQ(r.at(3, 3), 1.0f);
    x.m_xform[3][3] = 0.0;
    r = ToRendererMatrix(&x, 1.0f);
    EXPECT_EQ(r.at(0, 0), 1.0f);
    EXPECT_EQ(r.at(3, 0), 4.0f);
    EXPECT_EQ(ToRendererMatrix(nullptr, 3.0f), RendererMatrix::Identity());
}

// The normal matrix keeps normals perpendicular to transformed surfaces, also under
// non-uniform scale, and does not exist for a singular matrix.
TEST(RendererMatrix, NormalMatrixIsTheInverseTransposeOfTheLinearPart) {
    const ON_Xform x = ON_Xform::DiagonalTransformation(2, 1, 4) * ON_Xform::TranslationTransformation(3, 3, 3);
    const RendererMatrix r = ToRendererMatrix(&x, 1.0f);
    RendererMatrix n;
    ASSERT_TRUE(NormalMatrix(r, n));
    // A tangent t and normal m of a plane: transformed, they stay perpendicular.
    const std::array<float, 3> t{1, -1, 0}, m{1, 1, 0};
    const auto tt = apply(r, t[0], t[1], t[2]);
    const auto o = apply(r, 0, 0, 0);
    const std::array<float, 3> dt{tt[0] - o[0], tt[1] - o[1], tt[2] - o[2]};
    const auto mm = apply(n, m[0], m[1], m[2]);
    EXPECT_NEAR(dt[0] * mm[0] + dt[1] * mm[1] + dt[2] * mm[2], 0.0f, 1e-6f);
    EXPECT_EQ(n.at(3, 0), 0.0f);  // translation does not reach normals

    const ON_Xform flat = ON_Xform::DiagonalTransformation(1, 0, 1);
    RendererMatrix untouched;
    untouched.at(0, 0) = 7.0f;
    EXPECT_FALSE(NormalMatrix(ToRendererMatrix(&flat, 1.0f), untouched));
    EXPECT_EQ(untouched.at(0, 0), 7.0f);
}
