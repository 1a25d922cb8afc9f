#pragma once
// The plug-in's five user settings, kept as 32-bit values under one registry key of
// the current user. Read all at once, written all at once, so that a setter can
// never leave the key half updated by this process.
//
// Main thread only; the object has no lock. Registry failures are silent: a failed
// open keeps the values in memory (Read) or skips the write (Write).

#include <cstdint>
#include <string>

constexpr const char16_t* kSettingsKeyPath = u"Software\\Orvane\\PluginForRhino6";

class PluginSettings {
public:
    // Stores keyPath, sets the values used when the key cannot be opened
    // (0, 0, 1, 0, 1) and reads the registry.
    explicit PluginSettings(std::u16string keyPath = kSettingsKeyPath);

    // Opens (creating when absent) the key and reads the five values in order; a
    // missing or unreadable value takes its default (1, 1, 1, 0, 1). An unopenable key
    // leaves every field unchanged. Creating the key writes no value.
    void Read();
    // Writes all five values as REG_DWORD in the same order; skipped when the key
    // cannot be opened.
    void Write();

    bool CameraAutoSync() const { return cameraAutoSync != 0; }
    bool MemoryTextures() const { return memoryTextures != 0; }
    bool ExportNodes() const { return exportNodes != 0; }
    bool SkipVeloraCheck() const { return skipVeloraCheck != 0; }
    bool CheckPluginVersion() const { return checkPluginVersion != 0; }
    // Decimals of the COLLADA export's number lists: the stored ExportPrecision value
    // when it is 0 to 6, else 3 (the renderer's format).
    int ExportPrecision() const { return exportPrecision <= 6 ? static_cast<int>(exportPrecision) : 3; }
    // The COLLADA export in the schema-valid form, for importers that validate the
    // schema, instead of the layout the renderer reads: the stored ExportSchemaValid value.
    bool ExportSchemaValid() const { return exportSchemaValid != 0; }

    // Each stores 1 or 0 in its whole field, then writes all five values.
    void SetCameraAutoSync(bool on);
    void SetMemoryTextures(bool on);
    void SetExportNodes(bool on);
    void SetSkipVeloraCheck(bool on);
    void SetCheckPluginVersion(bool on);
    // Stores decimals (0 to 6, else ignored) and writes only the ExportPrecision value:
    // an opt-in entry beside the five, absent until a user sets it.
    void SetExportPrecision(int decimals);
    // Stores 1 or 0 and writes only the ExportSchemaValid value, opt-in like ExportPrecision.
    void SetExportSchemaValid(bool on);

    // The raw values; anything other than 0 counts as on.
    std::u16string keyPath;
    uint32_t cameraAutoSync = 0;
    uint32_t memoryTextures = 0;
    uint32_t exportNodes = 1;
    uint32_t skipVeloraCheck = 0;
    uint32_t checkPluginVersion = 1;
    uint32_t exportPrecision = 3;    // read by Read, written only by SetExportPrecision
    uint32_t exportSchemaValid = 0;  // read by Read, written only by SetExportSchemaValid
};
