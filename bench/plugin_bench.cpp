// The plug-in end to end, against baselines from the same run:
//   - "Vantro Start" on a document of 2 million triangles (4 materials) until the
//     renderer's window gets the wake-up, against the same scene's first full sync
//     alone (material manager and scene on a bare connection, no plug-in, no command,
//     no discovery, no statistics; in a child process, velora-first-sync, because
//     those libraries and the module must not share a process). Goal: at most 1.3x.
//   - the host's start-up with the plug-in module against its start-up without it
//     (whole vantro-host processes on an empty document), side by side.
//   - the peak memory of the process while the link runs, against the bytes in the
//     link's mappings plus the memory the process held with the document open
//     before the link started. Goal: at most 1.2x.
// The renderer's window is a separate process (velora-wake-listener): its "WAKE" line
// is the moment the wake-up arrived.
//
//   build/default/bench/bench_plugin [--benchmark_filter=...]

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/shared_memory.h"
#include "platform/utf.h"
#include "plugin_host.h"
#include "sdk/io/document_formats.h"
#include "sdk/io/document_writer.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object.h"
#include "support/child_process.h"
#include "support/grid_mesh.h"
#include "support/process_memory.h"
#include "support/ratio_report.h"

namespace {

namespace fs = std::filesystem;
namespace platform = vantro::platform;

constexpr int kObjects = 8;
constexpr int kMaterials = 4;
constexpr int kGrid = 354;  // per object: kGrid x kGrid quads, two triangles each: 2.0 M in all

struct Setting {
    fs::path dir;
    std::string document;
    std::unique_ptr<vantro::test::ChildProcess> peer;
    vantro::host::PluginHost plugins;
    int wakeUps = 0;
};

Setting& setting();

// The document file: kObjects grid meshes on one layer, spread over kMaterials.
std::string writeDocument(const fs::path& dir) {
    CRhinoDoc doc;
    ON_Layer layer;
    layer.SetName(u"Default");
    doc.m_layer_table.AddLayer(layer, true);
    for (int m = 0; m < kMaterials; ++m) {
        ON_Material material;
        material.SetName(ON_wString::FormatToString(u"Material %d", m));
        material.SetDiffuse(ON_Color(40 * m, 200 - 40 * m, 90));
        doc.m_material_table.AddMaterial(material);
    }
    for (int o = 0; o < kObjects; ++o) {
        ON_3dmObjectAttributes attributes;
        attributes.SetMaterialSource(ON::material_from_object);
        attributes.m_material_index = o % kMaterials;
        doc.AddObject(std::make_unique<CRhinoMeshObject>(vantro::bench::gridMesh(kGrid, o), attributes));
    }
    const std::string path = (dir / "bench-2m.json").string();
    std::ofstream(path) << vantro::docio::writeDocumentJson(doc);
    return path;
}

Setting& setting() {
    static Setting s = [] {
        Setting t;
        char pattern[] = "/tmp/vantro-bench-plugin-XXXXXX";
        t.dir = ::mkdtemp(pattern);
        ::setenv("VANTRO_REGISTRY_ROOT", (t.dir / "registry").c_str(), 1);
        ::setenv("VANTRO_RUNTIME_DIR", (t.dir / "runtime").c_str(), 1);
        fs::create_directories(t.dir / "registry");
        fs::create_directories(t.dir / "runtime");
        t.document = writeDocument(t.dir);
        return t;
    }();
    return s;
}

// The renderer's window, listening for wake-ups.
void startPeer(Setting& s) {
    if (s.peer)
        return;
    s.peer = std::make_unique<vantro::test::ChildProcess>(VELORA_WAKE_LISTENER_PATH, std::vector<std::string>{});
    s.peer->waitForLine("READY");
}

bool waitForWakeUp(Setting& s) {
    ++s.wakeUps;
    return !s.peer->waitForLine("WAKE " + std::to_string(s.wakeUps) + "\n", 300000).empty();
}

// The host application in this process, with the plug-in loaded and the document open.
bool openInHost(Setting& s, benchmark::State& state) {
    static bool ready = [&] {
        vantro::docio::registerDocumentFormats(RhinoApp());
        std::string error;
        if (s.plugins.load(VANTRO_PLUGIN_PATH, error) != 1) {
            std::fprintf(stderr, "bench_plugin: the plug-in did not load: %s\n", error.c_str());
            return false;
        }
        RhinoApp().InitRhino();
        // Camera following is not part of the start being measured.
        RhinoApp().RunScript(u"Vantro About");
        return RhinoApp().OpenDocument(ON_wString::FromUtf8(s.document));
    }();
    if (!ready)
        state.SkipWithError("no host with the plug-in");
    return ready;
}

void BM_VantroStart2M(benchmark::State& state) {
    Setting& s = setting();
    startPeer(s);
    if (!openInHost(s, state))
        return;
    for (auto _ : state) {
        const uint64_t t0 = platform::monotonicNanoseconds();
        RhinoApp().RunScript(u"Vantro Start");
        if (!waitForWakeUp(s))
            state.SkipWithError("no wake-up");
        state.SetIterationTime(static_cast<double>(platform::monotonicNanoseconds() - t0) * 1e-9);
        RhinoApp().RunScript(u"Vantro Stop");
    }
}
BENCHMARK(BM_VantroStart2M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

// Baseline: the first full sync of the same scene alone, each iteration timed by the
// child around the sync and its wake-up only.
void BM_FirstFullSync2M(benchmark::State& state) {
    Setting& s = setting();
    vantro::test::ChildProcess baseline(VELORA_FIRST_SYNC_PATH, {s.document, std::to_string(state.max_iterations)});
    for (auto _ : state) {
        const std::string line = baseline.waitForLine("SYNC ", 300000);
        if (line.empty()) {
            state.SkipWithError("no wake-up");
            break;
        }
        state.SetIterationTime(static_cast<double>(std::stoull(line.substr(5))) * 1e-9);
    }
    baseline.wait();
}
BENCHMARK(BM_FirstFullSync2M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

double runSeconds(const std::string& command) {
    const uint64_t t0 = platform::monotonicNanoseconds();
    if (std::system(command.c_str()) != 0)
        return -1;
    return static_cast<double>(platform::monotonicNanoseconds() - t0) * 1e-9;
}

// Whole host processes on an empty document: start-up, plug-in load (when given), exit.
void BM_HostStartupWithPlugin(benchmark::State& state) {
    setting();
    const std::string command =
        std::string(VANTRO_HOST_PATH) + " --plugin " + VANTRO_PLUGIN_PATH + " -c Quit >/dev/null";
    for (auto _ : state)
        state.SetIterationTime(runSeconds(command));
}
BENCHMARK(BM_HostStartupWithPlugin)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

void BM_HostStartup(benchmark::State& state) {
    setting();
    const std::string command = std::string(VANTRO_HOST_PATH) + " -c Quit >/dev/null";
    for (auto _ : state)
        state.SetIterationTime(runSeconds(command));
}
BENCHMARK(BM_HostStartup)->Unit(benchmark::kMillisecond)->Iterations(10)->UseManualTime();

void reportMemory() {
    Setting& s = setting();
    if (!s.peer || !RhinoApp().ActiveDoc())
        return;
    // Peak resident memory is reset (clear_refs 5) so that it covers the link only.
    std::ofstream("/proc/self/clear_refs") << "5";
    const uint64_t before = vantro::bench::statusBytes("VmRSS");
    RhinoApp().RunScript(u"Vantro Start");
    waitForWakeUp(s);
    const std::string link = s.document.substr(0, s.document.rfind('.')) + ".dae";
    const uint64_t mapped = vantro::bench::linkMappingBytes(platform::fromUtf8(link));
    const uint64_t peak = vantro::bench::statusBytes("VmHWM");
    RhinoApp().RunScript(u"Vantro Stop");
    std::printf(
        "\nrunning link, 2 M triangles: peak resident %.1f MB; document open before the start %.1f MB + "
        "link mappings %.1f MB = %.1f MB; peak / (document + mappings) = %.2fx (goal <= 1.2x)\n",
        peak / 1e6, before / 1e6, mapped / 1e6, (before + mapped) / 1e6,
        static_cast<double>(peak) / static_cast<double>(before + mapped));
}

}  // namespace

int main(int argc, char** argv) {
    const int status = vantro::bench::runWithRatios(
        argc, argv,
        {{"BM_VantroStart2M", "BM_FirstFullSync2M",
          "Vantro Start until the wake-up vs the first full sync alone (goal <= 1.3x)"},
         {"BM_HostStartupWithPlugin", "BM_HostStartup", "host start-up with the plug-in vs without it"}});
    reportMemory();
    RhinoApp().CloseRhino();
    setting().peer.reset();
    std::error_code ec;
    fs::remove_all(setting().dir, ec);
    return status;
}
