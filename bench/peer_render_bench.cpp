// The peer's picture of a big mirror: 2 million triangles (one material, a rippled
// 1000 x 1000 grid seen from above) rendered at 1280 x 720 in Mesa's software
// rasteriser, against the same picture of an empty mirror (context, clear, read-back,
// flip). The target is under one second per picture on this machine; the figure is
// printed after the run. Reading the 2 million triangles out of a geometry buffer is
// measured too.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "link/channel_layout.h"
#include "link/srfc_layout.h"
#include "peer_mirror.h"
#include "picture_renderer.h"
#include "support/ratio_report.h"

namespace {

using namespace vantro::peer;
using namespace VantroAPI;

constexpr uint32_t kGrid = 1000;  // quads per side: 2 x 1000 x 1000 triangles
constexpr int kWidth = 1280, kHeight = 720;

// A geometry buffer as the scene writer lays it out, in the renderer's axes (y up)
// with the winding it sends.
std::vector<std::byte> gridBuffer() {
    const uint32_t side = kGrid + 1, v = side * side, i = kGrid * kGrid * 6;
    std::vector<uint32_t> words(3 + 8 * size_t(v) + i);
    words[0] = v, words[1] = i, words[2] = 1;
    float* positions = reinterpret_cast<float*>(&words[3]);
    float* normals = positions + 3 * size_t(v);
    float* uv = normals + 3 * size_t(v);
    for (uint32_t z = 0; z < side; ++z) {
        for (uint32_t x = 0; x < side; ++x) {
            const size_t at = size_t(z) * side + x;
            const float fx = float(x) / kGrid * 20, fz = float(z) / kGrid * 20;
            positions[3 * at] = fx;
            positions[3 * at + 1] = 0.3f * std::sin(fx) * std::cos(fz);
            positions[3 * at + 2] = fz;
            normals[3 * at] = -0.3f * std::cos(fx) * std::cos(fz);
            normals[3 * at + 1] = 1;
            normals[3 * at + 2] = 0.3f * std::sin(fx) * std::sin(fz);
            uv[2 * at] = fx, uv[2 * at + 1] = fz;
        }
    }
    uint32_t* indices = &words[3 + 8 * size_t(v)];
    for (uint32_t z = 0; z < kGrid; ++z) {
        for (uint32_t x = 0; x < kGrid; ++x) {
            const uint32_t a = z * side + x, b = a + 1, c = a + side, d = c + 1;
            for (uint32_t index : {c, b, a, d, b, c})
                *indices++ = index;
        }
    }
    std::vector<std::byte> bytes(words.size() * 4);
    std::memcpy(bytes.data(), words.data(), bytes.size());
    return bytes;
}

std::vector<std::byte> materialRecord(uint32_t geometryBuffer) {
    std::vector<std::byte> record(kBlockSize);
    store(record.data(), record::kTag, kTagSrfc);
    store(record.data(), record::kId, 1u);
    store(record.data(), srfc::kDiffuse, 0xFF6080C0u);
    store(record.data(), srfc::kOpacity, 1.0f);
    store(record.data(), srfc_record::kGeometryBuffer, geometryBuffer);
    store(record.data(), srfc_record::kGeometryChangeCount, 1u);
    return record;
}

PeerMirror mirrorOf(const std::vector<std::byte>* geometry) {
    PeerMirror mirror;
    MirrorUpdate update;
    const std::vector<std::byte> record = materialRecord(geometry ? 1 : 0);
    mirror.applyMaterial(
        record, kRecordChanged, [&](uint32_t) { return Bytes(*geometry); }, update);
    return mirror;
}

double processCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Besides wall time, the CPU time of every thread (the rasteriser's too) per picture:
// on a loaded machine wall time says little, and that time over the cores is what an
// idle machine would take at best.
void renderLoop(benchmark::State& state, const PeerMirror& mirror) {
    PictureRenderer renderer;
    Image picture;
    std::string error;
    if (!renderer.render(mirror, kWidth, kHeight, picture, error)) {  // first use compiles the pipeline
        state.SkipWithError(error.c_str());
        return;
    }
    const double cpuBefore = processCpuMs();
    for (auto _ : state) {
        renderer.render(mirror, kWidth, kHeight, picture, error);
        benchmark::DoNotOptimize(picture.rgba.data());
    }
    state.counters["cpu_ms_all_threads"] = (processCpuMs() - cpuBefore) / double(state.iterations());
}

void BM_RenderEmptyMirror(benchmark::State& state) { renderLoop(state, mirrorOf(nullptr)); }
BENCHMARK(BM_RenderEmptyMirror)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Render2MTriangles(benchmark::State& state) {
    const std::vector<std::byte> geometry = gridBuffer();
    const PeerMirror mirror = mirrorOf(&geometry);
    renderLoop(state, mirror);
    state.counters["triangles"] = double(mirror.triangleCount());
}
BENCHMARK(BM_Render2MTriangles)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_DecodeGeometry2MTriangles(benchmark::State& state) {
    const std::vector<std::byte> geometry = gridBuffer();
    MeshData mesh;
    for (auto _ : state) {
        decodeGeometry(geometry, mesh);
        benchmark::DoNotOptimize(mesh.indices.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(geometry.size()));
}
BENCHMARK(BM_DecodeGeometry2MTriangles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return vantro::bench::runWithRatios(
        argc, argv,
        {{"BM_Render2MTriangles", "BM_RenderEmptyMirror",
          "a picture of 2 million triangles at 1280x720 takes (target: under 1 s; see the ms above)"},
         {"BM_DecodeGeometry2MTriangles", "BM_RenderEmptyMirror",
          "reading 2 million triangles out of a geometry buffer takes"}});
}
