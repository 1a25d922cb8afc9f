#include "sdk/app/rhino_ui_registry.h"
#include "sdk_internal.h"

#include <algorithm>

using vantro::platform::kErrorSuccess;
using vantro::platform::RegistryKey;
using vantro::platform::RegType;

namespace {
constexpr size_t kMaxStringUnits = 32767;
}

CRhinoUiRegistry::CRhinoUiRegistry() = default;
CRhinoUiRegistry::~CRhinoUiRegistry() = default;

bool CRhinoUiRegistry::Open(vantro::platform::RegHive hive, const ON_wString& subKey, bool writable) {
    Close();
    auto key = std::make_unique<RegistryKey>();
    const long rc =
        writable ? RegistryKey::create(hive, subKey.view(), *key) : RegistryKey::open(hive, subKey.view(), *key);
    if (rc != kErrorSuccess)
        return false;
    key_ = std::move(key);
    writable_ = writable;
    return true;
}

bool CRhinoUiRegistry::IsOpen() const { return key_ != nullptr; }

void CRhinoUiRegistry::Close() {
    key_.reset();
    writable_ = false;
}

bool CRhinoUiRegistry::Flush() { return IsOpen(); }

bool CRhinoUiRegistry::QueryStringValue(const char16_t* name, ON_wString& value) const {
    if (!key_ || !name)
        return false;
    return vantro::sdk::readRegistryText(*key_, name, value, kMaxStringUnits);
}

bool CRhinoUiRegistry::QueryDWORDValue(const char16_t* name, uint32_t& value) const {
    if (!key_ || !name)
        return false;
    RegType type = RegType::none;
    std::vector<uint8_t> data;
    if (key_->queryValue(name, &type, &data) != kErrorSuccess || type != RegType::dword || data.size() != 4)
        return false;
    value = uint32_t(data[0]) | (uint32_t(data[1]) << 8) | (uint32_t(data[2]) << 16) | (uint32_t(data[3]) << 24);
    return true;
}

bool CRhinoUiRegistry::SetStringValue(const char16_t* name, const char16_t* value) {
    if (!key_ || !writable_ || !name)
        return false;
    return key_->setString(name, value ? value : u"") == kErrorSuccess;
}

bool CRhinoUiRegistry::SetDWORDValue(const char16_t* name, uint32_t value) {
    if (!key_ || !writable_ || !name)
        return false;
    return key_->setDword(name, value) == kErrorSuccess;
}
