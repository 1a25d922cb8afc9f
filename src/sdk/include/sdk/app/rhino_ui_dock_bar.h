#pragma once
// Dock bars: the host's dockable tool windows, modelled without a display. A dock bar
// has an id, a name, a visibility, a docked/floating state and a size, and holds one
// client dialog whose controls (image buttons) have ids, rectangles, visibility,
// enabled state and tooltips. The host program drives them: it shows and hides bars,
// resizes them (which asks the bar's size hooks and then tells the dialog) and clicks
// buttons (which sends the dialog a command when the button is visible and enabled).
//
// CRhinoUiDockBar hooks, in slot order: destructor, DockBarID, DockBarName,
// CreateDockBarControls, OnShowingDockBar, OnShowDockBar, OnCalcFixedLayout,
// OnCalcSize. CRhinoUiDockBarDialog hooks: destructor, OnInitDialog, OnSize,
// OnCommand.
// Thread-safety: main thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "sdk/geometry/on_string.h"
#include "sdk/geometry/on_uuid.h"
#include "sdk/app/rhino_ui_image.h"

struct CRhinoUiRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const CRhinoUiRect&, const CRhinoUiRect&) = default;
};

struct CRhinoUiSize {
    int cx = 0, cy = 0;
    friend bool operator==(const CRhinoUiSize&, const CRhinoUiSize&) = default;
};

struct CRhinoUiPoint {
    int x = 0, y = 0;
};

// A list of images of one size, filled from strips (a strip of width n * w holds n
// images; a remainder narrower than one image is ignored).
class CRhinoUiImageList {
public:
    // width, height > 0; false otherwise.
    bool Create(int width, int height);
    // Adds the images of a strip; returns the index of the first one added, -1 (nothing
    // added) when the strip's height differs or it is narrower than one image.
    // AddStrip counts images without pixels; Add keeps the pixels of each image.
    int AddStrip(int stripWidth, int stripHeight);
    int Add(const CRhinoUiImage& strip);
    // The pixels of image index; null when out of range or added without pixels.
    const CRhinoUiImage* Image(int index) const;

private:
    int width_ = 0, height_ = 0, count_ = 0;
    std::vector<CRhinoUiImage> images_;  // index -> pixels (empty: added without)
};

class CRhinoUiDockBar;
class CRhinoUiDockBarDialog;

// An image button of a dock-bar dialog. The dialog does not own its buttons.
class CRhinoUiButton {
public:
    // Notification code of a click, as sent in the high word of the command's wParam.
    static constexpr unsigned int BN_CLICKED = 0;

    CRhinoUiButton() = default;
    CRhinoUiButton(const CRhinoUiButton&) = delete;
    CRhinoUiButton& operator=(const CRhinoUiButton&) = delete;
    ~CRhinoUiButton();

    // Creates the button in parent (visible unless `visible` is false) with a control
    // id. False for a null parent or a button already created.
    bool Create(const ON_wString& text, bool visible, const CRhinoUiRect& rect, CRhinoUiDockBarDialog* parent,
                unsigned int id);
    // Image list and index for a kind of image (0 normal, 1 second state); a null
    // list clears that kind.
    void SetImageList(int kind, CRhinoUiImageList* list, int index);
    const CRhinoUiImageList* ImageList(int kind) const;
    int ImageIndex(int kind) const;
    void SetSuppressButtonFrameWhenNotHot(bool suppress) { suppressFrame_ = suppress; }
    void SetToolTipText(const ON_wString& text) { tooltip_ = text; }
    const ON_wString& ToolTipText() const { return tooltip_; }

    void MoveWindow(const CRhinoUiRect& rect) { rect_ = rect; }
    CRhinoUiRect WindowRect() const { return rect_; }
    void ShowWindow(bool show) { visible_ = show; }
    bool IsWindowVisible() const { return visible_; }
    void EnableWindow(bool enable) { enabled_ = enable; }
    bool IsWindowEnabled() const { return enabled_; }
    unsigned int GetDlgCtrlID() const { return id_; }

    // Host side: the user clicks. A visible, enabled button sends its dialog
    // OnCommand(id | BN_CLICKED << 16); returns what OnCommand returned, false when the
    // button cannot be clicked.
    bool Click();

private:
    friend class CRhinoUiDockBarDialog;
    CRhinoUiDockBarDialog* parent_ = nullptr;
    unsigned int id_ = 0;
    ON_wString text_;
    ON_wString tooltip_;
    CRhinoUiRect rect_;
    bool visible_ = false;
    bool enabled_ = true;
    bool suppressFrame_ = false;
    CRhinoUiImageList* lists_[2] = {nullptr, nullptr};
    int indices_[2] = {-1, -1};
};

// The client area of a dock bar.
class CRhinoUiDockBarDialog {
public:
    CRhinoUiDockBarDialog() = default;
    CRhinoUiDockBarDialog(const CRhinoUiDockBarDialog&) = delete;
    CRhinoUiDockBarDialog& operator=(const CRhinoUiDockBarDialog&) = delete;
    virtual ~CRhinoUiDockBarDialog();

    // Called once when the dock bar creates the dialog; the base returns true.
    virtual bool OnInitDialog();
    // The dialog was resized to cx x cy; the base does nothing.
    virtual void OnSize(unsigned int type, int cx, int cy);
    // A control sent a command; true when handled. The base returns false.
    virtual bool OnCommand(uintptr_t wParam, intptr_t lParam);

    // The dock bar holding the dialog; null before it is placed in one.
    CRhinoUiDockBar* DockBar() const { return bar_; }
    // The first control with that id; null when none.
    const std::vector<CRhinoUiButton*>& Controls() const { return controls_; }

private:
    friend class CRhinoUiButton;
    friend class CRhinoUiDockBar;
    CRhinoUiDockBar* bar_ = nullptr;
    unsigned int templateId_ = 0;
    std::vector<CRhinoUiButton*> controls_;
    CRhinoUiSize size_;
};

class CRhinoUiDockBar {
public:
    using DialogFactory = std::function<std::unique_ptr<CRhinoUiDockBarDialog>()>;

    CRhinoUiDockBar() = default;
    CRhinoUiDockBar(const CRhinoUiDockBar&) = delete;
    CRhinoUiDockBar& operator=(const CRhinoUiDockBar&) = delete;
    virtual ~CRhinoUiDockBar();

    virtual ON_UUID DockBarID() const = 0;
    virtual const char16_t* DockBarName(int language = 1) const = 0;
    // Creates the bar's controls (usually through CreateDockBarClientDialog); false
    // makes the creation of the bar fail. The base returns true.
    virtual bool CreateDockBarControls();
    // Called before the bar is shown or hidden, then OnShowDockBar after.
    virtual void OnShowingDockBar(bool show);
    virtual void OnShowDockBar(bool show);
    // Size of a docked bar (horizontal: docked at the top or bottom); the base returns
    // size unchanged.
    virtual CRhinoUiSize OnCalcFixedLayout(CRhinoUiSize size, bool stretch, bool horizontal);
    // Size of a floating bar; the base returns size unchanged.
    virtual CRhinoUiSize OnCalcSize(CRhinoUiSize size);

    // Creates the client dialog with the factory, places it in the bar and calls its
    // OnInitDialog. The module state is accepted for the SDK's signature. False when
    // the factory gives nothing, OnInitDialog fails, or a dialog exists already.
    bool CreateDockBarClientDialog(unsigned int templateId, const DialogFactory& factory, void* moduleState);
    CRhinoUiDockBarDialog* DockBarClientWnd() const { return dialog_.get(); }

    void SetDefaultBarSize(int cx, int cy) { defaultSize_ = {cx, cy}; }
    bool IsVisible() const { return visible_; }
    bool IsDocked() const { return docked_; }
    CRhinoUiSize Size() const { return size_; }

    // Host side: docks or floats the bar (no resize).
    void SetDocked(bool docked);
    // Host side: the user resizes the bar to cx x cy. A docked bar asks
    // OnCalcFixedLayout (horizontal when cx > cy), a floating one OnCalcSize; the
    // result becomes the bar's size and the dialog gets OnSize(0, width, height).
    CRhinoUiSize Resize(int cx, int cy);

private:
    friend class CRhinoUiDockBarManager;
    std::unique_ptr<CRhinoUiDockBarDialog> dialog_;
    CRhinoUiSize defaultSize_;
    CRhinoUiSize size_;
    bool visible_ = false;
    bool docked_ = false;
};

class CRhinoUiDockBarManager {
public:
    using BarFactory = std::function<std::unique_ptr<CRhinoUiDockBar>()>;

    // Docking places and sides (the values the host uses).
    static constexpr unsigned int kFloating = 59423;  // AFX_IDW_DOCKBAR_FLOAT
    static constexpr unsigned int kAllowAny = 61440;  // CBRS_ALIGN_ANY

    // Creates a bar with the factory, calls CreateDockBarControls and keeps the bar
    // (owned until the process ends). It starts floating unless location is another
    // place, at its default size, shown when createVisible. A bar this host had in an
    // earlier run instead comes back docked or floating, sized and shown or hidden as
    // it was left: every change of those (ShowDockBar, SetDocked, Resize) is kept in
    // the host's profile, section DockBars\<bar id> (Visible, Docked, Width, Height).
    // Null when the factory gives nothing, a bar with that id exists already, or
    // CreateDockBarControls fails.
    CRhinoUiDockBar* CreateRhinoDockBar(const BarFactory& factory, const ON_UUID& plugInId, bool createVisible,
                                        unsigned int location, unsigned int allowLocations,
                                        const CRhinoUiPoint* floatPoint, unsigned int style);
    // Shows or hides the bar with that id: OnShowingDockBar, the change, OnShowDockBar
    // (hooks run even when the state does not change, as the host's do). False when no
    // such bar exists.
    bool ShowDockBar(const ON_UUID& dockBarId, bool show, bool recalcLayout);
    CRhinoUiDockBar* FindDockBar(const ON_UUID& dockBarId) const;
    // The plug-in that created a bar; nil for an unknown bar.
    int DockBarCount() const { return static_cast<int>(bars_.size()); }
    // The bar at index, in creation order (host side: to show every bar); null out of range.
    CRhinoUiDockBar* DockBarAt(int index) const {
        return index >= 0 && index < DockBarCount() ? bars_[size_t(index)].bar.get() : nullptr;
    }

    // Writes the bar's state to the profile (a bar of this manager only).
    void SaveState(const CRhinoUiDockBar& bar) const;

private:
    struct Entry {
        std::unique_ptr<CRhinoUiDockBar> bar;
        ON_UUID plugInId;
    };
    // Puts the stored place and size back; false when the profile has no state for the
    // bar. visible receives the stored visibility.
    bool RestoreState(CRhinoUiDockBar& bar, bool& visible);

    std::vector<Entry> bars_;
    bool restoring_ = false;
};

// The host's dock-bar manager (never destroyed).
CRhinoUiDockBarManager& RhinoUiDockBarManager();
