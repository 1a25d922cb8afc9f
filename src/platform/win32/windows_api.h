#pragma once
// The Windows headers as the platform layer includes them, and the bridge between the
// system's UTF-16 text (char16_t) and the API's wchar_t, which is 16 bits wide on
// Windows: the same code units, so pointers are only reinterpreted.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

namespace vantro::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

// A NUL-terminated copy for the API (the views handed in need not be terminated).
inline std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

inline std::u16string narrowWide(const wchar_t* text, size_t units) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), units);
}

// Closes a kernel handle when it goes out of scope.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = other.release();
        }
        return *this;
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr; }
    HANDLE release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void reset() {
        if (handle_)
            ::CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

// An environment variable as UTF-16; empty when unset.
inline std::u16string environmentVariable(const wchar_t* name) {
    wchar_t buffer[32768];
    const DWORD units = ::GetEnvironmentVariableW(name, buffer, 32768);
    if (units == 0 || units >= 32768)
        return {};
    return narrowWide(buffer, units);
}

}  // namespace vantro::platform::win32
