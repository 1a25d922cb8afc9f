// ON_Xform: the constants and the arithmetic every placement, mapping and camera goes
// through. A wrong zero constant once made every product A*B + I under one compiler
// only, so the products are checked entry by entry against sums worked out by hand.

#include "sdk/geometry/on_xform.h"

#include <gtest/gtest.h>

namespace {

ON_Xform fromRows(std::initializer_list<std::initializer_list<double>> rows) {
    double m[4][4] = {};
    int i = 0;
    for (const auto& row : rows) {
        int j = 0;
        for (double v : row)
            m[i][j++] = v;
        ++i;
    }
    return ON_Xform(m);
}

TEST(OnXform, ConstantsHoldTheirEntries) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(ON_Xform::ZeroTransformation.m_xform[i][j], 0.0) << i << "," << j;
            EXPECT_EQ(ON_Xform::IdentityTransformation.m_xform[i][j], i == j ? 1.0 : 0.0) << i << "," << j;
            EXPECT_EQ(ON_Xform().m_xform[i][j], i == j ? 1.0 : 0.0) << i << "," << j;
        }
    const ON_Xform scale(2.5);
    EXPECT_EQ(std::tuple(scale[0][0], scale[1][1], scale[2][2], scale[3][3], scale[0][3]),
              std::tuple(2.5, 2.5, 2.5, 1.0, 0.0));
}

TEST(OnXform, ProductsAreExactSums) {
    const ON_Xform a = fromRows({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}});
    const ON_Xform b = fromRows({{2, 0, 1, 0}, {0, 1, 0, 3}, {1, 0, 0, 1}, {0, 2, 1, 0}});
    const ON_Xform expected = fromRows({{5, 10, 5, 9}, {17, 22, 13, 25}, {29, 34, 21, 41}, {41, 46, 29, 57}});
    EXPECT_EQ(a * b, expected);
    // Products of zero and singular matrices stay zero: no constant leaks into a sum.
    EXPECT_EQ(ON_Xform::ZeroTransformation * a, ON_Xform::ZeroTransformation);
    EXPECT_EQ(a * ON_Xform::ZeroTransformation, ON_Xform::ZeroTransformation);
    EXPECT_EQ(ON_Xform::IdentityTransformation * a, a);
}

TEST(OnXform, ComposedPlacementsMoveThePointOnce) {
    const ON_Xform move = ON_Xform::TranslationTransformation(10, 0, 0);
    const ON_Xform scale = ON_Xform::ScaleTransformation(ON_3dPoint(0, 0, 0), 3.0);
    const ON_3dPoint p = (move * scale) * ON_3dPoint(1, 2, 3);  // scale first, then move
    EXPECT_EQ(std::tuple(p.x, p.y, p.z), std::tuple(13.0, 6.0, 9.0));
}

TEST(OnXform, SingularMatricesInvertToZero) {
    EXPECT_EQ(ON_Xform::ZeroTransformation.Inverse(), ON_Xform::ZeroTransformation);
    EXPECT_EQ(ON_Xform(0.0).Inverse(), ON_Xform::ZeroTransformation);
    // The identity is invertible and must not be mistaken for the singular answer.
    EXPECT_NE(ON_Xform::IdentityTransformation.Inverse(), ON_Xform::ZeroTransformation);
    const ON_Xform move = ON_Xform::TranslationTransformation(1, -2, 4);
    EXPECT_TRUE((move * move.Inverse()).IsIdentity(1e-12));
}

}  // namespace
