#pragma once
// Helpers shared by the stand-in's own sources; not part of the SDK's interface.

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "sdk/geometry/on_string.h"

namespace vantro::sdk {

// ON_wString::Format's engine; false for a malformed format.
bool formatWide(std::u16string& out, const char16_t* format, va_list args);

// CRC-32 (IEEE 802.3, reflected, as zlib computes it) continued from crc.
uint32_t crc32(uint32_t crc, const void* data, size_t size);

// Paths written on either system compare equal when they differ only in separators
// ('/' or '\') and ASCII letter case.
bool samePath(const ON_wString& a, const ON_wString& b);
// The part after the last '/' or '\'.
ON_wString fileNamePart(const ON_wString& path);
// A text value of key (UTF-16 little-endian, trailing NULs dropped, at most maxUnits
// units). False when the value is missing or not of the text type.
bool readRegistryText(const vantro::platform::RegistryKey& key, std::u16string_view name, ON_wString& value,
                      size_t maxUnits = SIZE_MAX);

// The part before the last '/' or '\' (empty when there is none).
ON_wString folderPart(const ON_wString& path);

}  // namespace vantro::sdk
