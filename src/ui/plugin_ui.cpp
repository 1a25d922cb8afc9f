#include "ui/plugin_ui.h"

#include "plugin/plugin_identity.h"
#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_message_box.h"

using namespace vantro::ui;
using vantro::kMinimumVeloraVersion;

PluginUi::PluginUi(VeloraPlugin* plugin, void* instance)
    : aboutVersionText(ON_wString::FormatToString(u"version: %ls", vantro::plugin::kDisplayVersion)),
      plugin(plugin),
      instance(instance),
      mainWindow(RhinoApp().MainWnd()) {
    loadResources();
}

PluginUi::~PluginUi() = default;

int PluginUi::ShowMessage(const ON_wString& text, const ON_wString& title, uint32_t flags) {
    if (mainWindow == 0)
        mainWindow = RhinoApp().MainWnd();
    if (hookHandle == 0)
        hookHandle = RhinoSetCbtHook([this](int code, RhinoMessageBox& box) { return messageBoxHook(code, box); });
    const int result = RhinoShowMessageBox(mainWindow, text.Array(), title.Array(), flags);
    RhinoUnhookCbtHook(hookHandle);
    hookHandle = 0;
    return result;
}

intptr_t PluginUi::messageBoxHook(int code, RhinoMessageBox& box) {
    if (code != HCBT_ACTIVATE || smallIcon.IsEmpty())
        return RhinoCallNextCbtHook(hookHandle, code, box);
    // A title is read as a window's text, at most 256 characters.
    if (box.title.Left(256).Find(u"Velora Vantro") >= 0)
        box.smallIcon = &smallIcon;
    return 0;
}

void PluginUi::ShowSaveFirst() {
    ShowMessage(u"Please save your project before starting Velora Vantro.", u"Velora Vantro - Save project first",
                MB_ICONINFORMATION | MB_OK);
}

void PluginUi::ShowFileInUse(const ON_wString& fileName) {
    const ON_wString text = ON_wString::FormatToString(
        u"Cannot start the Vantro connection.\n\nFile \"%ls\" is being used by another instance of Rhino.\n\n"
        u"Save the file with a different name or stop other connections.",
        fileName.Array());
    ShowMessage(text, u"Velora Vantro - File already open", MB_ICONERROR | MB_OK);
}

bool PluginUi::AskStartVelora(bool notRunning) {
    constexpr char16_t kTitle[] = u"Velora Vantro - Velora is not running";
    if (notRunning) {
        const ON_wString text = ON_wString::FormatToString(
            u"Velora %ls or newer is not running.\nWould you like to start Velora now?", kMinimumVeloraVersion);
        return ShowMessage(text, kTitle, MB_ICONQUESTION | MB_YESNO) == IDYES;
    }
    const ON_wString text = ON_wString::FormatToString(
        u"Velora %ls or newer is not running.\nPlease close your current version and start Velora %ls or newer.",
        kMinimumVeloraVersion, kMinimumVeloraVersion);
    ShowMessage(text, kTitle, MB_ICONINFORMATION | MB_OK);
    return false;
}

bool PluginUi::AskNewerVelora() {
    const ON_wString text = ON_wString::FormatToString(
        u"You need to have Velora\u00ae %ls or newer to start Vantro.\n"
        u"Are you interested in learning more about the current version of Velora?",
        kMinimumVeloraVersion);
    return ShowMessage(text, u"Velora Vantro - Newer Velora version required", MB_ICONQUESTION | MB_YESNO) == IDYES;
}
