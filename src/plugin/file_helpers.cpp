#include "plugin/file_helpers.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/utf.h"

namespace fs = std::filesystem;

namespace {

fs::path toPath(std::u16string_view path) {
    return fs::path(vantro::platform::toUtf8(path));
}

// Converts a file-clock time to FILETIME ticks; times before 1601 give 0.
uint64_t toFileTime(fs::file_time_type time) {
    auto system = std::chrono::file_clock::to_sys(time);
    auto ticks = std::chrono::duration_cast<std::chrono::duration<int64_t, std::ratio<1, 10000000>>>(
                     system.time_since_epoch())
                     .count();
    int64_t value = ticks + int64_t(kFileTimeUnixEpoch);
    return value > 0 ? uint64_t(value) : 0;
}

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
    fs::path file = toPath(path);
    std::error_code error;
    // The times count only for a file this process can open for reading; a directory
    // cannot be opened as a file.
    if (fs::is_directory(file, error))
        return 0;
    std::ifstream probe(file, std::ios::binary);
    if (!probe.is_open())
        return 0;
    (void)which;
    fs::file_time_type written = fs::last_write_time(file, error);
    if (error)
        return 0;
    return toFileTime(written);
}
