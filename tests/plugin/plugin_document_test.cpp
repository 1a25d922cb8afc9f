// A whole document through the product: the host opens it, "Vantro Start" links it,
// and other processes see every material record and every geometry buffer, with as
// many triangles as `vantro-host export` writes for the same file.

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

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

struct LinkContents {
    std::map<uint32_t, uint64_t> trianglesByRecord;  // records whose geometry the reader mirrored
    int materialRecords = 0;                         // "SRFC" records the peer listed
    int recordsWithBuffer = 0;
    int buffersMapped = 0;
    uint64_t triangles() const {
        uint64_t n = 0;
        for (const auto& [id, count] : trianglesByRecord)
            n += count;
        return n;
    }
};

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

    // Reads the geometry the reader mirrored: wakes it and dumps until two dumps agree.
    void readGeometry(const std::string& link, LinkContents& out) const {
        fs::create_directories(path("dumps"));
        test::ChildProcess reader(VELORA_SCENE_READER_PATH, {"--connection", link, "--dump-dir", path("dumps")});
        const std::string ready = reader.waitForLine("READY window=");
        ASSERT_NE(ready, "") << reader.output();
        const platform::WindowHandle window = std::stoull(ready.substr(ready.find("window=") + 7));
        uint64_t previous = UINT64_MAX;
        for (uint32_t sequence = 1; sequence < 200; ++sequence) {
            platform::postMessage(window, kWakeMessage, 0, 0);
            platform::postMessage(window, test::kDumpMessage, sequence, 0);
            ASSERT_NE(reader.waitForLine("DUMPED seq=" + std::to_string(sequence) + " ", 20000), "");
            const auto dump = test::readDump(path("dumps/dump-") + std::to_string(sequence) + ".bin");
            ASSERT_TRUE(dump.has_value());
            out.trianglesByRecord.clear();
            for (const auto& [id, record] : *dump) {
                EXPECT_EQ(record.status, 0u) << "record " << id;
                uint32_t indices = 0;
                if (record.bytes.size() >= 8)
                    std::memcpy(&indices, record.bytes.data() + 4, 4);
                out.trianglesByRecord[id] = indices / 3;
            }
            if (out.triangles() > 0 && out.triangles() == previous)
                break;
            previous = out.triangles();
            platform::sleepMilliseconds(100);
        }
        platform::postMessage(window, test::kQuitMessage, 0, 0);
        reader.wait(10000);
    }

    // Links doc in a host, reads it from two processes, then lets the peer end it.
    LinkContents linkDocument(const std::string& doc) const {
        LinkContents contents;
        std::vector<std::string> lines{"Vantro Start"};
        for (const std::string& line : idleFor(120))
            lines.push_back(line);
        auto hostProcess = startHost({doc, "--script", script("long.txt", lines)});
        EXPECT_NE(hostProcess->waitForLine("Vantro started.", 120000), "") << hostProcess->output();
        readGeometry(linkNameOf(doc), contents);
        const test::RunResult peerRun = peer({"--connection", linkNameOf(doc), "--dump", "--close-link"});
        contents.materialRecords = countOf(peerRun.output, "\"tag\":\"SRFC\"");
        contents.buffersMapped = countOf(peerRun.output, "\"geometryMapped\":true");
        contents.recordsWithBuffer = contents.materialRecords - countOf(peerRun.output, "\"geometryBuffer\":0,");
        EXPECT_NE(hostProcess->waitForLine("Vantro stopped.", 30000), "") << hostProcess->output();
        hostProcess->kill();
        return contents;
    }

    void expectWholeDocument(const std::string& doc) const {
        const uint64_t exported = exportedTriangles(doc);
        const LinkContents link = linkDocument(doc);
        EXPECT_GT(link.materialRecords, 0);
        EXPECT_EQ(link.buffersMapped, link.recordsWithBuffer);
        size_t withGeometry = 0;
        for (const auto& [id, count] : link.trianglesByRecord)
            withGeometry += count > 0;
        EXPECT_EQ(withGeometry, static_cast<size_t>(link.recordsWithBuffer));
        EXPECT_GT(exported, 0u);
        EXPECT_EQ(link.triangles(), exported);
    }
};

// The bundled sample, which every clone has.
TEST_F(PluginDocumentTest, SampleReachesThePeerWhole) { expectWholeDocument(copySample()); }

// A document written by the modelling application.
TEST_F(PluginDocumentTest, RealDocumentReachesThePeerWhole) {
    const fs::path source = fs::path(VANTRO_TESTDATA_DIR) / "3dm" / "devsamples_hello_mesh.3dm";
    if (!fs::exists(source))
        GTEST_SKIP() << "missing " << source << " (../shared/testdata is not here)";
    VANTRO_SKIP_WITHOUT_3DM_READER();
    fs::create_directories(path("docs"));
    const std::string doc = path("docs/hello.3dm");
    fs::copy_file(source, doc);
    expectWholeDocument(doc);
}

}  // namespace
}  // namespace vantro::plugin_test
