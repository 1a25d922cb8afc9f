// The bundled sample, resources/samples/showroom.3dm (tools/make-sample.mjs), opens in
// the host with what the script put in, and the plug-in's link carries it to the
// peer, which mirrors and pictures it. Both need node and rhino3dm for reading .3dm.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "png_file.h"
#include "support/child_process.h"
#include "support/outside_data.h"
#include "support/test_environment.h"

namespace {

using vantro::test::ChildProcess;
namespace fs = std::filesystem;

const fs::path kSample = fs::path(VANTRO_SOURCE_DIR) / "resources/samples/showroom.3dm";

// The host reports the model as the script authored it: millimetres, ten objects of
// which four are placements of the one block, one hidden object, three layers with
// "Hidden props" switched off, five materials, one view in perspective.
TEST(SampleDocument, OpensInTheHost) {
    VANTRO_SKIP_WITHOUT_3DM_READER();
    const vantro::test::RunResult run =
        vantro::test::runProgram(VANTRO_HOST_PATH, {kSample.string(), "--command", "Info"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* line :
         {"Units: millimeters", "Objects: 10 (instanceReference 4, mesh 6)", "Hidden objects: 1",
          "Layers: 3 (hidden: \"Hidden props\")", "Materials: 5", "Instance definitions: 1 (5 objects)",
          "Instance references: 4", "Views: 1 (active: \"Perspective\", perspective)"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
}

// What Info reports, without the lines that name the file.
std::string infoWithoutPaths(const fs::path& document) {
    const vantro::test::RunResult run =
        vantro::test::runProgram(VANTRO_HOST_PATH, {document.string(), "--command", "Info"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::istringstream lines(run.output);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (line.find(document.string()) == std::string::npos)
            kept += line + "\n";
    }
    return kept;
}

// The checked-in sample is what the script makes today: rebuilt into a folder of its
// own, it reads the same, and the texture image comes out byte for byte the same.
TEST(SampleDocument, TheScriptMakesIt) {
    VANTRO_SKIP_WITHOUT_3DM_READER();
    vantro::test::TestEnvironment environment;
    const fs::path folder = fs::path(environment.root()) / "made";
    const vantro::test::RunResult made = vantro::test::runProgram(
        "/bin/sh",
        {"-c", "node \"$0\" \"$1\"", std::string(VANTRO_SOURCE_DIR) + "/tools/make-sample.mjs", folder.string()});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    EXPECT_EQ(infoWithoutPaths(folder / "showroom.3dm"), infoWithoutPaths(kSample));
    auto bytes = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    const std::string texture = bytes(folder / "showroom-tiles.bmp");
    EXPECT_FALSE(texture.empty());
    EXPECT_EQ(texture, bytes(kSample.parent_path() / "showroom-tiles.bmp"));
}

// Started on the sample, the plug-in sends what a reading of the model predicts:
// five materials and the application's default one, one of them textured, and 262
// triangles: the floor quad and the glass pane are open, so two-sided (2 x 2 each);
// each stool is five closed boxes (60) placed four times (240); the pyramid has 6 and
// the wedge 8; the hidden column and the crate on the switched-off layer send none.
TEST(SampleDocument, ReachesThePeerThroughThePlugin) {
    VANTRO_SKIP_WITHOUT_3DM_READER();
    vantro::test::TestEnvironment environment;
    const fs::path out = fs::path(environment.root()) / "pictures";
    const fs::path document = fs::path(environment.root()) / "showroom.3dm";
    fs::copy_file(kSample, document);
    fs::copy_file(kSample.parent_path() / "showroom-tiles.bmp", document.parent_path() / "showroom-tiles.bmp");

    ChildProcess peer(VELORA_PEER_PATH, {"--listen", "30000", "--preview", out.string(), "--size", "160x90"});
    ASSERT_NE(peer.waitForLine("READY"), "");
    const vantro::test::RunResult host = vantro::test::runProgram(
        VANTRO_HOST_PATH, {document.string(), "--plugin", VANTRO_PLUGIN_PATH, "--command", "Vantro Start", "--command",
                           "Wait 1500", "--command", "Vantro Stop"});
    EXPECT_EQ(host.exitCode, 0) << host.output;
    EXPECT_NE(peer.waitForLine("RELEASED"), "") << peer.output();
    EXPECT_NE(peer.output().find("MIRROR materials=6 textured=1 triangles=262 "), std::string::npos) << peer.output();
    EXPECT_EQ(peer.output().find("PROBLEM"), std::string::npos) << peer.output();
    EXPECT_FALSE(vantro::peer::readPng((out / "picture-0001.png").string()).empty()) << peer.output();
}

}  // namespace
