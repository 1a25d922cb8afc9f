#include "platform/process.h"

#include <vector>

#include "win32/windows_api.h"

#include <psapi.h>  // after windows.h, which it needs

namespace vantro::platform {

uint32_t currentProcessId() { return ::GetCurrentProcessId(); }

bool enumProcesses(uint32_t* ids, uint32_t capacityBytes, uint32_t* bytesReturned) {
    if (!bytesReturned || (ids == nullptr && capacityBytes >= 4))
        return false;
    static_assert(sizeof(DWORD) == sizeof(uint32_t));
    DWORD returned = 0;
    DWORD scratch = 0;  // the call wants an array even when nothing fits
    if (!::K32EnumProcesses(capacityBytes >= 4 ? reinterpret_cast<DWORD*>(ids) : &scratch, capacityBytes & ~3u,
                            &returned))
        return false;
    *bytesReturned = returned;
    return true;
}

bool queryProcessImagePath(uint32_t pid, std::u16string& out, size_t maxUnits) {
    if (pid == 0 || maxUnits == 0)
        return false;
    win32::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process.valid())
        return false;
    std::vector<wchar_t> buffer(maxUnits);
    DWORD units = static_cast<DWORD>(maxUnits);
    if (!::QueryFullProcessImageNameW(process.get(), 0, buffer.data(), &units) || units >= maxUnits)
        return false;
    out = win32::narrowWide(buffer.data(), units);
    return true;
}

bool isProcessAlive(uint32_t pid) {
    if (pid == 0)
        return false;
    win32::UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process.valid())
        return ::GetLastError() == ERROR_ACCESS_DENIED;  // it exists, but is not ours to open
    return ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

}  // namespace vantro::platform
