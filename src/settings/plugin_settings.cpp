#include "settings/plugin_settings.h"

#include <utility>

#include "settings/registry_helpers.h"

PluginSettings::PluginSettings(std::u16string path) : keyPath(std::move(path)) { Read(); }

void PluginSettings::Read() {
    vantro::platform::RegistryKey key = OpenSettingsKey(keyPath);
    if (!key.isOpen())
        return;
    ReadRegDword(key, u"CameraAutoSync", cameraAutoSync, 1);
    ReadRegDword(key, u"MemoryTextures", memoryTextures, 1);
    ReadRegDword(key, u"ExportNodes", exportNodes, 1);
    ReadRegDword(key, u"SkipVeloraCheck", skipVeloraCheck, 0);
    ReadRegDword(key, u"CheckPluginVersion", checkPluginVersion, 1);
    ReadRegDword(key, u"ExportPrecision", exportPrecision, 3);
    ReadRegDword(key, u"ExportSchemaValid", exportSchemaValid, 0);
}

void PluginSettings::Write() {
    vantro::platform::RegistryKey key = OpenSettingsKey(keyPath);
    if (!key.isOpen())
        return;
    WriteRegDword(key, u"CameraAutoSync", cameraAutoSync);
    WriteRegDword(key, u"MemoryTextures", memoryTextures);
    WriteRegDword(key, u"ExportNodes", exportNodes);
    WriteRegDword(key, u"SkipVeloraCheck", skipVeloraCheck);
    WriteRegDword(key, u"CheckPluginVersion", checkPluginVersion);
}

void PluginSettings::SetCameraAutoSync(bool on) {
    cameraAutoSync = on ? 1 : 0;
    Write();
}

void PluginSettings::SetMemoryTextures(bool on) {
    memoryTextures = on ? 1 : 0;
    Write();
}

void PluginSettings::SetExportNodes(bool on) {
    exportNodes = on ? 1 : 0;
    Write();
}

void PluginSettings::SetSkipVeloraCheck(bool on) {
    skipVeloraCheck = on ? 1 : 0;
    Write();
}

void PluginSettings::SetCheckPluginVersion(bool on) {
    checkPluginVersion = on ? 1 : 0;
    Write();
}

void PluginSettings::SetExportPrecision(int decimals) {
    if (decimals < 0 || decimals > 6)
        return;
    exportPrecision = static_cast<uint32_t>(decimals);
    vantro::platform::RegistryKey key = OpenSettingsKey(keyPath);
    if (key.isOpen())
        WriteRegDword(key, u"ExportPrecision", exportPrecision);
}

void PluginSettings::SetExportSchemaValid(bool on) {
    exportSchemaValid = on ? 1 : 0;
    vantro::platform::RegistryKey key = OpenSettingsKey(keyPath);
    if (key.isOpen())
        WriteRegDword(key, u"ExportSchemaValid", exportSchemaValid);
}
