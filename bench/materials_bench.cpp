// Loading and sending a document's materials: 1,000, 10,000 and 50,000 materials (and
// 30,000 for loading alone) whose names collide in groups of 100, so every load hands out
// "(1)" ... "(99)" suffixes. The ratios between sizes are printed so that growth shows
// at a glance (linear: 10x and 3x), with the document's side of a load alone beside
// them: what the manager's own work is compared with. The channels live in memory, as
// in a desktop session (support/memory_runtime_folder.h).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "link/live_connection.h"
#include "materials/material_manager.h"
#include "sdk/rhino_sdk.h"
#include "support/memory_runtime_folder.h"
#include "support/ratio_report.h"

namespace {

constexpr int kGroupSize = 100;

// A detached document of count materials: names "Group<k>" shared by kGroupSize
// materials each, every material with its own colour (so none share a record).
const CRhinoDoc& documentOf(int count) {
    static std::map<int, std::unique_ptr<CRhinoDoc>> documents;
    auto& doc = documents[count];
    if (!doc) {
        doc = std::make_unique<CRhinoDoc>();
        for (int i = 0; i < count; ++i) {
            ON_Material m;
            const std::string name = "Group " + std::to_string(i / kGroupSize);
            m.SetName(ON_wString(name.c_str()));
            m.SetDiffuse(ON_Color(i & 0xFF, (i >> 8) & 0xFF, 7));
            m.SetShine(double(i % 256));
            if (doc->m_material_table.AddMaterial(m) < 0)
                std::abort();
        }
    }
    return *doc;
}

std::u16string channelName() {
    static int counter = 0;
    const std::string text = "C:\\bench\\materials-" + std::to_string(VantroAPI::LiveConnection().OwnProcessId()) +
                             "-" + std::to_string(counter++) + ".dae";
    return std::u16string(text.begin(), text.end());
}

// LoadMaterials alone: keys, render CRCs, display names, classification, textures.
void loadOnly(benchmark::State& state, int count) {
    CRhinoDoc& doc = const_cast<CRhinoDoc&>(documentOf(count));
    MaterialManager manager(nullptr);
    for (auto _ : state) {
        manager.LoadMaterials(&doc);
        benchmark::DoNotOptimize(manager.MaterialCount());
    }
    state.counters["materials"] = double(manager.MaterialCount());
}

// What a start of the link does: create the channel with max(5000, 4 x count) slots,
// load, and send every record under the lock.
void loadAndSend(benchmark::State& state, int count) {
    CRhinoDoc& doc = const_cast<CRhinoDoc&>(documentOf(count));
    for (auto _ : state) {
        state.PauseTiming();
        auto link = std::make_unique<VantroAPI::LiveConnection>();
        if (link->Create(channelName(), uint32_t(std::max(5000, 4 * count))) != 0)
            std::abort();
        MaterialManager manager(link.get());
        state.ResumeTiming();
        manager.LoadMaterials(&doc);
        link->Lock(10000);
        manager.SendPending();
        link->Unlock();
        state.PauseTiming();
        link->Close();
        state.ResumeTiming();
    }
}

// Sending only, into a fresh channel: the link's record allocation and the writes.
void sendOnly(benchmark::State& state, int count) {
    CRhinoDoc& doc = const_cast<CRhinoDoc&>(documentOf(count));
    for (auto _ : state) {
        state.PauseTiming();
        auto link = std::make_unique<VantroAPI::LiveConnection>();
        if (link->Create(channelName(), uint32_t(std::max(5000, 4 * count))) != 0)
            std::abort();
        MaterialManager manager(link.get());
        manager.LoadMaterials(&doc);
        state.ResumeTiming();
        link->Lock(10000);
        manager.SendPending();
        link->Unlock();
        state.PauseTiming();
        link->Close();
        state.ResumeTiming();
    }
}

// The document's side of a load alone, as a floor: every material of the table read
// once and given its keys and display name (what the SDK and the key functions cost),
// no manager.
void walkTable(benchmark::State& state, int count) {
    const CRhinoDoc& doc = documentOf(count);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (int i = 0; i < doc.m_material_table.MaterialCount(); ++i) {
            const CRhinoMaterial& material = doc.m_material_table[i];
            sum += MaterialNameKey(&material) ^ MaterialRenderCrc(&material);
            sum += MaterialDisplayName(&material).size();
        }
        benchmark::DoNotOptimize(sum);
    }
}

// Each case five times, shown as the mean, median and spread of the five; the ratios
// come from the medians, which one slow repetition on a shared machine does not move.
void repeated(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->Repetitions(5)->DisplayAggregatesOnly(true);
}

void BM_Walk1000(benchmark::State& state) { walkTable(state, 1000); }
void BM_Walk10000(benchmark::State& state) { walkTable(state, 10000); }
void BM_Walk50000(benchmark::State& state) { walkTable(state, 50000); }
void BM_Load1000(benchmark::State& state) { loadOnly(state, 1000); }
void BM_Load10000(benchmark::State& state) { loadOnly(state, 10000); }
void BM_Load30000(benchmark::State& state) { loadOnly(state, 30000); }
void BM_Load50000(benchmark::State& state) { loadOnly(state, 50000); }
void BM_Send1000(benchmark::State& state) { sendOnly(state, 1000); }
void BM_Send10000(benchmark::State& state) { sendOnly(state, 10000); }
void BM_Send50000(benchmark::State& state) { sendOnly(state, 50000); }
void BM_LoadAndSend1000(benchmark::State& state) { loadAndSend(state, 1000); }
void BM_LoadAndSend10000(benchmark::State& state) { loadAndSend(state, 10000); }
void BM_LoadAndSend50000(benchmark::State& state) { loadAndSend(state, 50000); }

BENCHMARK(BM_Walk1000)->Apply(repeated);
BENCHMARK(BM_Walk10000)->Apply(repeated);
BENCHMARK(BM_Walk50000)->Apply(repeated);
BENCHMARK(BM_Load1000)->Apply(repeated);
BENCHMARK(BM_Load10000)->Apply(repeated);
BENCHMARK(BM_Load30000)->Apply(repeated);
BENCHMARK(BM_Load50000)->Apply(repeated);
BENCHMARK(BM_Send1000)->Apply(repeated);
BENCHMARK(BM_Send10000)->Apply(repeated);
BENCHMARK(BM_Send50000)->Apply(repeated);
BENCHMARK(BM_LoadAndSend1000)->Apply(repeated);
BENCHMARK(BM_LoadAndSend10000)->Apply(repeated);
BENCHMARK(BM_LoadAndSend50000)->Apply(repeated);

}  // namespace

int main(int argc, char** argv) {
    vantro::bench::UseMemoryRuntimeFolder();
    return vantro::bench::runWithRatios(
        argc, argv,
        {{"BM_Walk10000", "BM_Walk1000", "the document's side of 10,000 vs 1,000 materials (linear: 10x)"},
         {"BM_Walk50000", "BM_Walk10000", "the document's side of 50,000 vs 10,000 materials (linear: 5x)"},
         {"BM_Load10000", "BM_Load1000", "loading 10,000 vs 1,000 materials (linear: 10x)"},
         {"BM_Load30000", "BM_Load10000", "loading 30,000 vs 10,000 materials (linear: 3x)"},
         {"BM_Send10000", "BM_Send1000", "sending 10,000 vs 1,000 materials (linear: 10x)"},
         {"BM_LoadAndSend10000", "BM_LoadAndSend1000", "load + send 10,000 vs 1,000 materials (linear: 10x)"},
         {"BM_Load50000", "BM_Load10000", "loading 50,000 vs 10,000 materials (linear: 5x)"},
         {"BM_Send50000", "BM_Send10000", "sending 50,000 vs 10,000 materials (linear: 5x)"},
         {"BM_LoadAndSend50000", "BM_LoadAndSend10000", "load + send 50,000 vs 10,000 materials (linear: 5x)"}});
}
