#include "output_check.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/process.h"

namespace vantro::peer {

namespace fs = std::filesystem;

namespace {

// Opens path for appending, so an existing file keeps its bytes; removes it again when
// this created it. Empty when it opens, else the reason.
std::string probeFile(const fs::path& path) {
    std::error_code ignored;
    const bool existed = fs::exists(path, ignored);
    errno = 0;
    // A stream takes the path in the system's own form (UTF-16 on Windows).
    std::ofstream file(path, std::ios::app | std::ios::binary);
    if (!file)
        return withReason(path.string());
    file.close();
    if (!existed)
        fs::remove(path, ignored);
    return {};
}

std::string checkFolder(const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        return "cannot write " + folder + ": " + error.message();
    if (!fs::is_directory(folder, error))
        return "cannot write " + folder + ": " + std::make_error_code(std::errc::not_a_directory).message();
    const fs::path probe = fs::path(folder) / (".velora-peer-probe-" + std::to_string(platform::currentProcessId()));
    if (std::string why = probeFile(probe); !why.empty())
        return "cannot write " + why;
    return {};
}

std::string checkObj(const std::string& file) {
    fs::path mtl(file);
    mtl.replace_extension(".mtl");
    for (const fs::path& path : {fs::path(file), mtl}) {
        std::error_code ignored;
        if (fs::is_directory(path, ignored))
            return "cannot write " + path.string() + ": " + std::make_error_code(std::errc::is_a_directory).message();
        if (std::string why = probeFile(path); !why.empty())
            return "cannot write " + why;
    }
    return {};
}

}  // namespace

std::string withReason(const std::string& path) {
    const int code = errno;
    return path + ": " + (code != 0 ? std::strerror(code) : "the file cannot be opened");
}

bool checkOutputs(const PeerOptions& options, std::string& error) {
    if (!options.previewDir.empty())
        error = checkFolder(options.previewDir);
    if (error.empty() && !options.objFile.empty())
        error = checkObj(options.objFile);
    return error.empty();
}

}  // namespace vantro::peer
