// The typed setters: the value bytes a DWORD or a string is stored as (little-endian,
// UTF-16 with its terminator) are the same whichever store keeps them.

#include <vector>

#include "platform/registry.h"

namespace vantro::platform {

long RegistryKey::setDword(std::u16string_view name, uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    return setValue(name, RegType::dword, bytes, sizeof bytes);
}

long RegistryKey::setString(std::u16string_view name, std::u16string_view value) {
    std::vector<uint8_t> bytes;
    bytes.reserve(value.size() * 2 + 2);
    for (char16_t unit : value) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
    return setValue(name, RegType::sz, bytes.data(), bytes.size());
}

}  // namespace vantro::platform
