// Camera following as the renderer's process sees it: the "VIEW" record the reader
// finds after each camera change of the host's views (moves, lens, size, projection,
// active view), compared with the viewport's own camera frame carried into the
// renderer's axes and metres.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <utility>

#include "plugin/camera_observer.h"
#include "live_session.h"
#include "plugin/velora_plugin.h"
#include "scene_test_support.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/app/rhino_view.h"
#include "view_line.h"

using namespace vantro::test;

namespace {

// The camera of vp as the renderer must receive it, worked out from the viewport's
// own frame (right, up, back) with y and z exchanged.
void expectCamera(const SeenView& v, const ON_Viewport& vp, double scale) {
    EXPECT_EQ(v.apply, 1u);
    EXPECT_EQ(v.kind, 6u);
    ON_3dVector x, y, z;
    ASSERT_TRUE(vp.GetCameraFrame(&x, &y, &z));
    expectNear3(v.rows + 0, x.x, x.z, x.y, 1e-5, "row 0");
    expectNear3(v.rows + 4, y.x, y.z, y.y, 1e-5, "row 1");
    expectNear3(v.rows + 8, -z.x, -z.z, -z.y, 1e-5, "row 2");
    const ON_3dPoint l = vp.CameraLocation();
    expectNear3(v.rows + 12, l.x * scale, l.z * scale, l.y * scale, 1e-4 * scale, "row 3");
    expectNear3(v.pos, l.x * scale, l.z * scale, l.y * scale, 1e-4 * scale, "position");
    EXPECT_EQ(v.rows[15], 1.0f);
    expectNear3(v.dir, z.x, z.z, z.y, 1e-5, "direction");
    const ON_3dVector u = vp.CameraUp() * (1 / vp.CameraUp().Length());
    expectNear3(v.up, u.x, u.z, u.y, 1e-5, "up");
    double half = 0;
    ASSERT_TRUE(vp.GetCameraAngle(nullptr, &half, nullptr));
    EXPECT_NEAR(v.fov, 2 * half * 180 / M_PI, 1e-3);
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
    // The next camera the reader finds, or nothing within timeoutMs.
    std::optional<SeenView> next(int timeoutMs = 5000) {
        const std::string line = s.reader->waitForLine("VIEW ", timeoutMs);
        if (line.empty())
            return std::nullopt;
        auto v = parseViewLine(line.substr(line.find("VIEW ")));
        EXPECT_TRUE(v) << line;
        return v;
    }
    // Nothing reaches the record for a while (the reader looks every 5 ms).
    void expectNothing(const char* after) { EXPECT_FALSE(next(300)) << "after " << after; }
    bool move(CRhinoView* view, ON_3dPoint location, ON_3dPoint target) {
        return view->Viewport().SetCamera(location, target, ON_3dVector(0, 0, 1));
    }

    LiveSession s;
    CRhinoDoc& doc = s.doc;
    CRhinoView* perspective = nullptr;
};

}  // namespace

// Switching synchronisation on sends the active perspective camera at once; every
// camera move, lens and size change sends the camera again.
TEST_F(CameraSyncTest, FollowsTheActivePerspectiveView) {
    startIn(ON::LengthUnitSystem::Meters);
    s.plugin.SetCameraSync(true);
    auto seen = next();
    ASSERT_TRUE(seen);
    expectCamera(*seen, perspective->Viewport().VP(), 1.0);

    ASSERT_TRUE(move(perspective, {0, -10, 0}, {0, 0, 0}));
    seen = next();
    ASSERT_TRUE(seen);
    expectCamera(*seen, perspective->Viewport().VP(), 1.0);
    expectNear3(seen->dir, 0, 0, -1, 1e-7, "direction");
    expectNear3(seen->up, 0, 1, 0, 1e-7, "up");

    ON_Viewport lens = perspective->Viewport().VP();
    ASSERT_TRUE(lens.SetCamera35mmLensLength(100));
    ASSERT_TRUE(perspective->Viewport().SetVP(lens));
    seen = next();
    ASSERT_TRUE(seen);
    expectCamera(*seen, perspective->Viewport().VP(), 1.0);

    ASSERT_TRUE(perspective->Viewport().SetScreenPort(0, 400, 800, 0));
    seen = next();
    ASSERT_TRUE(seen);
    expectCamera(*seen, perspective->Viewport().VP(), 1.0);

    s.plugin.SetCameraSync(false);
    ASSERT_TRUE(move(perspective, {0, -20, 0}, {0, 0, 0}));
    expectNothing("switching synchronisation off");
}

// The position arrives in metres whatever the document's unit; the orientation is not
// scaled.
class CameraUnitsTest : public CameraSyncTest,
                        public ::testing::WithParamInterface<std::pair<ON::LengthUnitSystem, double>> {};

TEST_P(CameraUnitsTest, PositionInMetres) {
    const auto [units, metres] = GetParam();
    startIn(units);
    ASSERT_TRUE(move(perspective, {1, 2, 3}, {1, 12, 3}));
    s.plugin.SetCameraSync(true);
    const auto seen = next();
    ASSERT_TRUE(seen);
    expectNear3(seen->pos, 1 * metres, 3 * metres, 2 * metres, 1e-6, "position");
    expectCamera(*seen, perspective->Viewport().VP(), metres);
}

INSTANTIATE_TEST_SUITE_P(Units, CameraUnitsTest,
                         ::testing::Values(std::pair{ON::LengthUnitSystem::Millimeters, 0.001},
                                           std::pair{ON::LengthUnitSystem::Inches, 0.0254},
                                           std::pair{ON::LengthUnitSystem::Feet, 0.3048}));

// Another view made active is followed from then on; the previous one is not.
TEST_F(CameraSyncTest, TheActiveViewChanges) {
    startIn(ON::LengthUnitSystem::Meters);
    s.plugin.SetCameraSync(true);
    ASSERT_TRUE(next());
    ON_Viewport second;
    ASSERT_TRUE(second.SetCameraLocation({30, 30, 10}));
    ASSERT_TRUE(second.SetTargetPoint({0, 0, 0}));
    ASSERT_TRUE(second.SetCameraDirection(ON_3dPoint(0, 0, 0) - ON_3dPoint(30, 30, 10)));
    CRhinoView* other = doc.AddView(second, u"Second");
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(RhinoApp().SetActiveView(other));
    auto seen = next();
    ASSERT_TRUE(seen);
    expectCamera(*seen, other->Viewport().VP(), 1.0);
    ASSERT_TRUE(move(perspective, {5, -5, 5}, {0, 0, 0}));
    expectNothing("moving the view no longer active");
    ASSERT_TRUE(move(other, {20, 20, 20}, {0, 0, 0}));
    seen = next();
    ASSERT_TRUE(seen);
    expectCamera(*seen, other->Viewport().VP(), 1.0);
}

// The followed view switched to a parallel projection sends one all-zero camera with
// applyNow 0, then nothing while it stays parallel; back in perspective its camera is
// sent again.
TEST_F(CameraSyncTest, AParallelProjectionSendsOneEmptyCamera) {
    startIn(ON::LengthUnitSystem::Meters);
    s.plugin.SetCameraSync(true);
    ASSERT_TRUE(next());
    ASSERT_TRUE(perspective->Viewport().SetProjection(ON::parallel_view));
    auto seen = next();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->apply, 0u);
    EXPECT_EQ(seen->kind, 0u);
    EXPECT_TRUE(seen->zero);
    ASSERT_TRUE(move(perspective, {0, -30, 0}, {0, 0, 0}));
    expectNothing("moving a parallel view");
    ASSERT_TRUE(perspective->Viewport().SetProjection(ON::perspective_view));
    seen = next();
    ASSERT_TRUE(seen);
    expectCamera(*seen, perspective->Viewport().VP(), 1.0);
    EXPECT_FALSE(seen->zero);
}

// Following a parallel view does nothing at all; a view whose pipeline closes is not
// followed any more.
TEST_F(CameraSyncTest, ParallelViewsAndClosedPipelinesAreNotFollowed) {
    startIn(ON::LengthUnitSystem::Meters);
    ON_SimpleArray<CRhinoView*> views;
    doc.GetViewList(views);
    CRhinoView* top = nullptr;
    for (CRhinoView* v : views)
        if (v->Viewport().VP().IsParallelProjection())
            top = v;
    ASSERT_NE(top, nullptr);
    ASSERT_TRUE(RhinoApp().SetActiveView(top));
    s.plugin.SetCameraSync(true);
    expectNothing("following a parallel view");
    EXPECT_EQ(s.plugin.cameraObserver->FollowedView(), nullptr);
    EXPECT_FALSE(s.plugin.cameraObserver->IsBound());

    ASSERT_TRUE(RhinoApp().SetActiveView(perspective));
    ASSERT_TRUE(next());
    EXPECT_EQ(s.plugin.cameraObserver->FollowedView(), perspective);
    perspective->DisplayPipeline().NotifyConduits(CRhinoDisplayConduit::CN_PIPELINECLOSED);
    EXPECT_EQ(s.plugin.cameraObserver->FollowedView(), nullptr);
    ASSERT_TRUE(move(perspective, {0, -40, 0}, {0, 0, 0}));
    expectNothing("the pipeline closed");
}
