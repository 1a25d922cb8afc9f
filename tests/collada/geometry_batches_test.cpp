// The export's batches: consecutive, covering every geometry once, each within its
// budget unless one geometry alone exceeds it.

#include "collada/geometry_batches.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace {

using vantro::collada::GeometryBatch;
using vantro::collada::planBatches;

std::vector<std::pair<std::size_t, std::size_t>> ranges(const std::vector<GeometryBatch>& batches) {
    std::vector<std::pair<std::size_t, std::size_t>> out;
    for (const GeometryBatch& batch : batches)
        out.emplace_back(batch.first, batch.end);
    return out;
}

using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

// A batch fills up to its budget exactly and no further; an oversized geometry stands
// alone, and the next one starts a new batch.
TEST(GeometryBatches, FillUpToTheBudget) {
    const std::vector<std::uint64_t> numbers = {4, 6, 5, 25, 1, 2, 7, 10};
    EXPECT_EQ(ranges(planBatches(numbers, 10)), (Ranges{{0, 2}, {2, 3}, {3, 4}, {4, 7}, {7, 8}}));
    EXPECT_EQ(ranges(planBatches(numbers, 1000)), (Ranges{{0, 8}}));
    EXPECT_EQ(ranges(planBatches(numbers, 1)),
              (Ranges{{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}}));
}

// No geometry, no batch; counts near the top of the range do not wrap the sum into a
// small one that would let the next geometry in.
TEST(GeometryBatches, EmptyAndHugeCounts) {
    EXPECT_TRUE(planBatches({}, 10).empty());
    const std::uint64_t huge = std::numeric_limits<std::uint64_t>::max() - 1;
    const std::vector<std::uint64_t> numbers = {huge, 3, 3, huge};
    EXPECT_EQ(ranges(planBatches(numbers, 8)), (Ranges{{0, 1}, {1, 3}, {3, 4}}));
    EXPECT_EQ(ranges(planBatches(numbers, huge)), (Ranges{{0, 1}, {1, 3}, {3, 4}}));
}

}  // namespace
