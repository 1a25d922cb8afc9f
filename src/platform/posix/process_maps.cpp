#include "posix/process_maps.h"

#include "posix/unique_fd.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/sysmacros.h>

namespace vantro::platform::posix {
namespace {

// A maps file grows with the process's mappings; a few MiB covers any real process
// and bounds what reading one costs.
constexpr size_t kMaxMapsBytes = size_t(8) << 20;

// Skips one field of non-blank characters and the blanks after it.
std::string_view skipField(std::string_view line) {
    size_t end = line.find(' ');
    if (end == std::string_view::npos)
        return {};
    line.remove_prefix(end);
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    return line;
}

template <typename Number>
bool parseNumber(std::string_view& text, Number& out, int base) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    if (error != std::errc() || end == text.data())
        return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return true;
}

bool lineNamesFile(std::string_view line, unsigned major, unsigned minor, uint64_t inode) {
    line = skipField(skipField(skipField(line)));  // address range, permissions, offset
    unsigned lineMajor = 0, lineMinor = 0;
    uint64_t lineInode = 0;
    if (!parseNumber(line, lineMajor, 16) || line.empty() || line.front() != ':')
        return false;
    line.remove_prefix(1);
    if (!parseNumber(line, lineMinor, 16) || line.empty() || line.front() != ' ')
        return false;
    line = skipField(line);
    return parseNumber(line, lineInode, 10) && lineMajor == major && lineMinor == minor && lineInode == inode;
}

}  // namespace

bool mapsTextNamesFile(const char* text, size_t length, uint64_t device, uint64_t inode) {
    const unsigned major = ::major(static_cast<dev_t>(device)), minor = ::minor(static_cast<dev_t>(device));
    std::string_view rest(text, length);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (inode != 0 && lineNamesFile(line, major, minor, inode))
            return true;
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return false;
}

SharedMemory::MappedBy processMapsFile(uint32_t pid, uint64_t device, uint64_t inode) {
    if (pid == 0 || pid > INT_MAX)
        return SharedMemory::MappedBy::no;
    const std::string path = "/proc/" + std::to_string(pid) + "/maps";
    UniqueFd fd(retryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
    if (!fd.valid())
        return errno == ENOENT || errno == ESRCH ? SharedMemory::MappedBy::no : SharedMemory::MappedBy::unknown;
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = retryOnInterrupt([&] { return ::read(fd.get(), buffer, sizeof buffer); });
        if (n < 0)
            return errno == ESRCH ? SharedMemory::MappedBy::no : SharedMemory::MappedBy::unknown;
        if (n == 0)
            break;
        if (text.size() + static_cast<size_t>(n) > kMaxMapsBytes)
            return SharedMemory::MappedBy::unknown;
        text.append(buffer, static_cast<size_t>(n));
    }
    return mapsTextNamesFile(text.data(), text.size(), device, inode) ? SharedMemory::MappedBy::yes
                                                                      : SharedMemory::MappedBy::no;
}

}  // namespace vantro::platform::posix
