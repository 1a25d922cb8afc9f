#pragma once
// PluginDockbarDialog: the dock bar's client dialog, a row of thirteen controls:
// About | Start, Stop, the camera place (unavailable / start / stop camera), the
// status place (running / stopped) | Settings | Export. Buttons send the plug-in's
// menu commands (the start- and stop-camera buttons both toggle camera
// synchronisation); the status and camera-unavailable controls only show state.
// The row is laid out horizontally or vertically to fit the bar.
// Main thread only.

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "sdk/app/rhino_ui_dock_bar.h"

class PluginUi;

class PluginDockbarDialog : public CRhinoUiDockBarDialog {
public:
    static constexpr unsigned int kTemplateId = 2000;
    static constexpr int kAdvanceSeparator = -1;

    // One position of the row.
    struct RowEntry {
        uint32_t id;              // control id (a separator's is its position)
        int image;                // index into both button strips; -1 for a separator
        int advance;              // 1: next place; 0: the next control shares this place; -1: separator
        const char16_t* tooltip;  // null for a separator
    };
    static const std::array<RowEntry, 13>& Row();

    // ui: not owned; null leaves the buttons without a plug-in to command.
    explicit PluginDockbarDialog(PluginUi* ui);
    ~PluginDockbarDialog() override;

    bool OnInitDialog() override;
    void OnSize(unsigned int type, int cx, int cy) override;
    bool OnCommand(uintptr_t wParam, intptr_t lParam) override;

    // Shows, hides, enables and disables the controls for the link's state
    // (linkState 0 stopped, 2 running; perspective: the active view is a perspective
    // one; syncing: camera synchronisation is requested).
    void Refresh(uint32_t linkState, bool perspective, bool syncing);

    // Position -> control, created by OnInitDialog.
    std::unordered_map<int, std::unique_ptr<CRhinoUiButton>> buttons;
    std::unique_ptr<CRhinoUiImageList> imagesNormal;     // PNG 1012: ten 28 x 28 images
    std::unique_ptr<CRhinoUiImageList> imagesSecond;     // PNG 1013: the same, second state
    std::unique_ptr<CRhinoUiImageList> imagesSeparator;  // bitmap 1014: 1 x 28

private:
    CRhinoUiButton* button(uint32_t id) const;
    PluginUi* ui_;
};
