// The text of a block-instance placement node.

#include "collada/node_element.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace vantro::collada {
namespace {

// The renderer matrix of a model transform m (column vectors, model axes): transposed,
// with y and z exchanged, as the scene stores placements.
std::array<float, 16> rendererMatrixOf(const float m[4][4]) {
  constexpr int p[4] = {0, 2, 1, 3};
  std::array<float, 16> stored{};
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) stored[static_cast<std::size_t>(4 * r + c)] = m[p[c]][p[r]];
  }
  return stored;
}

// Ids take at least four digits and are read as signed 64-bit numbers.
TEST(NodeElement, IdText) {
  const std::array<float, 16> identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  EXPECT_EQ(createNodeElement(1, identity).id, "ln-0001");
  EXPECT_EQ(createNodeElement(12345, identity).id, "ln-12345");
  EXPECT_EQ(createNodeElement(~std::uint64_t{0}, identity).id, "ln--001");
}

// The written matrix is the model's own placement, row by row, translation in the
// fourth column: a rotation about z by a quarter turn and a move to (1, 2, 3) metres.
TEST(NodeElement, MatrixIsTheModelPlacement) {
  const float model[4][4] = {{0, -1, 0, 1.5f}, {1, 0, 0, 2.25f}, {0, 0, 1, -3}, {0, 0, 0, 1}};
  const NodeElement node = createNodeElement(7, rendererMatrixOf(model));
  std::string expected;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      char text[32];
      std::snprintf(text, sizeof text, "%f", double{model[r][c]});
      expected += (expected.empty() ? "" : " ") + std::string(text);
    }
  }
  EXPECT_EQ(node.matrix, expected);
  EXPECT_EQ(node.matrix.substr(0, 36), "0.000000 -1.000000 0.000000 1.500000");
}

}  // namespace
}  // namespace vantro::collada
