// Loading libvantro.so into the real host: the profile entries across runs, a module
// given twice or copied, and the older-copy check against registrations in the
// registry store.

#include <cstring>
#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "plugin/plugin_identity.h"
#include "plugin_process_support.h"

namespace vantro::plugin_test {
namespace {

namespace fs = std::filesystem;
using platform::RegHive;
using platform::RegistryKey;

const std::u16string kProfileKey =
    std::u16string(u"Software\\Rhinoceros\\6.0\\Profile\\Plug-ins\\") + plugin::kPlugInIdText;
const std::u16string kRegistrationKey =
    std::u16string(u"Software\\Rhinoceros\\6.0\\Plug-ins\\") + plugin::kPlugInIdText;

std::optional<std::vector<uint8_t>> readValue(RegHive hive, const std::u16string& key, const char16_t* name) {
    RegistryKey k;
    std::vector<uint8_t> data;
    if (RegistryKey::open(hive, key, k) != 0 || k.queryValue(name, nullptr, &data) != 0)
        return std::nullopt;
    return data;
}

std::u16string readString(RegHive hive, const std::u16string& key, const char16_t* name) {
    const auto data = readValue(hive, key, name);
    if (!data)
        return u"<missing>";
    std::u16string text(data->size() / 2, u'\0');
    std::memcpy(text.data(), data->data(), text.size() * 2);
    return text.substr(0, text.find(u'\0'));
}

void writeString(RegHive hive, const std::u16string& key, const char16_t* name, const std::string& value) {
    RegistryKey k;
    ASSERT_EQ(RegistryKey::create(hive, key, k), 0);
    ASSERT_EQ(k.setString(name, std::u16string(value.begin(), value.end())), 0);
}

const std::vector<uint8_t> kDwordOne{1, 0, 0, 0};

class PluginLoadTest : public PluginProcessTest {
protected:
    // A copy of the module in <root>/<version>/Velora/, as an installer lays it out.
    std::string installedCopy(const std::string& version) const {
        const fs::path dir = path(version) + "/Velora";
        fs::create_directories(dir);
        fs::copy_file(VANTRO_PLUGIN_PATH, dir / "libvantro.so", fs::copy_options::overwrite_existing);
        return (dir / "libvantro.so").string();
    }
    test::RunResult hostWith(const std::vector<std::string>& modules) const {
        std::vector<std::string> args;
        for (const std::string& m : modules)
            args.insert(args.end(), {"--plugin", m});
        args.insert(args.end(), {"-c", "Vantro About", "-c", "Plugins"});
        return test::runProgram(VANTRO_HOST_PATH, args, 60000);
    }
};

// The profile keeps the module's version and LoadedOnce across runs; the host's
// "Plugins" list shows the identity the exports give.
TEST_F(PluginLoadTest, ProfileEntriesAreKeptAcrossRuns) {
    for (int run = 0; run < 2; ++run) {
        const test::RunResult result = host({"-c", "Plugins"});
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const size_t id = result.output.find("id=623018e4-f9c4-4e4e-99ee-ec7af9f3576b");
        ASSERT_NE(id, std::string::npos) << result.output;
        const size_t line = result.output.rfind('\n', id) + 1;
        const std::string text = result.output.substr(line, result.output.find('\n', id) - line);
        EXPECT_NE(text.find("\"Velora Vantro for Rhino\""), std::string::npos) << text;
        EXPECT_NE(text.find(" loaded"), std::string::npos) << text;
        const size_t at = text.find("version=\"") + 9;
        const std::string version = text.substr(at, text.find('"', at) - at);
        EXPECT_EQ(version.size(), 21u) << "date, two blanks, time: " << version;
        EXPECT_EQ(readString(RegHive::currentUser, kProfileKey, u"PlugInVersion"),
                  std::u16string(version.begin(), version.end()));
        EXPECT_EQ(readValue(RegHive::currentUser, kProfileKey, u"LoadedOnce"), kDwordOne);
    }
}

// The same module twice, or a copy of it, is refused with a message naming the first;
// the host goes on with the plug-in it has.
TEST_F(PluginLoadTest, SecondLoadIsRefusedAndTheHostRunsOn) {
    const std::string first = VANTRO_PLUGIN_PATH;
    const test::RunResult twice = hostWith({first, first});
    EXPECT_EQ(twice.exitCode, 3) << twice.output;
    EXPECT_NE(twice.output.find("this module is already loaded (from " + first + ")"), std::string::npos)
        << twice.output;
    EXPECT_EQ(countOf(twice.output, "version: 3.50.52"), 1) << twice.output;

    const test::RunResult copied = hostWith({first, installedCopy("copy")});
    EXPECT_EQ(copied.exitCode, 3) << copied.output;
    EXPECT_NE(copied.output.find("is already loaded from " + first), std::string::npos) << copied.output;
    EXPECT_EQ(countOf(copied.output, "version: 3.50.52"), 1) << copied.output;
}

// A newer copy registered for the user makes an older one decline silently; with the
// check switched off it loads all the same.
TEST_F(PluginLoadTest, OlderCopyDeclinesWhenANewerOneIsRegistered) {
    const std::string older = installedCopy("3.5.0.52");
    writeString(RegHive::currentUser, kRegistrationKey, u"FileName", path("3.5.0.60") + "/Velora/libvantro.so");
    const test::RunResult declined = hostWith({older});
    EXPECT_NE(declined.output.find("\"Velora Vantro for Rhino\" declined to load"), std::string::npos)
        << declined.output;
    EXPECT_NE(declined.output.find("Unknown command \"Vantro\""), std::string::npos) << declined.output;
    EXPECT_EQ(declined.output.find("[message box]"), std::string::npos) << declined.output;

    setSetting(u"CheckPluginVersion", 0);
    const test::RunResult unchecked = hostWith({older});
    EXPECT_EQ(unchecked.exitCode, 0) << unchecked.output;
    EXPECT_NE(unchecked.output.find("version: 3.50.52"), std::string::npos) << unchecked.output;
}

// A newer copy takes the machine registration over from an older one: the old file
// name is cleared, the install count rises, the user is told to restart, and this
// run declines. Registered as itself, it then loads.
TEST_F(PluginLoadTest, NewerCopyTakesTheRegistrationOver) {
    const std::string newer = installedCopy("3.5.0.60");
    const std::u16string machineKey = kRegistrationKey + u"\\PlugIn";
    writeString(RegHive::currentUser, kRegistrationKey, u"FileName", newer);
    writeString(RegHive::localMachine, machineKey, u"FileName", path("3.5.0.52") + "/Velora/libvantro.so");
    const test::RunResult run = hostWith({newer});
    EXPECT_NE(run.output.find("[message box] Velora Vantro (error, OK)\n"
                              "Older version of the Velora Vantro plugin\nhas been detected and uninstalled.\n"
                              "Please restart Rhino to complete installation.\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("declined to load"), std::string::npos) << run.output;
    EXPECT_EQ(readString(RegHive::localMachine, machineKey, u"FileName"), u"");
    EXPECT_EQ(readValue(RegHive::currentUser, kRegistrationKey, u"InstallSerialNumber"), kDwordOne);

    writeString(RegHive::localMachine, machineKey, u"FileName", newer);
    const test::RunResult again = hostWith({newer});
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_NE(again.output.find("version: 3.50.52"), std::string::npos) << again.output;
}

}  // namespace
}  // namespace vantro::plugin_test
