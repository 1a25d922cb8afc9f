#pragma once
// PluginToolbar: the plug-in's dock bar. Its client area is a PluginDockbarDialog
// (template 2000) with the row of image buttons. It keeps a minimum size that fits
// the row (278 x 42 docked at the top or bottom, 42 x 278 at a side; 254 x 42 or
// 42 x 254 floating) and tells the menu when it is shown or hidden, so that the
// menu's show/hide item is recomputed.
// Main thread only.

#include "sdk/app/rhino_ui_dock_bar.h"

class PluginUi;

class PluginToolbar : public CRhinoUiDockBar {
public:
    // ui: the plug-in's user interface (not owned; may be null for a bar made only to
    // ask its identifier). Default bar size 258 x 42.
    explicit PluginToolbar(PluginUi* ui = nullptr);

    ON_UUID DockBarID() const override;
    const char16_t* DockBarName(int language = 1) const override;  // "Velora Vantro®"
    bool CreateDockBarControls() override;
    void OnShowingDockBar(bool show) override;
    CRhinoUiSize OnCalcFixedLayout(CRhinoUiSize size, bool stretch, bool horizontal) override;
    CRhinoUiSize OnCalcSize(CRhinoUiSize size) override;

private:
    PluginUi* ui_;
};
