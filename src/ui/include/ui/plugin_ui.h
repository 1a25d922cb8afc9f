#pragma once
// PluginUi: everything the user sees of the plug-in apart from command-area lines:
// the message boxes (here), the menu (plugin_menu.cpp), the dock bar
// (plugin_ui_windows.cpp, plugin_toolbar.h) and the dialogs (plugin_dialogs.cpp). The
// plug-in object creates one at load and keeps it.
//
// Message boxes go through the host's message box (sdk/rhino_message_box.h) owned by
// the host's main window; every title begins with "Velora Vantro - ", and while one
// is open a hook gives every box whose title names "Velora Vantro" the plug-in's
// small icon.
//
// The pictures, fonts and menu come from the module's resources (module_resources.h);
// one that is missing leaves its field empty and every use skips it.
// The UI reads the plug-in's state through `plugin` (its fields and its menu-command
// hook) and may be built with a null plugin, which then reads as a stopped link.
// Main thread only.

#include <array>
#include <cstdint>
#include <memory>

#include "link/compare_versions.h"  // kMinimumVeloraVersion, shown in the messages
#include "platform/window.h"
#include "sdk/geometry/on_string.h"
#include "sdk/app/rhino_ui_dialog.h"
#include "sdk/app/rhino_ui_image.h"
#include "sdk/app/rhino_ui_menu.h"

class PluginToolbar;
struct RhinoMessageBox;
class VeloraPlugin;

class PluginUi {
public:
    // plugin is not owned; instance is the module's handle (for its resources).
    PluginUi(VeloraPlugin* plugin, void* instance);
    ~PluginUi();
    PluginUi(const PluginUi&) = delete;
    PluginUi& operator=(const PluginUi&) = delete;

    // --- Messages -------------------------------------------------------------------

    // Shows a modal box owned by the main window; the result is the button pressed
    // (IDOK, IDYES, IDNO, ...).
    int ShowMessage(const ON_wString& text, const ON_wString& title, uint32_t flags);
    // "Save project first" (information, OK).
    void ShowSaveFirst();
    // "File already open" naming fileName (error, OK).
    void ShowFileInUse(const ON_wString& fileName);
    // notRunning: "start Velora now?" (question, Yes/No), true for Yes. Otherwise
    // asks to close the running older Velora (information, OK) and returns false.
    bool AskStartVelora(bool notRunning);
    // "Newer Velora version required" (question, Yes/No): true for Yes.
    bool AskNewerVelora();

    // --- Menu, dock bar, dialogs (plugin_ui_windows.cpp) ------------------------------

    // The plug-in menu's handle for the host's menu bar (a CRhinoUiMenu*, menu 13002
    // with its item bitmaps); null when the resource is missing.
    void* CreatePluginMenu();
    // Recomputes the menu's items when marked dirty (menu: the handle being opened).
    void UpdateMenu(void* menu);
    void MarkMenuDirty() { menuDirty = true; }
    // The menu must be recomputed; the dock bar's controls are refreshed.
    void RefreshUi();
    void ShowSettingsDialog();
    void ShowAboutDialog();
    void CreateDockBar();
    void ShowToolbar();
    void HideToolbar();
    bool IsToolbarVisible() const;

    // --- Fields ------------------------------------------------------------------------

    ON_wString aboutVersionText;                    // "version: 3.50.52"
    VeloraPlugin* const plugin;                     // not owned; may be null
    void* const instance;                           // the module, for its resources
    vantro::platform::WindowHandle mainWindow = 0;  // fetched again while 0
    CRhinoUiImage aboutBitmap;                      // bitmap 107 at the screen's resolution
    std::unique_ptr<CRhinoUiFont> titleFont;        // bold, 12 px at 96 dpi
    std::unique_ptr<CRhinoUiFont> linkFont;         // bold, underlined, 10 px at 96 dpi
    std::unique_ptr<CRhinoUiMenu> menu;             // menu 13002 once created
    bool menuDirty = false;
    std::array<CRhinoUiImage, 10> menuBitmaps;  // 1005, 1006, 1004, 1007, 1010, 1011, 1003, 1008, 1009, 1012
    PluginToolbar* dockBar = nullptr;           // owned by the host's dock-bar manager
    CRhinoUiImage smallIcon;                    // icon 110 at the small-icon size
    uintptr_t hookHandle = 0;                   // the message-box hook while a box is open

private:
    // Construction: the small icon, the About picture scaled to the screen, the fonts.
    void loadResources();
    // The message-box hook (HCBT_ACTIVATE): the small icon for the plug-in's boxes.
    intptr_t messageBoxHook(int code, RhinoMessageBox& box);
    // The menu bitmap of a resource id; null when it is not one of the ten or missing.
    const CRhinoUiImage* menuBitmap(uint32_t id) const;
    // The running link's view of the plug-in (a null plugin reads as stopped).
    uint32_t linkState() const;
    bool cameraSyncOn() const;
};

namespace vantro::ui {

// The active view of the host uses a perspective projection (the rule of
// VeloraPlugin::IsPerspectiveActive, read here so that the UI library does not link
// the plug-in object).
bool PerspectiveViewActive();

}  // namespace vantro::ui
