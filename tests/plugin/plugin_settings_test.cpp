// The settings library: the five settings in the registry (defaults, raw reads, whole
// writes, a store that cannot be opened), its registry string reads and file checks.

#include "settings/plugin_settings.h"
#include "settings/file_helpers.h"
#include "settings/registry_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/registry.h"
#include "platform/utf.h"
#include "support/test_environment.h"

using namespace vantro::platform;

namespace {

constexpr const char16_t* kNames[] = {u"CameraAutoSync", u"MemoryTextures", u"ExportNodes", u"SkipVeloraCheck",
                                      u"CheckPluginVersion"};

RegistryKey settingsKey() {
    RegistryKey key;
    EXPECT_EQ(RegistryKey::create(RegHive::currentUser, kSettingsKeyPath, key), 0);
    return key;
}

// The stored value as (type, bytes); type none when absent.
std::pair<RegType, std::vector<uint8_t>> stored(const char16_t* name) {
    RegistryKey key;
    RegType type = RegType::none;
    std::vector<uint8_t> data;
    if (RegistryKey::open(RegHive::currentUser, kSettingsKeyPath, key) != 0 || key.queryValue(name, &type, &data) != 0)
        return {RegType::none, {}};
    return {type, data};
}

std::vector<uint32_t> fields(const PluginSettings& s) {
    return {s.cameraAutoSync, s.memoryTextures, s.exportNodes, s.skipVeloraCheck, s.checkPluginVersion};
}

class PluginSettingsTest : public ::testing::Test {
protected:
    vantro::test::TestEnvironment env;
};

}  // namespace

// A first run creates the empty key, takes the missing-value defaults and writes
// nothing; later edits outside the plug-in show at the next Read, not before.
TEST_F(PluginSettingsTest, MissingKeyIsCreatedEmptyWithDefaults) {
    PluginSettings settings;
    EXPECT_EQ(fields(settings), (std::vector<uint32_t>{1, 1, 1, 0, 1}));
    RegistryKey key = settingsKey();
    uint32_t subKeys = 99, values = 99;
    ASSERT_EQ(key.queryInfo(&subKeys, &values), 0);
    EXPECT_EQ(values, 0u);
    ASSERT_EQ(key.setDword(u"ExportNodes", 0), 0);
    EXPECT_TRUE(settings.ExportNodes());
    settings.Read();
    EXPECT_FALSE(settings.ExportNodes());
}

// When the store cannot be opened at all, the construction values stay and Read keeps
// whatever is in memory; a write is skipped silently.
TEST_F(PluginSettingsTest, UnopenableKeyKeepsValuesInMemory) {
    const std::string blocker = env.root() + "/not-a-directory";
    std::ofstream(blocker) << "x";
    setenv("VANTRO_REGISTRY_ROOT", (blocker + "/registry").c_str(), 1);
    PluginSettings settings;
    EXPECT_EQ(fields(settings), (std::vector<uint32_t>{0, 0, 1, 0, 1}));
    settings.skipVeloraCheck = 5;
    settings.Read();
    EXPECT_EQ(settings.skipVeloraCheck, 5u);
    settings.SetCameraAutoSync(true);
    EXPECT_EQ(settings.cameraAutoSync, 1u);
    setenv("VANTRO_REGISTRY_ROOT", env.registryRoot().c_str(), 1);
    EXPECT_EQ(stored(u"CameraAutoSync").first, RegType::none);
}

// Values are taken as raw 4 bytes: non-zero is on, REG_SZ "1" is on, longer data and
// missing values fall back to each value's own default.
TEST_F(PluginSettingsTest, ReadTakesRawBytesAndFallsBackPerValue) {
    RegistryKey key = settingsKey();
    ASSERT_EQ(key.setDword(u"CameraAutoSync", 256), 0);
    ASSERT_EQ(key.setString(u"MemoryTextures", u"1"), 0);     // 4 bytes with terminator
    ASSERT_EQ(key.setString(u"ExportNodes", u"0"), 0);        // 0x30: still on
    ASSERT_EQ(key.setString(u"SkipVeloraCheck", u"yes"), 0);  // 8 bytes: default 0
    ASSERT_EQ(key.setDword(u"CheckPluginVersion", 0), 0);
    PluginSettings settings;
    EXPECT_EQ(fields(settings), (std::vector<uint32_t>{256, 0x31, 0x30, 0, 0}));
    EXPECT_EQ((std::vector<bool>{settings.CameraAutoSync(), settings.MemoryTextures(), settings.ExportNodes(),
                                 settings.SkipVeloraCheck(), settings.CheckPluginVersion()}),
              (std::vector<bool>{true, true, true, false, false}));
    ASSERT_EQ(key.setString(u"CameraAutoSync", u"on"), 0);  // 6 bytes: default 1
    ASSERT_EQ(key.deleteValue(u"CheckPluginVersion"), 0);
    settings.Read();
    EXPECT_EQ(settings.cameraAutoSync, 1u);
    EXPECT_EQ(settings.checkPluginVersion, 1u);
}

// A setter stores 0 or 1 in the whole field and writes all five values as REG_DWORD,
// carrying the unused MemoryTextures value exactly as last read.
TEST_F(PluginSettingsTest, SetterWritesAllFiveValues) {
    RegistryKey key = settingsKey();
    ASSERT_EQ(key.setDword(u"CameraAutoSync", 256), 0);
    ASSERT_EQ(key.setDword(u"MemoryTextures", 7), 0);
    PluginSettings settings;
    settings.SetCameraAutoSync(false);
    EXPECT_EQ(settings.cameraAutoSync, 0u);
    const uint32_t expected[] = {0, 7, 1, 0, 1};
    for (size_t i = 0; i < 5; ++i) {
        const auto [type, data] = stored(kNames[i]);
        EXPECT_EQ(type, RegType::dword) << i;
        EXPECT_EQ(data, (std::vector<uint8_t>{uint8_t(expected[i]), 0, 0, 0})) << i;
    }
    settings.SetSkipVeloraCheck(true);
    settings.SetExportNodes(false);
    settings.SetMemoryTextures(false);
    settings.SetCheckPluginVersion(false);
    EXPECT_EQ(fields(PluginSettings()), (std::vector<uint32_t>{0, 0, 0, 1, 0}));
}

// ReadRegString keeps up to 1024 bytes, stops at the first NUL, does not check the
// type, and leaves the text empty on any failure.
TEST(RegistryHelpers, ReadRegStringLimits) {
    vantro::test::TestEnvironment env;
    RegistryKey key = OpenSettingsKey(u"Software\\Orvane\\HelperTest");
    // Stored as exactly these code units, no terminator added.
    auto setRaw = [&](const char16_t* name, const std::u16string& units, RegType type = RegType::sz) {
        ASSERT_EQ(key.setValue(name, type, units.data(), units.size() * 2), 0);
    };
    setRaw(u"Name", std::u16string(u"Velora 8.3 \u00e9\u6c34") + u'\0');
    setRaw(u"Fits", std::u16string(511, u'x') + u'\0');  // 1024 bytes
    setRaw(u"Full", std::u16string(512, u'y'));          // exactly the buffer, no terminator
    setRaw(u"TooLong", std::u16string(512, u'z') + u'\0');
    setRaw(u"Embedded", std::u16string(u"ab\0cd", 5));
    ASSERT_EQ(key.setDword(u"Number", 0x00420041u), 0);
    const struct {
        const char16_t* name;
        long status;
        std::u16string text;
    } cases[] = {{u"Name", 0, u"Velora 8.3 \u00e9\u6c34"},
                 {u"Fits", 0, std::u16string(511, u'x')},
                 {u"Full", 0, std::u16string(512, u'y')},
                 {u"TooLong", kErrorMoreData, u""},
                 {u"Embedded", 0, u"ab"},
                 {u"Number", 0, u"AB"},
                 {u"Missing", kErrorFileNotFound, u""}};
    for (const auto& c : cases) {
        std::u16string text = u"stale";
        EXPECT_EQ(ReadRegString(key, c.name, text), c.status) << toUtf8(c.name);
        EXPECT_EQ(text, c.text) << toUtf8(c.name);
    }
}

// Only existing non-directories count as files, names in any script; files that
// cannot be opened give 0 for every kind of time.
TEST(FileHelpers, ExistenceAndUnopenableTimes) {
    vantro::test::TestEnvironment env;
    for (const char* name : {"plain.txt", "\xd0\xb2\xd0\xbe\xd0\xb4\xd0\xb0 \xe6\xb0\xb4.png"}) {
        std::ofstream(env.root() + "/" + name) << "data";
        EXPECT_TRUE(FileExists(fromUtf8(env.root() + "/" + name))) << name;
    }
    for (const std::u16string& path : {std::u16string(), fromUtf8(env.root() + "/missing"), fromUtf8(env.root())}) {
        EXPECT_FALSE(FileExists(path));
        for (uint32_t which : {0u, 1u, 2u})
            EXPECT_EQ(GetFileTimeValue(path, which), 0u);
    }
}
