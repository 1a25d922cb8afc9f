// Dock bars without a display: creation, showing and hiding with their hooks, resizing
// through the size hooks, and button clicks reaching the dialog.

#include <gtest/gtest.h>

#include "sdk_test_support.h"

using namespace vantro::sdktest;

namespace {

std::vector<std::string> hookLog;

class TestDialog : public CRhinoUiDockBarDialog {
public:
    bool OnInitDialog() override {
        images.Create(28, 28);
        images.AddStrip(280, 28);
        start = new CRhinoUiButton();  // owned by the test (dialogs do not own buttons)
        start->Create(u"", true, {4, 4, 32, 32}, this, 31771);
        start->SetImageList(0, &images, 0);
        start->SetToolTipText(u"Start");
        hookLog.push_back("init");
        return true;
    }
    void OnSize(unsigned int, int cx, int cy) override {
        hookLog.push_back("size " + std::to_string(cx) + "x" + std::to_string(cy));
    }
    bool OnCommand(uintptr_t wParam, intptr_t) override {
        hookLog.push_back("command " + std::to_string(wParam & 0xFFFF) + " code " + std::to_string(wParam >> 16));
        return true;
    }
    CRhinoUiImageList images;
    CRhinoUiButton* start = nullptr;
};

const ON_UUID kBarId = ON_UuidFromString(u"bbbbbbbb-0000-4000-8000-000000000002");

class TestBar : public CRhinoUiDockBar {
public:
    TestBar() { SetDefaultBarSize(258, 42); }
    ON_UUID DockBarID() const override { return kBarId; }
    const char16_t* DockBarName(int) const override { return u"Test bar"; }
    bool CreateDockBarControls() override {
        return CreateDockBarClientDialog(2000, [] { return std::make_unique<TestDialog>(); }, nullptr);
    }
    void OnShowingDockBar(bool show) override { hookLog.push_back(std::string("showing ") + (show ? "1" : "0")); }
    void OnShowDockBar(bool show) override { hookLog.push_back(std::string("shown ") + (show ? "1" : "0")); }
    CRhinoUiSize OnCalcFixedLayout(CRhinoUiSize s, bool, bool horizontal) override {
        return horizontal ? CRhinoUiSize{std::max(s.cx, 278), std::max(s.cy, 42)}
                          : CRhinoUiSize{std::max(s.cx, 42), std::max(s.cy, 278)};
    }
    CRhinoUiSize OnCalcSize(CRhinoUiSize s) override {
        return s.cx > s.cy ? CRhinoUiSize{std::max(s.cx, 254), std::max(s.cy, 42)}
                           : CRhinoUiSize{std::max(s.cx, 42), std::max(s.cy, 254)};
    }
};

}  // namespace

// A bar is created hidden (no show hooks), found by id, shown and hidden with the
// hooks before and after each change; a second bar with the same id is refused.
TEST(DockBar, CreateShowHide) {
    hookLog.clear();
    const ON_UUID plugIn = ON_CreateUuid();
    CRhinoUiDockBar* bar = RhinoUiDockBarManager().CreateRhinoDockBar([] { return std::make_unique<TestBar>(); }, plugIn,
                                                                      false, CRhinoUiDockBarManager::kFloating,
                                                                      CRhinoUiDockBarManager::kAllowAny, nullptr, 0x1434);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(hookLog, std::vector<std::string>{"init"});
    EXPECT_FALSE(bar->IsVisible());
    EXPECT_FALSE(bar->IsDocked());
    EXPECT_EQ(bar->Size(), (CRhinoUiSize{258, 42}));
    EXPECT_EQ(RhinoUiDockBarManager().FindDockBar(kBarId), bar);
    EXPECT_EQ(RhinoUiDockBarManager().DockBarPlugIn(kBarId), plugIn);
    EXPECT_EQ(RhinoUiDockBarManager().CreateRhinoDockBar([] { return std::make_unique<TestBar>(); }, plugIn, true, 0, 0,
                                                         nullptr, 0),
              nullptr);

    hookLog.clear();
    // A temporary bar object only answers its id; it registers nothing.
    EXPECT_TRUE(RhinoUiDockBarManager().ShowDockBar(TestBar().DockBarID(), true, false));
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_TRUE(RhinoUiDockBarManager().ShowDockBar(kBarId, false, false));
    EXPECT_FALSE(bar->IsVisible());
    EXPECT_FALSE(RhinoUiDockBarManager().ShowDockBar(ON_CreateUuid(), true, false));
    EXPECT_EQ(hookLog, (std::vector<std::string>{"showing 1", "shown 1", "showing 0", "shown 0"}));

    // Resizing asks the floating or docked size hook, then tells the dialog.
    hookLog.clear();
    EXPECT_EQ(bar->Resize(20, 100), (CRhinoUiSize{42, 254}));
    bar->SetDocked(true);
    EXPECT_EQ(bar->Resize(100, 10), (CRhinoUiSize{278, 42}));
    EXPECT_EQ(hookLog, (std::vector<std::string>{"size 42x254", "size 278x42"}));
    EXPECT_EQ(bar->DockBarClientWnd()->ClientSize(), (CRhinoUiSize{278, 42}));

    // Clicks reach the dialog only from visible, enabled buttons.
    hookLog.clear();
    auto* dialog = static_cast<TestDialog*>(bar->DockBarClientWnd());
    CRhinoUiButton* start = dialog->GetDlgItem(31771);
    ASSERT_EQ(start, dialog->start);
    EXPECT_EQ(dialog->images.ImageCount(), 10);
    EXPECT_EQ(start->ImageList(0), &dialog->images);
    EXPECT_TRUE(start->Click());
    start->EnableWindow(false);
    EXPECT_FALSE(start->Click());
    start->EnableWindow(true);
    start->ShowWindow(false);
    EXPECT_FALSE(start->Click());
    EXPECT_EQ(hookLog, std::vector<std::string>{"command 31771 code 0"});
    EXPECT_EQ(dialog->GetDlgItem(1), nullptr);
}

// Image lists take strips of their own height only.
TEST(DockBar, ImageListStrips) {
    CRhinoUiImageList list;
    EXPECT_FALSE(list.Create(0, 28));
    ASSERT_TRUE(list.Create(28, 28));
    EXPECT_EQ(list.AddStrip(280, 28), 0);
    EXPECT_EQ(list.AddStrip(56, 28), 10);
    EXPECT_EQ(list.AddStrip(280, 27), -1);
    EXPECT_EQ(list.AddStrip(10, 28), -1);
    EXPECT_EQ(list.ImageCount(), 12);
}
