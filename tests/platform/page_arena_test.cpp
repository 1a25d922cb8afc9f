#include "platform/page_arena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace vantro::platform {
namespace {

// Pieces taken by several threads at once are aligned and never overlap; small blocks
// make the threads cross block boundaries many times.
TEST(PageArena, ConcurrentPiecesAreDisjoint) {
    PageArena arena(1);  // one huge page per block
    constexpr int kThreads = 4, kPieces = 400;
    std::vector<std::vector<std::pair<unsigned char*, std::size_t>>> taken(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&arena, &mine = taken[t], t] {
            for (int p = 0; p < kPieces; ++p) {
                const auto size = static_cast<std::size_t>((p * 7919 + t * 104729) % 70000);
                auto* data = static_cast<unsigned char*>(arena.allocate(size));
                std::memset(data, static_cast<unsigned char>(t * kPieces + p), size);
                mine.emplace_back(data, size);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    std::size_t total = 0;
    for (int t = 0; t < kThreads; ++t)
        for (int p = 0; p < kPieces; ++p) {
            const auto [data, size] = taken[t][p];
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(data) % PageArena::kAlignment, 0u);
            EXPECT_EQ(std::count(data, data + size, static_cast<unsigned char>(t * kPieces + p)), long(size));
            total += size;
        }
    EXPECT_GE(arena.allocatedBytes(), total);
}

// A request larger than a block gets a block of its own, and smaller requests after it
// still succeed.
TEST(PageArena, OversizedRequests) {
    PageArena arena(1);
    const std::size_t big = std::size_t{9} << 20;
    auto* large = static_cast<unsigned char*>(arena.allocate(big));
    large[0] = 1;
    large[big - 1] = 2;
    auto* small = static_cast<unsigned char*>(arena.allocate(16));
    std::memset(small, 3, 16);
    EXPECT_EQ(large[0], 1);
    EXPECT_EQ(large[big - 1], 2);
}

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer a write past the end of a piece is caught, as it would be for
// a heap block: the export's text writer relies on this to find measuring errors.
TEST(PageArenaDeathTest, OverrunIsReportedUnderAddressSanitizer) {
    PageArena arena;
    auto* piece = static_cast<volatile char*>(arena.allocate(100));
    arena.allocate(100);
    EXPECT_DEATH(piece[100] = 1, "use-after-poison");
}
#endif

}  // namespace
}  // namespace vantro::platform
