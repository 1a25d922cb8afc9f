// MakeViewData against an independent computation: the camera frame the viewport
// itself gives (right, up, back; in double) carried into the renderer's axes. The
// field of view is checked against hand-worked frustums through the host in
// live_host_test.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "plugin/send_camera.h"
#include "sdk/geometry/on_viewport.h"
#include "view_line.h"

using namespace vantro::plugin;
using vantro::test::expectNear3;

namespace {

ON_Viewport camera(ON_3dPoint location, ON_3dPoint target, ON_3dVector up) {
    ON_Viewport vp;
    EXPECT_TRUE(vp.SetCameraLocation(location));
    EXPECT_TRUE(vp.SetTargetPoint(target));
    EXPECT_TRUE(vp.SetCameraDirection(target - location));
    EXPECT_TRUE(vp.SetCameraUp(up));
    return vp;
}

}  // namespace

// Random cameras: rows 0-2 are the viewport's own right, up and forward (minus its
// back axis) in the renderer's axes, row 3 and the position are the scaled location,
// direction is the back axis, up is the camera's up normalised; the payload's other
// bytes are zero.
TEST(ViewData, RandomCamerasMatchTheViewportsFrame) {
    std::mt19937 random(17);
    std::uniform_real_distribution<double> coordinate(-50, 50);
    for (int i = 0; i < 200; ++i) {
        const ON_3dPoint location(coordinate(random), coordinate(random), coordinate(random));
        const ON_3dPoint target(coordinate(random), coordinate(random), coordinate(random));
        const ON_3dVector d = target - location;
        ON_3dVector up(coordinate(random), coordinate(random), coordinate(random));
        // Keep the up vector clearly away from the direction.
        up = up - d * ((up.x * d.x + up.y * d.y + up.z * d.z) / (d.x * d.x + d.y * d.y + d.z * d.z));
        if (up.Length() < 1e-3 || d.Length() < 1e-3)
            continue;
        up = up * (1 + i % 5);  // not normalised
        const ON_Viewport vp = camera(location, target, up);
        ON_3dVector x, y, z;
        ASSERT_TRUE(vp.GetCameraFrame(&x, &y, &z));
        const float scale = i % 2 ? 0.0254f : 1.0f;
        const VantroAPI::ViewData v = MakeViewData(vp, scale);
        SCOPED_TRACE(i);
        expectNear3(v.viewMatrix + 0, x.x, x.z, x.y, 1e-5, "row 0");
        expectNear3(v.viewMatrix + 4, y.x, y.z, y.y, 1e-5, "row 1");
        expectNear3(v.viewMatrix + 8, -z.x, -z.z, -z.y, 1e-5, "row 2");
        const ON_3dPoint l = location * scale;
        expectNear3(v.viewMatrix + 12, l.x, l.z, l.y, 1e-4 * scale, "row 3");
        expectNear3(v.position, l.x, l.z, l.y, 1e-4 * scale, "position");
        expectNear3(v.direction, z.x, z.z, z.y, 1e-5, "direction");
        const double u = up.Length();
        expectNear3(v.up, up.x / u, up.z / u, up.y / u, 1e-5, "up");
        EXPECT_EQ(v.viewMatrix[3] + v.viewMatrix[7] + v.viewMatrix[11], 0.0f);
        EXPECT_EQ(v.viewMatrix[15], 1.0f);
        EXPECT_EQ(v.cameraKind, VantroAPI::kCameraPerspective);
        for (uint8_t b : v.reserved)
            ASSERT_EQ(b, 0);
    }
}
