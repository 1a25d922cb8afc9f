// One size up, run by hand (not part of the suite): the live link and the export on a
// generated document of about 20 million triangles in 1,000 materials and, in the same
// run, on one of about 2 million, with the ratio between the two sizes (linear: the
// ratio of their triangles; goal: within 1.1 times that). For each size:
//   - the link's start (the plug-in object's StartLink, as the command runs it) until
//     the worker has sent everything, with velora-scene-reader as the renderer;
//   - a second full rewrite of every material into its existing buffer (the median of
//     three);
//   - a one-object edit (a move) until the renderer's wake-up (the median of nine);
//   - the COLLADA export of the document, and the plain write of as many bytes to a new
//     file in the same folder (what the file system alone costs at that size);
//   - the process's peak resident memory with the link running, against the document
//     (resident before the start) plus the link's mappings (goal: within 1.2x).
//
//   build/default/bench/bench_scale [--small-only]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "collada/collada_exporter.h"
#include "sdk/app/save_file_dialog.h"
#include "link/live_connection.h"
#include "live_session.h"
#include "platform/clock.h"
#include "platform/shared_memory.h"
#include "platform/utf.h"
#include "plugin/velora_plugin.h"
#include "scene/rh_scene.h"
#include "support/process_memory.h"
#include "scene_documents.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object.h"

using namespace vantro::test;
namespace fs = std::filesystem;
namespace platform = vantro::platform;

namespace {

constexpr int kMaterials = 1000;

struct Figures {
    size_t triangles = 0;
    double start = -1, rewrite = -1, edit = -1, exportSeconds = -1, writeSeconds = -1;
    uint64_t documentBytes = 0, mappedBytes = 0, peakBytes = 0, daeBytes = 0;
    int64_t exportPeakBytes = -1;  // the export's peak above what was resident before it
};

double secondsSince(uint64_t t0) { return static_cast<double>(platform::monotonicNanoseconds() - t0) * 1e-9; }

size_t triangleCount(const CRhinoDoc& doc) {
    size_t triangles = 0;
    for (const CRhinoObject* object : doc.Objects())
        if (const auto* mesh = dynamic_cast<const CRhinoMeshObject*>(object))
            for (int f = 0; f < mesh->Mesh()->FaceCount(); ++f)
                triangles += mesh->Mesh()->m_F[f].IsQuad() ? 2 : 1;
    return triangles;
}

// The reader copies what a wake-up announced while it holds the link's lock, and takes
// the next wake-up only after that: let it finish (no wake-up for a second), so that the
// next case measures its own work and not the reader's copy of the previous one.
void drainWakeUps(LiveSession& s) {
    while (!s.reader->waitForLine("WAKE n=", 1000).empty()) {}
}

// The median of three full rewrites, each until the worker has sent everything.
void rewriteEverything(LiveSession& s, Figures& f) {
    RHScene& scene = *s.plugin.scene();
    std::vector<double> times;
    for (int k = 0; k < 3; ++k) {
        if (!scene.LockScene(60000))
            return;
        for (const auto& entry : scene.materialMeshes)
            scene.pendingMaterials.insert(entry.first);
        const uint64_t t0 = platform::monotonicNanoseconds();
        scene.ReleaseScene();
        if (!s.waitUntilSent(600000))
            return;
        times.push_back(secondsSince(t0));
        scene.ReleaseScene();
        drainWakeUps(s);
    }
    std::sort(times.begin(), times.end());
    f.rewrite = times[1];
}

// The median of nine single-object edits (a move), each until the reader's wake-up.
void editOne(LiveSession& s, Figures& f) {
    std::vector<const CRhinoObject*> objects;
    for (const CRhinoObject* object : s.doc.Objects())
        if (!object->IsDeleted())
            objects.push_back(object);
    std::vector<double> latencies;
    for (size_t k = 0; k < 9 && !objects.empty(); ++k) {
        const size_t pick = (k * 397) % objects.size();
        const uint64_t t0 = platform::monotonicNanoseconds();
        const CRhinoObject* moved =
            s.doc.TransformObject(CRhinoObjRef(objects[pick]), ON_Xform::TranslationTransformation(0, 0, 0.125));
        if (!moved)
            continue;
        objects[pick] = moved;
        s.idle();
        const uint64_t received = s.wakeAfter(platform::monotonicNanoseconds(), 60000);
        if (received)
            latencies.push_back(static_cast<double>(received - t0) * 1e-9);
        drainWakeUps(s);
    }
    if (latencies.empty())
        return;
    std::sort(latencies.begin(), latencies.end());
    f.edit = latencies[latencies.size() / 2];
}

void exportDocument(const fs::path& dae, Figures& f) {
    const std::u16string target = platform::fromUtf8(dae.string());
    vantro::sdk::SetSaveFileHandler([&](const vantro::sdk::SaveFileRequest&) { return target; });
    ColladaExporter exporter;
    std::ofstream("/proc/self/clear_refs") << "5";
    const uint64_t residentBefore = vantro::bench::statusBytes("VmRSS");
    const uint64_t t0 = platform::monotonicNanoseconds();
    if (exporter.Export() == 0 && fs::exists(dae)) {
        f.exportSeconds = secondsSince(t0);
        f.exportPeakBytes =
            static_cast<int64_t>(vantro::bench::statusBytes("VmHWM")) - static_cast<int64_t>(residentBefore);
    }
    vantro::sdk::SetSaveFileHandler(nullptr);
    std::error_code error;
    const std::uintmax_t bytes = fs::file_size(dae, error);
    fs::remove(dae, error);
    if (f.exportSeconds < 0 || bytes == static_cast<std::uintmax_t>(-1))
        return;
    f.daeBytes = bytes;
    // The same number of bytes from a reused buffer, so that only the file's side is timed.
    const std::string block(std::size_t{16} << 20, '7');
    const uint64_t w0 = platform::monotonicNanoseconds();
    std::FILE* file = std::fopen(dae.c_str(), "wb");
    bool written = file != nullptr;
    for (std::uintmax_t left = bytes; written && left > 0;) {
        const std::size_t size = static_cast<std::size_t>(std::min<std::uintmax_t>(left, block.size()));
        written = std::fwrite(block.data(), 1, size, file) == size;
        left -= size;
    }
    if (file && std::fclose(file) == 0 && written)
        f.writeSeconds = secondsSince(w0);
    fs::remove(dae, error);
}

Figures runSize(int trianglesPerMaterial) {
    Figures f;
    LiveSession s;
    generateLargeDocument(s.doc, kMaterials, trianglesPerMaterial);
    f.triangles = triangleCount(s.doc);
    std::ofstream("/proc/self/clear_refs") << "5";  // the peak from here on
    f.documentBytes = vantro::bench::statusBytes("VmRSS");
    const uint64_t t0 = platform::monotonicNanoseconds();
    if (!s.start()) {
        std::printf("the link or the reader did not start\n");
        return f;
    }
    f.start = secondsSince(t0);
    drainWakeUps(s);
    rewriteEverything(s, f);
    editOne(s, f);
    f.mappedBytes = vantro::bench::linkMappingBytes(s.plugin.connection()->GetName());
    f.peakBytes = vantro::bench::statusBytes("VmHWM");
    exportDocument(fs::temp_directory_path() / ("vantro-scale-" + std::to_string(::getpid()) + ".dae"), f);
    return f;
}

void printRow(const char* what, double small, double large, double linear) {
    auto seconds = [](double value) {
        return value > 0 ? std::to_string(value).substr(0, 7) + " s" : std::string("-");
    };
    std::printf("  %-40s %11s %11s", what, seconds(small).c_str(), seconds(large).c_str());
    if (small > 0 && large > 0)
        std::printf("   %6.2fx (linear %.2fx; %.2f of it, goal <= 1.1)", large / small, linear, large / small / linear);
    std::printf("\n");
}

void printMemory(const char* size, const Figures& f) {
    const double mb = 1e6;
    const double base = static_cast<double>(f.documentBytes + f.mappedBytes);
    std::printf(
        "  %s: peak resident %.0f MB; document %.0f MB + link mappings %.0f MB = %.0f MB; "
        "peak / (document + mappings) = %.2fx (goal <= 1.2x)\n",
        size, static_cast<double>(f.peakBytes) / mb, static_cast<double>(f.documentBytes) / mb,
        static_cast<double>(f.mappedBytes) / mb, base / mb, base > 0 ? static_cast<double>(f.peakBytes) / base : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    const bool smallOnly = argc > 1 && std::strcmp(argv[1], "--small-only") == 0;
    const Figures small = runSize(2000);
    const Figures large = smallOnly ? Figures{} : runSize(20000);
    std::printf("\n%d materials; %zu and %zu triangles\n", kMaterials, small.triangles, large.triangles);
    const double linear =
        small.triangles > 0 ? static_cast<double>(large.triangles) / static_cast<double>(small.triangles) : 0;
    std::printf("  %-40s %11s %11s   ratio\n", "", "small", "large");
    printRow("link start until everything is sent", small.start, large.start, linear);
    printRow("second full rewrite", small.rewrite, large.rewrite, linear);
    printRow("one-object edit until the wake-up", small.edit, large.edit, 1.0);
    printRow("COLLADA export", small.exportSeconds, large.exportSeconds, linear);
    printRow("writing the same bytes alone", small.writeSeconds, large.writeSeconds, linear);
    std::printf("  .dae: %.0f MB and %.0f MB in %s\n", static_cast<double>(small.daeBytes) / 1e6,
                static_cast<double>(large.daeBytes) / 1e6, fs::temp_directory_path().c_str());
    std::printf("  export's peak above what was resident before it: %.0f MB and %.0f MB\n",
                static_cast<double>(small.exportPeakBytes) / 1e6, static_cast<double>(large.exportPeakBytes) / 1e6);
    printMemory("small", small);
    if (!smallOnly)
        printMemory("large", large);
    return 0;
}
