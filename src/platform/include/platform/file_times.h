#pragma once
// A file's three times as Windows FILETIME values (100-nanosecond intervals since
// 1601-01-01 UTC), for code that compares or stores them as Windows does.

#include <cstdint>
#include <string_view>

namespace vantro::platform {

struct FileTimes {
    uint64_t creation = 0;  // birth time where the file system records it, else last write
    uint64_t lastAccess = 0;
    uint64_t lastWrite = 0;
};

// Reads the times of an existing file or directory (path in UTF-16). False when it
// cannot be read; out is then unchanged. Any thread.
bool queryFileTimes(std::u16string_view path, FileTimes& out);

// Converts a POSIX time (seconds and nanoseconds since 1970) to a FILETIME value.
uint64_t fileTimeFromUnix(int64_t seconds, uint32_t nanoseconds);

}  // namespace vantro::platform
