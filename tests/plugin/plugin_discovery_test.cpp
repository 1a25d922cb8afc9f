// CheckVelora's outcomes as a user meets them in the host: no renderer anywhere, one
// new enough running, an older one running beside a newer installation, and a newer
// installation that "Yes" starts.

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "plugin_process_support.h"
#include "support/test_files.h"

namespace vantro::plugin_test {
namespace {

constexpr char kHomePage[] =
    "https://www.orvane-velora.com?utm_source=Rhino%206%20SR9&utm_medium=3%2e50rc%2e52&utm_campaign=Rhino6%20Vantro";

class PluginDiscoveryTest : public PluginProcessTest {
protected:
    PluginDiscoveryTest() {
        setSetting(u"CameraAutoSync", 0);
        ::setenv("VANTRO_OPEN_LOG", openLog().c_str(), 1);
    }
    ~PluginDiscoveryTest() override { ::unsetenv("VANTRO_OPEN_LOG"); }

    std::string openLog() const { return path("opened.txt"); }
    std::string opened() const {
        return std::filesystem::exists(openLog()) ? test::readFile(openLog()) : std::string();
    }
    // Installs velora-peer as Velora <version>; extra: the options the copy starts with.
    void install(const std::string& version, std::vector<std::string> extra = {}) const {
        std::vector<std::string> args{"--install", path("Velora " + version), "--version", version};
        args.insert(args.end(), extra.begin(), extra.end());
        const test::RunResult result = peer(args);
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }
    std::unique_ptr<test::ChildProcess> running(const std::string& version) const {
        auto process = startPeer({"--version", version, "--listen", "60000"});
        EXPECT_NE(process->waitForLine("READY"), "");
        return process;
    }
};

// Nothing installed: the newer-version question; Yes opens the home page, No opens
// nothing; either way the link does not start.
TEST_F(PluginDiscoveryTest, NoVeloraAsksForANewerOneAndDoesNotStart) {
    const std::string doc = copySample();
    const test::RunResult no = host({doc, "--answer", "no", "-c", "Vantro Start"});
    EXPECT_NE(
        no.output.find("[message box] Velora Vantro - Newer Velora version required (question, Yes/No, plug-in icon)\n"
                       "You need to have Velora\u00ae 8.3.0 or newer to start Vantro.\n"
                       "Are you interested in learning more about the current version of Velora?\n"
                       "[answer] No (--answer)\n"),
        std::string::npos)
        << no.output;
    EXPECT_EQ(opened(), "");

    const test::RunResult yes = host({doc, "-c", "Vantro Start"});
    EXPECT_NE(yes.output.find("[answer] Yes (default: no answer given)"), std::string::npos) << yes.output;
    EXPECT_EQ(opened(), std::string(kHomePage) + "\n");
    for (const test::RunResult* run : {&no, &yes})
        EXPECT_EQ(run->output.find("initializing"), std::string::npos) << run->output;
}

// A new enough Velora running lets the start go on without a question, even with an
// older one running beside it.
TEST_F(PluginDiscoveryTest, RunningNewEnoughVeloraStartsWithoutQuestions) {
    auto older = running("8.2.9");
    auto current = running("8.3.0");
    const test::RunResult run = host({copySample(), "-c", "Vantro Start"});
    EXPECT_EQ(run.output.find("[message box]"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Vantro started."), std::string::npos) << run.output;
}

// An older Velora running and a newer one installed: the user is told to switch, the
// link starts, and nothing is launched.
TEST_F(PluginDiscoveryTest, OlderRunningNewerInstalledTellsTheUserAndStarts) {
    install("8.4.0", {"--listen", "100"});
    auto older = running("8.2.9");
    const test::RunResult run = host({copySample(), "--answer", "yes", "-c", "Vantro Start"});
    EXPECT_NE(run.output.find("[message box] Velora Vantro - Velora is not running (information, OK, plug-in icon)\n"
                              "Velora 8.3.0 or newer is not running.\n"
                              "Please close your current version and start Velora 8.3.0 or newer.\n[answer] OK\n"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Vantro started."), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("READY"), std::string::npos) << run.output;
}

// A newer Velora installed and none running: "No" starts the link alone; "Yes"
// launches the installed copy, which finds the announced link and opens it.
TEST_F(PluginDiscoveryTest, InstalledVeloraIsLaunchedOnYes) {
    install("8.4.0", {"--wait-connection", "30000", "--close-link"});
    const std::string doc = copySample();
    const test::RunResult no = host({doc, "--answer", "no", "-c", "Vantro Start"});
    EXPECT_NE(no.output.find("[message box] Velora Vantro - Velora is not running (question, Yes/No, plug-in icon)\n"
                             "Velora 8.3.0 or newer is not running.\nWould you like to start Velora now?\n"
                             "[answer] No (--answer)\n"),
              std::string::npos)
        << no.output;
    EXPECT_NE(no.output.find("Vantro started."), std::string::npos) << no.output;
    EXPECT_EQ(no.output.find("READY"), std::string::npos) << no.output;

    std::vector<std::string> lines{"Vantro Start"};
    for (const std::string& line : idleFor(60))
        lines.push_back(line);
    auto yes = startHost({doc, "--answer", "yes", "--script", script("long.txt", lines)});
    // The launched copy writes to the host's output, which it inherits.
    EXPECT_NE(yes->waitForLine("OPENED name=" + linkNameOf(doc), 60000), "") << yes->output();
    EXPECT_NE(yes->waitForLine("Vantro stopped.", 30000), "") << yes->output();
    yes->kill();
    EXPECT_NE(yes->output().find("[answer] Yes (--answer)"), std::string::npos) << yes->output();
}

}  // namespace
}  // namespace vantro::plugin_test
