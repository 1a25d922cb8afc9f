#pragma once
// Small registry helpers shared by the settings, the connection list and the
// renderer discovery. They keep the Windows calls' contracts (error codes, buffer
// limits, silent defaults) on top of the platform's registry store.
//
// All functions: any thread, no lock of their own (the store is process-safe).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"

// Opens HKEY_CURRENT_USER\path for query and set; when the key does not exist it is
// created. The result is closed (isOpen() false) on any other failure.
vantro::platform::RegistryKey OpenSettingsKey(std::u16string_view path);

// Reads a 32-bit value as its raw 4 bytes, whatever type it is stored with (a REG_SZ
// "1" with its terminator is 0x00000031). Data shorter than 4 bytes is zero-extended.
// On any failure (closed key, missing value, data longer than 4 bytes) value becomes
// defaultValue and the Windows error code is returned; 0 on success.
long ReadRegDword(const vantro::platform::RegistryKey& key, std::u16string_view name, uint32_t& value,
                  uint32_t defaultValue);

// Writes a REG_DWORD of 4 bytes. Callers ignore the result; a closed key does nothing.
long WriteRegDword(vantro::platform::RegistryKey& key, std::u16string_view name, uint32_t value);

namespace vantro::settings {

// Capacity of ReadRegString's buffer: 1024 bytes, 512 UTF-16 code units.
constexpr size_t kRegStringCapacityBytes = 1024;

}  // namespace vantro::settings

// Reads a text value into text (cleared first). The value's bytes go into a
// 1024-byte buffer (the type is not checked); text is that buffer up to its first
// NUL. A value longer than 1024 bytes fails with kErrorMoreData and leaves text empty.
// Returns the Windows error code; 0 on success.
long ReadRegString(const vantro::platform::RegistryKey& key, std::u16string_view name, std::u16string& text);
