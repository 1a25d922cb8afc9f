// Merging the meshes of one material, serialising the result into the document's number
// lists, and the ids of placement nodes. (Node matrices: collada_exporter_test.cpp.)

#include "collada/geometry_text.h"
#include "collada/merged_geometry.h"
#include "collada/node_element.h"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace vantro::collada {
namespace {

// The buffers and texts of every case, freed when the program ends.
vantro::platform::PageArena arena;

std::unique_ptr<MergedGeometry> mergeOne(const std::vector<float>& positions, const std::vector<float>& normals,
                                         const std::vector<float>& uvs, const std::vector<std::uint32_t>& indices) {
    const MeshView view{static_cast<std::uint32_t>(positions.size() / 3),
                        static_cast<std::uint32_t>(indices.size()),
                        false,
                        positions.data(),
                        normals.data(),
                        uvs.data(),
                        indices.data()};
    return mergeMeshes(std::span<const MeshView>(&view, 1), arena);
}

// Indices go through "%d": a value above 2^31-1 prints as its signed reading.
TEST(GeometryText, IndicesPrintSigned) {
    const auto merged = mergeOne({0, 0, 0}, {0, 0, 0}, {0, 0}, {0, 0x80000000u, 0xFFFFFFFFu});
    GeometryText text;
    serializeGeometry(*merged, text, arena);
    EXPECT_EQ(text.indices, "0 -2147483648 -1 ");
}

// A geometry formatted in parallel pieces gives the C library's text number by number,
// also where numbers beyond the fast range (huge, infinite, NaN) open and close a list.
TEST(GeometryText, ParallelPiecesJoinInOrder) {
    const std::uint32_t vertexCount = 100003;  // not a multiple of the piece size
    std::vector<float> positions(3 * std::size_t{vertexCount});
    std::vector<float> normals(positions.size());
    std::vector<float> uvs(2 * std::size_t{vertexCount});
    std::vector<std::uint32_t> indices(3 * std::size_t{vertexCount} + 3);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        positions[i] = static_cast<float>(i) * 0.37f - 5000.0f;
        normals[i] = static_cast<float>(i % 2001) / 1000.0f - 1.0f;
    }
    for (std::size_t i = 0; i < uvs.size(); ++i)
        uvs[i] = static_cast<float>(i % 997) / 996.0f;
    const float unusual[] = {NAN, INFINITY, -FLT_MAX, 1e20f, -0.0f, 123456.78f, -INFINITY, FLT_MAX, -FLT_MAX};
    for (std::size_t i = 0; i < std::size(unusual); ++i) {
        positions[i] = normals[i] = positions[positions.size() - 1 - i] = normals[normals.size() - 1 - i] = unusual[i];
        uvs[i] = uvs[uvs.size() - 1 - i] = unusual[i];
    }
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<std::uint32_t>((i * 7919) % vertexCount);
    const auto merged = mergeOne(positions, normals, uvs, indices);
    GeometryText text;
    serializeGeometry(*merged, text, arena);

    std::string expectedPositions, expectedNormals, expectedTexcoords, expectedIndices;
    char number[64];
    auto append = [&number](std::string& to, const char* pattern, auto value) {
        to.append(number, static_cast<std::size_t>(std::snprintf(number, sizeof number, pattern, value)));
    };
    for (std::size_t v = 0; v < vertexCount; ++v) {
        for (const std::size_t c : {0, 2, 1}) {
            append(expectedPositions, "%0.3f ", double{positions[3 * v + c]});
            append(expectedNormals, "%0.3f ", double{normals[3 * v + c]});
        }
        append(expectedTexcoords, "%0.3f ", double{uvs[2 * v]});
        append(expectedTexcoords, "%0.3f ", double{1.0f - uvs[2 * v + 1]});
    }
    for (const std::uint32_t index : indices)
        append(expectedIndices, "%d ", static_cast<int>(index));
    EXPECT_TRUE(text.positions == expectedPositions);
    EXPECT_TRUE(text.normals == expectedNormals);
    EXPECT_TRUE(text.texcoords == expectedTexcoords);
    EXPECT_TRUE(text.indices == expectedIndices);
    EXPECT_EQ(text.indexCount, indices.size());

    // Every triangle is counted once, whichever piece its indices fall in: triangles
    // whose corners round onto one grid line at 1e-0 m collapse, exactly those.
    GeometryText coarse;
    serializeGeometry(*merged, coarse, arena, 0);
    std::uint64_t expectedCollapsed = 0;
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
        expectedCollapsed +=
            collapsesAt(&positions[3 * std::size_t{indices[i]}], &positions[3 * std::size_t{indices[i + 1]}],
                        &positions[3 * std::size_t{indices[i + 2]}], 0);
    }
    EXPECT_GT(expectedCollapsed, 0u);
    EXPECT_EQ(coarse.collapsedTriangles, expectedCollapsed);
    EXPECT_EQ(text.collapsedTriangles, 0u);
}

// A triangle with an area collapses when its written corners coincide or fall on one
// line, rounded as the text is (ties to even, the sign of zero ignored).
TEST(GeometryText, CollapsedTrianglesAtEachPrecision) {
    const std::vector<float> positions = {
        0.0f,     0.0f, 0.0f, 1.0f,    0.0f, 0.0f, 0.5f, 0.0f, 0.0004f,  // a sliver 0.4 mm high
        2.0f,     2.0f, 2.0f, 2.0003f, 2.0f, 2.0f, 2.0f, 2.0f, 2.0004f,  // a 0.4 mm speck
        5.0f,     5.0f, 5.0f, 5.0f,    5.0f, 5.0f, 6.0f, 5.0f, 5.0f,     // no area to begin with
        -0.0004f, 0.0f, 0.0f, 0.0004f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f,     // -0 and 0: one point
    };
    const std::vector<float> normals(positions.size(), 0.0f);
    const std::vector<float> uvs(positions.size() / 3 * 2, 0.0f);
    const std::vector<std::uint32_t> indices = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0, 1, 99};
    const auto merged = mergeOne(positions, normals, uvs, indices);
    const auto collapsedAt = [&](int decimals) {
        GeometryText text;
        serializeGeometry(*merged, text, arena, decimals);
        return text.collapsedTriangles;
    };
    EXPECT_EQ(collapsedAt(3), 3u);  // sliver, speck, the -0/0 pair; never the flat one or the bad index
    EXPECT_EQ(collapsedAt(4), 0u);
    EXPECT_EQ(collapsedAt(6), 0u);
    EXPECT_EQ(collapsedAt(0), 3u);
    EXPECT_THROW(collapsedAt(7), std::invalid_argument);

    // Far from the origin the grid is the same: a 0.4 mm sliver 10 km away still collapses,
    // a 2 mm triangle does not.
    const float far[9] = {10000.0f, 0.0f, 0.0f, 10001.0f, 0.0f, 0.0f, 10000.5f, 0.0004f, 0.0f};
    EXPECT_TRUE(collapsesAt(far, far + 3, far + 6, 3));
    const float kept[9] = {10000.0f, 0.0f, 0.0f, 10001.0f, 0.0f, 0.0f, 10000.5f, 0.002f, 0.0f};
    EXPECT_FALSE(collapsesAt(kept, kept + 3, kept + 6, 3));
    // Coordinates beyond the products a double holds exactly take the 128-bit path.
    const float wide[9] = {-9e5f, 0.0f, 0.0f, 9e5f, 1e5f, 0.0f, 0.0f, 5e4f, 0.0001f};
    EXPECT_FALSE(collapsesAt(wide, wide + 3, wide + 6, 6));
    EXPECT_TRUE(collapsesAt(wide, wide + 3, wide + 6, 3));
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

// Ids take at least four digits and are read as signed 64-bit numbers.
TEST(NodeElement, IdText) {
    const std::array<float, 16> identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(createNodeElement(1, identity).id, "ln-0001");
    EXPECT_EQ(createNodeElement(12345, identity).id, "ln-12345");
    EXPECT_EQ(createNodeElement(~std::uint64_t{0}, identity).id, "ln--001");
}

}  // namespace
}  // namespace vantro::collada
