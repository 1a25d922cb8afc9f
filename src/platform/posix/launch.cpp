#include "platform/launch.h"

#include "posix/runtime_directory.h"
#include "posix/unique_fd.h"
#include "platform/utf.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vantro::platform {
namespace {

bool isBlank(char16_t unit) { return unit == u' ' || unit == u'\t'; }

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The file a module name refers to, or nothing.
std::optional<std::string> resolveModule(const std::string& module) {
    if (module.empty())
        return std::nullopt;
    std::vector<std::string> spellings{module};
    if (module.size() > 4) {
        std::string extension = module.substr(module.size() - 4);
        for (char& c : extension)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (extension == ".exe")
            spellings.push_back(module.substr(0, module.size() - 4));
    }
    for (const std::string& spelling : spellings) {
        if (spelling.find('/') != std::string::npos) {
            if (isExecutableFile(spelling))
                return spelling;
            continue;
        }
        const char* path = std::getenv("PATH");
        std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
        for (size_t start = 0; start <= dirs.size();) {
            size_t colon = dirs.find(':', start);
            std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
            std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + spelling;
            if (isExecutableFile(candidate))
                return candidate;
            if (colon == std::string::npos)
                break;
            start = colon + 1;
        }
    }
    return std::nullopt;
}

// Starts path with argv in dir and reaps it from a detached thread when it ends: a
// launched program is not waited for, yet must not stay a zombie of ours.
bool spawnDetached(const std::string& path, const std::vector<std::string>& args, const std::string& dir,
                   uint32_t* processId) {
    if (!dir.empty()) {
        struct stat info {};
        if (::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            return false;
    }
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    if (!dir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    pid_t pid = -1;
    int error = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return false;
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    }).detach();
    if (processId)
        *processId = static_cast<uint32_t>(pid);
    return true;
}

bool appendLine(const std::string& path, std::u16string_view text) {
    std::string line = toUtf8(text) + "\n";
    posix::UniqueFd fd(
        posix::retryOnInterrupt([&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600); }));
    if (!fd.valid())
        return false;
    // One write with O_APPEND: concurrent writers' lines do not interleave.
    ssize_t n = posix::retryOnInterrupt([&] { return ::write(fd.get(), line.data(), line.size()); });
    return n == static_cast<ssize_t>(line.size());
}

}  // namespace

std::vector<std::u16string> splitCommandLine(std::u16string_view line) {
    std::vector<std::u16string> args;
    size_t i = 0;
    for (;;) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i >= line.size())
            return args;
        std::u16string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || !isBlank(line[i]))) {
            size_t backslashes = 0;
            while (i < line.size() && line[i] == u'\\') {
                ++backslashes;
                ++i;
            }
            if (i < line.size() && line[i] == u'"') {
                arg.append(backslashes / 2, u'\\');
                if (backslashes % 2 == 1) {
                    arg.push_back(u'"');
                } else if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
                    arg.push_back(u'"');  // "" inside quotes
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(backslashes, u'\\');
                if (i < line.size() && (quoted || !isBlank(line[i])))
                    arg.push_back(line[i++]);
            }
        }
        args.push_back(std::move(arg));
    }
}

bool createProcess(std::u16string_view commandLine, std::u16string_view currentDirectory, uint32_t* processId) {
    size_t start = 0;
    while (start < commandLine.size() && isBlank(commandLine[start]))
        ++start;
    std::u16string_view line = commandLine.substr(start);
    if (line.empty())
        return false;

    std::u16string module;
    std::optional<std::string> path;
    std::u16string_view rest;
    if (line[0] == u'"') {
        size_t close = line.find(u'"', 1);
        module =
            std::u16string(line.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos : close - 1));
        rest = close == std::u16string_view::npos ? std::u16string_view() : line.substr(close + 1);
        path = resolveModule(toUtf8(module));
    } else {
        // Like CreateProcessW: "a b c" tries "a", then "a b", then "a b c".
        for (size_t end = 0; end <= line.size(); ++end) {
            if (end < line.size() && !isBlank(line[end]))
                continue;
            module = std::u16string(line.substr(0, end));
            if ((path = resolveModule(toUtf8(module)))) {
                rest = line.substr(end);
                break;
            }
        }
    }
    if (!path)
        return false;
    std::vector<std::string> args{toUtf8(module)};
    for (const std::u16string& arg : splitCommandLine(rest))
        args.push_back(toUtf8(arg));
    return spawnDetached(*path, args, toUtf8(currentDirectory), processId);
}

bool shellOpen(std::u16string_view target) {
    if (target.empty())
        return false;
    if (const char* log = std::getenv("VANTRO_OPEN_LOG"); log && *log)
        return appendLine(log, target);
    if (std::optional<std::string> opener = resolveModule("xdg-open"))
        return spawnDetached(*opener, {"xdg-open", toUtf8(target)}, "", nullptr);
    std::string dir = posix::runtimeDirectory();
    return !dir.empty() && appendLine(dir + "/opened-urls", target);
}

}  // namespace vantro::platform
