// The plug-in menu: menu 13002 with its item bitmaps, and its live texts and states,
// recomputed only when something it shows may have changed (menuDirty).

#include "plugin/plugin_identity.h"
#include "plugin/velora_plugin.h"
#include "module_resources.h"
#include "ui/plugin_ui.h"
#include "resource_images.h"

using namespace vantro::plugin;
using namespace vantro::ui;

namespace {

// The ten menu bitmaps, in the order they are loaded into menuBitmaps.
constexpr uint32_t kMenuBitmapIds[10] = {1005, 1006, 1004, 1007, 1010, 1011, 1003, 1008, 1009, 1012};

struct ItemBitmap {
    uint32_t item;
    uint32_t bitmap;
};
constexpr ItemBitmap kInitialBitmaps[] = {
    {kMenuStart, 1005},    {kMenuStop, 1006},    {kMenuStatus, 1011}, {kMenuExportCollada, 1012},
    {kMenuSettings, 1004}, {kMenuToolbar, 1007}, {kMenuAbout, 1007},
};

std::unique_ptr<CRhinoUiMenu> loadMenu(uint32_t id) {
    const MenuResource* resource = FindMenuResource(id);
    if (!resource)
        return nullptr;
    auto menu = std::make_unique<CRhinoUiMenu>();
    menu->title = resource->title;
    for (size_t i = 0; i < resource->itemCount; ++i) {
        const MenuItemResource& r = resource->items[i];
        CRhinoUiMenuItem item;
        item.id = r.id;
        item.text = r.text;
        item.separator = r.separator;
        item.state = (r.inactive ? uint32_t(MF_DISABLED) : 0u) | (r.grayed ? uint32_t(MF_GRAYED) : 0u);
        menu->items.push_back(item);
    }
    return menu;
}

}  // namespace

const CRhinoUiImage* PluginUi::menuBitmap(uint32_t id) const {
    for (size_t i = 0; i < menuBitmaps.size(); ++i)
        if (kMenuBitmapIds[i] == id)
            return menuBitmaps[i].IsEmpty() ? nullptr : &menuBitmaps[i];
    return nullptr;
}

void* PluginUi::CreatePluginMenu() {
    if (!menu)
        menu = loadMenu(13002);
    if (menu) {
        for (size_t i = 0; i < menuBitmaps.size(); ++i)
            menuBitmaps[i] = LoadImageResource(ImageKind::bitmap, kMenuBitmapIds[i]);
        for (const ItemBitmap& b : kInitialBitmaps)
            menu->SetItemBitmap(b.item, b.bitmap, menuBitmap(b.bitmap));
        menu->EnableItem(kMenuStatus, MF_DISABLED);
    }
    menuDirty = true;
    return menu.get();
}

void PluginUi::UpdateMenu(void* handle) {
    if (!menuDirty || !handle)
        return;
    menuDirty = false;
    CRhinoUiMenu& m = *static_cast<CRhinoUiMenu*>(handle);
    auto set = [&](uint32_t item, const char16_t* text, uint32_t bitmap, uint32_t state) {
        m.SetItemText(item, text);
        m.SetItemBitmap(item, bitmap, menuBitmap(bitmap));
        m.EnableItem(item, state);
    };
    const uint32_t state = linkState();
    if (state == VeloraPlugin::kLinkRunning) {
        set(kMenuStatus, u"Status: Vantro running", 1010, MF_ENABLED);
        if (PerspectiveViewActive()) {
            if (cameraSyncOn())
                set(kMenuCameraSync, u"Stop camera synchronization", 1009, MF_ENABLED);
            else
                set(kMenuCameraSync, u"Start camera synchronization", 1008, MF_ENABLED);
        } else {
            set(kMenuCameraSync, u"Camera synchronization inactive", 1003, MF_GRAYED);
        }
    } else {
        set(kMenuStatus, u"Status: Vantro stopped", 1011, MF_DISABLED);
        set(kMenuCameraSync, u"Camera synchronization inactive", 1003, MF_GRAYED);
    }
    m.SetItemText(kMenuToolbar, IsToolbarVisible() ? u"Hide Vantro Toolbar" : u"Show Vantro Toolbar");
    m.EnableItem(kMenuStart, state == VeloraPlugin::kLinkRunning ? MF_GRAYED : MF_ENABLED);
    m.EnableItem(kMenuStop, state == VeloraPlugin::kLinkStopped ? MF_GRAYED : MF_ENABLED);
    m.EnableItem(kMenuSettings, state != VeloraPlugin::kLinkStopped ? MF_GRAYED : MF_ENABLED);
    m.EnableItem(kMenuExportCollada, state != VeloraPlugin::kLinkStopped ? MF_GRAYED : MF_ENABLED);
}
