#pragma once
// The batches of the export's geometry stream: consecutive runs of the document's
// geometries, each holding at most a budget of numbers, so that the memory of a batch is
// bounded whatever the model's size while a batch still has enough geometries to keep
// every core busy.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vantro::collada {

// The geometries [first, end) of the document's order.
struct GeometryBatch {
    std::size_t first = 0;
    std::size_t end = 0;
};

// Cuts geometries of numbers[j] numbers each into consecutive batches in order: a
// batch takes geometries while their sum stays within budget; a geometry larger than the
// budget is a batch of its own. Covers every geometry once; none for none. Pure.
std::vector<GeometryBatch> planBatches(std::span<const std::uint64_t> numbers, std::uint64_t budget);

}  // namespace vantro::collada
