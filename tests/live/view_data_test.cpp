// MakeViewData against an independent computation: the camera frame the viewport
// itself gives (right, up, back; in double) carried into the renderer's axes, and
// the cases whose numbers are known by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "plugin/send_camera.h"
#include "sdk/geometry/on_viewport.h"

using namespace vantro::plugin;

using VantroAPI::ViewData;

namespace {

struct D3 {
    double x, y, z;
};
D3 swapped(const ON_3dVector& v) { return {v.x, v.z, v.y}; }
D3 swapped(const ON_3dPoint& p) { return {p.x, p.z, p.y}; }

void expectNear(const float* got, D3 want, double tolerance, const char* what) {
    EXPECT_NEAR(got[0], want.x, tolerance) << what;
    EXPECT_NEAR(got[1], want.y, tolerance) << what;
    EXPECT_NEAR(got[2], want.z, tolerance) << what;
}

ON_Viewport camera(ON_3dPoint location, ON_3dPoint target, ON_3dVector up) {
    ON_Viewport vp;
    EXPECT_TRUE(vp.SetCameraLocation(location));
    EXPECT_TRUE(vp.SetTargetPoint(target));
    EXPECT_TRUE(vp.SetCameraDirection(target - location));
    EXPECT_TRUE(vp.SetCameraUp(up));
    return vp;
}

}  // namespace

// From (0, -10, 0) at the origin with up z: the camera lies on the renderer's
// negative z axis looking along +z; the frame is the identity; the payload's other
// bytes are zero.
TEST(ViewData, KnownCamera) {
    const ViewData d = MakeViewData(camera({0, -10, 0}, {0, 0, 0}, {0, 0, 1}), 1.0f);
    const float rows[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -10, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(d.viewMatrix[i], rows[i]) << i;
    expectNear(d.direction, {0, 0, -1}, 0, "direction");
    expectNear(d.up, {0, 1, 0}, 0, "up");
    expectNear(d.position, {0, 0, -10}, 0, "position");
    EXPECT_EQ(d.cameraKind, VantroAPI::kCameraPerspective);
    for (uint8_t b : d.reserved)
        ASSERT_EQ(b, 0);
}

// The field of view is the full vertical angle in degrees: a frustum whose half
// vertical angle is 0.5 rad gives 57.29578; a parallel frustum (no angle) falls back
// to the same.
TEST(ViewData, FieldOfView) {
    ON_Viewport vp = camera({0, -10, 0}, {0, 0, 0}, {0, 0, 1});
    const double n = 0.5, top = n * std::tan(0.5);
    ASSERT_TRUE(vp.SetFrustum(-2 * top, 2 * top, -top, top, n, 100));
    EXPECT_NEAR(MakeViewData(vp, 1.0f).fieldOfView, 57.29578f, 1e-4);
    ASSERT_TRUE(vp.SetFrustum(-4 * top, 4 * top, -top / 2, top / 2, n, 100));
    EXPECT_NEAR(MakeViewData(vp, 1.0f).fieldOfView, 2 * std::atan(0.5 * std::tan(0.5)) * 180 / M_PI, 1e-4);
    ASSERT_TRUE(vp.SetProjection(ON::parallel_view));
    EXPECT_NEAR(MakeViewData(vp, 1.0f).fieldOfView, 57.29578f, 1e-4);
}

// Random cameras: rows 0-2 are the viewport's own right, up and forward (minus its
// back axis) in the renderer's axes, row 3 and the position are the scaled location,
// direction is the back axis, up is the camera's up normalised.
TEST(ViewData, RandomCamerasMatchTheViewportsFrame) {
    std::mt19937 random(17);
    std::uniform_real_distribution<double> coordinate(-50, 50);
    for (int i = 0; i < 200; ++i) {
        const ON_3dPoint location(coordinate(random), coordinate(random), coordinate(random));
        const ON_3dPoint target(coordinate(random), coordinate(random), coordinate(random));
        const ON_3dVector direction = target - location;
        ON_3dVector up(coordinate(random), coordinate(random), coordinate(random));
        // Keep the up vector clearly away from the direction.
        up = up - direction * ((up.x * direction.x + up.y * direction.y + up.z * direction.z) /
                               (direction.x * direction.x + direction.y * direction.y + direction.z * direction.z));
        if (up.Length() < 1e-3 || direction.Length() < 1e-3)
            continue;
        up = up * (1 + i % 5);  // not normalised
        const ON_Viewport vp = camera(location, target, up);
        ON_3dVector x, y, z;
        ASSERT_TRUE(vp.GetCameraFrame(&x, &y, &z));
        const float scale = i % 2 ? 0.0254f : 1.0f;
        const ViewData d = MakeViewData(vp, scale);
        SCOPED_TRACE(i);
        expectNear(d.viewMatrix + 0, swapped(x), 1e-5, "row 0");
        expectNear(d.viewMatrix + 4, swapped(y), 1e-5, "row 1");
        expectNear(d.viewMatrix + 8, swapped(-z), 1e-5, "row 2");
        const D3 l = swapped(location);
        const D3 position{l.x * scale, l.y * scale, l.z * scale};
        expectNear(d.viewMatrix + 12, position, 1e-4 * scale, "row 3");
        expectNear(d.position, position, 1e-4 * scale, "position");
        expectNear(d.direction, swapped(z), 1e-5, "direction");
        const double u = up.Length();
        expectNear(d.up, {up.x / u, up.z / u, up.y / u}, 1e-5, "up");
        EXPECT_EQ(d.viewMatrix[3] + d.viewMatrix[7] + d.viewMatrix[11], 0.0f);
    }
}
