#pragma once
// The window/message stand-in: processes publish top-level "windows" (class name,
// title, owner process, owner window, visibility) that other processes enumerate,
// and post messages (id, wParam, lParam) to them without blocking.
//
// Each window lives in the runtime directory ($VANTRO_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/vantro, else /tmp/vantro-<uid>) as a description file and a Unix
// datagram socket; see docs/platform.md for the exact format. A window whose owner
// died is detected (the owner process is gone or its socket refuses) and treated
// as destroyed.

#include <cstdint>
#include <string>
#include <vector>

namespace vantro::platform {

using WindowHandle = uint64_t;  // 0 = no window

struct WindowInfo {
    WindowHandle handle = 0;
    uint32_t ownerPid = 0;
    WindowHandle ownerWindow = 0;  // 0 = top-level window without owner
    bool visible = true;
    std::u16string className;
    std::u16string title;
};

struct WindowMessage {
    uint32_t message = 0;
    uint64_t wParam = 0;
    uint64_t lParam = 0;
};

// A window published by this process. Destroying it withdraws the window.
class Window {
public:
    Window() = default;
    ~Window();
    Window(Window&& other) noexcept;
    Window& operator=(Window&& other) noexcept;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Publishes a window; info.handle and info.ownerPid are filled in. False on failure.
    static bool publish(const WindowInfo& info, Window& out);

    // Waits up to timeoutMs (-1 forever) for a posted message. False on timeout.
    bool receive(WindowMessage& out, int timeoutMs);

    // Makes this window the desktop's foreground window.
    bool setForeground();

    void destroy();
    WindowHandle handle() const { return info_.handle; }
    const WindowInfo& info() const { return info_; }

private:
    WindowInfo info_;
    int socket_ = -1;
};

// Handles of the live top-level windows, in publication order.
std::vector<WindowHandle> enumWindows();

// False when the handle does not name a live window.
bool isWindow(WindowHandle handle);
bool getWindowInfo(WindowHandle handle, WindowInfo& out);

// Queues a message to the window without waiting for it to be read. False when the
// window is gone or its queue is full.
bool postMessage(WindowHandle handle, uint32_t message, uint64_t wParam, uint64_t lParam);

// The foreground window, 0 when none is live.
WindowHandle foregroundWindow();

}  // namespace vantro::platform
