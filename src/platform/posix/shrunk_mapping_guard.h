#pragma once
// Keeps a process alive when another process shrinks a shared object it has mapped.
//
// Any process of the same user can ftruncate an object in /dev/shm; touching a page
// of ours that now lies past the object's end raises SIGBUS, whose default action
// ends the process. A Windows mapping cannot shrink, so the rest of the system was
// never written to expect this. The guard installs one SIGBUS handler that, for a
// fault inside a guarded range, maps private zero pages over the whole range
// (MAP_FIXED) and marks the range broken: the faulting access is retried on the
// zero pages and the owner learns from the mark that the mapping no longer reaches
// the other process. Faults outside every guarded range go to the handler that was
// installed before ours (or end the process as SIGBUS would have).
//
// The ranges live in a registry that the handler walks without locks or
// allocation. Guard and release from any thread; a range must be released before
// it is unmapped, and nothing may touch it between release and munmap.
//
// Sanitizers: ASan and TSan install their own SIGBUS handlers at start-up; ours
// replaces theirs for our ranges and passes every other fault on to them, so their
// reports of foreign faults stay as they were.

#include <atomic>
#include <cstddef>

namespace vantro::platform::posix {

struct GuardedRange;

// Starts guarding [begin, begin + length) (as returned by mmap). Null when the
// registry cannot grow (out of memory): the mapping then works unguarded.
GuardedRange* guardMapping(void* begin, size_t length);

// Stops guarding; waits for a handler running on the range to finish. Null: nothing.
void releaseMapping(GuardedRange* range);

// True once the handler replaced the range's pages.
bool isBroken(const GuardedRange* range);

// flag is set to true (by the handler, or at once when the range is already broken)
// when the range breaks. It must stay valid until releaseMapping or the next call.
void notifyWhenBroken(GuardedRange* range, std::atomic<bool>* flag);

}  // namespace vantro::platform::posix
