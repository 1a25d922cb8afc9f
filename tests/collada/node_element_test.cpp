// The id text of a block-instance placement node. (Its matrix is checked through a
// real export, in collada_exporter_test.cpp.)

#include "collada/node_element.h"

#include <gtest/gtest.h>

#include <array>

namespace vantro::collada {
namespace {

// Ids take at least four digits and are read as signed 64-bit numbers.
TEST(NodeElement, IdText) {
    const std::array<float, 16> identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    EXPECT_EQ(createNodeElement(1, identity).id, "ln-0001");
    EXPECT_EQ(createNodeElement(12345, identity).id, "ln-12345");
    EXPECT_EQ(createNodeElement(~std::uint64_t{0}, identity).id, "ln--001");
}

}  // namespace
}  // namespace vantro::collada
