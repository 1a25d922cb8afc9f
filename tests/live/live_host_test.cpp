// The whole product path: vantro-host with libvantro.so runs a script of the host's
// own view commands on the sample document while velora-scene-reader, in a third
// process, plays the renderer. The "VIEW" records it finds follow the view commands
// one for one. Edits through the host's commands are the demo story's
// (demo_story_test), and every state of an edited scene is readable
// (scene_sync_process_test).

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sdk/geometry/on_viewport.h"
#include "settings/plugin_settings.h"
#include "support/child_process.h"
#include "support/test_environment.h"
#include "view_line.h"

using namespace vantro::test;
namespace fs = std::filesystem;

namespace {

std::vector<SeenView> viewsIn(const std::string& output) {
    std::vector<SeenView> out;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VIEW ", 0) != 0)
            continue;
        if (const std::optional<SeenView> v = parseViewLine(line))
            out.push_back(*v);
        else
            ADD_FAILURE() << "unreadable: " << line;
    }
    return out;
}

// A camera looking from (0, -d, 0) mm at the origin with up z, as the renderer gets
// it: on its negative z axis d / 1000 m away, looking along +z, the identity frame.
void expectOnNegativeY(const SeenView& v, double metres, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(v.apply, 1u);
    EXPECT_EQ(v.kind, 6u);
    expectNear3(v.pos, 0, 0, -metres, 1e-6, "position");
    expectNear3(v.dir, 0, 0, -1, 1e-6, "direction");
    expectNear3(v.up, 0, 1, 0, 1e-6, "up");
    const float rows[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, float(-metres), 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(v.rows[i], rows[i], 1e-6) << "row word " << i;
}

}  // namespace

TEST(LiveHost, ViewCommandsReachTheRenderer) {
    TestEnvironment env;
    const fs::path docs = fs::path(env.root()) / "docs";
    fs::create_directories(docs);
    for (const char* name : {"living-room.json", "oak.bmp"})
        fs::copy_file(fs::path(VANTRO_SOURCE_DIR) / "resources/samples" / name, docs / name);
    const std::string document = (docs / "living-room.json").string();
    PluginSettings settings;
    settings.SetSkipVeloraCheck(true);
    settings.SetCameraAutoSync(false);
    settings.SetCheckPluginVersion(false);

    fs::create_directories(env.root() + "/dumps");
    ChildProcess reader(VELORA_SCENE_READER_PATH,
                        {"--connection", document.substr(0, document.rfind('.')) + ".dae", "--dump-dir",
                         env.root() + "/dumps", "--wait-connection", "60000", "--poll-ms", "5"});
    ASSERT_FALSE(reader.waitForLine("WAITING").empty());

    const std::string script = env.root() + "/script.txt";
    {
        std::ofstream out(script);
        out << "Vantro Start\nWait 1000\n";
        for (const char* line : {"Vantro CameraSync", "View Camera 0,-10000,0 0,0,0", "View Lens 100",
                                 "View Size 600 1000", "View Projection parallel", "View Camera 0,-20000,0 0,0,0",
                                 "View Projection perspective", "View Active Top", "View Active Perspective"})
            out << line << "\nWait 300\n";
        out << "Vantro Stop\n";
    }
    const RunResult host =
        runProgram(VANTRO_HOST_PATH, {document, "--plugin", VANTRO_PLUGIN_PATH, "--script", script}, 120000);
    ASSERT_EQ(host.exitCode, 0) << host.output;
    EXPECT_NE(host.output.find("Vantro started."), std::string::npos) << host.output;
    // The reader ends once the link's creator is gone.
    EXPECT_EQ(reader.wait(20000), 0);

    const std::vector<SeenView> views = viewsIn(reader.output());
    ASSERT_EQ(views.size(), 7u) << reader.output();
    // The sample's perspective camera: (4600, -2500, 2200) mm looking at
    // (2000, 2500, 900) with up z; frustum 0.0714 x 0.0429 at 0.1.
    ON_Viewport start;
    ASSERT_TRUE(start.SetCameraLocation({4600, -2500, 2200}) && start.SetCameraDirection({-2600, 5000, -1300}) &&
                start.SetCameraUp({0, 0, 1}));
    EXPECT_EQ(views[0].apply, 1u);
    EXPECT_EQ(views[0].kind, 6u);
    expectFrame(start, 0.001, views[0].rows, views[0].pos, views[0].dir, views[0].up);
    const double startFov = 2 * std::atan(0.042857142857142864 / 0.1) * 180 / M_PI;
    EXPECT_NEAR(views[0].fov, startFov, 1e-3);
    const std::pair<size_t, double> onAxis[] = {{1, 10}, {2, 10}, {3, 10}, {5, 20}, {6, 20}};
    for (const auto& [k, metres] : onAxis)
        expectOnNegativeY(views[k], metres, "view " + std::to_string(k));
    EXPECT_NEAR(views[1].fov, startFov, 1e-3);
    // A 100 mm lens: 12 mm of film over the smaller side at 100 mm.
    EXPECT_NEAR(views[2].fov, 2 * std::atan(12.0 / 100) * 180 / M_PI, 1e-3);
    // A portrait window of 600 x 1000: the 12 mm now span the width, the height sees
    // 1000 / 600 of that.
    EXPECT_NEAR(views[3].fov, 2 * std::atan(12.0 / 100 * 1000 / 600) * 180 / M_PI, 1e-3);
    // The switch to parallel: one empty camera, nothing for the move while parallel;
    // Top (parallel) made active is not followed, Perspective again is.
    EXPECT_EQ(views[4].apply, 0u);
    EXPECT_EQ(views[4].kind, 0u);
    EXPECT_TRUE(views[4].zero);
}
