// LiveConnection: connection names in the registry, existence checks and waking the
// peer through its main windows.

#include <chrono>
#include <cstring>
#include <thread>

#include "link/live_connection.h"
#include "platform/parallel.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace VantroAPI {

namespace platform = vantro::platform;

namespace {

constexpr size_t kMaxValueNameUnits = kMaxAnnouncedNameUnits + 1;  // the enumeration's buffer, with its terminator
constexpr uint32_t kMaxProcesses = 4096;
constexpr size_t kMaxPathUnits = 260;
constexpr auto kWindowListTimeout = std::chrono::milliseconds(25);

// Takes mutex within timeout on the monotonic clock. Polls try_lock instead of
// calling try_lock_for: libstdc++ implements that with pthread_mutex_clocklock,
// which ThreadSanitizer does not see, so every later unlock would be reported.
bool lockWithin(std::timed_mutex& mutex, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!mutex.try_lock()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

std::u16string upperAscii(std::u16string text) {
    for (char16_t& c : text) {
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return text;
}

// The process's main window: the first visible top-level window without owner that
// pid published whose class contains wantedClass (upper-cased). The class is part of
// the search, not a check on its result: a splash or tool window in front of the
// renderer's main window must not hide it, or the wake-up is lost. 0 when none.
WindowHandle mainWindowOf(uint32_t pid, std::u16string_view wantedClass) {
    platform::WindowInfo info;
    for (WindowHandle handle : platform::enumWindows()) {
        if (!platform::getWindowInfo(handle, info) || info.ownerPid != pid || info.ownerWindow != 0 || !info.visible)
            continue;
        if (info.className.size() < kMaxPathUnits &&
            upperAscii(info.className).find(wantedClass) != std::u16string::npos)
            return handle;
    }
    return 0;
}

void examineProcess(uint32_t pid, WindowList& out) {
    if (pid == 0)
        return;
    std::u16string path;
    if (!platform::queryProcessImagePath(pid, path, kMaxPathUnits))
        return;
    path = upperAscii(std::move(path));
    std::u16string_view wantedClass;
    if (path.find(u"VELORA") != std::u16string::npos)
        wantedClass = u"START";
    else if (path.find(u"PENDRAX") != std::u16string::npos)
        wantedClass = u"PENDRAX EDITOR";
    else
        return;
    if (const WindowHandle window = mainWindowOf(pid, wantedClass))
        out.push_back(window);
}

}  // namespace

// --- Registry ---------------------------------------------------------------------------

int32_t LiveConnection::RegisterName(const std::u16string& name) {
    if (name.empty())
        return -1;
    platform::RegistryKey key;
    long rc = platform::RegistryKey::open(platform::RegHive::currentUser, kConnectionsKey, key);
    if (rc == platform::kErrorFileNotFound)
        rc = platform::RegistryKey::create(platform::RegHive::currentUser, kConnectionsKey, key);
    if (rc != platform::kErrorSuccess)
        return -1;
    return key.setDword(name, 1) == platform::kErrorSuccess ? 0 : -1;
}

int32_t LiveConnection::UnregisterName(const std::u16string& name) {
    if (name.empty())
        return -1;
    platform::RegistryKey key;
    if (platform::RegistryKey::open(platform::RegHive::currentUser, kConnectionsKey, key) != platform::kErrorSuccess)
        return -1;
    return key.deleteValue(name) == platform::kErrorSuccess ? 0 : -1;
}

int32_t LiveConnection::Register() {
    if (registered_.load())
        return 0;
    if (name_.empty())
        return -1;
    registered_.store(true);
    RegisterName(name_);
    return 0;
}

bool LiveConnection::Exists(const std::u16string& name) {
    if (name.empty())
        return false;
    return platform::SharedMemory::exists(mappingName(name));
}

std::vector<std::u16string>& LiveConnection::ListConnections(std::vector<std::u16string>& out, uint32_t valueFilter) {
    out.clear();
    std::vector<std::u16string> names;
    {
        platform::RegistryKey key;
        if (platform::RegistryKey::open(platform::RegHive::currentUser, kConnectionsKey, key) !=
            platform::kErrorSuccess)
            return out;
        // One read of the key: by index, every value would read the whole file again.
        std::vector<platform::RegValue> values;
        if (key.enumValues(values) != platform::kErrorSuccess)
            return out;
        for (platform::RegValue& value : values) {
            // What would not fit the enumeration's fixed buffers is skipped.
            if (value.name.size() >= kMaxValueNameUnits || value.data.size() > 4)
                continue;
            if (valueFilter != 0) {
                uint32_t data = 0;
                if (!value.data.empty())
                    std::memcpy(&data, value.data.data(), value.data.size());
                if (data != valueFilter)
                    continue;
            }
            names.push_back(std::move(value.name));
        }
    }
    std::vector<std::u16string> stale;
    for (std::u16string& name : names) {
        if (name.empty())
            continue;
        if (!Exists(name)) {
            stale.push_back(std::move(name));
            continue;
        }
        out.push_back(std::move(name));
    }
    // Announcements of links that are gone leave in one change of the key, not one
    // rewrite of the file each.
    if (!stale.empty()) {
        platform::RegistryKey key;
        if (platform::RegistryKey::open(platform::RegHive::currentUser, kConnectionsKey, key) ==
            platform::kErrorSuccess)
            key.deleteValues(stale);
    }
    return out;
}

// --- Peer windows ----------------------------------------------------------------------------

bool LiveConnection::IsOwnerForeground() {
    if (!IsOpen())
        return false;
    const uint32_t creator = load(view_, header::kCreatorPid);
    if (creator == ownProcessId_)
        return false;
    const WindowHandle foreground = platform::foregroundWindow();
    platform::WindowInfo info;
    return foreground != 0 && platform::getWindowInfo(foreground, info) && info.ownerPid == creator;
}

WindowList LiveConnection::FindPeerWindows() {
    WindowList windows;
    std::vector<uint32_t> ids(kMaxProcesses);
    uint32_t bytes = 0;
    if (!platform::enumProcesses(ids.data(), kMaxProcesses * 4, &bytes))
        return windows;
    const size_t count = std::min<size_t>(bytes / 4, kMaxProcesses);
    if (count == 1) {
        examineProcess(ids[0], windows);
        return windows;
    }
    // One list per process: the bodies run at once and share nothing.
    std::vector<WindowList> found(count);
    platform::parallelFor(0, count, [&](size_t i) { examineProcess(ids[i], found[i]); });
    for (const WindowList& list : found)
        windows.insert(windows.end(), list.begin(), list.end());
    return windows;
}

int32_t LiveConnection::NotifyPeer(uint64_t lParam, uint64_t wParam) {
    if (!lockWithin(windowListMutex_, kWindowListTimeout))
        return -1;
    std::unique_lock<std::timed_mutex> guard(windowListMutex_, std::adopt_lock);
    if (resetWindowList_.exchange(false))
        peerWindows_.clear();
    for (WindowHandle window : peerWindows_) {
        if (!platform::isWindow(window)) {
            peerWindows_.clear();
            break;
        }
    }
    if (peerWindows_.empty())
        peerWindows_ = FindPeerWindows();
    int32_t result = -1;
    for (WindowHandle window : peerWindows_) {
        if (platform::isWindow(window) && platform::postMessage(window, kWakeMessage, wParam, lParam))
            result = 0;
    }
    return result;
}

}  // namespace VantroAPI
