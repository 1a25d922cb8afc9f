#include "settings/file_helpers.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/file_times.h"
#include "platform/utf.h"

using namespace vantro::settings;

namespace fs = std::filesystem;

namespace {

fs::path toPath(std::u16string_view path) { return fs::path(vantro::platform::toUtf8(path)); }

}  // namespace

bool FileExists(std::u16string_view path) {
    if (path.empty())
        return false;
    std::error_code error;
    fs::file_status status = fs::status(toPath(path), error);
    return !error && fs::exists(status) && !fs::is_directory(status);
}

uint64_t GetFileTimeValue(std::u16string_view path, uint32_t which) {
    if (path.empty())
        return 0;
    const fs::path file = toPath(path);
    std::error_code error;
    // The times count only for a file this process can open for reading; a directory
    // cannot be opened as a file.
    if (fs::is_directory(file, error))
        return 0;
    std::ifstream probe(file, std::ios::binary);
    if (!probe.is_open())
        return 0;
    vantro::platform::FileTimes times;
    if (!vantro::platform::queryFileTimes(path, times))
        return 0;
    switch (which) {
        case uint32_t(FileTimeKind::creation): return times.creation;
        case uint32_t(FileTimeKind::lastAccess): return times.lastAccess;
        default: return times.lastWrite;
    }
}
