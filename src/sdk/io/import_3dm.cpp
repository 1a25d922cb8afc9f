#include "io/import_3dm.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/process.h"
#include "platform/utf.h"

extern char** environ;

namespace vantro::docio {
namespace {

namespace fs = std::filesystem;

constexpr const char* kScriptRelative = "tools/3dm-to-json.mjs";

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The first ancestor of start (start included) that holds the script.
std::string searchUpward(fs::path start) {
    std::error_code ec;
    for (fs::path dir = start; !dir.empty(); dir = dir.parent_path()) {
        const fs::path candidate = dir / kScriptRelative;
        if (fs::is_regular_file(candidate, ec))
            return candidate.string();
        if (dir == dir.parent_path())
            break;
    }
    return {};
}

// The whole file in one allocation of its size.
std::string slurp(const fs::path& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in)
        return {};
    std::string text(static_cast<size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

// The line of the converter's output that says what went wrong: its own message
// (without the "3dm-to-json: <file>: " prefix), else the first line naming an error
// (node's own failures, e.g. a missing package), else the last line.
std::string reason(const std::string& output) {
    std::istringstream in(output);
    std::string line;
    std::string firstError;
    std::string last;
    const std::string prefix = "3dm-to-json: ";
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        if (line.rfind(prefix, 0) == 0) {
            const size_t afterFile = line.find(": ", prefix.size());
            return afterFile == std::string::npos ? line.substr(prefix.size()) : line.substr(afterFile + 2);
        }
        if (firstError.empty() && line.find("Error") != std::string::npos)
            firstError = line;
        last = line;
    }
    std::string text = firstError.empty() ? last : firstError;
    constexpr size_t kMax = 300;
    if (text.size() > kMax)
        text = text.substr(0, kMax) + "...";
    return text;
}

// The output and error files of one conversion, in a folder of their own that only
// this user can enter (mkdtemp: a fresh random name, mode 0700), so that nobody can
// plant links at the names or read the model; the folder goes with everything in it
// when the conversion ends, however it ends.
class TemporaryFiles {
public:
    TemporaryFiles() {
        std::error_code ec;
        fs::path base = fs::temp_directory_path(ec);
        if (ec)
            base = "/tmp";
        std::string pattern = (base / "vantro-3dm-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            dir_ = pattern;
    }
    ~TemporaryFiles() {
        std::error_code ec;
        if (!dir_.empty())
            fs::remove_all(dir_, ec);
    }
    TemporaryFiles(const TemporaryFiles&) = delete;
    TemporaryFiles& operator=(const TemporaryFiles&) = delete;
    bool ready() const { return !dir_.empty(); }
    fs::path json() const { return dir_ / "document.json"; }
    fs::path errors() const { return dir_ / "errors.txt"; }
    fs::path binary() const { return dir_ / "document.json.bin"; }

private:
    fs::path dir_;
};

// Runs the converter without a shell: its arguments go to it as they are, whatever
// they hold, and its error output goes to a file created here exclusively. The exit
// status, or -1 when it cannot be started.
int runConverter(const std::vector<std::string>& args, const fs::path& errors) {
    const int errorFd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (errorFd < 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(errorFd);
    if (spawned != 0) {
        const std::string why = std::string(args[0]) + ": " + std::strerror(spawned) + "\n";
        if (FILE* file = std::fopen(errors.c_str(), "w")) {
            std::fputs(why.c_str(), file);
            std::fclose(file);
        }
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string findConverterScript() {
    const std::string configured = environment("VANTRO_3DM_CONVERTER");
    if (!configured.empty())
        return configured;
    std::u16string image;
    if (platform::queryProcessImagePath(platform::currentProcessId(), image, 4096)) {
        std::string found = searchUpward(fs::path(platform::toUtf8(image)).parent_path());
        if (!found.empty())
            return found;
    }
    std::error_code ec;
    return searchUpward(fs::current_path(ec));
}

Converted3dm convert3dmToJson(const std::string& path) {
    Converted3dm result;
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        result.error = "cannot read: no such file";
        return result;
    }
    const std::string script = findConverterScript();
    if (script.empty()) {
        result.error = std::string("cannot convert: ") + kScriptRelative +
                       " not found (set VANTRO_3DM_CONVERTER to its full path)";
        return result;
    }
    std::string node = environment("VANTRO_NODE");
    if (node.empty())
        node = "node";
    TemporaryFiles files;
    if (!files.ready()) {
        result.error = std::string("cannot convert: no private temporary folder (") + std::strerror(errno) + ")";
        return result;
    }
    const int status = runConverter({node, script, "--binary", path, files.json().string()}, files.errors());
    if (status != 0) {
        const std::string why = reason(slurp(files.errors()));
        result.error = "cannot convert: " + (why.empty() ? std::string("the converter failed") : why);
        return result;
    }
    result.json = slurp(files.json());
    // Opened before the temporary files go: the arrays are read from it as the text is
    // parsed, so the companion is never held in memory beside them.
    if (fs::is_regular_file(files.binary(), ec)) {
        result.binarySize = fs::file_size(files.binary(), ec);
        result.binaryFile.reset(std::fopen(files.binary().c_str(), "rb"), &std::fclose);
        if (ec || !result.binaryFile) {
            result.error = "cannot convert: the converter's binary output cannot be read";
            return result;
        }
    }
    if (result.json.empty()) {
        result.error = "cannot convert: the converter wrote nothing";
        return result;
    }
    result.ok = true;
    return result;
}

BinarySource Converted3dm::binary() const {
    if (!binaryFile)
        return {};
    std::FILE* file = binaryFile.get();
    return {binarySize, [file](uint64_t offset, size_t bytes, void* into) {
                return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 &&
                       std::fread(into, 1, bytes, file) == bytes;
            }};
}

}  // namespace vantro::docio
