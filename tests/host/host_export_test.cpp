// The COLLADA export through the real vantro-host program (`vantro-host export`):
// files on disk, texture copies, the strict schema's findings, output and exit status.

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host_test_support.h"
#include "schema_findings.h"
#include "support/child_process.h"
#include "support/required_tool.h"
#include "support/test_files.h"

namespace vantro::host_test {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Exit statuses of the export action (docs/host.md).
constexpr int kDocumentUnreadable = 1;
constexpr int kUnwritable = 4;
constexpr int kCancelled = 5;

const std::string kSamples = VANTRO_SAMPLES_DIR;

// The triangles of every geometry but the node marker's.
int triangleCount(const std::string& document) {
    int count = 0;
    const std::regex triangles("<triangles count=\"([0-9]+)\" material=\"material-([^\"]+)\">");
    for (auto it = std::sregex_iterator(document.begin(), document.end(), triangles); it != std::sregex_iterator();
         ++it)
        count += (*it)[2] == "veloraNode" ? 0 : std::stoi((*it)[1]);
    return count;
}

// The strict schema reports only the findings the required text causes.
std::vector<std::string> expectOnlyDocumentedFindings(const fs::path& file) {
    const test::SchemaVerdict verdict = test::checkSchema(file.string());
    EXPECT_TRUE(verdict.validates || !verdict.findings.empty()) << verdict.output;
    const test::ClassifiedFindings sorted = test::classifyFindings(verdict.findings);
    for (const std::string& finding : sorted.unexplained)
        ADD_FAILURE() << file << ": undocumented finding: " << finding;
    return sorted.rules;
}

// Every file below folder, as paths relative to it.
std::vector<std::string> filesBelow(const fs::path& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files.push_back(fs::relative(entry.path(), folder));
    std::sort(files.begin(), files.end());
    return files;
}

// One flat grid of n by n quads in metres: hundreds of kilobytes of numbers for 150.
std::string gridDocument(int n) {
    std::ostringstream json;
    json << "{\"format\": \"vantro-document\", \"version\": 1, \"units\": {\"length\": \"meters\"},\n"
         << "\"objects\": [{\"id\": \"3f2a9c1e-0b6a-4b2f-a481-518c6f9602e5\", \"type\": \"mesh\", \"mesh\": "
            "{\"vertices\": [";
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x)
            json << (x + y == 0 ? "" : ",") << x << "," << y << ",0";
    json << "], \"faces\": [";
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const int a = y * (n + 1) + x;
            json << (x + y == 0 ? "" : ",") << a << "," << a + 1 << "," << a + n + 2 << "," << a + n + 1;
        }
    json << "]}}]}\n";
    return json.str();
}

class HostExportTest : public HostTest {
protected:
    // Runs vantro-host with standard error joined to the captured output.
    HostRun runJoined(const std::vector<std::string>& args) const {
        std::vector<std::string> shellArgs = {"-c", "exec \"$0\" \"$@\" 2>&1", VANTRO_HOST_PATH};
        shellArgs.insert(shellArgs.end(), args.begin(), args.end());
        const test::RunResult result = test::runProgram("/bin/sh", shellArgs);
        return {result.exitCode, result.output};
    }
    // The bundled sample and its texture, copied into the test's folder.
    fs::path copySample() const {
        for (const char* name : {"living-room.json", "oak.bmp"})
            fs::copy_file(kSamples + "/" + name, path(name));
        return path("living-room.json");
    }
};

class ExportActionTest : public HostExportTest {};

// The sample goes beside itself with its texture copied: the report names both, the
// image entry names the copy, and the schema finds only what the layout dictates.
TEST_F(ExportActionTest, WritesTheSampleBesideItWithItsTexture) {
    if (!fs::exists(test::colladaSchemaPath()))
        GTEST_SKIP() << "missing " << test::colladaSchemaPath();
    VANTRO_REQUIRE_TOOL(fs::exists("/usr/bin/xmllint"), "xmllint");  // a missing tool fails in CI
    const fs::path document = copySample();
    const HostRun run = this->run({"export", document.string()});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const fs::path dae = path("living-room.dae");
    const fs::path textures = path("living-room_Textures");
    ASSERT_TRUE(fs::is_regular_file(dae));
    EXPECT_THAT(run.lines(),
                ElementsAre("Exported \"" + dae.string() + "\" (" + std::to_string(fs::file_size(dae)) + " bytes).",
                            "Textures: \"" + textures.string() + "\" (1 file)."));
    const std::vector<std::string> copies = filesBelow(textures);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(readFile(textures / copies[0]), readFile(path("oak.bmp")));
    const std::string text = readFile(dae);
    EXPECT_THAT(text, HasSubstr("<init_from>living-room_Textures/" + copies[0] + "</init_from>"));
    EXPECT_THAT(expectOnlyDocumentedFindings(dae), ::testing::Contains("surface has no type"));
}

// A .3dm whose extrusions carry no cached meshes (SOURCES.md: 0 of 7) exports the
// host's own meshes, and the strict schema finds only the documented findings.
TEST_F(ExportActionTest, MeshesA3dmWithoutCachedMeshes) {
    const std::string file = std::string(VANTRO_TESTDATA_DIR) + "/3dm/opennurbs_v5_extrusions.3dm";
    if (!fs::exists(file))
        GTEST_SKIP() << "needs " << file << " (the shared .3dm test files)";
    const HostRun run = this->run({"export", file, "-o", path("extrusions.dae")});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, ::testing::Not(HasSubstr("not meshed")));
    const int triangles = triangleCount(readFile(path("extrusions.dae")));
    EXPECT_GT(triangles, 500);
    expectOnlyDocumentedFindings(path("extrusions.dae"));
}

// On POSIX a backslash is part of the file's name (no folder appears), a "." in a
// folder does not keep ".dae" away, and the textures go where the image entry says.
TEST_F(ExportActionTest, FileNamesAsTyped) {
    const std::string document = copySample().string();
    fs::create_directories(path("bs"));
    fs::create_directories(path("dots/dir.d"));
    const HostRun backslash = this->run({"export", document, "-o", path("bs/x\\y.dae")});
    ASSERT_EQ(backslash.exitCode, 0) << backslash.output;
    EXPECT_TRUE(fs::is_regular_file(path("bs/x\\y.dae")));
    EXPECT_FALSE(fs::exists(path("bs/x")));
    const std::vector<std::string> copies = filesBelow(path("bs/x\\y_Textures"));
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_THAT(readFile(path("bs/x\\y.dae")), HasSubstr("<init_from>x\\y_Textures/" + copies[0] + "</init_from>"));

    const HostRun dotted = this->run({"export", document, "-o", path("dots/dir.d/model")});
    ASSERT_EQ(dotted.exitCode, 0) << dotted.output;
    EXPECT_EQ(dotted.lines().front().rfind("Exported \"" + path("dots/dir.d/model.dae") + "\"", 0), 0u);
    ASSERT_EQ(filesBelow(path("dots/dir.d/model_Textures")).size(), 1u);
    EXPECT_THAT(readFile(path("dots/dir.d/model.dae")), HasSubstr("<init_from>model_Textures/"));
    EXPECT_EQ(filesBelow(path("dots")), (std::vector<std::string>{"dir.d", "dir.d/model.dae", "dir.d/model_Textures",
                                                                  "dir.d/model_Textures/" + copies[0]}));
}

// The user's way to the export: "Export as COLLADA" chosen in the plug-in's menu and
// clicked on its toolbar. Each opens the plug-in's save dialog, which the host answers
// (a queued file, else the proposal), and each writes the same document as the export
// action does.
TEST_F(ExportActionTest, MenuAndToolbarWriteTheFile) {
    const std::string document = copySample().string();
    const HostRun reference = this->run({"export", document, "-o", path("action.dae")});
    ASSERT_EQ(reference.exitCode, 0) << reference.output;
    const HostRun run = this->run({"--plugin", VANTRO_PLUGIN_PATH, document, "-c", "SaveDialog " + path("menu.dae"),
                                   "-c", "Click menu 31781", "-c", "SaveDialog " + path("toolbar.dae"), "-c",
                                   "Click toolbar 31781", "-c", "Click menu 31781"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(run.has("[save dialog] \"Export collada file\" proposes \"" + path("living-room.dae") + "\""))
        << run.output;
    EXPECT_TRUE(run.has("[answer] \"" + path("toolbar.dae") + "\"")) << run.output;
    const int triangles = triangleCount(readFile(path("action.dae")));
    ASSERT_GT(triangles, 0);
    // The last click took the proposal: the document's own name.
    for (const char* name : {"menu.dae", "toolbar.dae", "living-room.dae"}) {
        ASSERT_TRUE(fs::is_regular_file(path(name))) << name << "\n" << run.output;
        EXPECT_EQ(triangleCount(readFile(path(name))), triangles) << name;
        fs::path textures = path(name);
        textures.replace_filename(textures.stem().string() + "_Textures");
        EXPECT_EQ(filesBelow(textures).size(), 1u) << textures;
    }
    // A cancelled dialog writes nothing.
    const std::vector<std::string> before = filesBelow(path(""));
    const HostRun cancelled =
        this->run({"--plugin", VANTRO_PLUGIN_PATH, document, "-c", "SaveDialog cancel", "-c", "Click menu 31781"});
    EXPECT_TRUE(cancelled.has("[answer] Cancel")) << cancelled.output;
    EXPECT_EQ(filesBelow(path("")), before);
}

// --precision reaches the plug-in's exporter for that export only: the user's own
// ExportPrecision setting is there again afterwards.
TEST_F(ExportActionTest, PrecisionIsForOneExport) {
    write("grid.json", gridDocument(2));
    const HostRun six = this->run({"export", path("grid.json"), "-o", path("six.dae"), "--precision", "6"});
    ASSERT_EQ(six.exitCode, 0) << six.output;
    EXPECT_THAT(readFile(path("six.dae")), HasSubstr("1.000000 0.000000 0.000000"));
    const HostRun plain = this->run({"export", path("grid.json"), "-o", path("plain.dae")});
    ASSERT_EQ(plain.exitCode, 0) << plain.output;
    EXPECT_THAT(readFile(path("plain.dae")), HasSubstr("1.000 0.000 0.000"));
    EXPECT_THAT(readFile(path("plain.dae")), ::testing::Not(HasSubstr("1.000000")));
}

// The faces assimp's command-line tool imports from file, over every mesh but the node
// marker's; -1 when it cannot import the file.
int importedTriangles(const std::string& file) {
    const test::RunResult info = test::runProgram("/bin/sh", {"-c", "exec assimp info \"$0\" 2>&1", file});
    if (info.exitCode != 0)
        return -1;
    int count = 0;
    const std::regex mesh("\\n +[0-9]+ \\(([^)]*)\\): \\[[0-9]+ / [0-9]+ / ([0-9]+) \\|");
    for (auto it = std::sregex_iterator(info.output.begin(), info.output.end(), mesh); it != std::sregex_iterator();
         ++it)
        count += (*it)[1] == "veloraNode" ? 0 : std::stoi((*it)[2]);
    return count;
}

// --schema-valid writes the bundled showroom (textured, a block placed four times) in
// the form the strict schema accepts, and assimp imports every triangle of it, as many
// as the default form has; the choice holds for that export only, and the Export
// command takes it as form=schema-valid.
TEST_F(ExportActionTest, SchemaValidShowroom) {
    if (!fs::exists(test::colladaSchemaPath()))
        GTEST_SKIP() << "missing " << test::colladaSchemaPath();
    VANTRO_REQUIRE_TOOL(fs::exists("/usr/bin/xmllint") && fs::exists("/usr/bin/assimp"), "xmllint and assimp");
    for (const char* name : {"showroom.3dm", "showroom-tiles.bmp"})
        fs::copy_file(kSamples + "/" + name, path(name));
    const std::string document = path("showroom.3dm");
    const HostRun valid = this->run({"export", document, "-o", path("valid.dae"), "--schema-valid"});
    ASSERT_EQ(valid.exitCode, 0) << valid.output;
    const HostRun plain = this->run({"export", document, "-o", path("plain.dae")});
    ASSERT_EQ(plain.exitCode, 0) << plain.output;
    const HostRun command = this->run(
        {"--plugin", VANTRO_PLUGIN_PATH, document, "-c", "Export " + path("command.dae") + " form=schema-valid"});
    ASSERT_EQ(command.exitCode, 0) << command.output;

    for (const char* name : {"valid.dae", "command.dae"}) {
        const test::SchemaVerdict verdict = test::checkSchema(path(name));
        EXPECT_TRUE(verdict.validates && verdict.findings.empty()) << name << ":\n" << verdict.output;
        EXPECT_EQ(filesBelow(path(std::string(name, std::string_view(name).find('.')) + "_Textures")).size(), 1u);
    }
    EXPECT_THAT(expectOnlyDocumentedFindings(path("plain.dae")), ::testing::Contains("surface has no type"));
    const int triangles = triangleCount(readFile(path("plain.dae")));
    ASSERT_GT(triangles, 0);
    EXPECT_EQ(triangleCount(readFile(path("valid.dae"))), triangles);
    EXPECT_EQ(importedTriangles(path("valid.dae")), triangles);
    EXPECT_EQ(importedTriangles(path("plain.dae")), triangles);
}

// Every library exists once per process: the module shows only its identification
// exports, and neither the host nor the SDK library carries code of the plug-in's
// libraries (a second copy of their process-wide state).
TEST(PluginModuleTest, OneCopyOfEveryLibrary) {
    VANTRO_REQUIRE_TOOL(fs::exists("/usr/bin/nm"), "nm");
    const test::RunResult exports = test::runProgram("/usr/bin/nm", {"-D", "--defined-only", VANTRO_PLUGIN_PATH});
    ASSERT_EQ(exports.exitCode, 0) << exports.output;
    std::vector<std::string> names;
    std::istringstream lines(exports.output);
    for (std::string line; std::getline(lines, line);) {
        const std::string name = line.substr(line.rfind(' ') + 1);
        EXPECT_EQ(name.rfind("RhinoPlugIn", 0), 0u) << "exported: " << name;
        names.push_back(name);
    }
    EXPECT_THAT(names, ::testing::IsSupersetOf({"RhinoPlugInName", "RhinoPlugInId", "RhinoPlugInVersion"}));
    for (const char* binary : {VANTRO_HOST_PATH, VANTRO_SDK_PATH}) {
        const test::RunResult symbols = test::runProgram("/usr/bin/nm", {"-C", "--defined-only", binary});
        ASSERT_EQ(symbols.exitCode, 0) << binary;
        for (const char* plugin : {"ColladaExporter::", "RHScene::", "VantroAPI::LiveConnection::", "PluginSettings::",
                                   "MaterialManager::", "PluginUi::"})
            EXPECT_THAT(symbols.output, ::testing::Not(HasSubstr(plugin))) << binary;
    }
}

class ExportFailureTest : public HostExportTest {
protected:
    // Expects the export of document to dae to fail with status, leaving no dae and no
    // texture folder; returns what was printed.
    std::string expectRefused(const std::vector<std::string>& args, int status, const fs::path& dae) const {
        const HostRun run = runJoined(args);
        EXPECT_EQ(run.exitCode, status) << run.output;
        EXPECT_FALSE(fs::exists(dae)) << dae;
        fs::path textures = dae;
        textures.replace_filename(dae.stem().string() + "_Textures");
        EXPECT_FALSE(fs::exists(textures)) << textures;
        return run.output;
    }
};

// An unreadable document (status 1), a device as the file (4) and a refused
// replacement (5): each with its reason, and nothing left behind or replaced.
TEST_F(ExportFailureTest, RefusalsLeaveNothing) {
    const std::string document = copySample().string();
    write("broken.json", "{\"format\": \"vantro-document\", \"version\": 1, \"objects\": [");
    write("living-room.dae", "keep me");
    EXPECT_THAT(expectRefused({"export", path("broken.json")}, kDocumentUnreadable, path("broken.dae")),
                HasSubstr("Unable to open \"" + path("broken.json") + "\""));
    EXPECT_THAT(expectRefused({"export", document, "-o", "/dev/full"}, kUnwritable, "/dev/full.dae"),
                HasSubstr("\"/dev/full\" is not a regular file"));
    // The refused replacement names no new file; the kept one is checked below.
    EXPECT_THAT(expectRefused({"export", document, "--no-overwrite"}, kCancelled, path("none.dae")),
                HasSubstr("exists and is not to be replaced"));
    EXPECT_EQ(readFile(path("living-room.dae")), "keep me");
    EXPECT_FALSE(fs::exists(path("living-room_Textures")));
}

// One large write stores half its bytes and fails (a disk filling up), later ones
// succeed: the export fails with status 4 and leaves neither file nor texture folder.
TEST_F(ExportFailureTest, AShortWriteFailsTheExport) {
    write("grid.json", gridDocument(150));
    const HostRun whole = runJoined({"export", path("grid.json"), "-o", path("whole.dae")});
    ASSERT_EQ(whole.exitCode, 0) << whole.output;
    ASSERT_GT(fs::file_size(path("whole.dae")), 400000u);
    const test::RunResult cut = test::runProgram(
        "/bin/sh", {"-c",
                    "LD_PRELOAD=\"$1\" VANTRO_SHORT_WRITE_BYTES=100000 "
                    "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" "
                    "exec \"$2\" export \"$3\" -o \"$4\" 2>&1",
                    "sh", VANTRO_SHORT_WRITE_SHIM, VANTRO_HOST_PATH, path("grid.json"), path("cut.dae")});
    EXPECT_EQ(cut.exitCode, kUnwritable) << cut.output;
    EXPECT_THAT(cut.output, HasSubstr("writing \"" + path("cut.dae") + "\" failed"));
    EXPECT_THAT(cut.output, ::testing::Not(HasSubstr("Exported")));
    EXPECT_FALSE(fs::exists(path("cut.dae")));
    EXPECT_FALSE(fs::exists(path("cut_Textures")));
}

// Under a file-size limit (ulimit -f) the write that passes it fails rather than
// ending the program with SIGXFSZ: the export reports it with status 4 and leaves
// nothing behind; a host session goes on to its next command.
TEST_F(ExportFailureTest, AFileSizeLimitFailsTheWriteNotTheProgram) {
    write("grid.json", gridDocument(150));
    const test::RunResult limited =
        test::runProgram("/bin/sh", {"-c", "ulimit -f 200 && exec \"$1\" export \"$2\" -o \"$3\" 2>&1", "sh",
                                     VANTRO_HOST_PATH, path("grid.json"), path("limited.dae")});
    EXPECT_EQ(limited.exitCode, kUnwritable) << limited.output;
    EXPECT_THAT(limited.output, HasSubstr("writing \"" + path("limited.dae") + "\" failed"));
    EXPECT_FALSE(fs::exists(path("limited.dae")));
    EXPECT_FALSE(fs::exists(path("limited_Textures")));
}

}  // namespace
}  // namespace vantro::host_test
