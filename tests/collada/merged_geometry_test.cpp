// Merging the meshes of one material into one word buffer.

#include "collada/merged_geometry.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace vantro::collada {
namespace {

// The buffers and texts of every case, freed when the program ends.
vantro::platform::PageArena arena;

// A quad of 4 vertices and 2 triangles whose values tell where they came from.
struct QuadMesh {
    explicit QuadMesh(float base, bool twoSided) {
        for (int i = 0; i < 12; ++i) {
            positions.push_back(base + static_cast<float>(i));
            normals.push_back(base + 100.0f + static_cast<float>(i));
        }
        for (int i = 0; i < 8; ++i)
            uvs.push_back(base + 200.0f + static_cast<float>(i));
        view = MeshView{4, 6, twoSided, positions.data(), normals.data(), uvs.data(), indices.data()};
    }
    std::vector<float> positions, normals, uvs;
    std::vector<std::uint32_t> indices{0, 1, 2, 0, 2, 3};
    MeshView view;
};

// A two-sided mesh of 4 vertices and 6 indices contributes 8 and 12: the second copy
// has negated normals and its index list reversed, offset by the first copy.
TEST(MergedGeometry, TwoSidedMeshIsCopiedMirrored) {
    const QuadMesh quad(0.0f, true);
    const auto merged = mergeMeshes(std::span<const MeshView>(&quad.view, 1), arena);
    ASSERT_NE(merged, nullptr);
    ASSERT_EQ(merged->vertexCount(), 8u);
    ASSERT_EQ(merged->indexCount(), 12u);
    EXPECT_EQ(merged->words()[2], 1u);  // one texture coordinate set
    EXPECT_EQ(merged->words().size(), 3u + 8 * 8 + 12);
    for (std::size_t v = 0; v < 4; ++v) {
        for (std::size_t c = 0; c < 3; ++c) {
            EXPECT_EQ(merged->position(v + 4, c), quad.positions[3 * v + c]);
            EXPECT_EQ(merged->normal(v, c), quad.normals[3 * v + c]);
            EXPECT_EQ(merged->normal(v + 4, c), -quad.normals[3 * v + c]);
        }
        EXPECT_EQ(merged->uv(v + 4, 1), quad.uvs[2 * v + 1]);
    }
    const std::vector<std::uint32_t> expected{0, 1, 2, 0, 2, 3, 7, 6, 4, 6, 5, 4};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(merged->index(i), expected[i]) << i;
}

// Meshes follow each other in order; indices are raised by the vertices before them.
TEST(MergedGeometry, MeshesAreConcatenatedInOrder) {
    const QuadMesh first(0.0f, false);
    const QuadMesh second(1000.0f, false);
    const MeshView views[] = {first.view, second.view};
    const auto merged = mergeMeshes(views, arena);
    ASSERT_NE(merged, nullptr);
    ASSERT_EQ(merged->vertexCount(), 8u);
    EXPECT_EQ(merged->position(4, 0), 1000.0f);
    EXPECT_EQ(merged->normal(7, 2), 1111.0f);
    EXPECT_EQ(merged->uv(5, 0), 1202.0f);
    EXPECT_EQ(merged->index(6), 4u);
    EXPECT_EQ(merged->index(11), 7u);
}

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
