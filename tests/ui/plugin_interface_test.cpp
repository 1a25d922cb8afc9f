// The menu, the dock bar and the dialogs as a user meets them, in-process: a real
// VeloraPlugin (not loaded: its fields are set directly) with a real PluginUi, the
// host's dock-bar manager and menus, a private registry for the settings.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "settings/plugin_settings.h"
#include "plugin/velora_plugin.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/app/rhino_message_box.h"
#include "sdk/app/rhino_ui_dialog.h"
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
    ~InterfaceTest() override { RhinoSetDialogDriver(nullptr); }

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
    // Runs fn inside the next modal dialog the plug-in opens.
    void duringDialog(std::function<void(CRhinoUiDialog&)> fn) { RhinoSetDialogDriver(std::move(fn)); }

    Shared& s;
};

std::vector<uint32_t> visibleIds(const PluginDockbarDialog& d) {
    std::vector<uint32_t> ids;
    for (const CRhinoUiButton* b : d.Controls())
        if (b->IsWindowVisible() && !b->ToolTipText().IsEmpty())
            ids.push_back(b->GetDlgCtrlID());
    return ids;
}

// A freshly created row shows About, Start, Stop (disabled), camera unavailable,
// status inactive, Settings and Export, each with its picture.
TEST_F(InterfaceTest, NewRowShowsTheStoppedControls) {
    PluginDockbarDialog fresh(s.ui);
    ASSERT_TRUE(fresh.OnInitDialog());
    EXPECT_EQ(visibleIds(fresh), (std::vector<uint32_t>{31776, 31771, 31772, 31773, 31774, 31775, 31781}));
    EXPECT_FALSE(fresh.GetDlgItem(31772)->IsWindowEnabled());
    EXPECT_TRUE(fresh.GetDlgItem(31771)->IsWindowEnabled());
    EXPECT_EQ(fresh.imagesNormal->ImageCount(), 10);
    EXPECT_EQ(fresh.imagesSecond->ImageCount(), 10);
    ASSERT_NE(fresh.GetDlgItem(31781)->ImageList(0), nullptr);
    EXPECT_NE(fresh.GetDlgItem(31781)->ImageList(0)->Image(9), nullptr);
    EXPECT_EQ(fresh.GetDlgItem(31776)->ToolTipText(), ON_wString(u"About Velora\u00ae Vantro\u00ae v.3.50.52"));
}

// Every combination of link state, view projection and camera request: which camera
// and status controls show, which buttons and menu items can be used, and the menu's
// texts and bitmaps.
TEST_F(InterfaceTest, StatesFollowLinkViewAndCamera) {
    struct Case {
        bool running, perspective, sync;
        uint32_t cameraControl;
        const char16_t* cameraText;
        uint32_t cameraBitmap;
    };
    const Case cases[] = {
        {false, true, false, 31773, u"Camera synchronization inactive", 1003},
        {false, true, true, 31773, u"Camera synchronization inactive", 1003},
        {false, false, false, 31773, u"Camera synchronization inactive", 1003},
        {false, false, true, 31773, u"Camera synchronization inactive", 1003},
        {true, true, false, 31778, u"Start camera synchronization", 1008},
        {true, true, true, 31779, u"Stop camera synchronization", 1009},
        {true, false, false, 31773, u"Camera synchronization inactive", 1003},
        {true, false, true, 31773, u"Camera synchronization inactive", 1003},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "running " << c.running << " perspective " << c.perspective << " sync "
                                        << c.sync);
        setState(c.running ? VeloraPlugin::kLinkRunning : VeloraPlugin::kLinkStopped, c.perspective, c.sync);
        for (uint32_t camera : {31773u, 31778u, 31779u})
            EXPECT_EQ(button(camera).IsWindowVisible(), camera == c.cameraControl) << camera;
        EXPECT_EQ(button(31780).IsWindowVisible(), c.running);
        EXPECT_EQ(button(31774).IsWindowVisible(), !c.running);
        EXPECT_EQ(button(31771).IsWindowEnabled(), !c.running);
        EXPECT_EQ(button(31772).IsWindowEnabled(), c.running);
        EXPECT_EQ(button(31775).IsWindowEnabled(), !c.running);
        EXPECT_EQ(button(31781).IsWindowEnabled(), !c.running);

        const CRhinoUiMenuItem& camera = item(31773);
        EXPECT_EQ(camera.text, ON_wString(c.cameraText));
        EXPECT_EQ(camera.bitmapId, c.cameraBitmap);
        EXPECT_EQ(camera.IsEnabled(), c.cameraControl != 31773);
        EXPECT_EQ(camera.state & MF_GRAYED, c.cameraControl != 31773 ? 0u : MF_GRAYED);
        const CRhinoUiMenuItem& status = item(31774);
        EXPECT_EQ(status.text, ON_wString(c.running ? u"Status: Vantro running" : u"Status: Vantro stopped"));
        EXPECT_EQ(status.bitmapId, c.running ? 1010u : 1011u);
        // Stopped, the status line is disabled but not greyed.
        EXPECT_EQ(status.state & (MF_GRAYED | MF_DISABLED), c.running ? 0u : uint32_t(MF_DISABLED));
        EXPECT_EQ(item(31771).IsEnabled(), !c.running);
        EXPECT_EQ(item(31772).IsEnabled(), c.running);
        EXPECT_EQ(item(31775).IsEnabled(), !c.running);
        EXPECT_EQ(item(31781).IsEnabled(), !c.running);
    }
}

// The menu keeps its resource texts and creation bitmaps where no rule changes them.
TEST_F(InterfaceTest, MenuHasItsItemsAndBitmaps) {
    const std::vector<std::pair<uint32_t, uint32_t>> bitmaps = {{31771, 1005}, {31772, 1006}, {31781, 1012},
                                                                {31775, 1004}, {31777, 1007}, {31776, 1007}};
    for (const auto& [id, bitmap] : bitmaps) {
        EXPECT_EQ(item(id).bitmapId, bitmap) << id;
        ASSERT_NE(item(id).bitmap, nullptr) << id;
        EXPECT_EQ(item(id).bitmap->width, 22);
    }
    EXPECT_EQ(s.menu->title, ON_wString(u"Velora\u00ae"));
    EXPECT_EQ(item(31781).text, ON_wString(u"Export as COLLADA (.DAE) file"));
    EXPECT_EQ(item(31776).text, ON_wString(u"About Velora\u00ae Vantro\u00ae"));
    int separators = 0;
    for (const CRhinoUiMenuItem& i : s.menu->items)
        separators += i.separator;
    EXPECT_EQ(separators, 3);
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
// horizontally from 250 on; docked bars follow their shape and keep their minimum.
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
    // Places shared by the camera controls and by the status controls.
    EXPECT_EQ(button(31773).WindowRect(), button(31779).WindowRect());
    EXPECT_EQ(button(31780).WindowRect(), button(31774).WindowRect());
    EXPECT_EQ(button(31781).WindowRect().left, 4 + 32 * 6 + 7 * 3);

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

// Each click on a settings check box is in the registry before the dialog closes,
// and closing with Cancel undoes nothing.
TEST_F(InterfaceTest, SettingsAreWrittenAtEachClick) {
    s.plugin.settings->SetCameraAutoSync(true);
    s.plugin.settings->SetExportNodes(true);
    bool ran = false;
    duringDialog([&](CRhinoUiDialog& d) {
        ran = true;
        EXPECT_EQ(d.Template().caption, ON_wString(u"Velora Vantro settings"));
        EXPECT_TRUE(d.Control(1002)->checked);
        EXPECT_NE(d.SmallIcon(), nullptr);
        ASSERT_TRUE(d.Click(1002));
        EXPECT_FALSE(PluginSettings().CameraAutoSync());
        EXPECT_TRUE(PluginSettings().ExportNodes());
        ASSERT_TRUE(d.Click(1003));
        EXPECT_FALSE(PluginSettings().ExportNodes());
        d.Cancel();
    });
    s.ui->ShowSettingsDialog();
    ASSERT_TRUE(ran);
    EXPECT_FALSE(PluginSettings().CameraAutoSync());
    EXPECT_FALSE(PluginSettings().ExportNodes());
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The About dialog: version text, picture at the screen's resolution, fonts, blue
// links, and the three pages opened with the tracking query.
TEST_F(InterfaceTest, AboutDialogShowsVersionAndOpensLinks) {
    const std::string log = s.env.root() + "/opened.txt";
    setenv("VANTRO_OPEN_LOG", log.c_str(), 1);
    duringDialog([&](CRhinoUiDialog& d) {
        EXPECT_EQ(d.Control(1007)->text, ON_wString(u"version: 3.50.52"));
        ASSERT_NE(d.Control(1004)->image, nullptr);
        EXPECT_EQ(d.Control(1004)->image->width, 110);
        EXPECT_EQ(d.Control(1004)->image->height, 140);
        ASSERT_NE(d.Control(1005)->font, nullptr);
        EXPECT_EQ(d.Control(1005)->font->height, -12);
        EXPECT_EQ(d.Control(1009)->font->height, -10);
        EXPECT_TRUE(d.Control(1011)->font->underline);
        const CRhinoUiStaticColors link = d.StaticColors(1009);
        EXPECT_TRUE(link.transparent);
        EXPECT_EQ(link.textColor, 0x00FF0000u);
        EXPECT_FALSE(d.StaticColors(1005).hasTextColor);
        EXPECT_FALSE(d.Click(1005)) << "the title does not respond";
        for (int id : {1004, 1009, 1011})
            EXPECT_TRUE(d.Click(id));
        EXPECT_TRUE(d.Click(kDialogOk));
    });
    s.ui->ShowAboutDialog();
    unsetenv("VANTRO_OPEN_LOG");
    const std::string query = "?utm_source=Rhino%206%20SR9&utm_medium=3%2e50rc%2e52&utm_campaign=Rhino6%20Vantro";
    EXPECT_EQ(readFile(log), "https://www.orvane-velora.com" + query + "\nhttps://www.orvane-velora.com/support.html" +
                                 query + "\nhttps://www.orvane-velora.com/rhino-exporters.html" + query + "\n");
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
