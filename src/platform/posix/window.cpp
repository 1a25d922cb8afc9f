#include "platform/window.h"

#include "posix/runtime_directory.h"
#include "posix/window_description.h"
#include "posix/unique_fd.h"
#include "platform/process.h"
#include "platform/utf.h"

#include <algorithm>
#include <functional>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vantro::platform {

using posix::retryOnInterrupt;
using posix::UniqueFd;

namespace {

constexpr char kDescriptionMagic[] = "vantro-window 1";
constexpr size_t kMaxDescriptionBytes = 64 * 1024;
constexpr char kSequenceFile[] = "window-sequence";
constexpr char kForegroundFile[] = "foreground";

std::string handleText(WindowHandle handle) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIX64, handle);
    return text;
}

std::string descriptionLeaf(WindowHandle handle) { return "window-" + handleText(handle) + ".desc"; }
std::string socketLeaf(WindowHandle handle) { return "window-" + handleText(handle) + ".sock"; }

// The handle named by "window-<16 hex>.desc"; 0 for any other file name.
WindowHandle handleFromLeaf(std::string_view leaf) {
    constexpr std::string_view head = "window-", tail = ".desc";
    if (leaf.size() != head.size() + 16 + tail.size() || leaf.substr(0, head.size()) != head ||
        leaf.substr(head.size() + 16) != tail)
        return 0;
    WindowHandle handle = 0;
    for (char c : leaf.substr(head.size(), 16)) {
        int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0)
            return 0;
        handle = handle << 4 | static_cast<WindowHandle>(digit);
    }
    return handle;
}

using Clock = std::chrono::steady_clock;

// timeoutMs < 0 waits forever (no deadline).
std::optional<Clock::time_point> monotonicDeadline(int timeoutMs) {
    if (timeoutMs < 0)
        return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

// Milliseconds left for poll: -1 without a deadline, 0 once it has passed.
int remainingMilliseconds(const std::optional<Clock::time_point>& deadline) {
    if (!deadline)
        return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<int64_t>(left, INT32_MAX));
}

bool parseUnsigned(std::string_view text, uint64_t& out) {
    if (text.empty() || text.size() > 20)
        return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        uint64_t next = value * 10 + static_cast<uint64_t>(c - '0');
        if (next / 10 != value)
            return false;  // overflow
        value = next;
    }
    out = value;
    return true;
}

// Class names and titles are one line each: backslash, LF and CR are escaped.
std::string escapeLine(std::u16string_view text) {
    std::string out;
    for (char c : toUtf8(text)) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out.push_back(c);
    }
    return out;
}

std::optional<std::u16string> unescapeLine(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size())
            return std::nullopt;
        switch (text[i]) {
            case '\\': out.push_back('\\'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            default: return std::nullopt;
        }
    }
    return fromUtf8(out);
}

}  // namespace

namespace posix {

std::string describe(const WindowInfo& info) {
    std::string text = kDescriptionMagic;
    text += "\nhandle " + std::to_string(info.handle);
    text += "\nownerPid " + std::to_string(info.ownerPid);
    text += "\nownerWindow " + std::to_string(info.ownerWindow);
    text += std::string("\nvisible ") + (info.visible ? "1" : "0");
    text += "\nclassName " + escapeLine(info.className);
    text += "\ntitle " + escapeLine(info.title);
    text += "\n";
    return text;
}

// Parses a description file. Anything malformed (a hand-edited or foreign file) is
// not a window; unknown keys are skipped so that later versions may add some.
std::optional<WindowInfo> parseDescription(std::string_view text) {
    WindowInfo info;
    bool seen[6] = {};
    size_t lineEnd = text.find('\n');
    if (lineEnd == std::string_view::npos || text.substr(0, lineEnd) != kDescriptionMagic)
        return std::nullopt;
    for (size_t start = lineEnd + 1; start < text.size(); start = lineEnd + 1) {
        lineEnd = text.find('\n', start);
        if (lineEnd == std::string_view::npos)
            return std::nullopt;  // every line ends with LF; a missing one means a cut file
        std::string_view line = text.substr(start, lineEnd - start);
        size_t space = line.find(' ');
        if (space == std::string_view::npos)
            return std::nullopt;
        std::string_view key = line.substr(0, space), value = line.substr(space + 1);
        uint64_t number = 0;
        if (key == "handle" && parseUnsigned(value, number) && number != 0) {
            info.handle = number;
            seen[0] = true;
        } else if (key == "ownerPid" && parseUnsigned(value, number) && number <= UINT32_MAX) {
            info.ownerPid = static_cast<uint32_t>(number);
            seen[1] = true;
        } else if (key == "ownerWindow" && parseUnsigned(value, number)) {
            info.ownerWindow = number;
            seen[2] = true;
        } else if (key == "visible" && (value == "0" || value == "1")) {
            info.visible = value == "1";
            seen[3] = true;
        } else if (key == "className" || key == "title") {
            std::optional<std::u16string> decoded = unescapeLine(value);
            if (!decoded)
                return std::nullopt;
            (key == "className" ? info.className : info.title) = std::move(*decoded);
            seen[key == "className" ? 4 : 5] = true;
        } else if (key == "handle" || key == "ownerPid" || key == "ownerWindow" || key == "visible") {
            return std::nullopt;  // a known key with a bad value
        }
    }
    if (!std::all_of(std::begin(seen), std::end(seen), [](bool b) { return b; }))
        return std::nullopt;
    return info;
}

}  // namespace posix

namespace {

using posix::describe;
using posix::parseDescription;

std::optional<std::string> readSmallFile(const std::string& path, size_t limit) {
    UniqueFd fd(retryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW); }));
    if (!fd.valid())
        return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t n = retryOnInterrupt([&] { return ::read(fd.get(), buffer, sizeof buffer); });
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return text;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > limit)
            return std::nullopt;
    }
}

// Writes a file whole under a temporary name and renames it into place, so readers
// see the old or the new content, never a part.
bool writeFileAtomically(const std::string& dir, const std::string& leaf, const std::string& content) {
    std::string temp = dir + "/." + leaf + "." + std::to_string(::getpid()) + ".tmp";
    UniqueFd fd(retryOnInterrupt(
        [&] { return ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600); }));
    if (!fd.valid())
        return false;
    size_t done = 0;
    while (done < content.size()) {
        ssize_t n = retryOnInterrupt([&] { return ::write(fd.get(), content.data() + done, content.size() - done); });
        if (n <= 0) {
            ::unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    fd.reset();
    if (::rename(temp.c_str(), (dir + "/" + leaf).c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// A socket address for a file in dir. sun_path holds 107 bytes; a longer path is
// reached through the directory's descriptor in /proc/self/fd, which the caller
// keeps open (dirHolder) while it uses the address.
struct SocketAddress {
    sockaddr_un address{};
    socklen_t length = 0;
    UniqueFd dirHolder;

    bool set(const std::string& dir, const std::string& leaf) {
        address.sun_family = AF_UNIX;
        std::string path = dir + "/" + leaf;
        if (path.size() >= sizeof address.sun_path) {
            dirHolder.reset(retryOnInterrupt([&] { return ::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); }));
            if (!dirHolder.valid())
                return false;
            path = "/proc/self/fd/" + std::to_string(dirHolder.get()) + "/" + leaf;
            if (path.size() >= sizeof address.sun_path)
                return false;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
        return true;
    }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address); }
};

void removeWindowFiles(const std::string& dir, WindowHandle handle) {
    ::unlink((dir + "/" + descriptionLeaf(handle)).c_str());
    ::unlink((dir + "/" + socketLeaf(handle)).c_str());
}

enum class SocketState { accepting, refusing, unknown };

// Whether some process still has the window's socket bound. A datagram connect
// sends nothing; it fails with ECONNREFUSED once the owner closed the socket (or
// died) and with ENOENT once the file is gone.
SocketState probeSocket(const std::string& dir, WindowHandle handle) {
    SocketAddress address;
    if (!address.set(dir, socketLeaf(handle)))
        return SocketState::unknown;
    UniqueFd sock(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sock.valid())
        return SocketState::unknown;
    if (retryOnInterrupt([&] { return ::connect(sock.get(), address.get(), address.length); }) == 0)
        return SocketState::accepting;
    return errno == ECONNREFUSED || errno == ENOENT ? SocketState::refusing : SocketState::unknown;
}

// Reads a window's description and checks that its owner lives; a dead window's
// files are removed on the way.
std::optional<WindowInfo> loadLiveWindow(const std::string& dir, WindowHandle handle) {
    if (handle == 0)
        return std::nullopt;
    std::optional<std::string> text = readSmallFile(dir + "/" + descriptionLeaf(handle), kMaxDescriptionBytes);
    if (!text)
        return std::nullopt;
    std::optional<WindowInfo> info = parseDescription(*text);
    if (!info || info->handle != handle)
        return std::nullopt;  // not one of ours: leave it alone
    if (!isProcessAlive(info->ownerPid) || probeSocket(dir, handle) == SocketState::refusing) {
        removeWindowFiles(dir, handle);
        return std::nullopt;
    }
    return info;
}

// Hands out the next handle from the counter file, under its flock. Handles are
// never reused while the runtime directory lives, and rise in publication order.
WindowHandle allocateHandle(const std::string& dir) {
    std::string path = dir + "/" + kSequenceFile;
    UniqueFd fd(
        retryOnInterrupt([&] { return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600); }));
    if (!fd.valid() || retryOnInterrupt([&] { return ::flock(fd.get(), LOCK_EX); }) != 0)
        return 0;
    char text[32] = {};
    ssize_t n = retryOnInterrupt([&] { return ::pread(fd.get(), text, sizeof text - 1, 0); });
    uint64_t last = 0;
    std::string_view content(text, n > 0 ? static_cast<size_t>(n) : 0);
    while (!content.empty() && (content.back() == '\n' || content.back() == ' '))
        content.remove_suffix(1);
    if (!parseUnsigned(content, last))
        last = 0;  // a damaged counter: skip past handles whose files still exist
    WindowHandle handle = last + 1;
    struct stat info {};
    while (handle == 0 || ::stat((dir + "/" + descriptionLeaf(handle)).c_str(), &info) == 0 ||
           ::stat((dir + "/" + socketLeaf(handle)).c_str(), &info) == 0)
        ++handle;
    std::string updated = std::to_string(handle) + "\n";
    if (retryOnInterrupt([&] { return ::pwrite(fd.get(), updated.data(), updated.size(), 0); }) !=
            static_cast<ssize_t>(updated.size()) ||
        ::ftruncate(fd.get(), static_cast<off_t>(updated.size())) != 0)
        return 0;
    return handle;
}

}  // namespace

std::string runtimeDirectory() { return posix::runtimeDirectory(); }

Window::~Window() { destroy(); }

Window::Window(Window&& other) noexcept
    : info_(std::exchange(other.info_, WindowInfo{})), socket_(std::exchange(other.socket_, -1)) {}

Window& Window::operator=(Window&& other) noexcept {
    if (this != &other) {
        destroy();
        info_ = std::exchange(other.info_, WindowInfo{});
        socket_ = std::exchange(other.socket_, -1);
    }
    return *this;
}

bool Window::publish(const WindowInfo& info, Window& out) {
    out.destroy();
    std::string dir = posix::runtimeDirectory();
    if (dir.empty())
        return false;
    WindowInfo published = info;
    published.handle = allocateHandle(dir);
    published.ownerPid = currentProcessId();
    if (published.handle == 0)
        return false;

    SocketAddress address;
    UniqueFd sock(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!sock.valid() || !address.set(dir, socketLeaf(published.handle)) ||
        ::bind(sock.get(), address.get(), address.length) != 0)
        return false;
    // The description appears last: a window that can be enumerated can be posted to.
    if (!writeFileAtomically(dir, descriptionLeaf(published.handle), describe(published))) {
        removeWindowFiles(dir, published.handle);
        return false;
    }
    out.info_ = std::move(published);
    out.socket_ = sock.release();
    return true;
}

bool Window::receive(WindowMessage& out, int timeoutMs) {
    if (socket_ < 0)
        return false;
    auto deadline = monotonicDeadline(timeoutMs);
    for (;;) {
        unsigned char bytes[kWindowMessageSize + 1];
        ssize_t n = retryOnInterrupt([&] { return ::recv(socket_, bytes, sizeof bytes, MSG_DONTWAIT); });
        if (n == static_cast<ssize_t>(kWindowMessageSize)) {
            out = decodeWindowMessage(bytes);
            return true;
        }
        if (n >= 0)
            continue;  // a datagram of the wrong size is not a message: drop it
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        int wait = remainingMilliseconds(deadline);
        if (wait == 0)
            return false;
        pollfd ready{socket_, POLLIN, 0};
        if (::poll(&ready, 1, wait) < 0 && errno != EINTR)
            return false;
    }
}

bool Window::setForeground() {
    if (socket_ < 0)
        return false;
    std::string dir = posix::runtimeDirectory();
    return !dir.empty() && writeFileAtomically(dir, kForegroundFile, std::to_string(info_.handle) + "\n");
}

void Window::destroy() {
    if (socket_ < 0)
        return;
    std::string dir = posix::runtimeDirectory();
    if (!dir.empty())
        removeWindowFiles(dir, info_.handle);  // description first: nobody finds a window about to go
    ::close(socket_);
    socket_ = -1;
    info_ = WindowInfo{};
}

std::vector<WindowHandle> enumWindows() {
    std::vector<WindowHandle> live;
    std::string dir = posix::runtimeDirectory();
    if (dir.empty())
        return live;
    std::vector<WindowHandle> candidates;
    if (DIR* listing = ::opendir(dir.c_str())) {
        while (dirent* entry = ::readdir(listing))
            if (WindowHandle handle = handleFromLeaf(entry->d_name))
                candidates.push_back(handle);
        ::closedir(listing);
    }
    std::sort(candidates.begin(), candidates.end(), std::greater<>());
    for (WindowHandle handle : candidates)
        if (loadLiveWindow(dir, handle))
            live.push_back(handle);
    return live;
}

bool isWindow(WindowHandle handle) {
    WindowInfo ignored;
    return getWindowInfo(handle, ignored);
}

bool getWindowInfo(WindowHandle handle, WindowInfo& out) {
    std::string dir = posix::runtimeDirectory();
    if (dir.empty())
        return false;
    std::optional<WindowInfo> info = loadLiveWindow(dir, handle);
    if (!info)
        return false;
    out = std::move(*info);
    return true;
}

bool postMessage(WindowHandle handle, uint32_t message, uint64_t wParam, uint64_t lParam) {
    if (handle == 0)
        return false;
    std::string dir = posix::runtimeDirectory();
    SocketAddress address;
    if (dir.empty() || !address.set(dir, socketLeaf(handle)))
        return false;
    UniqueFd sock(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sock.valid())
        return false;
    unsigned char bytes[kWindowMessageSize];
    encodeWindowMessage(WindowMessage{message, wParam, lParam}, bytes);
    ssize_t sent = retryOnInterrupt([&] {
        return ::sendto(sock.get(), bytes, sizeof bytes, MSG_DONTWAIT | MSG_NOSIGNAL, address.get(), address.length);
    });
    if (sent == static_cast<ssize_t>(sizeof bytes))
        return true;
    // The socket file exists but nobody has it bound: its owner is gone.
    if (errno == ECONNREFUSED)
        removeWindowFiles(dir, handle);
    return false;
}

WindowHandle foregroundWindow() {
    std::string dir = posix::runtimeDirectory();
    if (dir.empty())
        return 0;
    std::optional<std::string> text = readSmallFile(dir + "/" + kForegroundFile, 64);
    if (!text)
        return 0;
    std::string_view content = *text;
    while (!content.empty() && content.back() == '\n')
        content.remove_suffix(1);
    uint64_t handle = 0;
    if (!parseUnsigned(content, handle) || !isWindow(handle))
        return 0;
    return handle;
}

}  // namespace vantro::platform
