// Named shared memory as Windows has it: a named section backed by the page file.
// The kernel keeps the name exactly as long as some handle to the section is open,
// also across crashes, so nothing here tracks holders or reclaims names, and a
// section cannot shrink, so a mapping never breaks.

#include "platform/shared_memory.h"

#include <utility>

#include "platform/process.h"
#include "platform/utf.h"
#include "win32/windows_api.h"

namespace vantro::platform {

namespace {

// The mapping's handle lives in the object's descriptor field: Windows documents that
// kernel handles keep their meaning when truncated to 32 bits (HandleToLong).
int handleToField(HANDLE handle) { return static_cast<int>(::HandleToLong(handle)); }
HANDLE fieldToHandle(int field) { return ::LongToHandle(field); }

// The section's size as created. A view covers whole pages, so the view's size is
// not it; the section itself knows (NtQuerySection, SectionBasicInformation).
struct SectionBasicInformation {
    void* baseAddress;
    ULONG allocationAttributes;
    LARGE_INTEGER maximumSize;
};
using NtQuerySectionFn = LONG(NTAPI*)(HANDLE, int, void*, SIZE_T, SIZE_T*);

size_t sectionSize(HANDLE section, const void* view) {
    static const auto query = reinterpret_cast<NtQuerySectionFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySection")));
    SectionBasicInformation info{};
    if (query && query(section, 0, &info, sizeof info, nullptr) >= 0 && info.maximumSize.QuadPart > 0)
        return static_cast<size_t>(info.maximumSize.QuadPart);
    MEMORY_BASIC_INFORMATION region{};
    return ::VirtualQuery(view, &region, sizeof region) ? region.RegionSize : 0;
}

}  // namespace

SharedMemory::~SharedMemory() { close(); }

SharedMemory::SharedMemory(SharedMemory&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      fd_(std::exchange(other.fd_, -1)),
      name_(std::move(other.name_)),
      guard_(std::exchange(other.guard_, nullptr)) {}

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
    if (this != &other) {
        close();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        fd_ = std::exchange(other.fd_, -1);
        name_ = std::move(other.name_);
        guard_ = std::exchange(other.guard_, nullptr);
    }
    return *this;
}

ShmResult SharedMemory::create(std::u16string_view kernelName, size_t size, SharedMemory& out) {
    out.close();
    if (kernelName.empty() || size == 0)
        return ShmResult::failed;
    const uint64_t size64 = size;
    // SEC_COMMIT: the page file's space is charged now, so an exhausted system fails
    // here rather than at the first touch of a page.
    win32::UniqueHandle section(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_COMMIT,
                                                     static_cast<DWORD>(size64 >> 32), static_cast<DWORD>(size64),
                                                     win32::wide(kernelName).c_str()));
    if (!section.valid())
        return ShmResult::failed;
    if (::GetLastError() == ERROR_ALREADY_EXISTS)
        return ShmResult::alreadyExists;  // our handle to the existing one closes here
    void* view = ::MapViewOfFile(section.get(), FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (!view)
        return ShmResult::failed;
    out.data_ = view;
    out.size_ = size;
    out.fd_ = handleToField(section.release());
    out.name_ = toUtf8(kernelName);
    return ShmResult::ok;
}

ShmResult SharedMemory::open(std::u16string_view kernelName, SharedMemory& out) {
    out.close();
    if (kernelName.empty())
        return ShmResult::notFound;
    win32::UniqueHandle section(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, win32::wide(kernelName).c_str()));
    if (!section.valid())
        return ::GetLastError() == ERROR_FILE_NOT_FOUND ? ShmResult::notFound : ShmResult::failed;
    void* view = ::MapViewOfFile(section.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!view)
        return ShmResult::failed;
    const size_t size = sectionSize(section.get(), view);
    if (size == 0) {
        ::UnmapViewOfFile(view);
        return ShmResult::failed;
    }
    out.data_ = view;
    out.size_ = size;
    out.fd_ = handleToField(section.release());
    out.name_ = toUtf8(kernelName);
    return ShmResult::ok;
}

bool SharedMemory::exists(std::u16string_view kernelName) {
    if (kernelName.empty())
        return false;
    win32::UniqueHandle section(::OpenFileMappingW(FILE_MAP_READ, FALSE, win32::wide(kernelName).c_str()));
    return section.valid();
}

bool SharedMemory::namePresent(std::u16string_view kernelName) { return exists(kernelName); }

size_t SharedMemory::openedSizeGranularity() { return 4096; }

size_t SharedMemory::reclaimAbandoned() { return 0; }

SharedMemory::ReclaimCount SharedMemory::reclaimNumbered(std::u16string_view) { return {}; }

void SharedMemory::close() {
    if (data_)
        ::UnmapViewOfFile(data_);
    if (fd_ != -1)
        ::CloseHandle(fieldToHandle(fd_));
    data_ = nullptr;
    size_ = 0;
    fd_ = -1;
    name_.clear();
}

bool SharedMemory::isBroken() const { return false; }

void SharedMemory::notifyWhenBroken(std::atomic<bool>*) {}

// A page-file-backed section has no name a view query reports, so whether a live
// process maps it cannot be told from outside; callers fall back to "alive" alone.
// A dead process's views are gone with it, which isProcessAlive already says.
SharedMemory::MappedBy SharedMemory::mappedBy(uint32_t pid) const {
    if (!data_ || !isProcessAlive(pid))
        return data_ ? MappedBy::no : MappedBy::unknown;
    return MappedBy::unknown;
}

}  // namespace vantro::platform
