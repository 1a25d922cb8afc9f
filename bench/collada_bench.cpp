// Throughput of the COLLADA number text: the fast formatter against snprintf on the
// same values (MB/s of text produced), and geometry serialisation as a whole.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "collada/collada_writer.h"
#include "collada/fixed_format.h"
#include "collada/geometry_text.h"
#include "collada/merged_geometry.h"
#include "collada/number_list_writer.h"

namespace {

using namespace vantro::collada;

// Positions of a building-sized model in metres, the common case of the document.
std::vector<float> sampleValues(float range) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(-range, range);
  std::vector<float> values(1 << 20);
  for (float& v : values) v = value(random);
  return values;
}

void BM_FixedFormat(benchmark::State& state) {
  const int decimals = static_cast<int>(state.range(0));
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
BENCHMARK(BM_FixedFormat)->Arg(3)->Arg(6);

void BM_Snprintf(benchmark::State& state) {
  const int decimals = static_cast<int>(state.range(0));
  const char* pattern = decimals == 3 ? "%0.3f " : "%f ";
  const std::vector<float> values = sampleValues(100.0f);
  std::vector<char> out(values.size() * (kMaxFloatFixedChars + 1));
  std::size_t bytes = 0;
  for (auto _ : state) {
    char* p = out.data();
    for (const float v : values) p += std::snprintf(p, kMaxFloatFixedChars + 1, pattern, double{v});
    bytes += static_cast<std::size_t>(p - out.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_Snprintf)->Arg(3)->Arg(6);

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
  for (std::size_t i = 0; i < uvs.size(); ++i) uvs[i] = values[(i * 3) % values.size()] / 50.0f;
  for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint32_t>((i * 31) % vertexCount);
  const MeshView mesh{vertexCount, static_cast<std::uint32_t>(indices.size()), false,
                      positions.data(), normals.data(), uvs.data(), indices.data()};
  return mergeMeshes(std::span<const MeshView>(&mesh, 1));
}

void BM_SerializeGeometry(benchmark::State& state) {
  const auto merged = sampleGeometry(static_cast<std::uint32_t>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    GeometryText text;
    serializeGeometry(*merged, text);
    bytes += text.positions.size() + text.normals.size() + text.texcoords.size() + text.indices.size();
    benchmark::DoNotOptimize(text.positions.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_SerializeGeometry)->Arg(1 << 18)->Unit(benchmark::kMillisecond);

// Streaming a finished geometry through the writer (line-feed translation included).
void BM_WriteGeometries(benchmark::State& state) {
  const auto merged = sampleGeometry(1 << 18);
  GeometryText text;
  text.id = "Material-Bench";
  serializeGeometry(*merged, text);
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

BENCHMARK_MAIN();
