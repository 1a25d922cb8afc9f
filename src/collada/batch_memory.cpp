#include "batch_memory.h"

#include <algorithm>

#include "platform/memory_poison.h"

namespace vantro::collada {

using vantro::platform::kPoisonedGap;
using vantro::platform::poisonMemory;
using vantro::platform::unpoisonMemory;

void* BatchMemory::Allocate(std::size_t bytes) {
    constexpr std::size_t kAlign = vantro::platform::PageArena::kAlignment;
    // Distinct pointers for empty requests, as the page arena gives them.
    const std::size_t size = std::max<std::size_t>(kAlign, (bytes + kAlign - 1) / kAlign * kAlign) + kPoisonedGap;
    const std::lock_guard<std::mutex> lock(lock_);
    // A chunk too small for this request is left for the next batch: the chunks are
    // filled in order, so that a rewound batch finds the same pieces again.
    while (current_ < chunks_.size() && chunks_[current_].size - used_ < size) {
        ++current_;
        used_ = 0;
    }
    if (current_ == chunks_.size()) {
        const std::size_t chunkSize = std::max(size, kChunkBytes);
        chunks_.push_back({static_cast<char*>(pages_.allocate(chunkSize)), chunkSize});
        poisonMemory(chunks_.back().base, chunkSize);
        used_ = 0;
    }
    char* piece = chunks_[current_].base + used_;
    used_ += size;
    unpoisonMemory(piece, bytes);
    return piece;
}

void BatchMemory::Rewind() {
    const std::lock_guard<std::mutex> lock(lock_);
    // Under AddressSanitizer a piece read after the rewind is reported, as a freed block is.
    for (const Chunk& chunk : chunks_)
        poisonMemory(chunk.base, chunk.size);
    current_ = 0;
    used_ = 0;
}

ScratchMemory BatchMemory::Scratch() {
    return ScratchMemory(
        this, [](void* source, std::size_t bytes) { return static_cast<BatchMemory*>(source)->Allocate(bytes); });
}

std::size_t BatchMemory::ReservedBytes() const {
    const std::lock_guard<std::mutex> lock(lock_);
    std::size_t total = 0;
    for (const Chunk& chunk : chunks_)
        total += chunk.size;
    return total;
}

}  // namespace vantro::collada
