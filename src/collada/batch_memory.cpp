#include "batch_memory.h"

#include <algorithm>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define VANTRO_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define VANTRO_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
// As in the page arena: a poisoned gap after every piece, so that AddressSanitizer sees
// a write running off the end of one piece (a text measured too short) into the next.
constexpr std::size_t kRedZone = 64;
#else
#define VANTRO_POISON(address, size) ((void)(address), (void)(size))
#define VANTRO_UNPOISON(address, size) ((void)(address), (void)(size))
constexpr std::size_t kRedZone = 0;
#endif

namespace vantro::collada {

void* BatchMemory::Allocate(std::size_t bytes) {
    constexpr std::size_t kAlign = vantro::platform::PageArena::kAlignment;
    // Distinct pointers for empty requests, as the page arena gives them.
    const std::size_t size = std::max<std::size_t>(kAlign, (bytes + kAlign - 1) / kAlign * kAlign) + kRedZone;
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
        VANTRO_POISON(chunks_.back().base, chunkSize);
        used_ = 0;
    }
    char* piece = chunks_[current_].base + used_;
    used_ += size;
    VANTRO_UNPOISON(piece, bytes);
    return piece;
}

void BatchMemory::Rewind() {
    const std::lock_guard<std::mutex> lock(lock_);
    // Under AddressSanitizer a piece read after the rewind is reported, as a freed block is.
    for (const Chunk& chunk : chunks_)
        VANTRO_POISON(chunk.base, chunk.size);
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
