#pragma once
// ScratchMemory: where a merge or a formatting takes its buffers. Both only ever ask for
// a few pieces per geometry and never give one back; what owns the memory decides when
// it goes. A PageArena is one (it frees everything at once when it goes); the export's
// batch memory is another (it hands the same pages out again for the next batch, so
// that the kernel does not clear fresh pages for every batch of a big model).
//
// A ScratchMemory does not own its source, which must outlive every use of it.
// allocate must be safe to call from several threads at once, returns memory aligned to
// PageArena::kAlignment, and throws std::bad_alloc when the memory cannot be had.

#include <cstddef>

#include "platform/page_arena.h"

namespace vantro::collada {

class ScratchMemory {
public:
    using AllocateFn = void* (*)(void* source, std::size_t bytes);

    ScratchMemory(void* source, AllocateFn allocate) : source_(source), allocate_(allocate) {}
    // Every PageArena is a source: the existing callers pass their arena as it is.
    ScratchMemory(vantro::platform::PageArena& arena)  // NOLINT(google-explicit-constructor)
        : source_(&arena), allocate_([](void* source, std::size_t bytes) {
              return static_cast<vantro::platform::PageArena*>(source)->allocate(bytes);
          }) {}

    void* allocate(std::size_t bytes) const { return allocate_(source_, bytes); }

private:
    void* source_;
    AllocateFn allocate_;
};

}  // namespace vantro::collada
