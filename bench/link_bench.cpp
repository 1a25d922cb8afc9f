// Hot paths of the live link: the lock, record slots, buffer life cycle, and bulk
// writes into fresh shared memory against memcpy into fresh heap memory.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "link/live_connection.h"
#include "support/ratio_report.h"

namespace {

using namespace VantroAPI;

constexpr uint32_t kSlots = 5000;
constexpr size_t kBulkBytes = size_t{256} << 20;

std::u16string channelName(const char* stem) {
    static int counter = 0;
    const std::string text = std::string("C:\\bench\\") + stem + "-" +
                             std::to_string(VantroAPI::LiveConnection().OwnProcessId()) + "-" +
                             std::to_string(counter++) + ".dae";
    return std::u16string(text.begin(), text.end());
}

// A connection that is closed when the benchmark ends.
struct Channel {
    LiveConnection connection;
    explicit Channel(uint32_t slots, const char* stem) {
        if (connection.Create(channelName(stem), slots) != 0)
            std::abort();
    }
    ~Channel() { connection.Close(); }
};

void BM_LockUnlockUncontended(benchmark::State& state) {
    Channel channel(4, "lock");
    for (auto _ : state) {
        benchmark::DoNotOptimize(channel.connection.Lock(10000));
        channel.connection.Unlock();
    }
}
BENCHMARK(BM_LockUnlockUncontended);

// Filling the slots of a fresh channel the way the material writer does, under one
// hold of the lock: the lowest free slot comes from the connection's free-slot set in
// a few word reads, so the whole fill is linear (5000 slots take about 10x as long as
// 500; a search from slot 0 each time would make it 100x).
void fillUnderLock(benchmark::State& state, uint32_t slots) {
    for (auto _ : state) {
        state.PauseTiming();
        auto channel = std::make_unique<Channel>(slots, "fill");
        state.ResumeTiming();
        channel->connection.Lock(0);
        for (uint32_t i = 2; i < slots; ++i)
            benchmark::DoNotOptimize(channel->connection.AddRecord(kTagSrfc));
        channel->connection.Unlock();
        state.PauseTiming();
        channel.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * (slots - 2));
}
void BM_AddRecordFill5000Locked(benchmark::State& state) { fillUnderLock(state, kSlots); }
void BM_AddRecordFill500Locked(benchmark::State& state) { fillUnderLock(state, kSlots / 10); }
BENCHMARK(BM_AddRecordFill5000Locked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddRecordFill500Locked)->Unit(benchmark::kMillisecond);

// The same fill without the lock: the free-slot set is read from the mapping once,
// at the first AddRecord, and serves every later one (it used to be a search from
// slot 0 each time, quadratic).
void BM_AddRecordFill5000Unlocked(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto channel = std::make_unique<Channel>(kSlots, "fill");
        state.ResumeTiming();
        for (uint32_t i = 2; i < kSlots; ++i)
            benchmark::DoNotOptimize(channel->connection.AddRecord(kTagSrfc));
        state.PauseTiming();
        channel.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * (kSlots - 2));
}
BENCHMARK(BM_AddRecordFill5000Unlocked)->Unit(benchmark::kMillisecond);

// The worst single AddRecord: 4999 slots used, the free one last; the record is
// removed again so that every iteration sees the same channel.
void BM_AddRemoveRecordLastSlot(benchmark::State& state) {
    Channel channel(kSlots, "last");
    for (uint32_t i = 2; i < kSlots - 1; ++i)
        channel.connection.AddRecord(kTagSrfc);
    for (auto _ : state) {
        RecordPrefix* record = channel.connection.AddRecord(kTagSrfc);
        channel.connection.RemoveRecord(load(record, record::kId));
    }
}
BENCHMARK(BM_AddRemoveRecordLastSlot)->Unit(benchmark::kMicrosecond);

// FindRecord in a full 5000-slot channel, for a record at the given slot.
void BM_FindRecord5000(benchmark::State& state) {
    Channel channel(kSlots, "find");
    std::vector<uint32_t> ids;
    for (uint32_t i = 2; i < kSlots; ++i)
        ids.push_back(load(channel.connection.AddRecord(kTagSrfc), record::kId));
    const uint32_t wanted = ids[static_cast<size_t>(state.range(0)) - 2];
    for (auto _ : state)
        benchmark::DoNotOptimize(channel.connection.FindRecord(wanted));
}
BENCHMARK(BM_FindRecord5000)->Arg(2)->Arg(2500)->Arg(4999)->Unit(benchmark::kMicrosecond);

void BM_BufferCreateMapDestroy1MiB(benchmark::State& state) {
    Channel channel(4, "buffer");
    for (auto _ : state) {
        const uint32_t id = channel.connection.CreateBuffer(1, 1 << 20);
        benchmark::DoNotOptimize(channel.connection.MapBuffer(id));
        channel.connection.DestroyBuffer(id);
    }
}
BENCHMARK(BM_BufferCreateMapDestroy1MiB)->Unit(benchmark::kMicrosecond);

const std::vector<uint8_t>& bulkSource() {
    static const std::vector<uint8_t> source = [] {
        std::vector<uint8_t> bytes(kBulkBytes);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(i * 131);
        return bytes;
    }();
    return source;
}

// 256 MiB into a buffer created for it, as the geometry writer does after growth.
void BM_WriteFreshBuffer256MiB(benchmark::State& state) {
    const std::vector<uint8_t>& source = bulkSource();
    Channel channel(4, "bulk");
    for (auto _ : state) {
        const uint32_t id = channel.connection.CreateBuffer(1, kBulkBytes);
        void* target = channel.connection.MapBuffer(id);
        if (!target) {
            state.SkipWithError("buffer creation failed");
            break;
        }
        std::memcpy(target, source.data(), source.size());
        benchmark::ClobberMemory();
        channel.connection.DestroyBuffer(id);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBulkBytes));
}
BENCHMARK(BM_WriteFreshBuffer256MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The baseline: the same bytes into freshly allocated heap memory.
void BM_MemcpyFreshMalloc256MiB(benchmark::State& state) {
    const std::vector<uint8_t>& source = bulkSource();
    for (auto _ : state) {
        void* target = std::malloc(kBulkBytes);
        if (!target) {
            state.SkipWithError("malloc failed");
            break;
        }
        std::memcpy(target, source.data(), source.size());
        benchmark::DoNotOptimize(target);
        benchmark::ClobberMemory();
        std::free(target);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBulkBytes));
}
BENCHMARK(BM_MemcpyFreshMalloc256MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

}  // namespace

int main(int argc, char** argv) {
    return vantro::bench::runWithRatios(argc, argv,
                                        {{"BM_WriteFreshBuffer256MiB", "BM_MemcpyFreshMalloc256MiB",
                                          "256 MiB into a fresh shared buffer vs memcpy into fresh malloc"},
                                         {"BM_AddRecordFill5000Locked", "BM_AddRecordFill500Locked",
                                          "filling 5000 slots vs 500 under the lock (10 = linear)"},
                                         {"BM_AddRecordFill5000Unlocked", "BM_AddRecordFill5000Locked",
                                          "filling 5000 slots without the lock vs under it"}});
}
