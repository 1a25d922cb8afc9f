#include "platform/process.h"

#include "posix/unique_fd.h"
#include "platform/utf.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace vantro::platform {
namespace {

// Parses a /proc entry name; 0 for anything that is not a plain positive pid.
uint32_t parsePid(const char* text) {
    uint64_t value = 0;
    if (*text == '\0')
        return 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9')
            return 0;
        value = value * 10 + static_cast<uint64_t>(*c - '0');
        if (value > INT_MAX)
            return 0;
    }
    return static_cast<uint32_t>(value);
}

// The state letter of /proc/<pid>/stat ('R', 'S', 'Z', ...), 0 when unreadable. The
// command name in parentheses may itself hold ')' or spaces, so scan from the last ')'.
char processState(uint32_t pid) {
    std::string path = "/proc/" + std::to_string(pid) + "/stat";
    posix::UniqueFd fd(posix::retryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
    if (!fd.valid())
        return 0;
    char buffer[512];
    ssize_t n = posix::retryOnInterrupt([&] { return ::read(fd.get(), buffer, sizeof buffer - 1); });
    if (n <= 0)
        return 0;
    std::string_view text(buffer, static_cast<size_t>(n));
    size_t close = text.rfind(')');
    if (close == std::string_view::npos || close + 2 >= text.size())
        return 0;
    return text[close + 2];
}

}  // namespace

uint32_t currentProcessId() { return static_cast<uint32_t>(::getpid()); }

bool enumProcesses(uint32_t* ids, uint32_t capacityBytes, uint32_t* bytesReturned) {
    if (!bytesReturned || (!ids && capacityBytes >= sizeof(uint32_t)))
        return false;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return false;
    uint32_t capacity = capacityBytes / sizeof(uint32_t);
    uint32_t count = 0;
    // Like EnumProcesses, a full array is a success; the caller sees bytesReturned
    // equal to its capacity and retries with a larger one.
    while (count < capacity) {
        errno = 0;
        dirent* entry = ::readdir(proc);
        if (!entry)
            break;
        if (uint32_t pid = parsePid(entry->d_name))
            ids[count++] = pid;
    }
    bool failed = errno != 0 && count < capacity;
    ::closedir(proc);
    if (failed)
        return false;
    *bytesReturned = count * static_cast<uint32_t>(sizeof(uint32_t));
    return true;
}

bool queryProcessImagePath(uint32_t pid, std::u16string& out, size_t maxUnits) {
    if (pid == 0 || pid > INT_MAX)
        return false;
    std::string link = "/proc/" + std::to_string(pid) + "/exe";
    std::string target(PATH_MAX, '\0');
    for (;;) {
        ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
        if (n < 0)
            return false;  // gone, a kernel thread, or another user's process
        if (static_cast<size_t>(n) < target.size()) {
            target.resize(static_cast<size_t>(n));
            break;
        }
        target.resize(target.size() * 2);  // possibly truncated: read again with more room
    }
    std::u16string path = fromUtf8(target);
    // maxUnits is the buffer size with its terminator, as for QueryFullProcessImageNameW.
    if (path.empty() || path.size() >= maxUnits)
        return false;
    out = std::move(path);
    return true;
}

bool isProcessAlive(uint32_t pid) {
    if (pid == 0 || pid > INT_MAX)
        return false;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return false;
    // A zombie has ended: it only waits for its parent to collect the exit status.
    char state = processState(pid);
    return state != 'Z' && state != 'X';
}

}  // namespace vantro::platform
