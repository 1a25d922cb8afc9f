// The viewport's frustum follows the shape of its window: the smaller side keeps what
// it sees (the lens length is measured there), the other grows or shrinks with the
// aspect, and the view's resize refits it before anyone reads the camera.

#include <gtest/gtest.h>

#include <cmath>

#include "sdk/geometry/on_viewport.h"

namespace {

struct Frustum {
    double left = 0, right = 0, bottom = 0, top = 0, nearDist = 0, farDist = 0;
};

Frustum frustumOf(const ON_Viewport& vp) {
    Frustum f;
    EXPECT_TRUE(vp.GetFrustum(&f.left, &f.right, &f.bottom, &f.top, &f.nearDist, &f.farDist));
    return f;
}

// A portrait aspect puts the 12 mm of a lens on the width; turning back to landscape
// restores the frustum; the lens length survives both.
TEST(OnViewport, FrustumAspectKeepsTheSmallerSide) {
    ON_Viewport vp;
    ASSERT_TRUE(vp.SetCamera35mmLensLength(100));
    const Frustum landscape = frustumOf(vp);
    ASSERT_TRUE(vp.SetFrustumAspect(0.6));
    const Frustum portrait = frustumOf(vp);
    EXPECT_NEAR(portrait.right - portrait.left, landscape.top - landscape.bottom, 1e-12);
    EXPECT_NEAR((portrait.right - portrait.left) / (portrait.top - portrait.bottom), 0.6, 1e-12);
    EXPECT_EQ(portrait.nearDist, landscape.nearDist);
    EXPECT_EQ(portrait.farDist, landscape.farDist);
    double lens = 0;
    ASSERT_TRUE(vp.GetCamera35mmLensLength(&lens));
    EXPECT_NEAR(lens, 100, 1e-9);
    double halfVertical = 0;
    ASSERT_TRUE(vp.GetCameraAngle(nullptr, &halfVertical, nullptr));
    EXPECT_NEAR(halfVertical, std::atan(0.12 / 0.6), 1e-12);
    ASSERT_TRUE(vp.SetFrustumAspect(1000.0 / 600.0));
    const Frustum back = frustumOf(vp);
    EXPECT_NEAR(back.right, landscape.right, 1e-12);
    EXPECT_NEAR(back.top, landscape.top, 1e-12);
}

// An off-centre frustum keeps its centre; bad aspects change nothing.
TEST(OnViewport, FrustumAspectKeepsTheCentreAndRefusesNonsense) {
    ON_Viewport vp;
    ASSERT_TRUE(vp.SetFrustum(1, 5, -1, 1, 0.1, 100));
    ASSERT_TRUE(vp.SetFrustumAspect(1.0));
    const Frustum square = frustumOf(vp);
    EXPECT_DOUBLE_EQ(square.left, 2);
    EXPECT_DOUBLE_EQ(square.right, 4);
    EXPECT_DOUBLE_EQ(square.bottom, -1);
    EXPECT_DOUBLE_EQ(square.top, 1);
    for (double bad : {0.0, -2.0, std::nan(""), double(INFINITY)})
        EXPECT_FALSE(vp.SetFrustumAspect(bad)) << bad;
    EXPECT_DOUBLE_EQ(frustumOf(vp).right, 4);
}

}  // namespace
