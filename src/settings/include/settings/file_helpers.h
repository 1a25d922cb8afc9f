#pragma once
// File queries shared by the texture export and the settings: existence and the
// file times, with Windows' meaning so that stamps compare the same on every platform.

#include <cstdint>
#include <string_view>

namespace vantro::settings {

// Which time GetFileTimeValue reports.
enum class FileTimeKind : uint32_t { creation = 0, lastAccess = 1, lastWrite = 2 };

// Number of 100 ns ticks between 1601-01-01 (the Windows file-time epoch) and
// 1970-01-01 (the Unix epoch).
constexpr uint64_t kFileTimeUnixEpoch = 116444736000000000ull;

}  // namespace vantro::settings

// True when path is not empty, its attributes can be read and it is not a directory.
// path is UTF-16 in the platform's own form (separators are not rewritten). Any thread.
bool FileExists(std::u16string_view path);

// The file's time as a Windows FILETIME value (100 ns ticks since 1601-01-01 UTC).
// which: 0 creation, 1 last access, any other value last write. 0 when the file cannot
// be opened for reading or its times cannot be read. Where the file system keeps no
// creation (birth) time, the last write time stands in for it. Any thread.
uint64_t GetFileTimeValue(std::u16string_view path, uint32_t which);
