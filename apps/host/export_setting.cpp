#include "export_setting.h"

#include <utility>

#include "platform/registry.h"

namespace vantro::host {

using platform::RegHive;
using platform::RegistryKey;
using platform::RegType;

ExportSetting::ExportSetting(std::u16string name, std::optional<std::uint32_t> value) : name_(std::move(name)) {
    if (!value)
        return;
    RegistryKey key;
    if (RegistryKey::create(RegHive::currentUser, kPluginSettingsKey, key) != platform::kErrorSuccess)
        return;
    RegType type = RegType::none;
    hadValue_ = key.queryValue(name_, &type, &before_) == platform::kErrorSuccess;
    type_ = static_cast<std::uint32_t>(type);
    changed_ = key.setDword(name_, *value) == platform::kErrorSuccess;
}

ExportSetting::~ExportSetting() {
    if (!changed_)
        return;
    RegistryKey key;
    if (RegistryKey::open(RegHive::currentUser, kPluginSettingsKey, key) != platform::kErrorSuccess)
        return;
    if (hadValue_)
        key.setValue(name_, static_cast<RegType>(type_), before_.data(), before_.size());
    else
        key.deleteValue(name_);
}

}  // namespace vantro::host
