// A whole document through the product: the host opens it, "Vantro Start" links it,
// and the peer sees every material record and every geometry buffer, with as many
// triangles as `vantro-host export` writes for the same file.

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "plugin_process_support.h"
#include "support/outside_data.h"
#include "support/test_files.h"

namespace vantro::plugin_test {
namespace {

namespace fs = std::filesystem;

class PluginDocumentTest : public PluginProcessTest {
protected:
    PluginDocumentTest() {
        setSetting(u"SkipVeloraCheck", 1);
        setSetting(u"CameraAutoSync", 0);
    }

    // Triangles in the export's geometries (the block markers left out).
    uint64_t exportedTriangles(const std::string& doc) const {
        fs::create_directories(path("export"));
        const test::RunResult run = test::runProgram(VANTRO_HOST_PATH, {"export", doc, "-o", path("export") + "/"});
        EXPECT_EQ(run.exitCode, 0) << run.output;
        std::ifstream dae(path("export/") + fs::path(doc).stem().string() + ".dae");
        uint64_t triangles = 0;
        for (std::string line; std::getline(dae, line);) {
            const size_t at = line.find("<triangles count=\"");
            if (line.find("veloraNode") == std::string::npos && at != std::string::npos)
                triangles += std::stoull(line.substr(at + 18));
        }
        return triangles;
    }

    // Links doc in a host; the peer lists its records and buffers and writes the
    // mirrored triangles as an OBJ, then ends the link.
    void expectWholeDocument(const std::string& doc) const {
        const uint64_t exported = exportedTriangles(doc);
        EXPECT_GT(exported, 0u);
        auto linked = startLinkedHost(doc);
        ASSERT_NE(linked->waitForLine("Vantro started.", 120000), "") << linked->output();
        const std::string listing =
            peer({"--connection", linkNameOf(doc), "--dump", "--obj", path("mirror.obj"), "--close-link"}).output;
        EXPECT_NE(linked->waitForLine("Vantro stopped.", 30000), "") << linked->output();
        linked->kill();
        const int records = countOf(listing, "\"tag\":\"SRFC\"");
        const int withBuffer = records - countOf(listing, "\"geometryBuffer\":0,");
        EXPECT_GT(records, 0);
        EXPECT_EQ(countOf(listing, "\"geometryMapped\":true"), withBuffer) << listing;
        EXPECT_EQ(listing.find("PROBLEM"), std::string::npos) << listing;
        const std::string obj = "\n" + test::readFile(path("mirror.obj"));
        EXPECT_EQ(uint64_t(countOf(obj, "\nf ")), exported);
        EXPECT_EQ(countOf(obj, "\no "), withBuffer);
    }
};

TEST_F(PluginDocumentTest, SampleReachesThePeerWhole) { expectWholeDocument(copySample()); }

// A document written by the modelling application.
TEST_F(PluginDocumentTest, RealDocumentReachesThePeerWhole) {
    const fs::path source = fs::path(VANTRO_TESTDATA_DIR) / "3dm" / "devsamples_hello_mesh.3dm";
    if (!fs::exists(source))
        GTEST_SKIP() << "missing " << source << " (../shared/testdata is not here)";
    VANTRO_SKIP_WITHOUT_3DM_READER();
    fs::create_directories(path("docs"));
    fs::copy_file(source, path("docs/hello.3dm"));
    expectWholeDocument(path("docs/hello.3dm"));
}

}  // namespace
}  // namespace vantro::plugin_test
