#pragma once
// ExportSetting: one of the plug-in's export settings, set for the length of one export
// and put back afterwards. The exporter lives in the plug-in module and reads its
// settings from the registry store when it runs, so a command-line choice such as
// `--precision` reaches it as the setting a user would have made; the value the user
// had (or its absence) is restored when the object goes, so the choice does not
// outlast the export. Two hosts exporting at once with different choices on the same
// registry root would see each other's value; the store's root is per user.
// Main thread only.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantro::host {

// The registry key (below HKEY_CURRENT_USER) of the plug-in's settings.
inline constexpr char16_t kPluginSettingsKey[] = u"Software\\Orvane\\PluginForRhino6";

class ExportSetting {
public:
    // Sets the DWORD value name to value; nothing when value is nullopt or the key
    // cannot be opened.
    ExportSetting(std::u16string name, std::optional<std::uint32_t> value);
    ~ExportSetting();
    ExportSetting(const ExportSetting&) = delete;
    ExportSetting& operator=(const ExportSetting&) = delete;

private:
    std::u16string name_;
    bool changed_ = false;
    bool hadValue_ = false;
    std::uint32_t type_ = 0;
    std::vector<std::uint8_t> before_;
};

}  // namespace vantro::host
