// Serialising a merged geometry into the document's number lists.

#include "collada/geometry_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantro::collada {
namespace {

std::unique_ptr<MergedGeometry> mergeOne(const std::vector<float>& positions, const std::vector<float>& normals,
                                         const std::vector<float>& uvs, const std::vector<std::uint32_t>& indices) {
  const MeshView view{static_cast<std::uint32_t>(positions.size() / 3), static_cast<std::uint32_t>(indices.size()),
                      false, positions.data(), normals.data(), uvs.data(), indices.data()};
  return mergeMeshes(std::span<const MeshView>(&view, 1));
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
  serializeGeometry(*merged, text);
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
  serializeGeometry(*merged, text);
  EXPECT_EQ(text.indices, "0 -2147483648 -1 ");
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
  serializeGeometry(*merged, text);
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

}  // namespace
}  // namespace vantro::collada
