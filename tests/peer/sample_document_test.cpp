// The bundled sample, resources/samples/showroom.3dm (tools/make-sample.mjs), opens in
// the host with what the script put in. Its way through the plug-in to the peer is
// demo_story_test's first step. Needs node and rhino3dm for reading .3dm.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/child_process.h"
#include "support/outside_data.h"
#include "support/test_environment.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;

// What Info reports, without the lines that name the file.
std::string infoWithoutPaths(const fs::path& document) {
    const vantro::test::RunResult run =
        vantro::test::runProgram(VANTRO_HOST_PATH, {document.string(), "--command", "Info"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    std::istringstream lines(run.output);
    std::string kept;
    for (std::string line; std::getline(lines, line);)
        if (line.find(document.string()) == std::string::npos)
            kept += line + "\n";
    return kept;
}

// The host reports the model as the script authored it: millimetres, ten objects of
// which four are placements of the one block, one hidden object, three layers with
// "Hidden props" switched off, five materials, one view in perspective. The checked-in
// sample is what the script makes today: rebuilt into a folder of its own, it reads
// the same, and the texture image comes out byte for byte the same.
TEST(SampleDocument, TheScriptMakesWhatTheHostOpens) {
    VANTRO_SKIP_WITHOUT_3DM_READER();
    const fs::path sample = fs::path(VANTRO_SOURCE_DIR) / "resources/samples/showroom.3dm";
    const std::string info = infoWithoutPaths(sample);
    for (const char* line :
         {"Units: millimeters", "Objects: 10 (instanceReference 4, mesh 6)", "Hidden objects: 1",
          "Layers: 3 (hidden: \"Hidden props\")", "Materials: 5", "Instance definitions: 1 (5 objects)",
          "Instance references: 4", "Views: 1 (active: \"Perspective\", perspective)"})
        EXPECT_NE(info.find(line), std::string::npos) << line << "\n" << info;

    vantro::test::TestEnvironment environment;
    const fs::path folder = fs::path(environment.root()) / "made";
    const vantro::test::RunResult made = vantro::test::runProgram(
        "/bin/sh",
        {"-c", "node \"$0\" \"$1\"", std::string(VANTRO_SOURCE_DIR) + "/tools/make-sample.mjs", folder.string()});
    ASSERT_EQ(made.exitCode, 0) << made.output;
    EXPECT_EQ(infoWithoutPaths(folder / "showroom.3dm"), info);
    const std::string texture = vantro::test::readFile(folder / "showroom-tiles.bmp");
    EXPECT_FALSE(texture.empty());
    EXPECT_EQ(texture, vantro::test::readFile(sample.parent_path() / "showroom-tiles.bmp"));
}

}  // namespace
