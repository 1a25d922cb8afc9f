#pragma once
// The window/message stand-in: processes publish top-level "windows" (class name,
// title, owner process, owner window, visibility) that other processes enumerate,
// and post messages (id, wParam, lParam) to them without blocking.
//
// Each window lives in the runtime directory ($VANTRO_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/vantro, else /tmp/vantro-<uid> or a private alternative when
// another user made that one first) as a description file and a Unix
// datagram socket; see docs/platform.md for the exact format. A window whose owner
// died is detected (the owner process is gone or its socket refuses) and treated
// as destroyed; its files are removed by whoever notices.
//
// A message is 20 bytes, little-endian: u32 message, u64 wParam, u64 lParam. A
// window's queue is the socket's receive queue, which Linux bounds by
// net.unix.max_dgram_qlen (usually 10 unread datagrams, plus one): posting to a full
// queue fails at once, as PostMessage does when a queue is full.
//
// Thread-safety: the free functions may be called from any thread. One Window
// object must not be used from two threads at once.

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

    // Publishes a window described by info (handle and ownerPid are ignored): a new
    // handle, rising with every publication, and this process as owner are filled
    // into out.info(). out is destroyed first. False when the runtime directory
    // cannot be used; nothing is left behind then.
    static bool publish(const WindowInfo& info, Window& out);

    // Waits up to timeoutMs (-1 forever, 0 polls) for a posted message. False on
    // timeout or when the window is not published. Datagrams that are not 20 bytes
    // long are dropped unread.
    bool receive(WindowMessage& out, int timeoutMs);

    // Makes this window the desktop's foreground window. False when not published.
    bool setForeground();

    // Withdraws the window: it leaves enumWindows, posts to it fail, unread messages
    // are dropped. Safe on a window that is not published.
    void destroy();
    WindowHandle handle() const { return info_.handle; }
    const WindowInfo& info() const { return info_; }

private:
    WindowInfo info_;
    int socket_ = -1;
};

// Handles of the live windows of every process, the newest first (descending handles),
// as Windows lists a new top-level window in front of the ones before it. Dead windows
// found on the way are cleaned up.
std::vector<WindowHandle> enumWindows();

// False when the handle does not name a live window.
bool isWindow(WindowHandle handle);
// Fills out with the window's description; false (out unchanged) when not live.
bool getWindowInfo(WindowHandle handle, WindowInfo& out);

// Queues a message to the window without waiting for it to be read. False when the
// window is gone or its queue is full.
bool postMessage(WindowHandle handle, uint32_t message, uint64_t wParam, uint64_t lParam);

// The foreground window, 0 when none is set or it is no longer live.
WindowHandle foregroundWindow();

// The runtime directory in use: a folder of the user's closed to everyone else
// (created 0700; one that is a symbolic link or someone else's is refused with a
// line on the debug output, and the next candidate used); empty when none can be had.
std::string runtimeDirectory();

// The wire format of a posted message.
constexpr size_t kWindowMessageSize = 20;
void encodeWindowMessage(const WindowMessage& message, unsigned char* bytes);  // writes 20 bytes
WindowMessage decodeWindowMessage(const unsigned char* bytes);                 // reads 20 bytes

}  // namespace vantro::platform
