#include "velora_versions.h"

#include <functional>

#include "link/compare_versions.h"
#include "link/live_connection.h"
#include "platform/launch.h"
#include "platform/registry.h"
#include "settings/registry_helpers.h"

namespace vantro::discovery {

namespace {

using platform::RegHive;
using platform::RegistryKey;

constexpr size_t kTitleCapacity = 520;  // units, terminator included
constexpr size_t kSubKeyNameLimit = 260;

struct InstalledEntry {
    std::u16string version;  // cleaned
    std::u16string location;
};

// Calls visit for every Uninstall entry whose display name contains "Velora".
void forEachInstalledVelora(const std::function<void(const InstalledEntry&)>& visit) {
    RegistryKey uninstall;
    uint32_t subKeys = 0;
    if (RegistryKey::open(RegHive::localMachine, kUninstallKey, uninstall) != platform::kErrorSuccess ||
        uninstall.queryInfo(&subKeys, nullptr) != platform::kErrorSuccess)
        return;
    for (uint32_t i = 0; i < subKeys; ++i) {
        std::u16string name;
        if (uninstall.enumSubKey(i, name) != platform::kErrorSuccess || name.size() > kSubKeyNameLimit)
            continue;
        RegistryKey entry;
        if (RegistryKey::open(RegHive::localMachine, std::u16string(kUninstallKey) + u"\\" + name, entry) !=
            platform::kErrorSuccess)
            continue;
        std::u16string displayName;
        if (ReadRegString(entry, u"DisplayName", displayName) != 0 ||
            displayName.find(u"Velora") == std::u16string::npos)
            continue;
        InstalledEntry found;
        std::u16string version;
        ReadRegString(entry, u"DisplayVersion", version);
        found.version = VersionDigits(version);
        ReadRegString(entry, u"InstallLocation", found.location);
        visit(found);
    }
}

}  // namespace

std::u16string VersionDigits(const std::u16string& text) {
    std::u16string digits;
    for (char16_t c : text)
        if ((c >= u'0' && c <= u'9') || c == u'.')
            digits += c;
    return digits;
}

std::u16string GetRunningVersion() {
    std::u16string result = u"0.0.0.0";
    for (const VantroAPI::WindowHandle window : VantroAPI::LiveConnection::FindPeerWindows()) {
        platform::WindowInfo info;
        if (!platform::getWindowInfo(window, info))
            continue;
        const std::u16string title = info.title.substr(0, kTitleCapacity - 1);
        if (title.find(u"Velora ") == std::u16string::npos)
            continue;
        const std::u16string candidate = VersionDigits(title);
        if (candidate.empty())
            continue;
        if (CompareVersions(candidate, result) == 1)
            result = candidate;
    }
    return result;
}

std::u16string GetInstalledVersion() {
    std::u16string result = u"0.0";
    forEachInstalledVelora([&](const InstalledEntry& entry) {
        if (entry.version > result)
            result = entry.version;
    });
    return result;
}

bool LaunchVelora(const std::u16string& version) {
    std::u16string location;
    bool found = false;
    forEachInstalledVelora([&](const InstalledEntry& entry) {
        if (entry.version != version)
            return;
        location = entry.location;
        found = true;
    });
    if (found)
        platform::createProcess(location + kVeloraExecutable, location);
    return true;
}

}  // namespace vantro::discovery
