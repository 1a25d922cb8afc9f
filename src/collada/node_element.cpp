#include "collada/node_element.h"

#include <cstdio>

#include "fixed_format.h"

namespace vantro::collada {
namespace {

// Output position k takes stored entry kMatrixOrder[k]: output[r][c] = stored[p(c)][p(r)]
// with p = (0, 2, 1, 3).
constexpr std::array<int, 16> kMatrixOrder = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};

}  // namespace

NodeElement createNodeElement(std::uint64_t nodeId, const std::array<float, 16>& transform) {
    NodeElement element;
    element.nodeId = nodeId;
    char id[32];
    const int length = std::snprintf(id, sizeof id, "ln-%04lld", static_cast<long long>(nodeId));
    element.id.assign(id, static_cast<std::size_t>(length));
    char text[16 * (kMaxFloatFixedChars + 1)];
    char* end = text;
    for (std::size_t k = 0; k < kMatrixOrder.size(); ++k) {
        if (k != 0)
            *end++ = ' ';
        end = writeFixed(end, transform[static_cast<std::size_t>(kMatrixOrder[k])], 6);
    }
    element.matrix.assign(text, end);
    return element;
}

}  // namespace vantro::collada
