// The older-copy check of the load sequence: another copy of this plug-in registered
// under the same id decides whether this one may load, and a newer copy takes the
// registration over from an older one.

#include "older_plugin_check.h"

#include <algorithm>

#include "link/compare_versions.h"
#include "plugin/plugin_identity.h"
#include "plugin/velora_plugin.h"
#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_message_box.h"
#include "sdk/app/rhino_ui_registry.h"

using vantro::platform::RegHive;

namespace vantro::plugin {

namespace {

std::u16string withBackslashes(std::u16string_view path) {
    std::u16string text(path);
    std::replace(text.begin(), text.end(), u'/', u'\\');
    return text;
}

// "FileName" of hive\key; empty when the key or value cannot be read.
std::u16string registeredFileName(RegHive hive, const ON_wString& key) {
    CRhinoUiRegistry registry;
    ON_wString value;
    if (!registry.Open(hive, key, false) || !registry.QueryStringValue(u"FileName", value))
        return {};
    return value.Array();
}

std::u16string lowerAscii(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    return lower;
}

// Clears the older copy's registration and counts the install, so that the host
// loads this copy after a restart. Writes that fail are skipped.
void takeOverRegistration(const ON_wString& key, const ON_wString& plugInKey, bool userInstall) {
    CRhinoUiRegistry registry;
    if (registry.Open(RegHive::localMachine, plugInKey, true)) {
        registry.SetStringValue(u"FileName", u"");
        registry.Flush();
        registry.Close();
    }
    if (registry.Open(userInstall ? RegHive::currentUser : RegHive::localMachine, key, true)) {
        uint32_t serial = 0;
        if (!registry.QueryDWORDValue(u"InstallSerialNumber", serial))
            serial = 0;
        registry.SetDWORDValue(u"InstallSerialNumber", serial + 1);
        registry.Flush();
        registry.Close();
    }
    RhinoShowMessageBox(RhinoApp().MainWnd(),
                        u"Older version of the Velora Vantro plugin\nhas been detected and uninstalled.\n"
                        u"Please restart Rhino to complete installation.",
                        u"Velora Vantro", MB_ICONERROR);
}

}  // namespace

std::u16string VersionFromInstallPath(std::u16string_view path) {
    const std::u16string text = withBackslashes(path);
    const size_t velora = text.rfind(u"\\Velora\\");
    if (velora == std::u16string::npos || velora == 0)
        return {};
    const size_t before = text.rfind(u'\\', velora - 1);
    if (before == std::u16string::npos)
        return {};
    return text.substr(before + 1, velora - before - 1);
}

}  // namespace vantro::plugin

int VeloraPlugin::CheckOlderPlugIn() {
    using namespace vantro::plugin;
    const std::u16string ownPath = PlugInFileName().Array();
    const ON_wString key = RhinoApp().GetRhinoPlugInsRegistryPath(true) + u"\\" + kPlugInIdText;
    const ON_wString plugInKey = key + u"\\PlugIn";
    const std::u16string userPath = registeredFileName(RegHive::currentUser, key);
    const std::u16string machinePath = registeredFileName(RegHive::localMachine, key);
    std::u16string registeredPath = registeredFileName(RegHive::localMachine, plugInKey);

    const std::u16string ownVersion = VersionFromInstallPath(ownPath);
    if (ownVersion.empty())
        return 1;
    if (!userPath.empty() && userPath != ownPath) {
        if (vantro::CompareVersions(ownVersion, VersionFromInstallPath(userPath)) != 1)
            return -1;
    } else if (!machinePath.empty() && machinePath != ownPath) {
        if (vantro::CompareVersions(ownVersion, VersionFromInstallPath(machinePath)) != 1)
            return -1;
    }

    const CRhinoPlugInRecord* record = CRhinoPlugIn::GetPlugIn(PlugInID());
    if (!record || !record->PlugIn())
        return 1;
    std::u16string registeredVersion = VersionFromInstallPath(registeredPath);
    if (registeredVersion.empty())
        registeredVersion = VersionFromInstallPath(record->PlugIn()->PlugInFileName().Array());
    if (vantro::CompareVersions(ownVersion, registeredVersion) != 1)
        return lowerAscii(ownPath).find(lowerAscii(registeredPath)) != std::u16string::npos ? 1 : -1;

    takeOverRegistration(key, plugInKey, ownPath == userPath);
    return -1;
}
