// The geometry stream's batch memory: pieces taken at once are disjoint and aligned, and
// a rewound memory hands the same pages out again instead of taking new ones.

#include "collada/batch_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using vantro::collada::BatchMemory;
using vantro::platform::PageArena;

struct Piece {
    char* data;
    std::size_t size;
};

// Pieces taken from four threads at once do not overlap, are aligned, and keep what
// was written into them; a piece larger than a chunk is whole too.
TEST(BatchMemory, ConcurrentPiecesAreDisjoint) {
    BatchMemory memory;
    std::vector<std::vector<Piece>> taken(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < taken.size(); ++t) {
        threads.emplace_back([&memory, &pieces = taken[t], t] {
            for (std::size_t k = 0; k < 200; ++k) {
                const std::size_t size = k == 100 ? BatchMemory::kChunkBytes + 1 : (k * 977 + t) % 70000;
                auto* data = static_cast<char*>(memory.Allocate(size));
                std::memset(data, static_cast<int>(t + 1), size);
                pieces.push_back({data, size});
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::vector<Piece> all;
    for (std::size_t t = 0; t < taken.size(); ++t) {
        for (const Piece& piece : taken[t]) {
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(piece.data) % PageArena::kAlignment, 0u);
            EXPECT_TRUE(std::all_of(piece.data, piece.data + piece.size, [t](char c) { return c == char(t + 1); }));
            all.push_back(piece);
        }
    }
    std::sort(all.begin(), all.end(), [](const Piece& a, const Piece& b) { return a.data < b.data; });
    for (std::size_t i = 1; i < all.size(); ++i)
        EXPECT_LE(all[i - 1].data + std::max<std::size_t>(all[i - 1].size, 1), all[i].data) << i;
}

// The same batch after a rewind lands in the same pieces and takes no new memory; a
// batch larger than any before takes only what it lacks.
TEST(BatchMemory, RewindReusesThePages) {
    BatchMemory memory;
    auto batch = [&memory](std::size_t pieces) {
        std::vector<void*> out;
        for (std::size_t k = 0; k < pieces; ++k)
            out.push_back(memory.Allocate(3 << 20));
        return out;
    };
    const std::vector<void*> first = batch(12);
    const std::size_t reserved = memory.ReservedBytes();
    for (int round = 0; round < 5; ++round) {
        memory.Rewind();
        EXPECT_EQ(batch(12), first) << round;
        EXPECT_EQ(memory.ReservedBytes(), reserved) << round;
    }
    memory.Rewind();
    const std::vector<void*> larger = batch(20);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), larger.begin()));
    EXPECT_LE(memory.ReservedBytes(), reserved + 2 * BatchMemory::kChunkBytes);
}

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer a write past the end of a piece and a read of a piece after the
// rewind are reported, as they would be for heap blocks: the export's text writer relies
// on this to find measuring errors.
TEST(BatchMemoryDeathTest, OverrunAndUseAfterRewindAreReported) {
    BatchMemory memory;
    auto* piece = static_cast<volatile char*>(memory.Allocate(100));
    memory.Allocate(100);
    EXPECT_DEATH(piece[100] = 1, "use-after-poison");
    piece[99] = 1;
    memory.Rewind();
    EXPECT_DEATH((void)piece[0], "use-after-poison");
}
#endif

}  // namespace
