// Where the renderer's version comes from: window titles of running peers (cleaned to
// digits and dots, compared as versions) and Uninstall entries (compared as text).

#include <gtest/gtest.h>

#include "discovery/velora_versions.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/window.h"
#include "support/child_process.h"
#include "support/test_environment.h"

namespace vantro::discovery {
namespace {

using platform::RegHive;
using platform::RegistryKey;

class VeloraVersionsTest : public ::testing::Test {
protected:
    void addEntry(const std::u16string& subKey, const std::u16string& name, const std::u16string& version,
                  const std::u16string& location = u"") {
        RegistryKey key;
        ASSERT_EQ(RegistryKey::create(RegHive::localMachine, std::u16string(kUninstallKey) + u"\\" + subKey, key), 0);
        for (const auto& [value, text] :
             {std::pair{u"DisplayName", name}, {u"DisplayVersion", version}, {u"InstallLocation", location}})
            if (!text.empty())
                key.setString(value, text);
    }
    test::TestEnvironment env_;
};

// Without entries or windows the defaults come back. Only digits and full stops
// survive the cleaning of a title.
TEST_F(VeloraVersionsTest, NothingFoundGivesTheDefaults) {
    EXPECT_EQ(GetInstalledVersion(), u"0.0");
    EXPECT_EQ(GetRunningVersion(), u"0.0.0.0");
    EXPECT_TRUE(LaunchVelora(u"8.4.0"));
    EXPECT_EQ(VersionDigits(u"Velora 8.3.0 (build 7)"), u"8.3.07");
    EXPECT_EQ(VersionDigits(u"Velora"), u"");
}

// Installed versions compare as text (8.9.0 beats 8.10.0); entries whose display name
// lacks "Velora" (case-sensitive) and missing versions are ignored.
TEST_F(VeloraVersionsTest, InstalledVersionIsTheGreatestText) {
    addEntry(u"Velora 8.10", u"Velora 8.10", u"8.10.0");
    addEntry(u"Velora 8.9", u"Velora 8.9", u"v8.9.0");
    addEntry(u"Other", u"Other renderer", u"99.0");
    addEntry(u"lower", u"velora lower case", u"98.0");
    EXPECT_EQ(GetInstalledVersion(), u"8.9.0");
}

// The launch uses the install location followed directly by "Velora.exe": an
// installed velora-peer copy starts and shows its window.
TEST_F(VeloraVersionsTest, LaunchStartsTheMatchingInstallation) {
    const std::string dir = env_.root() + "/Velora 8.4.0";
    const test::RunResult install =
        test::runProgram(VELORA_PEER_PATH, {"--install", dir, "--version", "8.4.0", "--listen", "3000"});
    ASSERT_EQ(install.exitCode, 0) << install.output;
    addEntry(u"Broken", u"Velora broken", u"8.4.0", u"/nonexistent/");  // earlier in order: the later entry wins
    EXPECT_TRUE(LaunchVelora(u"8.4.0"));
    std::u16string running;
    for (int i = 0; i < 1200 && running != u"8.4.0"; ++i) {  // up to 30 s on a loaded sanitizer run
        running = GetRunningVersion();
        platform::sleepMilliseconds(25);
    }
    EXPECT_EQ(running, u"8.4.0");
    // The launched renderer is nobody's child here: let it end (it listens for 3 s)
    // before the test's runtime folder goes, or it writes the folder back on its way out.
    for (platform::WindowHandle window : platform::enumWindows()) {
        platform::WindowInfo info;
        if (!platform::getWindowInfo(window, info) || info.className != u"VELORA START")
            continue;
        for (int i = 0; i < 1200 && platform::isProcessAlive(info.ownerPid); ++i)
            platform::sleepMilliseconds(25);
    }
}

// The running version is the highest cleaned title among peer windows, compared as
// versions; windows of other programs do not count.
TEST_F(VeloraVersionsTest, RunningVersionIsTheHighestTitle) {
    test::ChildProcess older(VELORA_PEER_PATH, {"--version", "8.2.9", "--listen", "30000"});
    test::ChildProcess pro(VELORA_PEER_PATH, {"--version", "9 Pro 2", "--listen", "30000"});
    test::ChildProcess other(VELORA_PEER_PATH, {"--version", "99", "--class", "OTHER", "--listen", "30000"});
    for (test::ChildProcess* p : {&older, &pro, &other})
        ASSERT_NE(p->waitForLine("READY"), "");
    EXPECT_EQ(GetRunningVersion(), u"92");
}

// A splash window in front of the renderer's main window does not hide its title:
// the version is read from the first visible unowned window whose class holds START.
TEST_F(VeloraVersionsTest, RunningVersionComesFromTheStartWindowBehindASplash) {
    test::ChildProcess renderer(
        VELORA_WINDOWS_CHILD_PATH,
        {"0", "VELORA SPLASH=Velora 1.0 loading", "VELORA START=Velora 9.9=hidden", "VELORA START=Velora 8.4.0"});
    ASSERT_NE(renderer.waitForLine("READY"), "") << renderer.output();
    EXPECT_EQ(GetRunningVersion(), u"8.4.0");
}

}  // namespace
}  // namespace vantro::discovery
