// The camera as the renderer gets it, against the frame the viewport itself gives
// (right, up, back; in double) carried into the renderer's axes and metres: from
// MakeViewData for random cameras, and as the "VIEW" record the reader finds after each
// camera change of the host's views. The host's view commands (projection switches, a
// parallel view made active) are followed through the real host in live_host_test.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>

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

// The next camera the reader finds must be vp's, the location scaled to metres.
void expectCamera(ChildProcess& reader, const ON_Viewport& vp, const char* after) {
    const std::string line = reader.waitForLine("VIEW ", 5000);
    ASSERT_NE(line, "") << "no camera after " << after;
    const std::optional<SeenView> v = parseViewLine(line.substr(line.find("VIEW ")));
    ASSERT_TRUE(v) << line;
    SCOPED_TRACE(after);
    EXPECT_EQ(v->apply, 1u);
    EXPECT_EQ(v->kind, 6u);
    expectFrame(vp, 0.001, v->rows, v->pos, v->dir, v->up);
    double half = 0;
    ASSERT_TRUE(vp.GetCameraAngle(nullptr, &half, nullptr));
    EXPECT_NEAR(v->fov, 2 * half * 180 / M_PI, 1e-3);
}

// In a millimetre document the position arrives in metres. A lens or size change
// sends the camera again; synchronisation switched off sends nothing; another
// perspective view made active is followed from then on and the previous one is not;
// a view whose pipeline closes is not followed any more.
TEST(CameraSync, OnlyTheActiveViewIsFollowedWhileOn) {
    LiveSession s;
    ASSERT_TRUE(s.doc.SetUnitSystem(ON::LengthUnitSystem::Millimeters, false));
    addMeshObject(s.doc, boxMesh({0, 0, 0}, {1, 1, 1}), attributesOn(0));
    ASSERT_TRUE(s.start());
    CRhinoView* perspective = s.doc.ActiveView();
    ASSERT_TRUE(perspective && perspective->Viewport().VP().IsPerspectiveProjection());
    auto move = [](CRhinoView* view, ON_3dPoint location) {
        return view->Viewport().SetCamera(location, {0, 0, 0}, ON_3dVector(0, 0, 1));
    };
    // Nothing reaches the record for a while (the reader looks every 5 ms).
    auto expectNothing = [&](const char* after) { EXPECT_EQ(s.reader->waitForLine("VIEW ", 300), "") << after; };

    ASSERT_TRUE(perspective->Viewport().SetCamera({1, 2, 3}, {1, 12, 3}, ON_3dVector(0, 0, 1)));
    s.plugin.SetCameraSync(true);
    expectCamera(*s.reader, perspective->Viewport().VP(), "switching synchronisation on");
    ON_Viewport lens = perspective->Viewport().VP();
    ASSERT_TRUE(lens.SetCamera35mmLensLength(100));
    ASSERT_TRUE(perspective->Viewport().SetVP(lens));
    expectCamera(*s.reader, perspective->Viewport().VP(), "a lens change");
    ASSERT_TRUE(perspective->Viewport().SetScreenPort(0, 400, 800, 0));
    expectCamera(*s.reader, perspective->Viewport().VP(), "a size change");
    s.plugin.SetCameraSync(false);
    ASSERT_TRUE(move(perspective, {0, -20, 0}));
    expectNothing("switching synchronisation off");
    s.plugin.SetCameraSync(true);
    expectCamera(*s.reader, perspective->Viewport().VP(), "switching it on again");

    CRhinoView* other = s.doc.AddView(camera({30, 30, 10}, {0, 0, 0}, {0, 0, 1}), u"Second");
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(RhinoApp().SetActiveView(other));
    expectCamera(*s.reader, other->Viewport().VP(), "another view made active");
    ASSERT_TRUE(move(perspective, {5, -5, 5}));
    expectNothing("moving the view no longer active");
    ASSERT_TRUE(move(other, {20, 20, 20}));
    expectCamera(*s.reader, other->Viewport().VP(), "moving the active view");

    EXPECT_EQ(s.plugin.cameraObserver()->FollowedView(), other);
    other->DisplayPipeline().NotifyConduits(CRhinoDisplayConduit::CN_PIPELINECLOSED);
    EXPECT_EQ(s.plugin.cameraObserver()->FollowedView(), nullptr);
    ASSERT_TRUE(move(other, {0, -40, 0}));
    expectNothing("the pipeline closed");
}

// Random cameras with an up that is not normalised give the viewport's frame; the
// payload's other bytes are zero.
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
        const float scale = i % 2 ? 0.0254f : 1.0f;
        const VantroAPI::ViewData v = vantro::plugin::MakeViewData(vp, scale);
        SCOPED_TRACE(i);
        expectFrame(vp, scale, v.viewMatrix, v.position, v.direction, v.up);
        EXPECT_EQ(v.cameraKind, VantroAPI::kCameraPerspective);
        for (uint8_t b : v.reserved)
            ASSERT_EQ(b, 0);
    }
}

}  // namespace
