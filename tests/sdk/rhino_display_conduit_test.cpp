// Display conduits: binding, enabling per document, the notifications the host sends
// (2 pipeline closed, 5 projection changed, 7 camera changed) and drawing channels.

#include <gtest/gtest.h>

#include "sdk_test_support.h"

using namespace vantro::sdktest;

namespace {

// Records notifications and channels as "N<notifier> <view>" / "C<channel> <view>",
// into a shared log so their order against watcher events can be checked.
class RecordingConduit : public CRhinoDisplayConduit {
public:
    RecordingConduit(unsigned int mask, std::vector<std::string>& log) : CRhinoDisplayConduit(mask), log_(log) {}
    bool ExecConduit(CRhinoDisplayPipeline& dp, unsigned int channel, bool& terminate) override {
        log_.push_back("C" + std::to_string(channel) + " " + utf8(dp.GetRhinoVP()->Name()));
        terminate = stopAfterFirst;
        return true;
    }
    void NotifyConduit(EConduitNotifiers n, CRhinoDisplayPipeline& dp) override {
        log_.push_back("N" + std::to_string(n) + " " + utf8(dp.GetRhinoVP()->Name()) +
                       (IsBound(dp) ? " bound" : ""));
    }
    bool stopAfterFirst = false;

private:
    std::vector<std::string>& log_;
};

class LoggingWatcher : public CRhinoEventWatcher {
public:
    explicit LoggingWatcher(std::vector<std::string>& log) : log_(log) {
        Register();
        Enable(true);
    }
    void OnViewModified(CRhinoView* v) override { log_.push_back("ViewModified " + utf8(v->Viewport().Name())); }

private:
    std::vector<std::string>& log_;
};

class ConduitTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc = RhinoApp().NewDocument();
        ON_SimpleArray<CRhinoView*> list;
        doc->GetViewList(list);
        top = list[0];
        perspective = list[3];
    }
    void TearDown() override { RhinoApp().CloseDocument(); }
    CRhinoDoc* doc = nullptr;
    CRhinoView* top = nullptr;
    CRhinoView* perspective = nullptr;
    std::vector<std::string> log;
};

}  // namespace

// A bound, enabled conduit hears about its own viewport only: a camera move gives 7;
// a projection change gives 5 then 7, and only then the watchers' view event.
TEST_F(ConduitTest, BoundConduitGetsCameraAndProjectionNotifications) {
    RecordingConduit conduit(CRhinoDisplayConduit::SC_INITFRAMEBUFFER, log);
    LoggingWatcher watcher(log);
    conduit.Bind(perspective->Viewport());
    conduit.Enable(perspective->DocumentRuntimeSerialNumber());

    ASSERT_TRUE(perspective->Viewport().SetCamera({10, -10, 5}, {0, 0, 0}, {0, 0, 1}));
    ASSERT_TRUE(top->Viewport().SetCamera({0, 0, 50}, {0, 0, 0}, {0, 1, 0}));  // not bound: nothing
    ASSERT_TRUE(perspective->Viewport().SetProjection(ON::parallel_view));
    ASSERT_TRUE(perspective->Viewport().SetProjection(ON::parallel_view));  // no change: nothing
    EXPECT_EQ(log, (std::vector<std::string>{"N7 Perspective bound", "N5 Perspective bound", "N7 Perspective bound",
                                             "ViewModified Perspective"}));
    EXPECT_TRUE(perspective->Viewport().VP().IsParallelProjection());
    EXPECT_EQ(perspective->Viewport().VP().CameraLocation(), ON_3dPoint(10, -10, 5));
}

// Disabled or unbound-after-UnbindAll conduits hear nothing; a conduit enabled for
// another document hears nothing; an enabled conduit bound to nothing hears every view.
TEST_F(ConduitTest, EnableAndBindDecideWhoHears) {
    RecordingConduit conduit(CRhinoDisplayConduit::SC_INITFRAMEBUFFER, log);
    conduit.Bind(*perspective);
    perspective->Viewport().SetCamera({1, 1, 1}, {0, 0, 0}, {0, 0, 1});  // not enabled
    EXPECT_TRUE(log.empty());
    EXPECT_FALSE(conduit.Enable(0));
    conduit.Enable(doc->RuntimeSerialNumber() + 1000);
    perspective->Viewport().SetCamera({2, 1, 1}, {0, 0, 0}, {0, 0, 1});  // other document
    EXPECT_TRUE(log.empty());

    conduit.Enable(doc->RuntimeSerialNumber());
    EXPECT_TRUE(conduit.IsBound(perspective->Viewport()));
    EXPECT_TRUE(conduit.IsBound(perspective->DisplayPipeline()));
    EXPECT_FALSE(conduit.IsBound(top->Viewport()));
    conduit.UnbindAll();
    EXPECT_FALSE(conduit.IsBound());
    top->Viewport().SetCamera({0, 0, 60}, {0, 0, 0}, {0, 1, 0});
    perspective->Viewport().SetCamera({3, 1, 1}, {0, 0, 0}, {0, 0, 1});
    EXPECT_EQ(log, (std::vector<std::string>{"N7 Top", "N7 Perspective"}));
    conduit.Disable();
    perspective->Viewport().SetCamera({4, 1, 1}, {0, 0, 0}, {0, 0, 1});
    EXPECT_EQ(log.size(), 2u);
}

// Closing the document tells the conduits of each view that its pipeline closes (2).
TEST_F(ConduitTest, CloseDocumentSendsPipelineClosed) {
    RecordingConduit conduit(CRhinoDisplayConduit::SC_INITFRAMEBUFFER, log);
    conduit.Bind(*perspective);
    conduit.Enable(doc->RuntimeSerialNumber());
    RhinoApp().CloseDocument();
    EXPECT_EQ(log, std::vector<std::string>{"N2 Perspective bound"});
}

// A redraw calls ExecConduit for the channels of the mask, in channel order; terminate
// ends the conduit's frame.
TEST_F(ConduitTest, RedrawRunsChannelsOfTheMask) {
    RecordingConduit conduit(CRhinoDisplayConduit::SC_INITFRAMEBUFFER | CRhinoDisplayConduit::SC_CALCBOUNDINGBOX |
                                 CRhinoDisplayConduit::SC_DRAWOVERLAY,
                             log);
    conduit.Bind(*perspective);
    conduit.Enable(doc->RuntimeSerialNumber());
    perspective->Redraw();
    top->Redraw();
    EXPECT_EQ(log, (std::vector<std::string>{"C1 Perspective", "C8 Perspective", "C1024 Perspective"}));
    log.clear();
    conduit.stopAfterFirst = true;
    doc->Regen();
    EXPECT_EQ(log, std::vector<std::string>{"C1 Perspective"});
    EXPECT_EQ(perspective->RedrawCount(), 2u);
}

// Invalid cameras are refused and notify nothing.
TEST_F(ConduitTest, InvalidCameraIsRefused) {
    RecordingConduit conduit(CRhinoDisplayConduit::SC_INITFRAMEBUFFER, log);
    conduit.Enable(doc->RuntimeSerialNumber());
    const ON_Viewport before = perspective->Viewport().VP();
    EXPECT_FALSE(perspective->Viewport().SetCamera({1, 1, 1}, {1, 1, 1}, {0, 0, 1}));      // no direction
    EXPECT_FALSE(perspective->Viewport().SetCamera({0, 0, 5}, {0, 0, 0}, {0, 0, 1}));      // up along view
    EXPECT_FALSE(perspective->Viewport().SetCamera({NAN, 0, 5}, {0, 0, 0}, {0, 1, 0}));    // not finite
    EXPECT_FALSE(perspective->Viewport().SetProjection(ON::unknown_view));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(perspective->Viewport().VP(), before);
}
