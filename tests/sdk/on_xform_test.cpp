// ON_Xform: products, point and vector transformation, inversion.

#include <gtest/gtest.h>

#include <cmath>

#include "sdk/geometry/on_xform.h"

// A * B applies B first; points divide by w, vectors ignore translation.
TEST(OnXform, ProductOrderAndApplication) {
    const ON_Xform t = ON_Xform::TranslationTransformation(10, 0, 0);
    const ON_Xform r = ON_Xform::RotationTransformation(M_PI / 2, ON_3dVector::ZAxis, ON_3dPoint::Origin);
    const ON_3dPoint p = (r * t) * ON_3dPoint(1, 0, 0);  // translate, then rotate
    EXPECT_NEAR(p.x, 0.0, 1e-12);
    EXPECT_NEAR(p.y, 11.0, 1e-12);
    const ON_3dVector v = t * ON_3dVector(1, 2, 3);
    EXPECT_EQ(v, ON_3dVector(1, 2, 3));
    ON_Xform h = ON_Xform::TranslationTransformation(2, 4, 6);
    h.m_xform[3][3] = 2.0;
    EXPECT_EQ(h * ON_3dPoint(0, 0, 0), ON_3dPoint(1, 2, 3));
    ON_Xform zeroW = ON_Xform::TranslationTransformation(2, 4, 6);
    zeroW.m_xform[3][3] = 0.0;
    EXPECT_EQ(zeroW * ON_3dPoint(1, 1, 1), ON_3dPoint(3, 5, 7));
}

// The inverse undoes the transformation; a singular matrix has none.
TEST(OnXform, Inverse) {
    const ON_Xform x = ON_Xform::RotationTransformation(0.7, ON_3dVector(1, 2, 3), ON_3dPoint(4, 5, 6)) *
                       ON_Xform::DiagonalTransformation(2, 3, 4);
    const ON_Xform i = x.Inverse();
    EXPECT_TRUE((x * i).IsIdentity(1e-12));
    EXPECT_NEAR(x.Determinant(), 24.0, 1e-9);
    EXPECT_EQ(ON_Xform::DiagonalTransformation(1, 0, 1).Inverse(), ON_Xform::ZeroTransformation);
    ON_Xform s = ON_Xform::DiagonalTransformation(0.0);
    EXPECT_FALSE(s.Invert());
    EXPECT_EQ(s, ON_Xform::DiagonalTransformation(0.0));
    EXPECT_TRUE(ON_Xform().IsIdentity());
}

// A rotation about a centre keeps the centre fixed; scaling about a point likewise.
TEST(OnXform, FixedPoints) {
    const ON_3dPoint c(1, 2, 3);
    EXPECT_EQ(ON_Xform::ScaleTransformation(c, 5.0) * c, c);
    const ON_3dPoint q = ON_Xform::RotationTransformation(1.0, ON_3dVector(0, 0, 1), c) * c;
    EXPECT_NEAR(q.DistanceTo(c), 0.0, 1e-12);
    EXPECT_TRUE(ON_Xform::RotationTransformation(1.0, ON_3dVector(), c).IsIdentity());
}
