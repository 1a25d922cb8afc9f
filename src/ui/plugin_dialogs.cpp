// The settings dialog (each click written to the settings store at once) and the
// About dialog (version, picture, fonts and the three links to the maker's pages).

#include "platform/launch.h"
#include "settings/plugin_settings.h"
#include "plugin/velora_plugin.h"
#include "sdk/app/rhino_app.h"
#include "module_resources.h"
#include "ui/plugin_ui.h"
#include "ui/web_addresses.h"

using namespace vantro::ui;

namespace {

constexpr int kAutoSyncBox = 1002, kExportNodesBox = 1003;
constexpr int kPicture = 1004, kTitle = 1005, kVersion = 1007, kSupportLink = 1009, kExportersLink = 1011;
constexpr uint32_t kLinkTextColor = 0x00FF0000;  // COLORREF: blue

CRhinoUiControlKind controlKind(ControlKind kind) {
    switch (kind) {
        case ControlKind::checkBox: return CRhinoUiControlKind::checkBox;
        case ControlKind::pushButton: return CRhinoUiControlKind::pushButton;
        case ControlKind::defaultPushButton: return CRhinoUiControlKind::defaultPushButton;
        case ControlKind::bitmap: return CRhinoUiControlKind::bitmap;
        case ControlKind::text: break;
    }
    return CRhinoUiControlKind::text;
}

// The dialog resource as the SDK's template; false when the module lacks it.
bool loadTemplate(uint32_t id, CRhinoUiDialogTemplate& out) {
    const DialogResource* r = FindDialogResource(id);
    if (!r)
        return false;
    out.id = r->id;
    out.caption = r->caption;
    out.fontName = r->fontName;
    out.fontPoints = r->fontPoints;
    out.rect = {r->x, r->y, r->x + r->cx, r->y + r->cy};
    for (size_t i = 0; i < r->controlCount; ++i) {
        const ControlResource& c = r->controls[i];
        CRhinoUiDialogControl control;
        control.id = c.id;
        control.kind = controlKind(c.kind);
        control.text = c.text;
        control.rect = {c.x, c.y, c.x + c.cx, c.y + c.cy};
        control.notify = c.notify;
        out.controls.push_back(control);
    }
    return true;
}

PluginUi& uiOf(const CRhinoUiDialog& dialog) { return *static_cast<PluginUi*>(dialog.Data()); }

int commandId(uintptr_t wParam) { return int(wParam & 0xFFFF); }

bool isClose(int id) { return id == kDialogOk || id == kDialogCancel; }

intptr_t settingsProc(CRhinoUiDialog& dialog, uint32_t message, uintptr_t wParam, intptr_t) {
    PluginUi& ui = uiOf(dialog);
    PluginSettings* settings = ui.plugin ? ui.plugin->settings() : nullptr;
    if (message == WM_INITDIALOG) {
        if (!ui.smallIcon.IsEmpty())
            dialog.SendMessage(WM_SETICON, 0, reinterpret_cast<intptr_t>(&ui.smallIcon));
        if (settings) {
            dialog.SendDlgItemMessage(kAutoSyncBox, BM_SETCHECK,
                                      settings->CameraAutoSync() ? BST_CHECKED : BST_UNCHECKED, 0);
            dialog.SendDlgItemMessage(kExportNodesBox, BM_SETCHECK,
                                      settings->ExportNodes() ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        return 1;
    }
    if (message != WM_COMMAND)
        return 0;
    const int id = commandId(wParam);
    const bool checked = dialog.SendDlgItemMessage(id, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (isClose(id)) {
        dialog.End(0);
    } else if (id == kAutoSyncBox) {
        if (settings)
            settings->SetCameraAutoSync(checked);
    } else if (id == kExportNodesBox) {
        if (settings)
            settings->SetExportNodes(checked);
    } else {
        return 0;
    }
    return 1;
}

ON_wString linkOf(int id) {
    switch (id) {
        case kPicture: return HomePageUrl();
        case kSupportLink: return SupportPageUrl();
        case kExportersLink: return ExportersPageUrl();
        default: return {};
    }
}

intptr_t aboutProc(CRhinoUiDialog& dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    PluginUi& ui = uiOf(dialog);
    switch (message) {
        case WM_INITDIALOG:
            dialog.SetDlgItemText(kVersion, ui.aboutVersionText);
            if (!ui.aboutBitmap.IsEmpty())
                dialog.SendDlgItemMessage(kPicture, STM_SETIMAGE, 0, reinterpret_cast<intptr_t>(&ui.aboutBitmap));
            if (ui.titleFont)
                dialog.SendDlgItemMessage(kTitle, WM_SETFONT, reinterpret_cast<uintptr_t>(ui.titleFont.get()), 1);
            for (int link : {kSupportLink, kExportersLink})
                if (ui.linkFont)
                    dialog.SendDlgItemMessage(link, WM_SETFONT, reinterpret_cast<uintptr_t>(ui.linkFont.get()), 1);
            return 1;
        case WM_COMMAND: {
            const int id = commandId(wParam);
            if (isClose(id)) {
                dialog.End(0);
                return 1;
            }
            const ON_wString url = linkOf(id);
            if (url.IsEmpty())
                return 0;
            vantro::platform::shellOpen(std::u16string_view(url.Array(), size_t(url.Length())));
            return 1;
        }
        case WM_CTLCOLORSTATIC: {
            if (lParam != kSupportLink && lParam != kExportersLink)
                return 0;
            auto* colors = reinterpret_cast<CRhinoUiStaticColors*>(wParam);
            colors->transparent = true;
            colors->hasTextColor = true;
            colors->textColor = kLinkTextColor;
            return COLOR_MENU + 1;  // the system brush of COLOR_MENU
        }
        default: return 0;
    }
}

}  // namespace

void PluginUi::ShowSettingsDialog() {
    CRhinoUiDialogTemplate dialog;
    if (!loadTemplate(101, dialog))
        return;
    if (mainWindow == 0)
        mainWindow = RhinoApp().MainWnd();
    RhinoDialogBox(dialog, mainWindow, settingsProc, this);
}

void PluginUi::ShowAboutDialog() {
    CRhinoUiDialogTemplate dialog;
    if (!loadTemplate(102, dialog))
        return;
    if (mainWindow == 0)
        mainWindow = RhinoApp().MainWnd();
    RhinoDialogBox(dialog, mainWindow, aboutProc, this);
}
