// Windows and posted messages as the desktop has them: a published window is a real
// top-level window with the given class and title, and a posted message lands in the
// queue of the thread that created it. That thread must also receive and destroy it
// (the one-thread-at-a-time rule of the header is, on Windows, "the creating thread").

#include "platform/window.h"

#include <filesystem>
#include <mutex>
#include <set>

#include "platform/utf.h"
#include "win32/windows_api.h"

namespace vantro::platform {

namespace {

HWND toHwnd(WindowHandle handle) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle)); }
WindowHandle fromHwnd(HWND window) { return static_cast<WindowHandle>(reinterpret_cast<uintptr_t>(window)); }

// Registers each class name once per process; later windows of a class reuse it.
bool registerClass(const std::wstring& className) {
    static std::mutex lock;
    static std::set<std::wstring> registered;
    std::lock_guard<std::mutex> guard(lock);
    if (registered.count(className))
        return true;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ::DefWindowProcW;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className.c_str();
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    registered.insert(className);
    return true;
}

std::u16string windowText(HWND window) {
    wchar_t buffer[1024];
    const int units = ::GetWindowTextW(window, buffer, 1024);
    return win32::narrowWide(buffer, units > 0 ? static_cast<size_t>(units) : 0);
}

int remainingMilliseconds(uint64_t deadline) {
    const uint64_t now = ::GetTickCount64();
    return now >= deadline ? 0 : static_cast<int>(std::min<uint64_t>(deadline - now, INT32_MAX));
}

}  // namespace

Window::~Window() { destroy(); }

Window::Window(Window&& other) noexcept : info_(std::move(other.info_)), socket_(other.socket_) {
    other.info_.handle = 0;
}

Window& Window::operator=(Window&& other) noexcept {
    if (this != &other) {
        destroy();
        info_ = std::move(other.info_);
        socket_ = other.socket_;
        other.info_.handle = 0;
    }
    return *this;
}

bool Window::publish(const WindowInfo& info, Window& out) {
    out.destroy();
    const std::wstring className = win32::wide(info.className);
    if (className.empty() || !registerClass(className))
        return false;
    // An owned window is a popup of its owner; an unowned one a normal main window.
    const DWORD style =
        (info.ownerWindow ? WS_POPUP | WS_CAPTION : WS_OVERLAPPEDWINDOW) | (info.visible ? WS_VISIBLE : 0);
    HWND window =
        ::CreateWindowExW(0, className.c_str(), win32::wide(info.title).c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                          320, 200, toHwnd(info.ownerWindow), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!window)
        return false;
    out.info_ = info;
    out.info_.handle = fromHwnd(window);
    out.info_.ownerPid = ::GetCurrentProcessId();
    return true;
}

bool Window::receive(WindowMessage& out, int timeoutMs) {
    if (info_.handle == 0)
        return false;
    HWND own = toHwnd(info_.handle);
    const uint64_t deadline = timeoutMs < 0 ? UINT64_MAX : ::GetTickCount64() + static_cast<uint64_t>(timeoutMs);
    for (;;) {
        MSG message;
        // What others post to us are application messages. Only this window's are
        // taken: a thread may own several windows, and a message for another one must
        // stay queued for that window's receive.
        if (::PeekMessageW(&message, own, WM_USER, 0xFFFF, PM_REMOVE)) {
            out.message = message.message;
            out.wParam = message.wParam;
            out.lParam = static_cast<uint64_t>(message.lParam);
            return true;
        }
        // The system's own (painting, activation, timers) go to the window procedure.
        while (::PeekMessageW(&message, nullptr, 0, WM_USER - 1, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        const int wait = timeoutMs < 0 ? -1 : remainingMilliseconds(deadline);
        if (wait == 0)
            return false;
        // Without MWMO_INPUTAVAILABLE: only input that arrived after the peeks above
        // ends the wait, so another window's pending message does not spin this loop.
        ::MsgWaitForMultipleObjectsEx(0, nullptr, wait < 0 ? INFINITE : static_cast<DWORD>(wait), QS_ALLINPUT, 0);
    }
}

bool Window::setForeground() { return info_.handle != 0 && ::SetForegroundWindow(toHwnd(info_.handle)); }

void Window::destroy() {
    if (info_.handle != 0)
        ::DestroyWindow(toHwnd(info_.handle));
    info_.handle = 0;
}

std::vector<WindowHandle> enumWindows() {
    std::vector<WindowHandle> handles;
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            reinterpret_cast<std::vector<WindowHandle>*>(context)->push_back(fromHwnd(window));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&handles));
    return handles;
}

bool isWindow(WindowHandle handle) { return handle != 0 && ::IsWindow(toHwnd(handle)); }

bool getWindowInfo(WindowHandle handle, WindowInfo& out) {
    HWND window = toHwnd(handle);
    if (handle == 0 || !::IsWindow(window))
        return false;
    WindowInfo info;
    info.handle = handle;
    DWORD pid = 0;
    if (!::GetWindowThreadProcessId(window, &pid))
        return false;
    info.ownerPid = pid;
    info.ownerWindow = fromHwnd(::GetWindow(window, GW_OWNER));
    info.visible = ::IsWindowVisible(window) != FALSE;
    wchar_t className[256];
    const int units = ::GetClassNameW(window, className, 256);
    if (units <= 0)
        return false;
    info.className = win32::narrowWide(className, static_cast<size_t>(units));
    info.title = windowText(window);
    out = std::move(info);
    return true;
}

bool postMessage(WindowHandle handle, uint32_t message, uint64_t wParam, uint64_t lParam) {
    return handle != 0 &&
           ::PostMessageW(toHwnd(handle), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

WindowHandle foregroundWindow() {
    HWND window = ::GetForegroundWindow();
    return window && ::IsWindow(window) ? fromHwnd(window) : 0;
}

std::string runtimeDirectory() {
    std::u16string dir = win32::environmentVariable(L"VANTRO_RUNTIME_DIR");
    if (dir.empty()) {
        const std::u16string local = win32::environmentVariable(L"LOCALAPPDATA");
        if (local.empty())
            return {};
        dir = local + u"\\Vantro";
    }
    const std::string path = toUtf8(dir);
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(std::u16string(dir)), error);
    return std::filesystem::is_directory(std::filesystem::path(std::u16string(dir)), error) ? path : std::string();
}

}  // namespace vantro::platform
