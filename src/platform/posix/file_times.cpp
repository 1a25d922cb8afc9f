#include "platform/file_times.h"

#include "platform/utf.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace vantro::platform {
namespace {

// Seconds from 1601-01-01 (the FILETIME epoch) to 1970-01-01.
constexpr int64_t kEpochDifferenceSeconds = 11644473600;

uint64_t fromStatx(const statx_timestamp& time) { return fileTimeFromUnix(time.tv_sec, time.tv_nsec); }

}  // namespace

uint64_t fileTimeFromUnix(int64_t seconds, uint32_t nanoseconds) {
    int64_t since1601 = seconds + kEpochDifferenceSeconds;
    if (since1601 < 0)
        return 0;  // before 1601: not representable
    return static_cast<uint64_t>(since1601) * 10'000'000u + nanoseconds / 100;
}

bool queryFileTimes(std::u16string_view path, FileTimes& out) {
    std::string narrow = toUtf8(path);
    if (narrow.empty())
        return false;
    struct statx info {};
    if (::statx(AT_FDCWD, narrow.c_str(), 0, STATX_ATIME | STATX_MTIME | STATX_BTIME, &info) != 0)
        return false;
    FileTimes times;
    times.lastAccess = fromStatx(info.stx_atime);
    times.lastWrite = fromStatx(info.stx_mtime);
    times.creation = (info.stx_mask & STATX_BTIME) ? fromStatx(info.stx_btime) : times.lastWrite;
    out = times;
    return true;
}

}  // namespace vantro::platform
