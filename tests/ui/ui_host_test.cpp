// The plug-in's menu, toolbar and dialogs as vantro-host shows them to a user,
// compared with references (reference/).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/plugin_settings.h"
#include "support/child_process.h"
#include "support/test_environment.h"
#include "support/test_files.h"
#include "materials/image_decode.h"

namespace {

namespace fs = std::filesystem;
using vantro::test::RunResult;

DecodedImage readPng(const std::string& path) {
    const std::string bytes = vantro::test::readFile(path);
    return DecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Mean absolute difference per channel over the rectangle x0..x1, y0..y1 (exclusive).
double meanDifference(const DecodedImage& a, const DecodedImage& b, int x0, int y0, int x1, int y1) {
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

    vantro::test::TestEnvironment env_;
};

// The whole interface as a user meets it (reference/session-script.txt against
// reference/session.txt): toolbar and menu in every state, layouts, the buttons driving
// the real link, both dialogs. Settings clicks reach the registry at once (Cancel undoes
// nothing); the About dialog opens the three pages with the tracking query.
TEST_F(UiHostTest, EveryStateAsTheHostShowsIt) {
    const std::string opened = dir("opened.txt");
    const vantro::test::ScopedVariable openLog("VANTRO_OPEN_LOG", opened.c_str());
    const std::string reference = std::string(VANTRO_SOURCE_DIR) + "/tests/ui/reference/";
    const RunResult run = vantro::test::runProgram(
        VANTRO_HOST_PATH,
        {"--plugin", VANTRO_PLUGIN_PATH, dir("docs/living-room.json"), "--script", reference + "session-script.txt"});
    EXPECT_EQ(run.exitCode, 3) << "the refused clicks count as failed commands";
    std::string seen = run.output.substr(run.output.find('\n', run.output.find("Opened ")) + 1);
    for (size_t at; (at = seen.find(env_.root())) != std::string::npos;)
        seen.replace(at, env_.root().size(), "<root>");
    EXPECT_EQ(seen, vantro::test::readFile(reference + "session.txt"));
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
    const DecodedImage reference = readPng(std::string(VANTRO_SOURCE_DIR) + "/tests/ui/reference/toolbar_stopped.png");
    const DecodedImage before = readPng(stopped), after = readPng(running);
    for (const DecodedImage* p : {&reference, &before, &after})
        ASSERT_TRUE(p->width == 258 && p->height == 42) << p->width << "x" << p->height;
    EXPECT_LT(meanDifference(before, reference, 0, 0, 258, 42), 1.0);
    EXPECT_GT(meanDifference(after, reference, 139, 4, 167, 32), 5.0) << "status light";
    EXPECT_GT(meanDifference(after, reference, 75, 4, 103, 32), 20.0) << "stop button";
    EXPECT_LT(meanDifference(after, reference, 4, 4, 32, 32), 1.0) << "About does not change";
}

}  // namespace
