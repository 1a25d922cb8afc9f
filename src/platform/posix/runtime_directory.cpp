#include "posix/runtime_directory.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace vantro::platform::posix {
namespace {

// mkdir -p with mode 0700 for the directories it makes.
bool makeDirectories(const std::string& path) {
    if (path.empty())
        return false;
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            break;
    }
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string runtimeDirectory() {
    if (const char* explicitDir = std::getenv("VANTRO_RUNTIME_DIR"); explicitDir && *explicitDir)
        return makeDirectories(explicitDir) ? std::string(explicitDir) : std::string();
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
        std::string dir = std::string(xdg) + "/vantro";
        return makeDirectories(dir) ? dir : std::string();
    }
    std::string dir = "/tmp/vantro-" + std::to_string(::getuid());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat info {};
    if (::lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 077) != 0)
        return {};
    return dir;
}

}  // namespace vantro::platform::posix
