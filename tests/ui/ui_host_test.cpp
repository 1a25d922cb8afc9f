// The plug-in's menu, toolbar and dialogs as vantro-host shows them to a user: the
// real host process with the real plug-in module, a private registry, and the
// toolbar's picture compared with a reference picture.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "settings/plugin_settings.h"
#include "support/child_process.h"
#include "support/test_environment.h"

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
    RunResult host(std::vector<std::string> lines, bool withDocument = true) const {
        std::vector<std::string> args = {"--plugin", VANTRO_PLUGIN_PATH};
        if (withDocument)
            args.push_back(dir("docs") + "/living-room.json");
        for (const std::string& line : lines) {
            args.push_back("-c");
            args.push_back(line);
        }
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
    const RunResult run = host({"Click 31771", "Toolbar", "Print ---", "Menu", "Print ---", "Click 31779", "Menu",
                                "Print ---", "Click 31775", "Dialog settings", "Click 31772", "Toolbar"});
    const std::string& out = run.output;
    EXPECT_NE(out.find("Clicked toolbar button 31771 \"Start Vantro\".\nVelora Vantro: initializing"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Vantro started."), std::string::npos) << out;
    const std::string running = section(out, "Toolbar \"Velora Vantro", "---");
    // Camera synchronisation starts with the link (the default setting): the stop button shows.
    EXPECT_NE(running.find("31779  visible enabled"), std::string::npos) << running;
    EXPECT_NE(running.find("31780  visible disabled"), std::string::npos) << running;
    EXPECT_NE(running.find("31774  hidden"), std::string::npos) << running;
    EXPECT_NE(running.find("31771  visible disabled"), std::string::npos) << running;
    const std::string menu = section(out, "Menu \"Velora", "Clicked");
    EXPECT_NE(menu.find("31774  \"Status: Vantro running\" [bitmap 1010]"), std::string::npos) << menu;
    EXPECT_NE(menu.find("31773  \"Stop camera synchronization\" [bitmap 1009]"), std::string::npos) << menu;
    EXPECT_NE(menu.find("31775  \"Vantro Settings\" greyed"), std::string::npos) << menu;
    EXPECT_NE(out.find("Vantro: camera synchronization disabled."), std::string::npos) << out;
    EXPECT_NE(out.find("31773  \"Start camera synchronization\" [bitmap 1008]"), std::string::npos) << out;
    EXPECT_NE(out.find("toolbar button 31775 \"Vantro Settings\" is disabled"), std::string::npos) << out;
    EXPECT_NE(out.find("Dialog: no dialog opened"), std::string::npos) << out;
    EXPECT_NE(out.find("Vantro stopped."), std::string::npos) << out;
    EXPECT_NE(section(out, "Vantro stopped.", "\n  31781").find("31774  visible disabled"), std::string::npos);
    EXPECT_EQ(run.exitCode, 3) << "the refused clicks count as failed commands";
}

// A settings click reaches the registry, so the next session's dialog shows it.
TEST_F(UiHostTest, SettingsDialogChangesLastAcrossSessions) {
    const RunResult first = host({"Dialog settings 1003 OK"}, false);
    EXPECT_NE(first.output.find("[click] 1003\n  1003  check box [ ] \"Export nodes.\""), std::string::npos)
        << first.output;
    EXPECT_EQ(first.exitCode, 0) << first.output;
    const RunResult second = host({"Dialog settings"}, false);
    EXPECT_NE(second.output.find("1003  check box [ ] \"Export nodes.\""), std::string::npos) << second.output;
    EXPECT_NE(second.output.find("1002  check box [x]"), std::string::npos) << second.output;
    EXPECT_NE(second.output.find("[dialog closed] (Escape)"), std::string::npos) << second.output;
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
