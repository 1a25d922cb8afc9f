// ON_Viewport: what documents can bring that the symmetric views of the host never
// show, an off-centre frustum and impossible values. (Camera angles, lens lengths and
// camera frames are checked through the camera the plug-in sends, in tests/live.)

#include <gtest/gtest.h>

#include <cmath>

#include "sdk/geometry/on_viewport.h"

// An asymmetric frustum counts by its smaller side.
TEST(OnViewport, AsymmetricFrustumUsesSmallerSide) {
    ON_Viewport vp;
    ASSERT_TRUE(vp.SetFrustum(-1, 3, -0.5, 2, 1, 10));
    double vertical = 0, horizontal = 0;
    ASSERT_TRUE(vp.GetCameraAngle(nullptr, &vertical, &horizontal));
    EXPECT_DOUBLE_EQ(vertical, std::atan(0.5));
    EXPECT_DOUBLE_EQ(horizontal, std::atan(1.0));
}

// Frustum and camera setters refuse impossible values and keep the old ones.
TEST(OnViewport, SettersRefuseBadValues) {
    ON_Viewport vp;
    const ON_Viewport before = vp;
    EXPECT_FALSE(vp.SetFrustum(1, -1, -1, 1, 1, 10));
    EXPECT_FALSE(vp.SetFrustum(-1, 1, -1, 1, 0, 10));
    EXPECT_FALSE(vp.SetFrustum(-1, 1, -1, 1, NAN, 10));
    EXPECT_FALSE(vp.SetCameraDirection(ON_3dVector(0, 0, 0)));
    EXPECT_FALSE(vp.SetCameraLocation(ON_3dPoint(INFINITY, 0, 0)));
    EXPECT_FALSE(vp.SetProjection(ON::unknown_view));
    EXPECT_EQ(vp, before);
    EXPECT_TRUE(vp.IsValidCamera());
    vp.SetCameraUp(vp.CameraDirection());
    EXPECT_FALSE(vp.IsValidCamera());
}
