#include "platform/page_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "platform/memory_poison.h"

namespace vantro::platform {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t roundUp(std::size_t value, std::size_t step) { return (value + step - 1) / step * step; }

}  // namespace

PageArena::PageArena(std::size_t blockBytes) : blockBytes_(roundUp(blockBytes == 0 ? 1 : blockBytes, kHugePage)) {}

PageArena::~PageArena() {
    for (const Block& block : blocks_) {
        unpoisonMemory(block.base, block.size);
        munmap(block.base, block.size);
    }
}

void PageArena::addBlock(std::size_t minimumBytes) {
    if (minimumBytes > SIZE_MAX - 2 * kHugePage)
        throw std::bad_alloc();
    const std::size_t size = std::max(blockBytes_, roundUp(minimumBytes, kHugePage));
    // One huge page more than needed, so that the block can start on a huge-page
    // boundary; the kernel only backs whole aligned 2 MiB ranges with huge pages.
    const std::size_t mapped = size + kHugePage;
    void* address = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (address == MAP_FAILED)
        throw std::bad_alloc();
    char* raw = static_cast<char*>(address);
    char* base = reinterpret_cast<char*>(roundUp(reinterpret_cast<std::uintptr_t>(raw), kHugePage));
    if (base != raw)
        munmap(raw, static_cast<std::size_t>(base - raw));
    const std::size_t tail = static_cast<std::size_t>(raw + mapped - (base + size));
    if (tail != 0)
        munmap(base + size, tail);
    // Only advice: where huge pages are off or exhausted the block works with small ones.
    madvise(base, size, MADV_HUGEPAGE);
    try {
        blocks_.push_back({base, size});
    } catch (...) {
        munmap(base, size);
        throw;
    }
    poisonMemory(base, size);
    used_ = 0;
}

void* PageArena::allocate(std::size_t bytes) {
    if (bytes > SIZE_MAX - 2 * kAlignment - kPoisonedGap)
        throw std::bad_alloc();
    const std::size_t taken = roundUp(bytes == 0 ? 1 : bytes, kAlignment) + kPoisonedGap;
    std::lock_guard<std::mutex> guard(lock_);
    if (blocks_.empty() || blocks_.back().size - used_ < taken)
        addBlock(taken);
    char* piece = blocks_.back().base + used_;
    used_ += taken;
    allocated_ += taken;
    unpoisonMemory(piece, bytes);
    return piece;
}

std::size_t PageArena::allocatedBytes() const {
    std::lock_guard<std::mutex> guard(lock_);
    return allocated_;
}

}  // namespace vantro::platform
