#pragma once
// One block-instance placement as the document writes it: a node with a matrix that
// carries the invisible marker geometry.

#include <array>
#include <cstdint>
#include <string>

namespace vantro::collada {

struct NodeElement {
    std::uint64_t nodeId = 0;  // the placement's id (keeps the document's order stable)
    std::string id;            // "ln-%04lld" of the placement's id
    std::string matrix;        // sixteen "%f" numbers, single blanks between
};

// Builds the element of placement nodeId with transform, a renderer matrix (row-major,
// row vectors, renderer axes x, z, y, translation in metres in the fourth row). The
// matrix text is that matrix transposed with y and z exchanged back: the placement in
// the model's axes, column-vector convention, row by row, translation in the fourth
// column. nodeId is printed as a signed 64-bit number, as "%lld" does. Any thread.
NodeElement createNodeElement(std::uint64_t nodeId, const std::array<float, 16>& transform);

}  // namespace vantro::collada
