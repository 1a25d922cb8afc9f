// The start/stop flows of the link through the real host and peer: refusals, the
// save-name check, a second host on the same document, the peer ending the link, the
// unload, camera requests, and the statistics the peer reads back.

#include <sstream>

#include <gtest/gtest.h>

#include "platform/utf.h"
#include "plugin/link_statistics.h"
#include "plugin_process_support.h"

namespace vantro::plugin_test {
namespace {

class PluginLinkTest : public PluginProcessTest {
protected:
    PluginLinkTest() {
        // These flows are about the link, not about finding a renderer.
        setSetting(u"SkipVeloraCheck", 1);
        setSetting(u"CameraAutoSync", 0);
    }
};

// An unsaved document asks to save first, starting twice says so, stopping twice is
// silent; the link's own texts reach the command area and the status bar.
TEST_F(PluginLinkTest, RefusalsAndRepeatsAreReported) {
    const test::RunResult unsaved = host({"-c", "Vantro Start", "-c", "StatusBar"});
    EXPECT_NE(unsaved.output.find("[message box] Velora Vantro - Save project first (information, OK, plug-in icon)\n"
                                  "Please save your project before starting Velora Vantro.\n[answer] OK\n"),
              std::string::npos)
        << unsaved.output;
    EXPECT_EQ(unsaved.output.find("initializing"), std::string::npos) << unsaved.output;

    const test::RunResult run =
        host({copySample(), "--script",
              script("twice.txt", {"Vantro Start", "StatusBar", "Vantro Start", "Menu 31771", "Vantro Stop",
                                   "StatusBar", "Print -- stopped", "Vantro Stop", "Menu 31772", "Print -- end"})});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(countOf(run.output, "Velora Vantro: initializing\u2026\nVantro started.\n"), 1) << run.output;
    EXPECT_EQ(countOf(run.output, "Vantro is running now.\n"), 2) << run.output;
    EXPECT_NE(run.output.find("Velora Vantro: started."), std::string::npos) << run.output;
    EXPECT_EQ(countOf(run.output, "Vantro stopped.\n"), 1) << run.output;
    EXPECT_EQ(run.output.substr(run.output.find("-- stopped")).find("Vantro stopped"), std::string::npos) << run.output;
}

// Save As under another name stops the link; saving under the same name, an export
// of the selection and the host's auto-save do not. Leaving the host with the link
// running stops it at unload, before the process ends.
TEST_F(PluginLinkTest, OnlyASaveUnderAnotherNameStopsTheLink) {
    const std::string doc = copySample();
    const test::RunResult run =
        host({doc, "--script",
              script("saves.txt", {"Vantro Start", "Save", "AutoSave", "SaveAs " + doc, "Print -- still running",
                                   "Vantro Start", "SaveAs " + path("docs/selected.json") + " selected=on",
                                   "Print -- after export", "SaveAs " + path("docs/other.json"),
                                   "Print -- after save as", "Vantro Start", "Print -- leaving"})});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const size_t exported = run.output.find("-- after export"), saved = run.output.find("-- after save as"),
                 leaving = run.output.find("-- leaving");
    ASSERT_NE(leaving, std::string::npos) << run.output;
    const std::string before = run.output.substr(0, exported), after = run.output.substr(exported, saved - exported);
    EXPECT_EQ(before.find("Vantro stopped."), std::string::npos) << run.output;
    EXPECT_EQ(countOf(before, "Vantro is running now."), 1) << run.output;
    EXPECT_EQ(countOf(after, "Vantro stopped.\n"), 1) << run.output;
    EXPECT_NE(run.output.find("Vantro stopped.\n", leaving), std::string::npos) << run.output;
}

// A second host on the same document cannot create the link: the file-in-use message
// names the .dae file. The peer reads the statistics JSON in key order, with the link
// name's hash, the build version encoded and the camera flag of the moment, then ends
// the first host's link (header flag 0x2), which stops at its next idle.
TEST_F(PluginLinkTest, SecondHostIsRefusedAndThePeerReadsAndEndsTheLink) {
    setSetting(u"CameraAutoSync", 1);
    const std::string doc = copySample();
    auto first = startLinkedHost(doc);
    ASSERT_NE(first->waitForLine("Vantro started.", 60000), "") << first->output();

    const test::RunResult second = host({doc, "-c", "Vantro Start"});
    EXPECT_NE(second.output.find("[message box] Velora Vantro - File already open (error, OK, plug-in icon)\n"
                                 "Cannot start the Vantro connection.\n\nFile \"living-room.dae\" is being used by "
                                 "another instance of Rhino.\n\nSave the file with a different name or stop other "
                                 "connections.\n"),
              std::string::npos)
        << second.output;
    EXPECT_EQ(second.output.find("Vantro started."), std::string::npos) << second.output;

    const test::RunResult reader = peer({"--connection", linkNameOf(doc), "--dump", "--close-link"});
    EXPECT_NE(reader.output.find("CLOSED-LINK"), std::string::npos) << reader.output;
    EXPECT_NE(first->waitForLine("Vantro stopped.", 30000), "") << first->output();
    first->kill();
    const std::string hash = std::to_string(plugin::LinkNameHash(platform::fromUtf8(linkNameOf(doc))));
    const std::string prefix = R"({\"cameraSync\":\"1\",\"fileNameCrc\":\")" + hash +
                               R"(\",\"format\":\"VL\",\"pluginVersion\":\"3%2e50rc%2e52\",\"time\":\")";
    const size_t at = reader.output.find(prefix);
    ASSERT_NE(at, std::string::npos) << reader.output;
    const size_t time = at + prefix.size(), digits = reader.output.find_first_not_of("0123456789", time);
    EXPECT_GT(digits, time) << reader.output;
    EXPECT_EQ(reader.output.substr(digits, 15), R"(\",\"toolName\")") << reader.output;
    EXPECT_NE(reader.output.find(R"(\"toolVersion\":\"6%2e9%2e18271%2e20591\",\"vertexCount\":\"0\"})"),
              std::string::npos)
        << reader.output;
}

// Camera requests: while stopped the request is refused but remembered; "CameraSync"
// from the command starts the link first; toggling from the menu flips it. The
// command's words are typed as scripts and users do: with the '_' and '-' prefixes,
// in any case, and cut to an unambiguous start.
TEST_F(PluginLinkTest, CameraRequestsFollowTheLinkState) {
    const test::RunResult run =
        host({copySample(), "--script",
              script("camera.txt", {"Menu 31773", "_Vantro _CameraStop", "-vantro CAMERASY", "Menu 31773", "Menu 31773",
                                    "Vantro camerast", "_Vantro _sto"})});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // The plug-in's lines only; the host's own "Menu command ..." lines left out.
    std::string printed;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line.rfind("Menu command", 0) != 0)
            printed += line + "\n";
    EXPECT_NE(printed.find("ERROR: You need to start Vantro first\n"
                           "Vantro: camera synchronization disabled.\n"
                           "Velora Vantro: initializing\u2026\nVantro started.\n"
                           "Vantro: camera synchronization enabled.\n"
                           "Vantro: camera synchronization disabled.\n"
                           "Vantro: camera synchronization enabled.\n"
                           "Vantro: camera synchronization disabled.\n"
                           "Vantro stopped.\n"),
              std::string::npos)
        << run.output;
}

}  // namespace
}  // namespace vantro::plugin_test
