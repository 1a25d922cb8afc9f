#pragma once
// Modal dialogs without a display: the stand-in of DialogBoxParamW and the calls a
// dialog procedure makes (SendDlgItemMessageW, SetDlgItemTextW, EndDialog, WM_SETICON,
// fonts, the colours of static controls).
//
// RhinoDialogBox builds the dialog from a template, sends the procedure
// WM_INITDIALOG, then hands the dialog to the driver the host program installed (the
// modal loop): the driver shows it and presses its controls (Click), which sends the
// procedure the WM_COMMAND a real control sends. When the driver returns and the
// procedure has not ended the dialog, it is closed as a user pressing Escape
// (WM_COMMAND IDCANCEL, then ended with IDCANCEL if the procedure still did not end it).
// Without a driver the dialog is opened and closed that way at once.
// Thread-safety: main thread only (the dialog is modal).

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/window.h"
#include "sdk/geometry/on_string.h"
#include "sdk/app/rhino_ui_dock_bar.h"
#include "sdk/app/rhino_ui_image.h"

// Messages and notifications, with the Windows values.
enum RhinoDialogMessage : uint32_t {
    WM_SETFONT = 0x0030,
    WM_SETICON = 0x0080,
    WM_INITDIALOG = 0x0110,
    WM_COMMAND = 0x0111,
    WM_CTLCOLORSTATIC = 0x0138,
    BM_GETCHECK = 0x00F0,
    BM_SETCHECK = 0x00F1,
    STM_SETIMAGE = 0x0172,
};
enum : uint32_t { BST_UNCHECKED = 0, BST_CHECKED = 1, STN_CLICKED = 0, COLOR_MENU = 4 };
enum : int { kDialogOk = 1, kDialogCancel = 2 };  // IDOK, IDCANCEL as control ids

// A font (the stand-in of an HFONT from CreateFontW). height < 0: character height
// in pixels, as CreateFontW takes it.
struct CRhinoUiFont {
    ON_wString face;
    int height = 0;
    int weight = 400;  // 700: bold
    bool italic = false;
    bool underline = false;
};

// What a WM_CTLCOLORSTATIC handler set on the control's device context.
struct CRhinoUiStaticColors {
    bool transparent = false;  // SetBkMode(TRANSPARENT)
    bool hasTextColor = false;
    uint32_t textColor = 0;  // COLORREF 0x00BBGGRR
    intptr_t brush = 0;      // what the procedure returned (a system colour index + 1 here)
};

enum class CRhinoUiControlKind { checkBox, pushButton, defaultPushButton, text, bitmap };

struct CRhinoUiDialogControl {
    int id = -1;  // -1: a static without id
    CRhinoUiControlKind kind = CRhinoUiControlKind::text;
    ON_wString text;
    CRhinoUiRect rect;                     // dialog units
    bool notify = false;                   // a static that reports clicks (SS_NOTIFY)
    bool checked = false;                  // check boxes
    const CRhinoUiFont* font = nullptr;    // WM_SETFONT; not owned; null: the dialog's
    const CRhinoUiImage* image = nullptr;  // STM_SETIMAGE; not owned
};

struct CRhinoUiDialogTemplate {
    uint32_t id = 0;
    ON_wString caption;
    ON_wString fontName;
    int fontPoints = 8;
    CRhinoUiRect rect;  // dialog units
    std::vector<CRhinoUiDialogControl> controls;
};

class CRhinoUiDialog;
// The dialog procedure: returns what the message's contract says (TRUE for a handled
// WM_INITDIALOG or WM_COMMAND, a brush for WM_CTLCOLORSTATIC, 0 when not handled).
using RhinoDialogProc = intptr_t (*)(CRhinoUiDialog& dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);

class CRhinoUiDialog {
public:
    CRhinoUiDialog(const CRhinoUiDialogTemplate& dialogTemplate, vantro::platform::WindowHandle owner,
                   RhinoDialogProc procedure, void* data);
    CRhinoUiDialog(const CRhinoUiDialog&) = delete;
    CRhinoUiDialog& operator=(const CRhinoUiDialog&) = delete;

    const CRhinoUiDialogTemplate& Template() const { return template_; }
    const std::vector<CRhinoUiDialogControl>& Controls() const { return template_.controls; }
    const CRhinoUiDialogControl* Control(int id) const;
    vantro::platform::WindowHandle Owner() const { return owner_; }
    // The value given to DialogBoxParamW (the procedure's own data).
    void* Data() const { return data_; }
    const CRhinoUiImage* SmallIcon() const { return smallIcon_; }

    // --- what a procedure calls ---

    // To the dialog: WM_SETICON (lParam: const CRhinoUiImage*, wParam 0 small) is
    // kept; every other message goes to the procedure.
    intptr_t SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // To a control: BM_SETCHECK, BM_GETCHECK, STM_SETIMAGE (lParam: const
    // CRhinoUiImage*), WM_SETFONT (wParam: const CRhinoUiFont*). 0 for an unknown
    // control or message.
    intptr_t SendDlgItemMessage(int id, uint32_t message, uintptr_t wParam, intptr_t lParam);
    bool SetDlgItemText(int id, const ON_wString& text);
    // EndDialog: the dialog closes with result once the procedure returns.
    void End(intptr_t result);
    bool IsEnded() const { return ended_; }
    intptr_t Result() const { return result_; }

    // --- host side ---

    // The user clicks control id: a check box toggles (BS_AUTOCHECKBOX) and notifies,
    // a button notifies, a static notifies only with SS_NOTIFY. The procedure gets
    // WM_COMMAND(id | BN_CLICKED << 16). False when there is no such control, it
    // does not report clicks, or the dialog has ended.
    bool Click(int id);
    // Escape or the close box: WM_COMMAND IDCANCEL; ends with IDCANCEL if the
    // procedure does not end the dialog.
    void Cancel();
    // The colours the procedure gives a static control when it is drawn:
    // WM_CTLCOLORSTATIC whose wParam points to the CRhinoUiStaticColors that stands in
    // for the control's device context, and whose lParam is the control id.
    CRhinoUiStaticColors StaticColors(int id);

private:
    CRhinoUiDialogControl* control(int id);

    CRhinoUiDialogTemplate template_;
    vantro::platform::WindowHandle owner_;
    RhinoDialogProc procedure_;
    void* data_;
    const CRhinoUiImage* smallIcon_ = nullptr;
    bool ended_ = false;
    intptr_t result_ = 0;
};

// DialogBoxParamW: the result given to End, IDCANCEL when the dialog was closed, -1
// for a null procedure.
intptr_t RhinoDialogBox(const CRhinoUiDialogTemplate& dialogTemplate, vantro::platform::WindowHandle owner,
                        RhinoDialogProc procedure, void* data);

// The modal loop of the host program; null removes it.
using RhinoDialogDriver = std::function<void(CRhinoUiDialog& dialog)>;
void RhinoSetDialogDriver(RhinoDialogDriver driver);

// The screen's dots per inch (GetDeviceCaps LOGPIXELSY); 96 unless the host program
// sets another (values below 1 are refused).
int RhinoUiScreenDpi();
void RhinoUiSetScreenDpi(int dpi);
