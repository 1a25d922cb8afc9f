// The plug-in's pictures and fonts, and the dock bar: created hidden, shown and hidden
// through the host's dock-bar manager, refreshed with the link's state.

#include "plugin/plugin_identity.h"
#include "plugin/velora_plugin.h"
#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_view.h"
#include "plugin_dockbar_dialog.h"
#include "plugin_toolbar.h"
#include "ui/plugin_ui.h"
#include "resource_images.h"

using namespace vantro::ui;

namespace {

constexpr int kAboutWidth = 440, kAboutHeight = 560;
constexpr int kSmallIconSize = 16;  // SM_CXSMICON, SM_CYSMICON

std::unique_ptr<CRhinoUiFont> dialogFont(int pixels, int dpi, bool underline) {
    auto font = std::make_unique<CRhinoUiFont>();
    font->face = u"MS Shell Dlg";
    font->height = -MulDiv(pixels, dpi, 96);
    font->weight = 700;
    font->underline = underline;
    return font;
}

}  // namespace

bool vantro::ui::PerspectiveViewActive() {
    const CRhinoView* view = RhinoApp().ActiveView();
    return view && view->ActiveViewport().VP().IsPerspectiveProjection();
}

void PluginUi::loadResources() {
    smallIcon = LoadIconResource(110, kSmallIconSize);
    const int dpi = RhinoUiScreenDpi();
    aboutBitmap = LoadImageResource(ImageKind::bitmap, 107);
    const int wantedWidth = MulDiv(110, dpi, 96), wantedHeight = MulDiv(140, dpi, 96);
    // The picture is drawn for 384 dots per inch; other screens get it stretched.
    if (!aboutBitmap.IsEmpty() && (wantedWidth != kAboutWidth || wantedHeight != kAboutHeight))
        aboutBitmap = StretchHalftone(aboutBitmap, wantedWidth, wantedHeight);
    titleFont = dialogFont(12, dpi, false);
    linkFont = dialogFont(10, dpi, true);
}

uint32_t PluginUi::linkState() const { return plugin ? plugin->linkState : VeloraPlugin::kLinkStopped; }

bool PluginUi::cameraSyncOn() const { return plugin && plugin->IsCameraSyncOn(); }

void PluginUi::RefreshUi() {
    menuDirty = true;
    if (!dockBar)
        return;
    if (auto* dialog = dynamic_cast<PluginDockbarDialog*>(dockBar->DockBarClientWnd()))
        dialog->Refresh(linkState(), PerspectiveViewActive(), cameraSyncOn());
}

void PluginUi::CreateDockBar() {
    PluginUi* self = this;
    CRhinoUiDockBar* bar = RhinoUiDockBarManager().CreateRhinoDockBar(
        [self] { return std::make_unique<PluginToolbar>(self); }, ON_UuidFromString(vantro::plugin::kPlugInIdText),
        false, CRhinoUiDockBarManager::kFloating, CRhinoUiDockBarManager::kAllowAny, nullptr, 0x1434);
    dockBar = static_cast<PluginToolbar*>(bar);
}

void PluginUi::ShowToolbar() {
    RhinoUiDockBarManager().ShowDockBar(PluginToolbar().DockBarID(), true, false);
    menuDirty = true;
}

void PluginUi::HideToolbar() {
    RhinoUiDockBarManager().ShowDockBar(PluginToolbar().DockBarID(), false, false);
    menuDirty = true;
}

bool PluginUi::IsToolbarVisible() const { return dockBar && dockBar->IsVisible(); }
