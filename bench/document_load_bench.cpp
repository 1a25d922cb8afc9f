// Reading and writing a document of 2 million triangles in the host's JSON format,
// against baselines measured in the same run: converting every number of the text
// with std::from_chars (the least any text reader must do) and memcpy of the raw
// bytes of the mesh arrays. After the benchmarks a summary gives MB/s, seconds per
// million triangles and the peak memory of a load against the raw array bytes.

#include <benchmark/benchmark.h>

#include <atomic>
#include <charconv>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "sdk/io/document_reader.h"
#include "sdk/io/document_writer.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object.h"
#include "support/grid_mesh.h"
#include "support/heap_accounting.h"
#include "support/ratio_report.h"

namespace {

constexpr int kObjects = 4;
constexpr int kGrid = 500;  // per object: kGrid x kGrid quads, two triangles each
constexpr int kTriangles = kObjects * kGrid * kGrid * 2;

struct TestDocument {
    std::string json;
    size_t rawArrayBytes = 0;  // vertices, normals, texture coordinates and faces as stored
};

const TestDocument& testDocument() {
    static const TestDocument doc = [] {
        TestDocument t;
        CRhinoDoc source;
        ON_Layer layer;
        layer.SetName(u"Default");
        source.m_layer_table.AddLayer(layer, true);
        for (int o = 0; o < kObjects; ++o) {
            const ON_Mesh mesh = vantro::bench::gridMesh(kGrid, o);
            t.rawArrayBytes += mesh.m_V.Count() * sizeof(ON_3fPoint) + mesh.m_N.Count() * sizeof(ON_3fVector) +
                               mesh.m_T.Count() * sizeof(ON_2fPoint) + mesh.m_F.Count() * sizeof(ON_MeshFace);
            source.AddObject(std::make_unique<CRhinoMeshObject>(mesh));
        }
        t.json = vantro::docio::writeDocumentJson(source);
        return t;
    }();
    return doc;
}

// Flat copies of the arrays, for the memcpy baseline.
const std::vector<char>& rawArrays() {
    static const std::vector<char> raw(testDocument().rawArrayBytes, 1);
    return raw;
}

void BM_ReadDocument2M(benchmark::State& state) {
    const TestDocument& t = testDocument();
    for (auto _ : state) {
        auto doc = std::make_unique<CRhinoDoc>();
        const auto result = vantro::docio::readDocumentJson(t.json, "bench.json", *doc);
        if (!result.ok)
            state.SkipWithError(result.error.c_str());
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * t.json.size()));
    state.counters["triangles/s"] =
        benchmark::Counter(static_cast<double>(kTriangles), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadDocument2M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_WriteDocument2M(benchmark::State& state) {
    CRhinoDoc doc;
    vantro::docio::readDocumentJson(testDocument().json, "bench.json", doc);
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = vantro::docio::writeDocumentJson(doc);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_WriteDocument2M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Baseline: every number of the text through std::from_chars, strings skipped.
void BM_FromCharsEveryNumber2M(benchmark::State& state) {
    const std::string& text = testDocument().json;
    for (auto _ : state) {
        double sum = 0;
        const char* p = text.data();
        const char* end = p + text.size();
        while (p < end) {
            if (*p == '"') {
                for (++p; p < end && *p != '"'; ++p)
                    p += *p == '\\';
                ++p;
            } else if (*p == '-' || (*p >= '0' && *p <= '9')) {
                double v = 0;
                p = std::from_chars(p, end, v).ptr;
                sum += v;
            } else {
                ++p;
            }
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_FromCharsEveryNumber2M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Baseline: the mesh arrays' bytes copied into fresh memory.
void BM_MemcpyRawArrays2M(benchmark::State& state) {
    const std::vector<char>& raw = rawArrays();
    for (auto _ : state) {
        std::unique_ptr<char[]> copy(new char[raw.size()]);
        std::memcpy(copy.get(), raw.data(), raw.size());
        benchmark::DoNotOptimize(copy.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * raw.size()));
}
BENCHMARK(BM_MemcpyRawArrays2M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// One load measured alone: time, and the peak heap it needs above what was allocated
// before (the text itself is in neither).
void printSummary() {
    const TestDocument& t = testDocument();
    const double mb = 1e6;
    auto doc = std::make_unique<CRhinoDoc>();
    const size_t before = heap::current.load();
    heap::peak.store(before);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const auto result = vantro::docio::readDocumentJson(t.json, "bench.json", *doc);
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double peakExtra = static_cast<double>(heap::peak.load() - before);
    const double kept = static_cast<double>(heap::current.load() - before);
    if (!result.ok) {
        std::printf("load failed: %s\n", result.error.c_str());
        return;
    }
    const double raw = static_cast<double>(t.rawArrayBytes);
    std::printf(
        "\ndocument: %d triangles in %d mesh objects; JSON %.1f MB, raw arrays %.1f MB (text is %.2fx the raw bytes)\n",
        kTriangles, kObjects, static_cast<double>(t.json.size()) / mb, raw / mb,
        static_cast<double>(t.json.size()) / raw);
    // Processor time as well: on a shared machine the wall clock includes waiting.
    std::printf(
        "load: %.3f s (%.3f s of processor time), %.0f MB/s of JSON (%.0f MB/s by processor time), "
        "%.3f s per million triangles (%.3f s)\n",
        seconds, cpu, static_cast<double>(t.json.size()) / mb / seconds, static_cast<double>(t.json.size()) / mb / cpu,
        seconds / (kTriangles / 1e6), cpu / (kTriangles / 1e6));
    std::printf(
        "memory: peak %.1f MB allocated during the load (%.2fx the raw arrays); "
        "the loaded document keeps %.1f MB (%.2fx)\n\n",
        peakExtra / mb, peakExtra / raw, kept / mb, kept / raw);
}

}  // namespace

int main(int argc, char** argv) {
    testDocument();
    printSummary();
    return vantro::bench::runWithRatios(
        argc, argv,
        {{"BM_ReadDocument2M", "BM_FromCharsEveryNumber2M", "reading the document takes"},
         {"BM_ReadDocument2M", "BM_MemcpyRawArrays2M", "reading the document takes"},
         {"BM_WriteDocument2M", "BM_MemcpyRawArrays2M", "writing the document takes"}});
}
