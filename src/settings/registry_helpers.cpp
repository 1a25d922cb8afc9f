#include "settings/registry_helpers.h"

#include <cstring>
#include <vector>

using namespace vantro::settings;

namespace reg = vantro::platform;
using vantro::platform::RegistryKey;

RegistryKey OpenSettingsKey(std::u16string_view path) {
    RegistryKey key;
    long result = RegistryKey::open(reg::RegHive::currentUser, path, key);
    if (result == reg::kErrorFileNotFound)
        result = RegistryKey::create(reg::RegHive::currentUser, path, key);
    if (result != reg::kErrorSuccess)
        return RegistryKey();
    return key;
}

long ReadRegDword(const RegistryKey& key, std::u16string_view name, uint32_t& value, uint32_t defaultValue) {
    value = defaultValue;
    if (!key.isOpen())
        return reg::kErrorInvalidParameter;
    std::vector<uint8_t> data;
    long result = key.queryValue(name, nullptr, &data);
    if (result != reg::kErrorSuccess)
        return result;
    if (data.size() > sizeof(uint32_t))
        return reg::kErrorMoreData;
    uint8_t bytes[sizeof(uint32_t)] = {};
    std::memcpy(bytes, data.data(), data.size());
    value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    return reg::kErrorSuccess;
}

long WriteRegDword(RegistryKey& key, std::u16string_view name, uint32_t value) {
    if (!key.isOpen())
        return reg::kErrorInvalidParameter;
    return key.setDword(name, value);
}

long ReadRegString(const RegistryKey& key, std::u16string_view name, std::u16string& text) {
    text.clear();
    if (!key.isOpen())
        return reg::kErrorInvalidParameter;
    std::vector<uint8_t> data;
    long result = key.queryValue(name, nullptr, &data);
    if (result != reg::kErrorSuccess)
        return result;
    if (data.size() > kRegStringCapacityBytes)
        return reg::kErrorMoreData;
    // An odd trailing byte cannot form a code unit; the zeroed buffer ends the text there.
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        char16_t unit = char16_t(data[i] | data[i + 1] << 8);
        if (unit == 0)
            break;
        text.push_back(unit);
    }
    return reg::kErrorSuccess;
}
