// Merging the meshes of one material into one word buffer.

#include "collada/merged_geometry.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace vantro::collada {
namespace {

// The buffers and texts of every case, freed when the program ends.
vantro::platform::PageArena arena;

// No vertex at all: no geometry (a material whose meshes are empty or absent).
TEST(MergedGeometry, NoVerticesGiveNoGeometry) {
    EXPECT_EQ(mergeMeshes({}, arena), nullptr);
    const MeshView empty{};
    EXPECT_EQ(mergeMeshes(std::span<const MeshView>(&empty, 1), arena), nullptr);
}

// Counting runs in parallel chunks; the sums must equal the sequential ones.
TEST(MergedGeometry, ParallelCountMatchesSum) {
    std::vector<MeshView> meshes(10000);
    std::uint64_t vertices = 0;
    std::uint64_t indices = 0;
    for (std::size_t i = 0; i < meshes.size(); ++i) {
        meshes[i].vertexCount = static_cast<std::uint32_t>(i % 17);
        meshes[i].indexCount = static_cast<std::uint32_t>(3 * (i % 5));
        meshes[i].twoSided = i % 3 == 0;
        vertices += (meshes[i].twoSided ? 2 : 1) * meshes[i].vertexCount;
        indices += (meshes[i].twoSided ? 2 : 1) * meshes[i].indexCount;
    }
    const MergeCounts counts = countMerged(meshes);
    EXPECT_EQ(counts.vertexCount, vertices);
    EXPECT_EQ(counts.indexCount, indices);
}

// Counts beyond 32 bits are refused before anything is allocated or copied.
TEST(MergedGeometry, OversizedMergeIsRefused) {
    const MeshView huge{0xFFFFFFFFu, 3, true, nullptr, nullptr, nullptr, nullptr};
    EXPECT_THROW(mergeMeshes(std::span<const MeshView>(&huge, 1), arena), std::length_error);
}

}  // namespace
}  // namespace vantro::collada
