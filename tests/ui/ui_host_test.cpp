// The plug-in's menu, toolbar and dialogs as vantro-host shows them to a user: the
// real host process with the real plug-in module, a private registry, and the
// toolbar's picture and its transcripts compared with references (reference/).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/plugin_settings.h"
#include "support/child_process.h"
#include "support/test_environment.h"
#include "support/test_files.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

namespace {

namespace fs = std::filesystem;
using vantro::test::RunResult;

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgba;
};

Picture readPng(const std::string& path) {
    Picture p;
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &p.width, &p.height, &channels, 4);
    if (!pixels)
        return {};
    p.rgba.assign(pixels, pixels + size_t(p.width) * size_t(p.height) * 4);
    stbi_image_free(pixels);
    return p;
}

// Mean absolute difference per channel over the rectangle x0..x1, y0..y1 (exclusive).
double meanDifference(const Picture& a, const Picture& b, int x0, int y0, int x1, int y1) {
    double sum = 0;
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            for (int c = 0; c < 4; ++c, ++n) {
                const size_t i = (size_t(y) * size_t(a.width) + size_t(x)) * 4 + size_t(c);
                sum += std::abs(int(a.rgba[i]) - int(b.rgba[i]));
            }
    return n ? sum / n : 0;
}

class UiHostTest : public ::testing::Test {
protected:
    UiHostTest() {
        // Velora itself is not needed to start the link here.
        PluginSettings().SetSkipVeloraCheck(true);
        fs::create_directories(dir("docs"));
        for (const char* name : {"living-room.json", "oak.bmp"})
            fs::copy_file(std::string(VANTRO_SAMPLES_DIR) + "/" + name, dir("docs") + "/" + name);
    }
    std::string dir(const std::string& name) const { return env_.root() + "/" + name; }
    RunResult host(const std::vector<std::string>& lines, bool withDocument = true) const {
        std::vector<std::string> args = {"--plugin", VANTRO_PLUGIN_PATH};
        if (withDocument)
            args.push_back(dir("docs") + "/living-room.json");
        for (const std::string& line : lines)
            args.insert(args.end(), {"-c", line});
        return vantro::test::runProgram(VANTRO_HOST_PATH, args);
    }
    static std::string section(const std::string& output, const std::string& from, const std::string& to) {
        const size_t a = output.find(from);
        const size_t b = output.find(to, a == std::string::npos ? 0 : a + 1);
        return a == std::string::npos ? std::string() : output.substr(a, b == std::string::npos ? b : b - a);
    }

    vantro::test::TestEnvironment env_;
};

// Start, camera and stop buttons drive the real link; the toolbar and the menu follow,
// and what the link forbids stays out of reach.
TEST_F(UiHostTest, ButtonsDriveTheLinkAndTheMenuFollows) {
    const RunResult run = host({"Click 31771", "Toolbar", "Print ===", "Menu", "Print ===", "Click 31779", "Menu",
                                "Print ===", "Click 31775", "Dialog settings", "Click 31772", "Toolbar"});
    const std::string& out = run.output;
    EXPECT_NE(out.find("Clicked toolbar button 31771 \"Start Vantro\".\nVelora Vantro: initializing"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Vantro started."), std::string::npos) << out;
    const std::string running = section(out, "Toolbar \"Velora Vantro", "===");
    // Camera synchronisation starts with the link (the default setting): the stop button shows.
    for (const char* line : {"31779  visible enabled", "31780  visible disabled", "31774  hidden",
                             "31771  visible disabled", "31775  visible disabled", "31781  visible disabled"})
        EXPECT_NE(running.find(line), std::string::npos) << line << "\n" << running;
    EXPECT_EQ(section(out, "Menu \"Velora", "==="),
              vantro::test::readFile(std::string(VANTRO_SOURCE_DIR) + "/tests/ui/reference/running_menu.txt"));
    EXPECT_NE(out.find("Vantro: camera synchronization disabled."), std::string::npos) << out;
    EXPECT_NE(out.find("31773  \"Start camera synchronization\" [bitmap 1008]"), std::string::npos) << out;
    EXPECT_NE(out.find("toolbar button 31775 \"Vantro Settings\" is disabled"), std::string::npos) << out;
    EXPECT_NE(out.find("Dialog: no dialog opened"), std::string::npos) << out;
    EXPECT_NE(out.find("Vantro stopped."), std::string::npos) << out;
    EXPECT_NE(section(out, "Vantro stopped.", "\n  31781").find("31774  visible disabled"), std::string::npos);
    EXPECT_EQ(run.exitCode, 3) << "the refused clicks count as failed commands";
}

// Stopped, the toolbar and the menu show every control as the user first meets them;
// each settings click reaches the registry at once (Cancel undoes nothing, the next
// session shows it); the About dialog shows the version, the picture at the screen's
// resolution, its fonts and blue links, and opens the three pages with the tracking
// query, while its title does not respond.
TEST_F(UiHostTest, StoppedControlsAndDialogs) {
    const std::string opened = dir("opened.txt");
    const vantro::test::ScopedVariable openLog("VANTRO_OPEN_LOG", opened.c_str());
    const RunResult run =
        host({"Toolbar", "Menu", "Dialog settings 1002 1003 Cancel", "Dialog about 1005 1004 1009 1011 OK"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.substr(run.output.find("Toolbar \"")),
              vantro::test::readFile(std::string(VANTRO_SOURCE_DIR) + "/tests/ui/reference/stopped_session.txt"));
    const std::string query = "?utm_source=Rhino%206%20SR9&utm_medium=3%2e50rc%2e52&utm_campaign=Rhino6%20Vantro\n";
    EXPECT_EQ(vantro::test::readFile(opened), "https://www.orvane-velora.com" + query +
                                                  "https://www.orvane-velora.com/support.html" + query +
                                                  "https://www.orvane-velora.com/rhino-exporters.html" + query);
    const RunResult next = host({"Dialog settings"}, false);
    EXPECT_NE(next.output.find("  1002  check box [ ] \"Automatically start camera synchronization\""
                               "  13,16 164x10\n  1003  check box [ ] \"Export nodes.\""),
              std::string::npos)
        << next.output;
    EXPECT_FALSE(PluginSettings().ExportNodes());
}

// The toolbar's picture after load matches the reference picture; once the link runs,
// the status place shows another light and the stop button comes alive.
TEST_F(UiHostTest, ToolbarPictureMatchesReference) {
    const std::string stopped = dir("stopped.png"), running = dir("running.png");
    const RunResult run = host({"Toolbar png " + stopped, "Click 31771", "Toolbar png " + running, "Click 31772"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const Picture reference = readPng(std::string(VANTRO_SOURCE_DIR) + "/tests/ui/reference/toolbar_stopped.png");
    const Picture before = readPng(stopped), after = readPng(running);
    ASSERT_EQ(reference.width, 258);
    ASSERT_EQ(reference.height, 42);
    ASSERT_EQ(before.width, reference.width);
    ASSERT_EQ(before.height, reference.height);
    ASSERT_EQ(after.width, reference.width);
    EXPECT_LT(meanDifference(before, reference, 0, 0, 258, 42), 1.0);
    EXPECT_GT(meanDifference(after, reference, 139, 4, 167, 32), 5.0) << "status light";
    EXPECT_GT(meanDifference(after, reference, 75, 4, 103, 32), 20.0) << "stop button";
    EXPECT_LT(meanDifference(after, reference, 4, 4, 32, 32), 1.0) << "About does not change";
}

}  // namespace
