#include "geometry_batches.h"

namespace vantro::collada {

std::vector<GeometryBatch> planBatches(std::span<const std::uint64_t> numbers, std::uint64_t budget) {
    std::vector<GeometryBatch> batches;
    std::uint64_t held = 0;
    for (std::size_t j = 0; j < numbers.size(); ++j) {
        // Compared by what is left, so that no sum of huge counts can wrap.
        if (batches.empty() || held > budget || numbers[j] > budget - held) {
            batches.push_back({j, j});
            held = 0;
        }
        batches.back().end = j + 1;
        held += numbers[j];
    }
    return batches;
}

}  // namespace vantro::collada
