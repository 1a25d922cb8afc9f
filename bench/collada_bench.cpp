// Throughput of the COLLADA number text: the fast formatter against snprintf on the
// same values (MB/s of text produced), and geometry serialisation as a whole.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "collada/collada_writer.h"
#include "collada/fixed_format.h"
#include "collada/geometry_text.h"
#include "collada/merged_geometry.h"
#include "collada/number_list_writer.h"
#include "support/ratio_report.h"

namespace {

// The sample geometries and the texts the writer streams, freed when the program ends.
vantro::platform::PageArena arena;

using namespace vantro::collada;

// Positions of a building-sized model in metres, the common case of the document.
std::vector<float> sampleValues(float range) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-range, range);
    std::vector<float> values(1 << 20);
    for (float& v : values)
        v = value(random);
    return values;
}

template <int decimals>
void fixedFormat(benchmark::State& state) {
    const std::vector<float> values = sampleValues(100.0f);
    std::vector<char> out(values.size() * (kMaxFloatFixedChars + 1));
    std::size_t bytes = 0;
    for (auto _ : state) {
        char* p = out.data();
        for (const float v : values) {
            p = writeFixed(p, v, decimals);
            *p++ = ' ';
        }
        bytes += static_cast<std::size_t>(p - out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
void BM_FixedFormat3(benchmark::State& state) { fixedFormat<3>(state); }
void BM_FixedFormat6(benchmark::State& state) { fixedFormat<6>(state); }
BENCHMARK(BM_FixedFormat3);
BENCHMARK(BM_FixedFormat6);

template <int decimals>
void viaSnprintf(benchmark::State& state) {
    const char* pattern = decimals == 3 ? "%0.3f " : "%f ";
    const std::vector<float> values = sampleValues(100.0f);
    std::vector<char> out(values.size() * (kMaxFloatFixedChars + 1));
    std::size_t bytes = 0;
    for (auto _ : state) {
        char* p = out.data();
        for (const float v : values)
            p += std::snprintf(p, kMaxFloatFixedChars + 1, pattern, double{v});
        bytes += static_cast<std::size_t>(p - out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
void BM_Snprintf3(benchmark::State& state) { viaSnprintf<3>(state); }
void BM_Snprintf6(benchmark::State& state) { viaSnprintf<6>(state); }
BENCHMARK(BM_Snprintf3);
BENCHMARK(BM_Snprintf6);

std::unique_ptr<MergedGeometry> sampleGeometry(std::uint32_t vertexCount) {
    const std::vector<float> values = sampleValues(50.0f);
    std::vector<float> positions(3 * std::size_t{vertexCount});
    std::vector<float> normals(3 * std::size_t{vertexCount});
    std::vector<float> uvs(2 * std::size_t{vertexCount});
    std::vector<std::uint32_t> indices(6 * std::size_t{vertexCount});
    for (std::size_t i = 0; i < positions.size(); ++i) {
        positions[i] = values[i % values.size()];
        normals[i] = values[(i * 7) % values.size()] / 50.0f;
    }
    for (std::size_t i = 0; i < uvs.size(); ++i)
        uvs[i] = values[(i * 3) % values.size()] / 50.0f;
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<std::uint32_t>((i * 31) % vertexCount);
    const MeshView mesh{
        vertexCount,   static_cast<std::uint32_t>(indices.size()), false, positions.data(), normals.data(), uvs.data(),
        indices.data()};
    return mergeMeshes(std::span<const MeshView>(&mesh, 1), arena);
}

// A geometry of 2^18 vertices and 2^19 triangles, as one material of a large model.
void BM_SerializeGeometry(benchmark::State& state) {
    const auto merged = sampleGeometry(1 << 18);
    std::size_t bytes = 0;
    for (auto _ : state) {
        // A fresh arena each time, as each export has: its page faults are part of the cost.
        vantro::platform::PageArena texts;
        GeometryText text;
        serializeGeometry(*merged, text, texts);
        bytes += text.positions.size() + text.normals.size() + text.texcoords.size() + text.indices.size();
        benchmark::DoNotOptimize(text.positions.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_SerializeGeometry)->Unit(benchmark::kMillisecond)->UseRealTime();  // pieces run on every core

// The same geometry at every precision the export offers (the collapse count included).
void BM_SerializeGeometryAtPrecision(benchmark::State& state) {
    const auto merged = sampleGeometry(1 << 18);
    const int decimals = static_cast<int>(state.range(0));
    std::size_t bytes = 0;
    for (auto _ : state) {
        vantro::platform::PageArena texts;
        GeometryText text;
        serializeGeometry(*merged, text, texts, decimals);
        bytes += text.positions.size() + text.normals.size() + text.texcoords.size() + text.indices.size();
        benchmark::DoNotOptimize(text.positions.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_SerializeGeometryAtPrecision)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->UseRealTime();

// The collapse test alone over the same triangles, on one core: what the count adds
// to the serialisation above (which runs it inside its measuring pass).
void BM_CountCollapsedTriangles(benchmark::State& state) {
    const auto merged = sampleGeometry(1 << 18);
    const std::uint32_t* words = merged->positionWords();
    std::vector<float> positions(3 * std::size_t{merged->vertexCount()});
    std::memcpy(positions.data(), words, positions.size() * sizeof(float));
    const std::uint32_t* indices = merged->indexWords();
    for (auto _ : state) {
        std::uint64_t collapsed = 0;
        for (std::size_t i = 0; i + 2 < merged->indexCount(); i += 3)
            collapsed +=
                collapsesAt(&positions[3 * std::size_t{indices[i]}], &positions[3 * std::size_t{indices[i + 1]}],
                            &positions[3 * std::size_t{indices[i + 2]}], 3);
        benchmark::DoNotOptimize(collapsed);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * (merged->indexCount() / 3)));
}
BENCHMARK(BM_CountCollapsedTriangles)->Unit(benchmark::kMillisecond);

// Streaming a finished geometry through the writer (line-feed translation included).
void BM_WriteGeometries(benchmark::State& state) {
    const auto merged = sampleGeometry(1 << 18);
    GeometryText text;
    text.id = "Material-Bench";
    serializeGeometry(*merged, text, arena);
    const GeometryText* geometries[] = {&text};
    std::size_t bytes = 0;
    for (auto _ : state) {
        StringByteSink sink;
        sink.text.reserve(std::size_t{32} << 20);
        DocumentOutput out(sink);
        ColladaWriter writer(out, false, {});
        writer.writeGeometries(geometries);
        out.flush();
        bytes += sink.text.size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteGeometries)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return vantro::bench::runWithRatios(
        argc, argv,
        {{"BM_FixedFormat3", "BM_Snprintf3", "\"%.3f \" text of floats, fast formatter vs snprintf"},
         {"BM_FixedFormat6", "BM_Snprintf6", "\"%f \" text of floats, fast formatter vs snprintf"}});
}
