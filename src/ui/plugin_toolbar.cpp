#include "plugin_toolbar.h"

#include <algorithm>

#include "plugin/plugin_identity.h"
#include "plugin_dockbar_dialog.h"
#include "ui/plugin_ui.h"

PluginToolbar::PluginToolbar(PluginUi* ui) : ui_(ui) { SetDefaultBarSize(258, 42); }

ON_UUID PluginToolbar::DockBarID() const { return ON_UuidFromString(vantro::plugin::kDockBarIdText); }

const char16_t* PluginToolbar::DockBarName(int) const { return u"Velora Vantro\u00ae"; }

bool PluginToolbar::CreateDockBarControls() {
    PluginUi* ui = ui_;
    return CreateDockBarClientDialog(
        PluginDockbarDialog::kTemplateId, [ui] { return std::make_unique<PluginDockbarDialog>(ui); }, nullptr);
}

void PluginToolbar::OnShowingDockBar(bool) {
    if (ui_)
        ui_->MarkMenuDirty();
}

CRhinoUiSize PluginToolbar::OnCalcFixedLayout(CRhinoUiSize size, bool, bool horizontal) {
    if (horizontal)
        return {std::max(size.cx, 278), std::max(size.cy, 42)};
    return {std::max(size.cx, 42), std::max(size.cy, 278)};
}

CRhinoUiSize PluginToolbar::OnCalcSize(CRhinoUiSize size) {
    if (size.cx > size.cy)
        return {std::max(size.cx, 254), std::max(size.cy, 42)};
    return {std::max(size.cx, 42), std::max(size.cy, 254)};
}
