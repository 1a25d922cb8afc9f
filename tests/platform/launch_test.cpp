#include "platform/launch.h"

#include "platform/process.h"
#include "platform/utf.h"

#include "support/test_environment.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace vantro::platform {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::ScopedEnv;

// Waits for a file another process writes; the launch itself does not wait.
bool waitForFile(const std::string& path) {
    for (int i = 0; i < 2000 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return fs::exists(path);
}

// An unquoted path with spaces and a ".exe" name starts the program there, in the given
// directory, with the rest of the line as arguments; failures are results.
TEST(Launch, CreateProcessLikeWindows) {
    test::TestEnvironment env;
    std::string install = env.root() + "/Program Files/Orvane/Velora/";
    fs::create_directories(install);
    fs::copy_file(PLATFORM_TEST_HELPER, install + "Velora");
    std::string out = env.root() + "/probe.txt";
    std::u16string line = fromUtf8(install + "Velora.exe launch-probe " + out);
    ASSERT_TRUE(createProcess(line, fromUtf8(install)));
    ASSERT_TRUE(waitForFile(out));
    fs::path expectedCwd = fs::canonical(install);
    EXPECT_EQ(readFile(out),
              "cwd=" + expectedCwd.string() + "\narg=" + install + "Velora.exe\narg=launch-probe\narg=" + out + "\n");

    EXPECT_FALSE(createProcess(u"", u""));
    EXPECT_FALSE(createProcess(fromUtf8(env.root() + "/missing.exe"), u""));
    EXPECT_FALSE(createProcess(fromUtf8(std::string(PLATFORM_TEST_HELPER) + " x"), fromUtf8(env.root() + "/nodir")));
    test::writeFile(env.root() + "/data.exe", "not a program");
    EXPECT_FALSE(createProcess(fromUtf8(env.root() + "/data.exe"), u""));
}

// shellOpen records the target, as UTF-8, in $VANTRO_OPEN_LOG.
TEST(Launch, ShellOpenRecordsTheTarget) {
    test::TestEnvironment env;
    ScopedEnv log("VANTRO_OPEN_LOG", (env.root() + "/opened.log").c_str());
    ASSERT_TRUE(shellOpen(u"https://example.invalid/?utm_source=a&x=\u00e9"));
    ASSERT_TRUE(shellOpen(u"https://example.invalid/second"));
    EXPECT_EQ(readFile(env.root() + "/opened.log"),
              "https://example.invalid/?utm_source=a&x=\xC3\xA9\nhttps://example.invalid/second\n");
    EXPECT_FALSE(shellOpen(u""));
}

}  // namespace
}  // namespace vantro::platform
