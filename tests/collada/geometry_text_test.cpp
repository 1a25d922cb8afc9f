// Serialising a merged geometry into the document's number lists.

#include "collada/geometry_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <vector>

namespace vantro::collada {
namespace {

// The buffers and texts of every case, freed when the program ends.
vantro::platform::PageArena arena;

std::unique_ptr<MergedGeometry> mergeOne(const std::vector<float>& positions, const std::vector<float>& normals,
                                         const std::vector<float>& uvs, const std::vector<std::uint32_t>& indices) {
  const MeshView view{static_cast<std::uint32_t>(positions.size() / 3), static_cast<std::uint32_t>(indices.size()),
                      false, positions.data(), normals.data(), uvs.data(), indices.data()};
  return mergeMeshes(std::span<const MeshView>(&view, 1), arena);
}

// Stored renderer axes (x, z, y) are written back as model x, y, z; v is flipped back;
// every number carries its trailing blank.
TEST(GeometryText, ComponentOrderAndTextureFlip) {
  const auto merged = mergeOne({1.0f, 3.0f, 2.0f, -0.5f, 0.0625f, 10.0f},
                               {0.0f, 1.0f, 0.0f, -0.0f, 0.0f, -1.0f},
                               {0.25f, 0.75f, 1.0f, 0.0f},
                               {0, 1, 1});
  GeometryText text;
  text.id = "Material-Test";
  serializeGeometry(*merged, text, arena);
  EXPECT_EQ(text.id, "Material-Test");
  EXPECT_EQ(text.vertexCount, 2u);
  EXPECT_EQ(text.indexCount, 3u);
  EXPECT_EQ(text.positions, "1.000 2.000 3.000 -0.500 10.000 0.062 ");
  EXPECT_EQ(text.normals, "0.000 0.000 1.000 -0.000 -1.000 0.000 ");
  EXPECT_EQ(text.texcoords, "0.250 0.250 1.000 1.000 ");
  EXPECT_EQ(text.indices, "0 1 1 ");
}

// Indices go through "%d": a value above 2^31-1 prints as its signed reading.
TEST(GeometryText, IndicesPrintSigned) {
  const auto merged = mergeOne({0, 0, 0}, {0, 0, 0}, {0, 0}, {0, 0x80000000u, 0xFFFFFFFFu});
  GeometryText text;
  serializeGeometry(*merged, text, arena);
  EXPECT_EQ(text.indices, "0 -2147483648 -1 ");
}

// Numbers outside the fast formatter's range (huge, infinite, NaN), also as the last
// numbers of a list, come out as the C library writes them: the texts are measured and
// filled exactly.
TEST(GeometryText, LibraryTextsForUnusualNumbers) {
  const float unusual[] = {NAN, INFINITY, -FLT_MAX, 1e20f, -0.0f, 123456.78f, -INFINITY, FLT_MAX, -FLT_MAX};
  std::vector<float> positions(std::begin(unusual), std::end(unusual));
  const auto merged = mergeOne(positions, positions, std::vector<float>(positions.begin(), positions.begin() + 6),
                               {0, 2, 1});
  GeometryText text;
  serializeGeometry(*merged, text, arena);
  auto library = [](float value) {
    char number[64];
    return std::string(number, static_cast<std::size_t>(std::snprintf(number, sizeof number, "%.3f ", double{value})));
  };
  std::string expected, expectedTexcoords;
  for (std::size_t v = 0; v < 3; ++v)
    for (const std::size_t c : {0, 2, 1}) expected += library(unusual[3 * v + c]);
  for (std::size_t v = 0; v < 3; ++v) expectedTexcoords += library(unusual[2 * v]) + library(1.0f - unusual[2 * v + 1]);
  EXPECT_EQ(text.positions, expected);
  EXPECT_EQ(text.normals, expected);
  EXPECT_EQ(text.texcoords, expectedTexcoords);
}

// A geometry larger than the formatting buffer comes out whole and in order.
TEST(GeometryText, LongListsStayInOrder) {
  std::vector<float> positions;
  std::vector<std::uint32_t> indices;
  for (int v = 0; v < 5000; ++v) {
    positions.insert(positions.end(), {static_cast<float>(v), 0.0f, 0.0f});
    indices.push_back(static_cast<std::uint32_t>(v));
  }
  const auto merged = mergeOne(positions, std::vector<float>(positions.size()),
                               std::vector<float>(2 * 5000), indices);
  GeometryText text;
  serializeGeometry(*merged, text, arena);
  std::string expectedIndices;
  std::string expectedPositions;
  for (int v = 0; v < 5000; ++v) {
    expectedIndices += std::to_string(v) + " ";
    expectedPositions += std::to_string(v) + ".000 0.000 0.000 ";
  }
  EXPECT_EQ(text.indices, expectedIndices);
  EXPECT_EQ(text.positions, expectedPositions);
  EXPECT_EQ(text.texcoords.size(), 5000u * 12);  // "0.000 1.000 " per vertex
}

// A geometry big enough to be formatted in parallel pieces gives exactly the text of
// formatting it number by number with the C library.
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
  for (std::size_t i = 0; i < uvs.size(); ++i) uvs[i] = static_cast<float>(i % 997) / 996.0f;
  for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint32_t>((i * 7919) % vertexCount);
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
  for (const std::uint32_t index : indices) append(expectedIndices, "%d ", static_cast<int>(index));
  EXPECT_TRUE(text.positions == expectedPositions);
  EXPECT_TRUE(text.normals == expectedNormals);
  EXPECT_TRUE(text.texcoords == expectedTexcoords);
  EXPECT_TRUE(text.indices == expectedIndices);
  EXPECT_EQ(text.indexCount, indices.size());
}

}  // namespace
}  // namespace vantro::collada
