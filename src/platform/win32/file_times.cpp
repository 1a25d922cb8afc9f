#include "platform/file_times.h"

#include "win32/windows_api.h"

namespace vantro::platform {

namespace {

uint64_t toUint64(const FILETIME& time) { return uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime; }

}  // namespace

bool queryFileTimes(std::u16string_view path, FileTimes& out) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(win32::wide(path).c_str(), GetFileExInfoStandard, &data))
        return false;
    out.creation = toUint64(data.ftCreationTime);
    out.lastAccess = toUint64(data.ftLastAccessTime);
    out.lastWrite = toUint64(data.ftLastWriteTime);
    return true;
}

uint64_t fileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
    const int64_t since1601 = seconds + kSecondsFrom1601To1970;
    if (since1601 < 0)
        return 0;  // before 1601: not representable
    return static_cast<uint64_t>(since1601) * 10'000'000u + nanoseconds / 100;
}

}  // namespace vantro::platform
