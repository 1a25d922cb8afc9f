// The menu, the About picture and the message boxes in-process, where a host script
// cannot reach (every state and layout the host shows is in ui_host_test).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "settings/plugin_settings.h"
#include "plugin/velora_plugin.h"
#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_message_box.h"
#include "support/test_environment.h"
#include "ui/plugin_toolbar.h"
#include "ui/plugin_ui.h"
#include "ui/resource_images.h"

VeloraPlugin& ThePlugIn() {
    static VeloraPlugin plugIn;
    return plugIn;
}

namespace {

// The shared test folder goes when the process ends, after the statics made from here
// on (the plug-in, the application, its dock bars) are gone: exit handlers and static
// destructors run in reverse order of registration.
bool removeAtExit(const std::string& folder) {
    static std::string root;
    root = folder;
    return std::atexit([] {
               std::error_code ignored;
               std::filesystem::remove_all(root, ignored);
           }) == 0;
}

// One plug-in, one UI and one dock bar for the process (the host's manager keeps bars
// for the process's life, as the application does).
struct Shared {
    vantro::test::TestEnvironment env;
    bool removedAtExit = removeAtExit(env.root());
    VeloraPlugin& plugin = ThePlugIn();
    PluginUi* ui = nullptr;
    CRhinoUiMenu* menu = nullptr;

    Shared() {
        RhinoApp().NewDocument();
        PluginSettings settings;  // no older-copy check: the test is no installed module
        settings.SetCheckPluginVersion(false);
        EXPECT_EQ(plugin.OnLoadPlugIn(), 1);
        ui = plugin.ui();
        menu = static_cast<CRhinoUiMenu*>(ui->CreatePluginMenu());
    }
};

Shared& shared() {
    static Shared* s = new Shared();
    return *s;
}

class InterfaceTest : public ::testing::Test {
protected:
    InterfaceTest() : s(shared()) {
        s.plugin.linkState = VeloraPlugin::kLinkStopped;
        s.plugin.cameraSync = false;
        s.ui->RefreshUi();
    }
    const CRhinoUiMenuItem& item(uint32_t id) {
        s.ui->UpdateMenu(s.menu);
        return *s.menu->FindItem(id);
    }

    Shared& s;
};

// The menu follows a marked state change, and showing or hiding the toolbar (through
// the bar's own hook) marks it.
TEST_F(InterfaceTest, MenuIsRecomputedWhenMarked) {
    EXPECT_EQ(item(31774).text, ON_wString(u"Status: Vantro stopped"));
    s.plugin.linkState = VeloraPlugin::kLinkRunning;
    s.ui->MarkMenuDirty();
    EXPECT_EQ(item(31774).text, ON_wString(u"Status: Vantro running"));

    s.ui->HideToolbar();
    EXPECT_EQ(item(31777).text, ON_wString(u"Show Vantro Toolbar"));
    RhinoUiDockBarManager().ShowDockBar(s.ui->dockBar->DockBarID(), true, false);  // the host shows it
    EXPECT_TRUE(s.ui->IsToolbarVisible());
    EXPECT_EQ(item(31777).text, ON_wString(u"Hide Vantro Toolbar"));
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
