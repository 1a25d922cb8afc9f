// CheckVelora's outcomes as a user meets them in the host: no renderer anywhere, one
// new enough running, an older one running beside a newer installation, and a newer
// installation that "Yes" starts.

#include <filesystem>

#include <gtest/gtest.h>

#include "plugin_process_support.h"
#include "support/test_files.h"

namespace vantro::plugin_test {
namespace {

class PluginDiscoveryTest : public PluginProcessTest {
protected:
    PluginDiscoveryTest() { setSetting(u"CameraAutoSync", 0); }

    std::string opened() const { return std::filesystem::exists(openLog_) ? test::readFile(openLog_) : std::string(); }
    // Installs velora-peer as Velora <version>; extra: the options the copy starts with.
    void install(const std::string& version, std::vector<std::string> extra) const {
        extra.insert(extra.begin(), {"--install", path("Velora " + version), "--version", version});
        const test::RunResult result = peer(extra);
        ASSERT_EQ(result.exitCode, 0) << result.output;
    }
    std::unique_ptr<test::ChildProcess> running(const std::string& version) const {
        auto process = std::make_unique<test::ChildProcess>(
            VELORA_PEER_PATH, std::vector<std::string>{"--version", version, "--listen", "60000"});
        EXPECT_NE(process->waitForLine("READY"), "");
        return process;
    }
    // The question or notice the start asked, with its answer.
    static void expectBox(const test::RunResult& run, const std::string& title, const std::string& kind,
                          const std::string& text, const std::string& answer) {
        EXPECT_NE(run.output.find("[message box] Velora Vantro - " + title + " (" + kind + ", plug-in icon)\n" + text +
                                  "\n[answer] " + answer + "\n"),
                  std::string::npos)
            << run.output;
    }

    const std::string openLog_ = path("opened.txt");
    test::ScopedVariable openLogVariable_{"VANTRO_OPEN_LOG", openLog_.c_str()};
};

// Nothing installed: the newer-version question; Yes opens the home page, No opens
// nothing; either way the link does not start.
TEST_F(PluginDiscoveryTest, NoVeloraAsksForANewerOneAndDoesNotStart) {
    const std::string doc = copySample();
    const test::RunResult no = host({doc, "--answer", "no", "-c", "Vantro Start"});
    expectBox(no, "Newer Velora version required", "question, Yes/No",
              "You need to have Velora\u00ae 8.3.0 or newer to start Vantro.\n"
              "Are you interested in learning more about the current version of Velora?",
              "No (--answer)");
    EXPECT_EQ(opened(), "");
    const test::RunResult yes = host({doc, "-c", "Vantro Start"});
    EXPECT_NE(yes.output.find("[answer] Yes (default: no answer given)"), std::string::npos) << yes.output;
    EXPECT_EQ(opened(),
              "https://www.orvane-velora.com?utm_source=Rhino%206%20SR9&utm_medium=3%2e50rc%2e52"
              "&utm_campaign=Rhino6%20Vantro\n");
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
    expectBox(run, "Velora is not running", "information, OK",
              "Velora 8.3.0 or newer is not running.\n"
              "Please close your current version and start Velora 8.3.0 or newer.",
              "OK");
    EXPECT_NE(run.output.find("Vantro started."), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("READY"), std::string::npos) << run.output;
}

// A newer Velora installed and none running: "No" starts the link alone; "Yes"
// launches the installed copy, which finds the announced link and opens it.
TEST_F(PluginDiscoveryTest, InstalledVeloraIsLaunchedOnYes) {
    install("8.4.0", {"--wait-connection", "30000", "--close-link"});
    const std::string doc = copySample();
    const test::RunResult no = host({doc, "--answer", "no", "-c", "Vantro Start"});
    expectBox(no, "Velora is not running", "question, Yes/No",
              "Velora 8.3.0 or newer is not running.\nWould you like to start Velora now?", "No (--answer)");
    EXPECT_NE(no.output.find("Vantro started."), std::string::npos) << no.output;
    EXPECT_EQ(no.output.find("READY"), std::string::npos) << no.output;

    auto yes = startLinkedHost(doc, {"--answer", "yes"});
    // The launched copy writes to the host's output, which it inherits.
    EXPECT_NE(yes->waitForLine("OPENED name=" + linkNameOf(doc), 60000), "") << yes->output();
    EXPECT_NE(yes->waitForLine("Vantro stopped.", 30000), "") << yes->output();
    yes->kill();
    EXPECT_NE(yes->output().find("[answer] Yes (--answer)"), std::string::npos) << yes->output();
}

}  // namespace
}  // namespace vantro::plugin_test
