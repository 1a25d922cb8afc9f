#include "sdk/app/rhino_ui_dialog.h"

#include <utility>

namespace {

RhinoDialogDriver& driver() {
    static RhinoDialogDriver* installed = new RhinoDialogDriver();
    return *installed;
}

int& screenDpi() {
    static int dpi = 96;
    return dpi;
}

uintptr_t command(int id, uint32_t code) { return uintptr_t(uint16_t(id)) | (uintptr_t(code) << 16); }

}  // namespace

CRhinoUiDialog::CRhinoUiDialog(const CRhinoUiDialogTemplate& dialogTemplate, vantro::platform::WindowHandle owner,
                               RhinoDialogProc procedure, void* data)
    : template_(dialogTemplate), owner_(owner), procedure_(procedure), data_(data) {}

const CRhinoUiDialogControl* CRhinoUiDialog::Control(int id) const {
    for (const CRhinoUiDialogControl& c : template_.controls)
        if (c.id == id && id != -1)
            return &c;
    return nullptr;
}

CRhinoUiDialogControl* CRhinoUiDialog::control(int id) { return const_cast<CRhinoUiDialogControl*>(Control(id)); }

intptr_t CRhinoUiDialog::SendMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_SETICON) {
        const CRhinoUiImage* previous = smallIcon_;
        if (wParam == 0)
            smallIcon_ = reinterpret_cast<const CRhinoUiImage*>(lParam);
        return reinterpret_cast<intptr_t>(previous);
    }
    return procedure_ ? procedure_(*this, message, wParam, lParam) : 0;
}

intptr_t CRhinoUiDialog::SendDlgItemMessage(int id, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    CRhinoUiDialogControl* c = control(id);
    if (!c)
        return 0;
    switch (message) {
        case BM_SETCHECK: c->checked = wParam == BST_CHECKED; return 0;
        case BM_GETCHECK: return c->checked ? BST_CHECKED : BST_UNCHECKED;
        case STM_SETIMAGE: {
            const CRhinoUiImage* previous = c->image;
            c->image = reinterpret_cast<const CRhinoUiImage*>(lParam);
            return reinterpret_cast<intptr_t>(previous);
        }
        case WM_SETFONT: c->font = reinterpret_cast<const CRhinoUiFont*>(wParam); return 0;
        default: return 0;
    }
}

bool CRhinoUiDialog::SetDlgItemText(int id, const ON_wString& text) {
    CRhinoUiDialogControl* c = control(id);
    if (!c)
        return false;
    c->text = text;
    return true;
}

void CRhinoUiDialog::End(intptr_t result) {
    ended_ = true;
    result_ = result;
}

bool CRhinoUiDialog::Click(int id) {
    CRhinoUiDialogControl* c = control(id);
    if (!c || ended_)
        return false;
    const bool isStatic = c->kind == CRhinoUiControlKind::text || c->kind == CRhinoUiControlKind::bitmap;
    if (isStatic && !c->notify)
        return false;
    if (c->kind == CRhinoUiControlKind::checkBox)
        c->checked = !c->checked;
    SendMessage(WM_COMMAND, command(id, isStatic ? STN_CLICKED : CRhinoUiButton::BN_CLICKED), 0);
    return true;
}

void CRhinoUiDialog::Cancel() {
    if (ended_)
        return;
    SendMessage(WM_COMMAND, command(kDialogCancel, CRhinoUiButton::BN_CLICKED), 0);
    if (!ended_)
        End(kDialogCancel);
}

CRhinoUiStaticColors CRhinoUiDialog::StaticColors(int id) {
    CRhinoUiStaticColors colors;
    if (!Control(id))
        return colors;
    colors.brush = SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<uintptr_t>(&colors), id);
    return colors;
}

intptr_t RhinoDialogBox(const CRhinoUiDialogTemplate& dialogTemplate, vantro::platform::WindowHandle owner,
                        RhinoDialogProc procedure, void* data) {
    if (!procedure)
        return -1;
    CRhinoUiDialog dialog(dialogTemplate, owner, procedure, data);
    dialog.SendMessage(WM_INITDIALOG, 0, reinterpret_cast<intptr_t>(data));
    if (!dialog.IsEnded() && driver())
        driver()(dialog);
    dialog.Cancel();
    return dialog.Result();
}

void RhinoSetDialogDriver(RhinoDialogDriver d) { driver() = std::move(d); }

int RhinoUiScreenDpi() { return screenDpi(); }

void RhinoUiSetScreenDpi(int dpi) {
    if (dpi >= 1)
        screenDpi() = dpi;
}
