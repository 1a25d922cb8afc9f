// Following a document's file while the link runs, against baselines from the same
// run:
//   - a save that moves one object of a 2-million-triangle JSON document (8 objects,
//     a material each) until the renderer's wake-up, against reading that file alone.
//     Goal: at most 1.3x. Also the bytes of geometry the renderer re-read for that save
//     against the moved object's own geometry (positions, normals, texture
//     coordinates, indices). Goal: at most 2x.
//   - the same for the largest .3dm of ../shared/testdata/3dm, its copy with one
//     object moved written by tools/move-object.mjs. Skipped, with a message,
//     when the folder or node is absent.
// The host is this process (the plug-in loaded, the document open, the link started);
// the renderer is velora-peer, whose "MESSAGE" line is the moment the wake-up arrived
// and whose "MIRROR ... bytes=" line what it re-read.
//
//   build/default/bench/bench_watch [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>

#include "document_watcher.h"
#include "host_session.h"
#include "platform/clock.h"
#include "plugin_host.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object.h"
#include "sdk/io/document_formats.h"
#include "sdk/io/document_writer.h"
#include "support/child_process.h"
#include "support/grid_mesh.h"
#include "support/ratio_report.h"

namespace {

namespace fs = std::filesystem;
namespace platform = vantro::platform;

constexpr int kObjects = 8;
constexpr int kGrid = 354;  // per object: kGrid x kGrid quads, two triangles each: 2.0 M in all

// One followed document: two versions that differ by one moved object, saved in turn.
struct Followed {
    fs::path path;
    fs::path versions[2];
    int next = 1;  // the version the next save writes
    bool open = false;
    uint64_t movedObjectBytes = 0;  // 0: unknown
    std::string skip;               // why it cannot run
};

struct Setting {
    fs::path dir;
    std::unique_ptr<vantro::test::ChildProcess> peer;
    vantro::host::PluginHost plugins;
    std::string output;
    vantro::host::HostOutput hostOutput{[this](std::string_view text) { output += text; }};
    std::unique_ptr<vantro::host::HostSession> session;
    Followed json, model3dm;
    std::vector<uint64_t> bytesPerSave[2];  // json, 3dm
};

// Ids that both versions share, so that a save is matched entry by entry.
ON_UUID fixedId(const char* stem, int n) {
    char text[40];
    std::snprintf(text, sizeof text, "%s0000-0000-4000-8000-%012d", stem, n);
    return ON_UuidFromString(std::string_view(text));
}

// kObjects grid meshes, a material each; shift moves object 0 along y.
std::string documentJson(float shift) {
    CRhinoDoc doc;
    ON_Layer layer;
    layer.SetName(u"Default");
    layer.SetId(fixedId("1a7e", 0));
    doc.m_layer_table.AddLayer(layer, true);
    for (int o = 0; o < kObjects; ++o) {
        ON_Material material;
        material.SetName(ON_wString::FormatToString(u"Material %d", o));
        material.SetDiffuse(ON_Color(30 * o, 200 - 20 * o, 90));
        material.SetId(fixedId("6f1a", o));
        doc.m_material_table.AddMaterial(material);
    }
    for (int o = 0; o < kObjects; ++o) {
        ON_3dmObjectAttributes attributes;
        attributes.m_uuid = fixedId("0b1e", o);
        attributes.SetMaterialSource(ON::material_from_object);
        attributes.m_material_index = o;
        doc.AddObject(
            std::make_unique<CRhinoMeshObject>(vantro::bench::gridMesh(kGrid, o, o == 0 ? shift : 0.0f), attributes));
    }
    return vantro::docio::writeDocumentJson(doc);
}

void prepareJson(Setting& s) {
    Followed& f = s.json;
    f.path = s.dir / "followed-2m.json";
    for (int v = 0; v < 2; ++v) {
        f.versions[v] = s.dir / ("version-" + std::to_string(v) + ".json");
        std::ofstream(f.versions[v]) << documentJson(v == 0 ? 0.0f : 25.0f);
    }
    fs::copy_file(f.versions[0], f.path);
    // What the link sends for one grid: positions, normals and texture coordinates per
    // vertex, three indices per triangle.
    const uint64_t vertices = static_cast<uint64_t>(kGrid + 1) * (kGrid + 1);
    const uint64_t triangles = 2ull * kGrid * kGrid;
    f.movedObjectBytes = vertices * 8 * sizeof(float) + triangles * 3 * sizeof(uint32_t);
}

// The largest .3dm of the shared samples, written once unchanged and once with one
// object moved by the same converter, so that the two differ by that object alone.
void prepare3dm(Setting& s) {
    Followed& f = s.model3dm;
    const fs::path folder = fs::path(VANTRO_TESTDATA_DIR) / "3dm";
    std::error_code ec;
    fs::path largest;
    uintmax_t size = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec))
        if (entry.path().extension() == ".3dm" && entry.file_size() > size)
            size = entry.file_size(), largest = entry.path();
    if (largest.empty()) {
        f.skip = "no .3dm in " + folder.string() + " (../shared absent)";
        return;
    }
    f.path = s.dir / "followed.3dm";
    f.versions[0] = s.dir / "version-0.3dm";
    f.versions[1] = s.dir / "version-1.3dm";
    const std::string command = "node '" + std::string(VANTRO_SOURCE_DIR) + "/tools/move-object.mjs' '" +
                                largest.string() + "' '" + f.versions[1].string() +
                                "' --largest --by 0,0,100 --same '" + f.versions[0].string() + "' > '" +
                                (s.dir / "move.log").string() + "' 2>&1";
    if (std::system(command.c_str()) != 0) {
        f.skip = "tools/move-object.mjs failed on " + largest.string() + " (node and rhino3dm needed)";
        return;
    }
    fs::copy_file(f.versions[0], f.path);
    std::printf("3dm document: %s (%.1f MB)\n", largest.filename().c_str(), static_cast<double>(size) / 1e6);
}

Setting& setting() {
    static Setting s;
    static const bool prepared = [] {
        char pattern[] = "/tmp/vantro-bench-watch-XXXXXX";
        s.dir = ::mkdtemp(pattern);
        ::setenv("VANTRO_REGISTRY_ROOT", (s.dir / "registry").c_str(), 1);
        ::setenv("VANTRO_RUNTIME_DIR", (s.dir / "runtime").c_str(), 1);
        fs::create_directories(s.dir / "registry");
        fs::create_directories(s.dir / "runtime");
        prepareJson(s);
        prepare3dm(s);
        return true;
    }();
    (void)prepared;
    return s;
}

void startPeer(Setting& s) {
    if (s.peer)
        return;
    s.peer = std::make_unique<vantro::test::ChildProcess>(VELORA_PEER_PATH, std::vector<std::string>{"--listen", "-1"});
    s.peer->waitForLine("READY");
}

// Pumps idle meanwhile, as the host's wait loop does: the plug-in takes a change on
// the first idle pass that finds its worker done.
bool waitForWakeUp(Setting& s) {
    for (int i = 0; i < 120000; ++i) {
        if (!s.peer->waitForLine("MESSAGE n=", 5).empty())
            return true;
        RhinoApp().OnIdle();
    }
    return false;
}

// The bytes= of the peer's next MIRROR line.
uint64_t nextMirrorBytes(Setting& s) {
    const std::string line = s.peer->waitForLine("MIRROR ", 600000);
    std::smatch m;
    return std::regex_search(line, m, std::regex("bytes=([0-9]+)")) ? std::stoull(m[1]) : 0;
}

// The host in this process with the plug-in loaded, the followed document open and
// the link running.
bool openAndLink(Setting& s, Followed& f, benchmark::State& state) {
    if (!f.skip.empty()) {
        state.SkipWithError(f.skip.c_str());
        return false;
    }
    static bool loaded = [&] {
        vantro::docio::registerDocumentFormats(RhinoApp());
        std::string error;
        if (s.plugins.load(VANTRO_PLUGIN_PATH, error) != 1) {
            std::fprintf(stderr, "bench_watch: the plug-in did not load: %s\n", error.c_str());
            return false;
        }
        RhinoApp().InitRhino();
        s.session = std::make_unique<vantro::host::HostSession>(s.hostOutput);
        return true;
    }();
    if (!loaded) {
        state.SkipWithError("no host with the plug-in");
        return false;
    }
    if (!f.open) {
        s.session->runLine("Vantro Stop");
        if (!RhinoApp().OpenDocument(ON_wString::FromUtf8(f.path.string()))) {
            state.SkipWithError("the document does not open");
            return false;
        }
        s.session->runLine("Vantro Start");
        waitForWakeUp(s);
        nextMirrorBytes(s);
        s.json.open = s.model3dm.open = false;
        f.open = true;
        std::string error;
        s.session->watcher().start(error);
    }
    return true;
}

// Saves the other version as most programs do: a finished copy renamed into place.
// The copy is made before the clock starts; the rename is the save.
void followOneSave(benchmark::State& state, Followed& f, std::vector<uint64_t>& bytes) {
    Setting& s = setting();
    startPeer(s);
    if (!openAndLink(s, f, state))
        return;
    vantro::host::DocumentWatcher& watcher = s.session->watcher();
    for (auto _ : state) {
        const fs::path temporary = f.path.string() + ".tmp";
        fs::copy_file(f.versions[f.next], temporary, fs::copy_options::overwrite_existing);
        const uint64_t t0 = platform::monotonicNanoseconds();
        fs::rename(temporary, f.path);
        f.next = 1 - f.next;
        while (!watcher.service())
            vantro::host::waitForInput(-1, watcher.notifier(), watcher.nextCheckMs());
        if (!waitForWakeUp(s))
            state.SkipWithError("no wake-up");
        state.SetIterationTime(static_cast<double>(platform::monotonicNanoseconds() - t0) * 1e-9);
        bytes.push_back(nextMirrorBytes(s));
    }
}

void readAlone(benchmark::State& state, Followed& f) {
    if (!f.skip.empty()) {
        state.SkipWithError(f.skip.c_str());
        return;
    }
    vantro::docio::registerDocumentFormats(RhinoApp());
    for (auto _ : state) {
        CRhinoDoc doc;
        ON_wString error;
        const uint64_t t0 = platform::monotonicNanoseconds();
        if (!RhinoApp().ReadDocument(ON_wString::FromUtf8(f.versions[1].string()), doc, error))
            state.SkipWithError("the document does not read");
        state.SetIterationTime(static_cast<double>(platform::monotonicNanoseconds() - t0) * 1e-9);
    }
}

void BM_SaveToWakeUp2M(benchmark::State& state) { followOneSave(state, setting().json, setting().bytesPerSave[0]); }
BENCHMARK(BM_SaveToWakeUp2M)->Unit(benchmark::kMillisecond)->Iterations(4)->UseManualTime();

void BM_ReadAlone2M(benchmark::State& state) { readAlone(state, setting().json); }
BENCHMARK(BM_ReadAlone2M)->Unit(benchmark::kMillisecond)->Iterations(4)->UseManualTime();

void BM_SaveToWakeUp3dm(benchmark::State& state) {
    followOneSave(state, setting().model3dm, setting().bytesPerSave[1]);
}
BENCHMARK(BM_SaveToWakeUp3dm)->Unit(benchmark::kMillisecond)->Iterations(4)->UseManualTime();

void BM_ReadAlone3dm(benchmark::State& state) { readAlone(state, setting().model3dm); }
BENCHMARK(BM_ReadAlone3dm)->Unit(benchmark::kMillisecond)->Iterations(4)->UseManualTime();

void reportBytes() {
    Setting& s = setting();
    for (uint64_t bytes : s.bytesPerSave[0])
        std::printf(
            "2 M triangles, one object moved: %.2f MB re-read by the renderer; the object's geometry "
            "%.2f MB; ratio %.2fx (goal <= 2x)\n",
            static_cast<double>(bytes) / 1e6, static_cast<double>(s.json.movedObjectBytes) / 1e6,
            static_cast<double>(bytes) / static_cast<double>(s.json.movedObjectBytes));
    for (uint64_t bytes : s.bytesPerSave[1])
        std::printf(".3dm, one object moved: %.3f MB re-read by the renderer\n", static_cast<double>(bytes) / 1e6);
    if (!s.model3dm.skip.empty())
        std::printf("3dm case skipped: %s\n", s.model3dm.skip.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const int status = vantro::bench::runWithRatios(
        argc, argv,
        {{"BM_SaveToWakeUp2M", "BM_ReadAlone2M",
          "2 M triangles: a one-object save until the wake-up vs reading the file alone (goal <= 1.3x)"},
         {"BM_SaveToWakeUp3dm", "BM_ReadAlone3dm",
          "largest .3dm: a one-object save until the wake-up vs reading the file alone (goal <= 1.3x)"}});
    reportBytes();
    Setting& s = setting();
    if (s.session)
        s.session->runLine("Vantro Stop");
    s.session.reset();
    RhinoApp().CloseRhino();
    s.peer.reset();
    std::error_code ec;
    fs::remove_all(s.dir, ec);
    return status;
}
