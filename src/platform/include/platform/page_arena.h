#pragma once
// PageArena: memory for large, short-lived working data that is freed all at once -- the
// export's merged geometry and its number text, hundreds of megabytes for a big model.
//
// Why not the heap: every fresh 4 KiB page of a large malloc block costs a page fault on
// first touch and another trip through the kernel when it is unmapped, which on these
// machines made up a quarter of an export. The arena maps blocks of address space that
// ask the kernel for transparent huge pages (2 MiB: one fault where there were 512) and
// hands out pieces of them; nothing is freed before the arena goes. Pages never
// touched cost no memory, so a block may be larger than what ends up being used.
//
// Thread-safety: allocate may be called from any number of threads at once (a lock
// guards the bump pointer; callers allocate a few times per work item, not per number).
// Failure: allocate throws std::bad_alloc when the system refuses address space.

#include <cstddef>
#include <mutex>
#include <vector>

namespace vantro::platform {

class PageArena {
public:
    // blockBytes: the address space mapped at a time (rounded up to whole huge pages);
    // a request larger than that gets a block of its own.
    explicit PageArena(std::size_t blockBytes = kDefaultBlockBytes);
    ~PageArena();
    PageArena(const PageArena&) = delete;
    PageArena& operator=(const PageArena&) = delete;

    // Returns bytes of uninitialised memory aligned to kAlignment, valid until the arena
    // is destroyed. A request of 0 bytes returns a valid, distinct pointer.
    void* allocate(std::size_t bytes);

    // Bytes handed out so far, alignment padding included (not the pages touched).
    std::size_t allocatedBytes() const;

    static constexpr std::size_t kAlignment = 64;
    static constexpr std::size_t kDefaultBlockBytes = std::size_t{64} << 20;

private:
    struct Block {
        char* base = nullptr;
        std::size_t size = 0;
    };
    void addBlock(std::size_t minimumBytes);  // caller holds lock_

    const std::size_t blockBytes_;
    mutable std::mutex lock_;
    std::vector<Block> blocks_;  // guarded by lock_; the last one is being filled
    std::size_t used_ = 0;       // guarded by lock_: bytes taken from the last block
    std::size_t allocated_ = 0;  // guarded by lock_
};

}  // namespace vantro::platform
