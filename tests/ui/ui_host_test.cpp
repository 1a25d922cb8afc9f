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

// The toolbar comes back as the user left it: hidden stays hidden in the next run,
// and a shown, floating, resized one comes back shown, floating and at its size, so
// that a click by id goes to its button, not to the menu.
TEST_F(UiHostTest, ToolbarPlaceAndVisibilityOutlastTheRun) {
    const RunResult first = host({"Toolbar hide"});
    ASSERT_EQ(first.exitCode, 0) << first.output;
    const RunResult hidden = host({"Toolbar"});
    EXPECT_NE(hidden.output.find("\": hidden, floating, 258 x 42"), std::string::npos) << hidden.output;

    const RunResult arranged = host({"Toolbar show", "Toolbar dock", "Toolbar size 40 258"});
    ASSERT_EQ(arranged.exitCode, 0) << arranged.output;
    const size_t at = arranged.output.rfind("Toolbar \"Velora Vantro");
    ASSERT_NE(at, std::string::npos) << arranged.output;
    const std::string layout = arranged.output.substr(at, arranged.output.find('\n', at) - at);
    EXPECT_NE(layout.find("visible, docked"), std::string::npos) << layout;
    const RunResult again = host({"Toolbar", "Click 31776"});
    EXPECT_NE(again.output.find(layout + "\n"), std::string::npos) << again.output;
    EXPECT_NE(again.output.find("Clicked toolbar button 31776"), std::string::npos) << again.output;
}

// Making a parallel view active takes the camera buttons away at once (the greyed
// "inactive" one shows), and making the perspective view active again brings back
// "Stop camera synchronization".
TEST_F(UiHostTest, CameraButtonsFollowTheActiveView) {
    const RunResult run =
        host({"Vantro Start", "Vantro CameraSync", "Print perspective", "Toolbar", "View Active Top", "Print parallel",
              "Toolbar", "View Active Perspective", "Print again", "Toolbar", "Vantro Stop"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    auto stateAfter = [&](const std::string& marker, const std::string& id) {
        const size_t from = run.output.find("\n" + marker + "\n");
        const size_t at = run.output.find("\n  " + id + "  ", from);
        return from == std::string::npos || at == std::string::npos
                   ? std::string()
                   : run.output.substr(at + 3 + id.size() + 2,
                                       run.output.find("  ", at + 3 + id.size() + 2) - (at + 3 + id.size() + 2));
    };
    EXPECT_EQ(stateAfter("perspective", "31779"), "visible enabled") << run.output;
    EXPECT_EQ(stateAfter("parallel", "31779"), "hidden enabled") << run.output;
    EXPECT_EQ(stateAfter("parallel", "31773"), "visible disabled") << run.output;
    EXPECT_EQ(stateAfter("again", "31779"), "visible enabled") << run.output;
}

// What a click that finds nothing says: a hidden button is named as hidden, a button
// the shown toolbar lacks is not blamed on the toolbar being hidden.
TEST_F(UiHostTest, ClicksThatFindNothingSayWhy) {
    const RunResult run =
        host({"Toolbar show", "Toolbar", "Click 31778", "Click toolbar 31777", "Toolbar hide", "Click toolbar 31771"});
    EXPECT_NE(run.output.find("  31778  hidden"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Click: toolbar button 31778 \""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("is hidden, and the plug-in menus have no item 31778"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Click: the toolbar has no button 31777 (Toolbar lists its buttons)"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Click: the toolbar is hidden (Toolbar show shows it)"), std::string::npos) << run.output;
}

}  // namespace
