// The camera as the renderer gets it, against the frame the viewport itself gives
// (right, up, back; in double) carried into the renderer's axes and metres: from
// MakeViewData for random cameras, and as the "VIEW" record the reader finds after each
// camera change of the host's views. The host's view commands (projection switches, a
// parallel view made active) are followed through the real host in live_host_test.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <utility>

#include "live_session.h"
#include "plugin/camera_observer.h"
#include "plugin/send_camera.h"
#include "plugin/velora_plugin.h"
#include "scene_test_support.h"
#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_view.h"
#include "sdk/document/rhino_doc.h"
#include "view_line.h"

using namespace vantro::test;

namespace {

ON_Viewport camera(ON_3dPoint location, ON_3dPoint target, ON_3dVector up) {
    ON_Viewport vp;
    EXPECT_TRUE(vp.SetCameraLocation(location));
    EXPECT_TRUE(vp.SetTargetPoint(target));
    EXPECT_TRUE(vp.SetCameraDirection(target - location));
    EXPECT_TRUE(vp.SetCameraUp(up));
    return vp;
}

class CameraSyncTest : public ::testing::Test {
protected:
    void startIn(ON::LengthUnitSystem units) {
        ASSERT_TRUE(doc.SetUnitSystem(units, false));
        addMeshObject(doc, boxMesh({0, 0, 0}, {1, 1, 1}), attributesOn(0));
        ASSERT_TRUE(s.start());
        perspective = doc.ActiveView();
        ASSERT_TRUE(perspective && perspective->Viewport().VP().IsPerspectiveProjection());
    }
    // The next camera the reader finds must be vp's (the frame the viewport itself
    // gives: right, up, back, with y and z exchanged), the location scaled to metres.
    void expectCamera(const ON_Viewport& vp, double scale, const char* after) {
        const std::string line = s.reader->waitForLine("VIEW ", 5000);
        ASSERT_NE(line, "") << "no camera after " << after;
        const std::optional<SeenView> v = parseViewLine(line.substr(line.find("VIEW ")));
        ASSERT_TRUE(v) << line;
        SCOPED_TRACE(after);
        EXPECT_EQ(v->apply, 1u);
        EXPECT_EQ(v->kind, 6u);
        ON_3dVector x, y, z;
        ASSERT_TRUE(vp.GetCameraFrame(&x, &y, &z));
        const ON_3dPoint l = vp.CameraLocation() * scale;
        const ON_3dVector u = vp.CameraUp() * (1 / vp.CameraUp().Length());
        expectNear3(v->rows + 0, x.x, x.z, x.y, 1e-5, "row 0");
        expectNear3(v->rows + 4, y.x, y.z, y.y, 1e-5, "row 1");
        expectNear3(v->rows + 8, -z.x, -z.z, -z.y, 1e-5, "row 2");
        expectNear3(v->rows + 12, l.x, l.z, l.y, 1e-4 * scale, "row 3");
        expectNear3(v->pos, l.x, l.z, l.y, 1e-4 * scale, "position");
        EXPECT_EQ(v->rows[15], 1.0f);
        expectNear3(v->dir, z.x, z.z, z.y, 1e-5, "direction");
        expectNear3(v->up, u.x, u.z, u.y, 1e-5, "up");
        double half = 0;
        ASSERT_TRUE(vp.GetCameraAngle(nullptr, &half, nullptr));
        EXPECT_NEAR(v->fov, 2 * half * 180 / M_PI, 1e-3);
    }
    // Nothing reaches the record for a while (the reader looks every 5 ms).
    void expectNothing(const char* after) { EXPECT_EQ(s.reader->waitForLine("VIEW ", 300), "") << "after " << after; }
    bool move(CRhinoView* view, ON_3dPoint location) {
        return view->Viewport().SetCamera(location, {0, 0, 0}, ON_3dVector(0, 0, 1));
    }

    LiveSession s;
    CRhinoDoc& doc = s.doc;
    CRhinoView* perspective = nullptr;
};

// The position arrives in metres whatever the document's unit; the orientation is not
// scaled.
class CameraUnitsTest : public CameraSyncTest,
                        public ::testing::WithParamInterface<std::pair<ON::LengthUnitSystem, double>> {};

TEST_P(CameraUnitsTest, PositionInMetres) {
    const auto [units, metres] = GetParam();
    startIn(units);
    ASSERT_TRUE(perspective->Viewport().SetCamera({1, 2, 3}, {1, 12, 3}, ON_3dVector(0, 0, 1)));
    s.plugin.SetCameraSync(true);
    expectCamera(perspective->Viewport().VP(), metres, "switching synchronisation on");
}

INSTANTIATE_TEST_SUITE_P(Units, CameraUnitsTest,
                         ::testing::Values(std::pair{ON::LengthUnitSystem::Millimeters, 0.001},
                                           std::pair{ON::LengthUnitSystem::Inches, 0.0254},
                                           std::pair{ON::LengthUnitSystem::Feet, 0.3048}));

// A lens or size change sends the camera again; synchronisation switched off sends
// nothing; another perspective view made active is
// followed from then on and the previous one is not; a view whose pipeline closes is
// not followed any more.
TEST_F(CameraSyncTest, OnlyTheActiveViewIsFollowedWhileOn) {
    startIn(ON::LengthUnitSystem::Meters);
    s.plugin.SetCameraSync(true);
    expectCamera(perspective->Viewport().VP(), 1.0, "switching synchronisation on");
    ON_Viewport lens = perspective->Viewport().VP();
    ASSERT_TRUE(lens.SetCamera35mmLensLength(100));
    ASSERT_TRUE(perspective->Viewport().SetVP(lens));
    expectCamera(perspective->Viewport().VP(), 1.0, "a lens change");
    ASSERT_TRUE(perspective->Viewport().SetScreenPort(0, 400, 800, 0));
    expectCamera(perspective->Viewport().VP(), 1.0, "a size change");
    s.plugin.SetCameraSync(false);
    ASSERT_TRUE(move(perspective, {0, -20, 0}));
    expectNothing("switching synchronisation off");
    s.plugin.SetCameraSync(true);
    expectCamera(perspective->Viewport().VP(), 1.0, "switching it on again");

    ON_Viewport second;
    ASSERT_TRUE(second.SetCameraLocation({30, 30, 10}));
    ASSERT_TRUE(second.SetTargetPoint({0, 0, 0}));
    ASSERT_TRUE(second.SetCameraDirection(ON_3dPoint(0, 0, 0) - ON_3dPoint(30, 30, 10)));
    CRhinoView* other = doc.AddView(second, u"Second");
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(RhinoApp().SetActiveView(other));
    expectCamera(other->Viewport().VP(), 1.0, "another view made active");
    ASSERT_TRUE(move(perspective, {5, -5, 5}));
    expectNothing("moving the view no longer active");
    ASSERT_TRUE(move(other, {20, 20, 20}));
    expectCamera(other->Viewport().VP(), 1.0, "moving the active view");

    EXPECT_EQ(s.plugin.cameraObserver->FollowedView(), other);
    other->DisplayPipeline().NotifyConduits(CRhinoDisplayConduit::CN_PIPELINECLOSED);
    EXPECT_EQ(s.plugin.cameraObserver->FollowedView(), nullptr);
    ASSERT_TRUE(move(other, {0, -40, 0}));
    expectNothing("the pipeline closed");
}

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
        const VantroAPI::ViewData v = vantro::plugin::MakeViewData(vp, scale);
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

}  // namespace
