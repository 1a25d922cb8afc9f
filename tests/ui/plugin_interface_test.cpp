// The menu, the dock bar and the message boxes in-process, in the states a host script
// cannot reach at will: a real VeloraPlugin (not loaded: its fields are set directly)
// with a real PluginUi, the host's dock-bar manager and menus, a private registry.
// What the host shows of them is in ui_host_test.

#include <gtest/gtest.h>

#include "settings/plugin_settings.h"
#include "plugin/velora_plugin.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/app/rhino_message_box.h"
#include "sdk/app/rhino_view.h"
#include "support/test_environment.h"
#include "ui/plugin_dockbar_dialog.h"
#include "ui/plugin_toolbar.h"
#include "ui/plugin_ui.h"
#include "ui/resource_images.h"

VeloraPlugin& ThePlugIn() {
    static VeloraPlugin plugIn;
    return plugIn;
}

namespace {

using vantro::test::TestEnvironment;

// One plug-in, one UI and one dock bar for the process (the host's manager keeps bars
// for the process's life, as the application does).
struct Shared {
    TestEnvironment env;
    VeloraPlugin& plugin = ThePlugIn();
    PluginUi* ui = nullptr;
    CRhinoUiMenu* menu = nullptr;

    Shared() {
        RhinoApp().NewDocument();
        plugin.settings = new PluginSettings();
        ui = new PluginUi(&plugin, nullptr);
        plugin.ui = ui;
        menu = static_cast<CRhinoUiMenu*>(ui->CreatePluginMenu());
        ui->CreateDockBar();
    }
};

Shared& shared() {
    static Shared* s = new Shared();
    return *s;
}

CRhinoView* viewNamed(const char16_t* name) {
    ON_SimpleArray<CRhinoView*> views;
    RhinoApp().ActiveDoc()->GetViewList(views);
    for (int i = 0; i < views.Count(); ++i)
        if (views[i]->ActiveViewport().Name() == ON_wString(name))
            return views[i];
    return nullptr;
}

class InterfaceTest : public ::testing::Test {
protected:
    InterfaceTest() : s(shared()) { setState(VeloraPlugin::kLinkStopped, true, false); }

    void setState(uint32_t linkState, bool perspective, bool sync) {
        s.plugin.linkState = linkState;
        s.plugin.cameraSync = sync;
        RhinoApp().SetActiveView(viewNamed(perspective ? u"Perspective" : u"Top"));
        s.ui->RefreshUi();
    }
    PluginDockbarDialog& dialog() const {
        return *static_cast<PluginDockbarDialog*>(s.ui->dockBar->DockBarClientWnd());
    }
    CRhinoUiButton& button(uint32_t id) const { return *dialog().GetDlgItem(id); }
    const CRhinoUiMenuItem& item(uint32_t id) {
        s.ui->UpdateMenu(s.menu);
        return *s.menu->FindItem(id);
    }

    Shared& s;
};

// Every combination of link state, view projection and camera request: which camera
// and status controls show, which buttons and menu items can be used, and the menu's
// camera and status texts and bitmaps. The camera can be switched only while the
// link runs in a perspective view.
TEST_F(InterfaceTest, StatesFollowLinkViewAndCamera) {
    struct Camera {
        uint32_t control;
        const char16_t* text;
        uint32_t bitmap;
    };
    const Camera inactive{31773, u"Camera synchronization inactive", 1003},
        start{31778, u"Start camera synchronization", 1008}, stop{31779, u"Stop camera synchronization", 1009};
    for (int bits = 0; bits < 8; ++bits) {
        const bool running = bits & 4, perspective = bits & 2, sync = bits & 1;
        SCOPED_TRACE(testing::Message() << "running " << running << " perspective " << perspective << " sync " << sync);
        const Camera& c = !running || !perspective ? inactive : sync ? stop : start;
        setState(running ? VeloraPlugin::kLinkRunning : VeloraPlugin::kLinkStopped, perspective, sync);
        for (uint32_t camera : {31773u, 31778u, 31779u})
            EXPECT_EQ(button(camera).IsWindowVisible(), camera == c.control) << camera;
        EXPECT_EQ(button(31780).IsWindowVisible(), running);
        EXPECT_EQ(button(31774).IsWindowVisible(), !running);
        for (uint32_t id : {31771u, 31772u, 31775u, 31781u}) {
            EXPECT_EQ(button(id).IsWindowEnabled(), (id == 31772) == running) << id;
            EXPECT_EQ(item(id).IsEnabled(), (id == 31772) == running) << id;
        }
        const CRhinoUiMenuItem& camera = item(31773);
        EXPECT_EQ(camera.text, ON_wString(c.text));
        EXPECT_EQ(camera.bitmapId, c.bitmap);
        EXPECT_EQ(camera.state & MF_GRAYED, c.control != 31773 ? 0u : MF_GRAYED);
        const CRhinoUiMenuItem& status = item(31774);
        EXPECT_EQ(status.text, ON_wString(running ? u"Status: Vantro running" : u"Status: Vantro stopped"));
        EXPECT_EQ(status.bitmapId, running ? 1010u : 1011u);
        // Stopped, the status line is disabled but not greyed.
        EXPECT_EQ(status.state & (MF_GRAYED | MF_DISABLED), running ? 0u : uint32_t(MF_DISABLED));
    }
}

// The menu is recomputed only when marked: a state change that nobody reported is
// not seen, and showing or hiding the toolbar (through the bar's own hook) marks it.
TEST_F(InterfaceTest, MenuIsRecomputedOnlyWhenMarked) {
    EXPECT_EQ(item(31774).text, ON_wString(u"Status: Vantro stopped"));
    s.plugin.linkState = VeloraPlugin::kLinkRunning;  // no RefreshUi
    EXPECT_EQ(item(31774).text, ON_wString(u"Status: Vantro stopped"));
    s.ui->MarkMenuDirty();
    EXPECT_EQ(item(31774).text, ON_wString(u"Status: Vantro running"));

    s.ui->HideToolbar();
    EXPECT_EQ(item(31777).text, ON_wString(u"Show Vantro Toolbar"));
    RhinoUiDockBarManager().ShowDockBar(s.ui->dockBar->DockBarID(), true, false);  // the host shows it
    EXPECT_TRUE(s.ui->IsToolbarVisible());
    EXPECT_EQ(item(31777).text, ON_wString(u"Hide Vantro Toolbar"));
}

// A floating bar lays the row out vertically below 250 pixels of width and
// horizontally from 250 on (the whole row at its usual size is in the host's
// transcript); docked bars follow their shape and keep their minimum.
TEST_F(InterfaceTest, LayoutFollowsBarShape) {
    CRhinoUiDockBar& bar = *s.ui->dockBar;
    bar.SetDocked(false);
    EXPECT_EQ(bar.Resize(249, 300), (CRhinoUiSize{249, 300}));
    EXPECT_EQ(button(31776).WindowRect(), (CRhinoUiRect{4, 4, 32, 32}));
    EXPECT_EQ(dialog().buttons.at(1)->WindowRect(), (CRhinoUiRect{3, 37, 33, 38}));
    EXPECT_EQ(button(31771).WindowRect(), (CRhinoUiRect{4, 43, 32, 71}));
    EXPECT_EQ(button(31781).WindowRect().top, 4 + 32 * 6 + 7 * 3);

    bar.Resize(250, 300);
    EXPECT_EQ(dialog().buttons.at(1)->WindowRect(), (CRhinoUiRect{37, 3, 38, 33}));
    EXPECT_EQ(button(31771).WindowRect(), (CRhinoUiRect{43, 4, 71, 32}));

    EXPECT_EQ(bar.Resize(100, 20), (CRhinoUiSize{254, 42}));  // floating minimum
    bar.SetDocked(true);
    EXPECT_EQ(bar.Resize(100, 20), (CRhinoUiSize{278, 42}));
    EXPECT_EQ(bar.Resize(20, 100), (CRhinoUiSize{42, 278}));
    EXPECT_EQ(button(31771).WindowRect().left, 4);
    bar.SetDocked(false);
    bar.Resize(258, 42);
}

// The camera buttons toggle synchronisation through the plug-in's menu command, and
// the bar then shows the other camera button.
TEST_F(InterfaceTest, CameraButtonsToggleSynchronisation) {
    setState(VeloraPlugin::kLinkRunning, true, false);
    ASSERT_TRUE(button(31778).Click());
    EXPECT_TRUE(s.plugin.cameraSync);
    EXPECT_TRUE(button(31779).IsWindowVisible());
    ASSERT_TRUE(button(31779).Click());
    EXPECT_FALSE(s.plugin.cameraSync);
    EXPECT_TRUE(button(31778).IsWindowVisible());
    EXPECT_FALSE(button(31780).Click()) << "a status light is not a button";
}

// At 384 dots per inch the About picture is the resource itself; fonts grow with the
// resolution.
TEST_F(InterfaceTest, AboutPictureAtHighResolutionIsUnscaled) {
    RhinoUiSetScreenDpi(384);
    PluginUi sharp(nullptr, nullptr);
    RhinoUiSetScreenDpi(96);
    const CRhinoUiImage original = vantro::ui::LoadImageResource(vantro::ui::ImageKind::bitmap, 107);
    EXPECT_EQ(sharp.aboutBitmap.width, 440);
    EXPECT_EQ(sharp.aboutBitmap.height, 560);
    EXPECT_EQ(sharp.aboutBitmap.rgba, original.rgba);
    EXPECT_EQ(sharp.titleFont->height, -48);
}

// The plug-in's boxes get its small icon while they are open; other boxes keep theirs,
// and no hook is left behind.
TEST_F(InterfaceTest, MessageBoxesGetThePluginIcon) {
    RhinoClearMessageBoxHistory();
    s.ui->ShowSaveFirst();
    s.ui->ShowMessage(u"Some text", u"Another program", MB_OK);
    RhinoShowMessageBox(0, u"direct", u"Velora Vantro - not through the plug-in", MB_OK);
    const std::vector<RhinoMessageBox>& boxes = RhinoMessageBoxHistory();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].smallIcon, &s.ui->smallIcon);
    EXPECT_EQ(s.ui->smallIcon.width, 16);
    EXPECT_EQ(boxes[1].smallIcon, nullptr);
    EXPECT_EQ(boxes[2].smallIcon, nullptr);
    EXPECT_EQ(s.ui->hookHandle, 0u);
}

}  // namespace
