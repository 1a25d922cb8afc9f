#include "platform/page_arena.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "win32/windows_api.h"

namespace vantro::platform {

// Blocks are reserved and committed at once; Windows backs committed pages only when
// they are first touched, so an unused tail costs page-file charge, not memory.
// Large pages need a privilege that ordinary users lack, so blocks use small ones.

namespace {

constexpr std::size_t kBlockStep = std::size_t{2} << 20;

std::size_t roundUp(std::size_t value, std::size_t step) { return (value + step - 1) / step * step; }

}  // namespace

PageArena::PageArena(std::size_t blockBytes) : blockBytes_(roundUp(blockBytes == 0 ? 1 : blockBytes, kBlockStep)) {}

PageArena::~PageArena() {
    for (const Block& block : blocks_)
        ::VirtualFree(block.base, 0, MEM_RELEASE);
}

void PageArena::addBlock(std::size_t minimumBytes) {
    if (minimumBytes > SIZE_MAX - 2 * kBlockStep)
        throw std::bad_alloc();
    const std::size_t size = std::max(blockBytes_, roundUp(minimumBytes, kBlockStep));
    void* address = ::VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!address)
        throw std::bad_alloc();
    try {
        blocks_.push_back({static_cast<char*>(address), size});
    } catch (...) {
        ::VirtualFree(address, 0, MEM_RELEASE);
        throw;
    }
    used_ = 0;
}

void* PageArena::allocate(std::size_t bytes) {
    if (bytes > SIZE_MAX - 2 * kAlignment)
        throw std::bad_alloc();
    const std::size_t taken = roundUp(bytes == 0 ? 1 : bytes, kAlignment);
    std::lock_guard<std::mutex> guard(lock_);
    if (blocks_.empty() || blocks_.back().size - used_ < taken)
        addBlock(taken);
    char* piece = blocks_.back().base + used_;
    used_ += taken;
    allocated_ += taken;
    return piece;
}

std::size_t PageArena::allocatedBytes() const {
    std::lock_guard<std::mutex> guard(lock_);
    return allocated_;
}

}  // namespace vantro::platform
