#include "posix/runtime_directory.h"

#include "platform/debug_output.h"
#include "platform/utf.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace vantro::platform::posix {
namespace {

// Candidates after the /tmp default when another user planted that one first: a
// fixed list, so that every process of the user settles on the same folder.
constexpr int kTmpAlternatives = 9;

// mkdir that gives 0700 whatever the umask (a umask can only take bits away, and
// one that takes the owner's away would leave a folder we cannot use).
bool makeOne(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0)
        return errno == EEXIST;
    return ::chmod(path.c_str(), 0700) == 0;
}

std::string describe(const struct stat& info) {
    if (S_ISLNK(info.st_mode))
        return "it is a symbolic link";
    if (!S_ISDIR(info.st_mode))
        return "it is not a folder";
    return "it belongs to user " + std::to_string(info.st_uid);
}

bool tryCandidate(const std::string& path, std::string& refusals) {
    std::string why;
    if (makePrivateDirectory(path, why))
        return true;
    refusals += path + " is not used: " + why + ". ";
    return false;
}

}  // namespace

bool makePrivateDirectory(const std::string& path, std::string& why) {
    if (path.empty() || path.front() != '/') {
        why = "it is not an absolute path";
        return false;
    }
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        if (slash > 0 && path[slash - 1] != '/' && !makeOne(path.substr(0, slash))) {
            why = "its parent " + path.substr(0, slash) + " cannot be made (" + std::strerror(errno) + ")";
            return false;
        }
    if (!makeOne(path)) {
        why = std::string("it cannot be made (") + std::strerror(errno) + ")";
        return false;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        why = std::string("it cannot be examined (") + std::strerror(errno) + ")";
        return false;
    }
    if (S_ISLNK(info.st_mode) || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
        why = describe(info);
        return false;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
        why = "it is open to other users and cannot be closed to them";
        return false;
    }
    return true;
}

std::string runtimeDirectory() {
    std::string refusals;
    std::string chosen;
    const char* explicitDir = std::getenv("VANTRO_RUNTIME_DIR");
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    std::string tmp = "/tmp/vantro-" + std::to_string(::geteuid());
    if (explicitDir && *explicitDir && tryCandidate(explicitDir, refusals)) {
        chosen = explicitDir;
    } else if (xdg && *xdg && tryCandidate(std::string(xdg) + "/vantro", refusals)) {
        chosen = std::string(xdg) + "/vantro";
    } else if (tryCandidate(tmp, refusals)) {
        chosen = tmp;
    } else {
        for (int i = 1; i <= kTmpAlternatives && chosen.empty(); ++i)
            if (std::string alternative = tmp + "-" + std::to_string(i); tryCandidate(alternative, refusals))
                chosen = alternative;
    }
    if (!refusals.empty())
        reportOnce("vantro: " + refusals +
                   (chosen.empty() ? std::string("No private runtime folder is left: links and windows cannot work.")
                                   : "Using " + chosen + " instead."));
    return chosen;
}

void reportOnce(const std::string& text) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!reported.insert(text).second)
            return;
    }
    outputDebugString(fromUtf8(text + "\n"));
}

}  // namespace vantro::platform::posix
