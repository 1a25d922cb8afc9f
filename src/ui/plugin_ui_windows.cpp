// The plug-in's menu, dock bar and dialogs. The windows themselves come with the
// user-interface work: until then the menu is a handle the host can insert and open,
// the toolbar's visibility is a flag, and the dialogs say in the command area that
// they are not available, so that the commands reaching them stay honest.

#include "plugin/plugin_identity.h"
#include "sdk/rhino_app.h"
#include "ui/plugin_ui.h"

void* PluginUi::CreatePluginMenu() {
    menuDirty = true;
    return &menuToken;
}

void PluginUi::UpdateMenu(void*) { menuDirty = false; }

void PluginUi::ShowSettingsDialog() {
    RhinoApp().Print(u"Velora Vantro settings: the settings dialog is not available in this host.\n");
}

void PluginUi::ShowAboutDialog() {
    RhinoApp().Print(u"%ls, %ls\n", vantro::plugin::kPlugInDescription, aboutVersionText.Array());
}

void PluginUi::CreateDockBar() {}

void PluginUi::ShowToolbar() {
    toolbarVisible = true;
    menuDirty = true;
}

void PluginUi::HideToolbar() {
    toolbarVisible = false;
    menuDirty = true;
}

bool PluginUi::IsToolbarVisible() const { return toolbarVisible; }
