#pragma once
// BatchMemory: the working memory of one batch of the export's geometry stream (the
// merged buffers and the number text of a few materials), reused from batch to batch.
//
// Why not a fresh arena per batch: every fresh page costs the kernel a clearing on first
// touch, and at tens of millions of triangles that was over a third of an export. Here
// the pages come from a PageArena (huge pages) once, when a batch needs more than any
// before it, and Rewind hands them out again from the start: the memory of a whole
// export is that of its largest batches, touched fresh once.
//
// Under AddressSanitizer every piece has a poisoned gap after it and Rewind poisons
// everything handed out, so that an overrun or a read of the last batch's text is
// reported as it would be for heap blocks.
//
// Thread-safety: Allocate may be called from any number of threads at once (a lock
// guards the position; callers take a few pieces per geometry). Rewind only while no
// Allocate runs and nothing handed out is in use any more.
// Failure: Allocate throws std::bad_alloc when the system refuses memory.

#include <cstddef>
#include <mutex>
#include <vector>

#include "collada/scratch_memory.h"
#include "platform/page_arena.h"

namespace vantro::collada {

class BatchMemory {
public:
    BatchMemory() = default;
    BatchMemory(const BatchMemory&) = delete;
    BatchMemory& operator=(const BatchMemory&) = delete;

    // bytes of uninitialised memory aligned to PageArena::kAlignment, valid until Rewind
    // or the end of the BatchMemory. A request of 0 bytes returns a valid pointer.
    void* Allocate(std::size_t bytes);
    // Everything handed out is free again; the pages stay for the next batch.
    void Rewind();
    // This memory as the source of a merge or a formatting.
    ScratchMemory Scratch();
    // Bytes of all chunks taken so far (the batch memory's own peak).
    std::size_t ReservedBytes() const;

    // Pieces are cut from chunks of at least this size; a larger request gets a chunk of
    // its own size.
    static constexpr std::size_t kChunkBytes = std::size_t{16} << 20;

private:
    struct Chunk {
        char* base = nullptr;
        std::size_t size = 0;
    };

    vantro::platform::PageArena pages_;
    mutable std::mutex lock_;
    std::vector<Chunk> chunks_;  // guarded by lock_; in the order they are filled
    std::size_t current_ = 0;    // guarded by lock_: the chunk being filled
    std::size_t used_ = 0;       // guarded by lock_: bytes taken from it
};

}  // namespace vantro::collada
