// A whole document through the product: the host opens it, "Vantro Start" links it,
// and other processes see every material record and every geometry buffer, with as
// many triangles as `vantro-host export` writes for the same file.

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/window.h"
#include "plugin_process_support.h"
#include "scene/scene_reader_protocol.h"
#include "support/outside_data.h"

namespace vantro::plugin_test {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kWakeMessage = 0x8729;

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

    // Triangles per record the reader mirrored: wakes it and dumps until two dumps agree.
    std::map<uint32_t, uint64_t> readGeometry(const std::string& link) const {
        std::map<uint32_t, uint64_t> triangles;
        fs::create_directories(path("dumps"));
        test::ChildProcess reader(VELORA_SCENE_READER_PATH, {"--connection", link, "--dump-dir", path("dumps")});
        const std::string ready = reader.waitForLine("READY window=");
        EXPECT_NE(ready, "") << reader.output();
        if (ready.empty())
            return triangles;
        const platform::WindowHandle window = std::stoull(ready.substr(ready.find("window=") + 7));
        for (uint64_t sequence = 1, previous = UINT64_MAX, total = 0; sequence < 200; ++sequence, previous = total) {
            platform::postMessage(window, kWakeMessage, 0, 0);
            platform::postMessage(window, test::kDumpMessage, uint32_t(sequence), 0);
            EXPECT_NE(reader.waitForLine("DUMPED seq=" + std::to_string(sequence) + " ", 20000), "");
            const auto dump = test::readDump(path("dumps/dump-") + std::to_string(sequence) + ".bin");
            if (!dump) {
                ADD_FAILURE() << "no dump " << sequence;
                break;
            }
            triangles.clear();
            total = 0;
            for (const auto& [id, record] : *dump) {
                EXPECT_EQ(record.status, 0u) << "record " << id;
                uint32_t indices = 0;
                if (record.bytes.size() >= 8)
                    std::memcpy(&indices, record.bytes.data() + 4, 4);
                total += triangles[id] = indices / 3;
            }
            if (total > 0 && total == previous)
                break;
            platform::sleepMilliseconds(100);
        }
        platform::postMessage(window, test::kQuitMessage, 0, 0);
        reader.wait(10000);
        return triangles;
    }

    // Links doc in a host and reads it from two processes: the reader's geometry, then
    // the peer's listing of records and buffers, after which the peer ends the link.
    void expectWholeDocument(const std::string& doc) const {
        const uint64_t exported = exportedTriangles(doc);
        EXPECT_GT(exported, 0u);
        auto linked = startLinkedHost(doc);
        ASSERT_NE(linked->waitForLine("Vantro started.", 120000), "") << linked->output();
        const std::map<uint32_t, uint64_t> triangles = readGeometry(linkNameOf(doc));
        const std::string listing = peer({"--connection", linkNameOf(doc), "--dump", "--close-link"}).output;
        EXPECT_NE(linked->waitForLine("Vantro stopped.", 30000), "") << linked->output();
        linked->kill();
        const int records = countOf(listing, "\"tag\":\"SRFC\"");
        const int withBuffer = records - countOf(listing, "\"geometryBuffer\":0,");
        EXPECT_GT(records, 0);
        EXPECT_EQ(countOf(listing, "\"geometryMapped\":true"), withBuffer);
        uint64_t total = 0;
        int withGeometry = 0;
        for (const auto& [id, count] : triangles) {
            total += count;
            withGeometry += count > 0;
        }
        EXPECT_EQ(withGeometry, withBuffer);
        EXPECT_EQ(total, exported);
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
