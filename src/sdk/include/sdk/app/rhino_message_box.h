#pragma once
// Modal message boxes: the stand-in of the system's MessageBoxW that plug-ins show
// through the host application.
//
// A headless host has no window to put a box in, so the box goes to a handler the
// host program installs (vantro-host prints it and answers it from its command line
// or the terminal). Every box shown is also kept in a history, so tests can see the
// exact title, text and flags. Without a handler the box is answered with its default
// button, as a user pressing Enter would.
//
// Flags are the Windows MB_* values; only the button set (low 4 bits), the icon
// (bits 4-7) and the default button (bits 8-11) are looked at.
// Thread-safety: main thread only (the box is modal).

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/window.h"
#include "sdk/geometry/on_string.h"
#include "sdk/app/rhino_ui_image.h"

// Button sets, icons, default buttons (MB_*), and the results (ID*).
enum RhinoMessageBoxFlags : uint32_t {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
    MB_DEFBUTTON3 = 0x200,
};
enum RhinoMessageBoxResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct RhinoMessageBox {
    vantro::platform::WindowHandle owner = 0;
    ON_wString text;
    ON_wString title;
    uint32_t flags = 0;
    int result = 0;  // filled once answered
    // The box's window icon when a hook set one (WM_SETICON); null: the system's own.
    // Not owned: the hook's owner keeps the picture alive.
    const CRhinoUiImage* smallIcon = nullptr;
};

// The handler answers a box (returns one of the ID* results of its button set). A
// result that is not one of the box's buttons is replaced by the default button.
using RhinoMessageBoxHandler = std::function<int(const RhinoMessageBox& box)>;

// Installs the handler (null removes it). The host program calls this at start-up.
void RhinoSetMessageBoxHandler(RhinoMessageBoxHandler handler);

// Shows a box and waits for the answer (MessageBoxW's contract): the result is the
// button pressed. The box and its result are appended to the history.
int RhinoShowMessageBox(vantro::platform::WindowHandle owner, const char16_t* text, const char16_t* title,
                        uint32_t flags);

// The stand-in of a thread's WH_CBT hook, as far as message boxes reach it: when a box
// is activated (before it is answered) the latest hook installed is called with
// HCBT_ACTIVATE (5) and the box, and may set the box's window icon (smallIcon, as
// WM_SETICON does). A hook passes the call on with RhinoCallNextCbtHook or keeps it.
inline constexpr int HCBT_ACTIVATE = 5;
using RhinoCbtHook = std::function<intptr_t(int code, RhinoMessageBox& box)>;
// SetWindowsHookExW(WH_CBT): a handle (never 0) for unhooking. Null hook: 0.
uintptr_t RhinoSetCbtHook(RhinoCbtHook hook);
// UnhookWindowsHookEx: false for an unknown handle.
bool RhinoUnhookCbtHook(uintptr_t handle);
// CallNextHookEx: calls the hook installed before handle; 0 when there is none.
intptr_t RhinoCallNextCbtHook(uintptr_t handle, int code, RhinoMessageBox& box);

// The buttons a box offers, in order (e.g. {IDYES, IDNO}), and its default button.
std::vector<int> RhinoMessageBoxButtons(uint32_t flags);
int RhinoMessageBoxDefault(uint32_t flags);

// Every box shown so far in this process, oldest first.
const std::vector<RhinoMessageBox>& RhinoMessageBoxHistory();
void RhinoClearMessageBoxHistory();
