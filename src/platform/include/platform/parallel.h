#pragma once
// Parallel loops: the Concurrency Runtime's parallel_for_each, on oneTBB, run inside one
// task arena that the process keeps for all of its parallel work.
//
// Why an arena of our own: ThreadSanitizer cannot see the hand-over of work between
// the threads of the system's oneTBB library (it is not instrumented), so every
// parallel loop looks like a race inside TBB's inline code, and the usual remedy --
// suppressing every report with a TBB frame -- also hides real races in the loop
// bodies, which always run below TBB frames. In ThreadSanitizer builds this file
// instead (1) ignores the memory accesses of TBB's own code: worker threads entering
// the arena and the calling thread while it is inside a loop, and (2) re-enables them
// for exactly the loop bodies, with release/acquire annotations for the happens-before
// edges TBB guarantees (loop start before every body, every body before the loop's
// end). Races in our bodies are then reported; TBB's internals are not. In other
// builds the functions are plain tbb calls.
//
// Thread-safety: any thread; loops may nest.

#include <cstddef>
#include <utility>

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/parallel_for_each.h>
#include <tbb/task_arena.h>

namespace vantro::platform {

namespace detail {

// The arena every loop runs in (created on first use, lives for the process).
tbb::task_arena& parallelArena();

// ThreadSanitizer bookkeeping; no-ops in other builds.
void loopBegin(void* token);              // caller: release, then ignore TBB's accesses
void loopEnd(void* token);                // caller: stop ignoring, acquire the bodies' work
void bodyBegin(void* token, int& saved);  // body: stop ignoring, acquire the loop start
void bodyEnd(void* token, int saved);     // body: release, ignore again

}  // namespace detail

// Calls body(element) for every element of [first, last) in parallel and returns when
// all calls have finished. body must be safe to run concurrently with itself.
template <class Iterator, class Body>
void parallelForEach(Iterator first, Iterator last, const Body& body) {
    char token = 0;  // the address names the happens-before edges of this loop
    detail::loopBegin(&token);
    detail::parallelArena().execute([&] {
        tbb::parallel_for_each(first, last, [&](auto&& element) {
            int saved = 0;
            detail::bodyBegin(&token, saved);
            body(std::forward<decltype(element)>(element));
            detail::bodyEnd(&token, saved);
        });
    });
    detail::loopEnd(&token);
}

// Calls body(i) for every i in [first, last) in parallel (automatic partitioning) and
// returns when all calls have finished.
template <class Body>
void parallelFor(size_t first, size_t last, const Body& body) {
    char token = 0;
    detail::loopBegin(&token);
    detail::parallelArena().execute([&] {
        tbb::parallel_for(tbb::blocked_range<size_t>(first, last), [&](const tbb::blocked_range<size_t>& range) {
            int saved = 0;
            detail::bodyBegin(&token, saved);
            for (size_t i = range.begin(); i != range.end(); ++i)
                body(i);
            detail::bodyEnd(&token, saved);
        });
    });
    detail::loopEnd(&token);
}

// Runs fn inside the arena, so that parallel loops started from it use the arena's
// threads.
template <class Fn>
void runInParallelArena(const Fn& fn) {
    detail::parallelArena().execute([&] { fn(); });
}

}  // namespace vantro::platform
