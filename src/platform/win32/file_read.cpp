#include "platform/file_read.h"

#include "platform/utf.h"
#include "win32/windows_api.h"

namespace vantro::platform {

std::optional<std::vector<std::byte>> readRegularFile(std::string_view path, uint64_t maxBytes) {
    // A directory does not open without FILE_FLAG_BACKUP_SEMANTICS; pipes and devices
    // open but are not FILE_TYPE_DISK.
    win32::UniqueHandle file(::CreateFileW(win32::wide(fromUtf8(path)).c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || ::GetFileType(file.get()) != FILE_TYPE_DISK)
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || static_cast<uint64_t>(size.QuadPart) > maxBytes)
        return std::nullopt;
    std::vector<std::byte> bytes(static_cast<size_t>(size.QuadPart));
    for (size_t done = 0; done < bytes.size();) {
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(file.get(), bytes.data() + done, want, &got, nullptr) || got == 0)
            return std::nullopt;  // 0: the file shrank meanwhile
        done += got;
    }
    return bytes;
}

}  // namespace vantro::platform
