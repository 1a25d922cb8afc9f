// ON_Viewport: camera angles from the frustum, lens length, projection switching.

#include <gtest/gtest.h>

#include <cmath>

#include "sdk/on_viewport.h"

// The half angles are those of the frustum's extents over the near distance.
TEST(OnViewport, CameraAngleFromFrustum) {
    ON_Viewport vp;
    ASSERT_TRUE(vp.SetFrustum(-2, 2, -1, 1, 2, 100));
    double diagonal = 0, vertical = 0, horizontal = 0;
    ASSERT_TRUE(vp.GetCameraAngle(&diagonal, &vertical, &horizontal));
    EXPECT_DOUBLE_EQ(vertical, std::atan(0.5));
    EXPECT_DOUBLE_EQ(horizontal, std::atan(1.0));
    EXPECT_DOUBLE_EQ(diagonal, std::atan(std::sqrt(5.0) / 2.0));
    // Half vertical angle 0.5 rad: top = near * tan(0.5).
    ASSERT_TRUE(vp.SetFrustum(-1, 1, -std::tan(0.5), std::tan(0.5), 1, 10));
    ASSERT_TRUE(vp.GetCameraAngle(nullptr, &vertical, nullptr));
    EXPECT_NEAR(vertical * 2 * 180 / M_PI, 57.29578, 1e-4);
}

// An asymmetric frustum counts by its smaller side.
TEST(OnViewport, AsymmetricFrustumUsesSmallerSide) {
    ON_Viewport vp;
    ASSERT_TRUE(vp.SetFrustum(-1, 3, -0.5, 2, 1, 10));
    double vertical = 0, horizontal = 0;
    ASSERT_TRUE(vp.GetCameraAngle(nullptr, &vertical, &horizontal));
    EXPECT_DOUBLE_EQ(vertical, std::atan(0.5));
    EXPECT_DOUBLE_EQ(horizontal, std::atan(1.0));
}

// A parallel projection has no camera angle; outputs stay untouched.
TEST(OnViewport, ParallelHasNoAngle) {
    ON_Viewport vp;
    ASSERT_TRUE(vp.SetProjection(ON::parallel_view));
    double vertical = 42.0;
    EXPECT_FALSE(vp.GetCameraAngle(nullptr, &vertical, nullptr));
    EXPECT_EQ(vertical, 42.0);
    EXPECT_FALSE(vp.SetCamera35mmLensLength(50));
    ASSERT_TRUE(vp.SetProjection(ON::perspective_view));
    EXPECT_TRUE(vp.GetCameraAngle(nullptr, &vertical, nullptr));
}

// A 50 mm lens on a landscape port gives 12/50 over the near distance vertically and
// reads back as 50 mm.
TEST(OnViewport, LensLength) {
    ON_Viewport vp;
    ASSERT_TRUE(vp.SetScreenPort(0, 1600, 900, 0));
    ASSERT_TRUE(vp.SetCamera35mmLensLength(50));
    double vertical = 0, horizontal = 0, lens = 0;
    ASSERT_TRUE(vp.GetCameraAngle(nullptr, &vertical, &horizontal));
    EXPECT_NEAR(std::tan(vertical), 12.0 / 50.0, 1e-12);
    EXPECT_NEAR(std::tan(horizontal), 12.0 / 50.0 * 16.0 / 9.0, 1e-12);
    ASSERT_TRUE(vp.GetCamera35mmLensLength(&lens));
    EXPECT_NEAR(lens, 50.0, 1e-9);
    EXPECT_FALSE(vp.SetCamera35mmLensLength(0));
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

// The camera frame: X right, Y up, Z back toward the camera.
TEST(OnViewport, CameraFrame) {
    ON_Viewport vp;
    vp.SetCameraLocation({0, -10, 0});
    vp.SetCameraDirection({0, 10, 0});
    vp.SetCameraUp({0, 0, 1});
    ON_3dVector x, y, z;
    ASSERT_TRUE(vp.GetCameraFrame(&x, &y, &z));
    EXPECT_EQ(x, ON_3dVector(1, 0, 0));
    EXPECT_EQ(y, ON_3dVector(0, 0, 1));
    EXPECT_EQ(z, ON_3dVector(0, -1, 0));
}
