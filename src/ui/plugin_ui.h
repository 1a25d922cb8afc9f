#pragma once
// PluginUi: everything the user sees of the plug-in apart from command-area lines:
// the message boxes (here), and the menu, the dock bar and the dialogs
// (plugin_ui_windows.cpp). The plug-in object creates one at load and keeps it.
//
// Message boxes go through the host's message box (sdk/rhino_message_box.h) owned by
// the host's main window; every title begins with "Velora Vantro - ".
// Main thread only.

#include <cstdint>

#include "platform/window.h"
#include "sdk/on_string.h"

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

    // The plug-in menu's handle for the host's menu bar; null when it cannot be made.
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

    ON_wString aboutVersionText;                 // "version: 3.50.52"
    VeloraPlugin* const plugin;                  // not owned
    void* const instance;                        // the module, for its resources
    vantro::platform::WindowHandle mainWindow = 0;  // fetched again while 0
    bool menuDirty = false;
    bool toolbarVisible = false;                 // stands in for the dock bar's state
    int menuToken = 0;                           // its address is the menu's handle
};

// The minimum Velora version the link needs, shown in the messages.
inline constexpr char16_t kMinimumVeloraVersion[] = u"8.3.0";
