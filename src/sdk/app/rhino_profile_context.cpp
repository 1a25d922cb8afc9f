#include "sdk/app/rhino_profile_context.h"

#include "platform/registry.h"
#include "sdk_internal.h"

using vantro::platform::RegHive;
using vantro::platform::RegistryKey;
using vantro::platform::RegType;

namespace {

bool queryDword(const RegistryKey& key, const char16_t* entry, uint32_t& value) {
    RegType type = RegType::none;
    std::vector<uint8_t> data;
    if (key.queryValue(entry, &type, &data) != vantro::platform::kErrorSuccess)
        return false;
    if (type != RegType::dword || data.size() != 4)
        return false;
    value = uint32_t(data[0]) | (uint32_t(data[1]) << 8) | (uint32_t(data[2]) << 16) | (uint32_t(data[3]) << 24);
    return true;
}

}  // namespace

ON_wString CRhinoProfileContext::keyPath(const char16_t* section) const {
    ON_wString path = root_;
    if (section && *section) {
        if (path.IsNotEmpty())
            path += u'\\';
        path += section;
    }
    return path;
}

bool CRhinoProfileContext::LoadProfileString(const char16_t* section, const char16_t* entry, ON_wString& value) const {
    if (!entry)
        return false;
    RegistryKey key;
    if (RegistryKey::open(RegHive::currentUser, keyPath(section).view(), key) != vantro::platform::kErrorSuccess)
        return false;
    return vantro::sdk::readRegistryText(key, entry, value);
}

bool CRhinoProfileContext::LoadProfileBool(const char16_t* section, const char16_t* entry, bool* value) const {
    int v = 0;
    if (!value || !LoadProfileInt(section, entry, &v))
        return false;
    *value = v != 0;
    return true;
}

bool CRhinoProfileContext::LoadProfileInt(const char16_t* section, const char16_t* entry, int* value) const {
    if (!entry || !value)
        return false;
    RegistryKey key;
    if (RegistryKey::open(RegHive::currentUser, keyPath(section).view(), key) != vantro::platform::kErrorSuccess)
        return false;
    uint32_t v = 0;
    if (!queryDword(key, entry, v))
        return false;
    *value = static_cast<int>(v);
    return true;
}

bool CRhinoProfileContext::SaveProfileString(const char16_t* section, const char16_t* entry,
                                             const char16_t* value) const {
    if (!entry)
        return false;
    RegistryKey key;
    if (RegistryKey::create(RegHive::currentUser, keyPath(section).view(), key) != vantro::platform::kErrorSuccess)
        return false;
    return key.setString(entry, value ? value : u"") == vantro::platform::kErrorSuccess;
}

bool CRhinoProfileContext::SaveProfileBool(const char16_t* section, const char16_t* entry, bool value) const {
    return SaveProfileInt(section, entry, value ? 1 : 0);
}

bool CRhinoProfileContext::SaveProfileInt(const char16_t* section, const char16_t* entry, int value) const {
    if (!entry)
        return false;
    RegistryKey key;
    if (RegistryKey::create(RegHive::currentUser, keyPath(section).view(), key) != vantro::platform::kErrorSuccess)
        return false;
    return key.setDword(entry, static_cast<uint32_t>(value)) == vantro::platform::kErrorSuccess;
}
