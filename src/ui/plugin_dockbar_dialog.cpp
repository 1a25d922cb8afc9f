#include "plugin_dockbar_dialog.h"

#include "plugin/plugin_identity.h"
#include "plugin/velora_plugin.h"
#include "ui/plugin_ui.h"
#include "resource_images.h"

using namespace vantro::plugin;
using vantro::ui::ImageKind;
using vantro::ui::LoadImageResource;

namespace {

constexpr int kButtonSize = 28;
constexpr int kStep = 32;
constexpr CRhinoUiRect kFirstPlace{4, 4, 4 + kButtonSize, 4 + kButtonSize};

// The About tooltip carries the display version.
const ON_wString& aboutTooltip() {
    static const ON_wString text =
        ON_wString::FormatToString(u"About Velora\u00ae Vantro\u00ae v.%ls", kDisplayVersion);
    return text;
}

CRhinoUiRect shifted(const CRhinoUiRect& r, int dx, int dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

std::unique_ptr<CRhinoUiImageList> imageList(ImageKind kind, uint32_t id, int width, int height) {
    const CRhinoUiImage strip = LoadImageResource(kind, id);
    auto list = std::make_unique<CRhinoUiImageList>();
    const int w = width > 0 ? width : strip.width, h = height > 0 ? height : strip.height;
    if (!list->Create(w, h))
        return list;  // a missing picture leaves the list empty
    list->Add(strip);
    return list;
}

}  // namespace

const std::array<PluginDockbarDialog::RowEntry, 13>& PluginDockbarDialog::Row() {
    static const std::array<RowEntry, 13> row{{
        {kMenuAbout, 8, 1, nullptr},  // tooltip: aboutTooltip()
        {1, -1, kAdvanceSeparator, nullptr},
        {kMenuStart, 0, 1, u"Start Vantro"},
        {kMenuStop, 1, 1, u"Stop Vantro"},
        {kMenuCameraSync, 2, 0, u"Camera synchronization inactive"},
        {kMenuStartCamera, 3, 0, u"Start camera synchronization"},
        {kMenuStopCamera, 4, 1, u"Stop camera synchronization"},
        {kMenuStatusRunning, 6, 0, u"Status: Active"},
        {kMenuStatus, 7, 1, u"Status: Inactive"},
        {9, -1, kAdvanceSeparator, nullptr},
        {kMenuSettings, 5, 1, u"Vantro Settings"},
        {11, -1, kAdvanceSeparator, nullptr},
        {kMenuExportCollada, 9, 1, u"Export your model as COLLADA (.DAE) file"},
    }};
    return row;
}

PluginDockbarDialog::PluginDockbarDialog(PluginUi* ui) : ui_(ui) {}

PluginDockbarDialog::~PluginDockbarDialog() = default;

bool PluginDockbarDialog::OnInitDialog() {
    CRhinoUiDockBarDialog::OnInitDialog();
    imagesNormal = imageList(ImageKind::png, 1012, kButtonSize, kButtonSize);
    imagesSecond = imageList(ImageKind::png, 1013, kButtonSize, kButtonSize);
    imagesSeparator = imageList(ImageKind::bitmap, 1014, 0, 0);

    CRhinoUiRect place = kFirstPlace;
    for (size_t i = 0; i < Row().size(); ++i) {
        const RowEntry& entry = Row()[i];
        auto control = std::make_unique<CRhinoUiButton>();
        if (entry.advance == kAdvanceSeparator) {
            place = shifted(place, 2, 0);
            control->SetImageList(1, imagesSeparator.get(), 0);
            control->Create(u"", true, {place.left, place.top, place.left + 1, place.top + 30}, this, uint32_t(i));
            control->EnableWindow(false);
            place = shifted(place, 5, 0);
        } else {
            control->SetImageList(0, imagesNormal.get(), entry.image);
            control->SetImageList(1, imagesSecond.get(), entry.image);
            control->Create(u"", true, place, this, entry.id);
            control->SetSuppressButtonFrameWhenNotHot(true);
            control->SetToolTipText(entry.tooltip ? ON_wString(entry.tooltip) : aboutTooltip());
            if (entry.advance == 1)
                place = shifted(place, kStep, 0);
        }
        buttons[int(i)] = std::move(control);
    }
    for (uint32_t id : {kMenuStop, kMenuCameraSync, kMenuStatus, kMenuStatusRunning})
        if (CRhinoUiButton* b = button(id))
            b->EnableWindow(false);
    for (uint32_t id : {kMenuStartCamera, kMenuStopCamera, kMenuStatusRunning})
        if (CRhinoUiButton* b = button(id))
            b->ShowWindow(false);
    return true;
}

void PluginDockbarDialog::OnSize(unsigned int type, int cx, int cy) {
    CRhinoUiDockBarDialog::OnSize(type, cx, cy);
    const CRhinoUiDockBar* bar = DockBar();
    // A floating bar keeps its row while there is room for it, whatever its shape.
    const bool horizontal = bar && !bar->IsDocked() ? cx >= 250 : cx > cy;
    CRhinoUiRect place = kFirstPlace;
    for (size_t i = 0; i < Row().size(); ++i) {
        auto it = buttons.find(int(i));
        if (it == buttons.end())
            continue;
        CRhinoUiButton& control = *it->second;
        const RowEntry& entry = Row()[i];
        if (entry.advance == kAdvanceSeparator) {
            if (horizontal) {
                control.MoveWindow({place.left + 1, place.top - 1, place.left + 2, place.top + 29});
                place = shifted(place, 7, 0);
            } else {
                control.MoveWindow({place.left - 1, place.top + 1, place.left + 29, place.top + 2});
                place = shifted(place, 0, 7);
            }
            continue;
        }
        control.MoveWindow(place);
        if (entry.advance == 1)
            place = horizontal ? shifted(place, kStep, 0) : shifted(place, 0, kStep);
    }
}

bool PluginDockbarDialog::OnCommand(uintptr_t wParam, intptr_t) {
    const uint32_t id = uint32_t(wParam & 0xFFFF);
    const uint32_t code = uint32_t(wParam >> 16) & 0xFFFF;
    if (code != CRhinoUiButton::BN_CLICKED)
        return false;
    uint32_t command = 0;
    switch (id) {
        case kMenuStart:
        case kMenuStop:
        case kMenuSettings:
        case kMenuAbout:
        case kMenuExportCollada: command = id; break;
        // Both camera buttons toggle: the one shown already says which way.
        case kMenuStartCamera:
        case kMenuStopCamera: command = kMenuCameraSync; break;
        default: return false;
    }
    if (!ui_ || !ui_->plugin)
        return false;
    CRhinoPlugIn& plugIn = *ui_->plugin;
    plugIn.OnPlugInMenuCommand(command);
    return true;
}

void PluginDockbarDialog::Refresh(uint32_t linkState, bool perspective, bool syncing) {
    const bool running = linkState == VeloraPlugin::kLinkRunning;
    const bool unavailable = !running || !perspective;
    auto show = [this](uint32_t id, bool visible) {
        if (CRhinoUiButton* b = button(id))
            b->ShowWindow(visible);
    };
    auto enable = [this](uint32_t id, bool enabled) {
        if (CRhinoUiButton* b = button(id))
            b->EnableWindow(enabled);
    };
    show(kMenuStatus, !running);
    show(kMenuStatusRunning, running);
    show(kMenuCameraSync, unavailable);
    show(kMenuStartCamera, !unavailable && !syncing);
    show(kMenuStopCamera, !unavailable && syncing);
    enable(kMenuStart, !running);
    enable(kMenuStop, linkState != VeloraPlugin::kLinkStopped);
    enable(kMenuSettings, linkState == VeloraPlugin::kLinkStopped);
    enable(kMenuExportCollada, linkState == VeloraPlugin::kLinkStopped);
}

CRhinoUiButton* PluginDockbarDialog::button(uint32_t id) const {
    for (size_t i = 0; i < Row().size(); ++i)
        if (Row()[i].advance != kAdvanceSeparator && Row()[i].id == id) {
            auto it = buttons.find(int(i));
            return it == buttons.end() ? nullptr : it->second.get();
        }
    return nullptr;
}
