#pragma once
// Parallel loops: the Concurrency Runtime's parallel_for_each. The callers rely on two
// promises only: every call of the body has finished before the loop returns, and the
// body may run on several threads at once. Which library schedules the work is the
// platform layer's business (docs/platform.md): oneTBB on POSIX, a pool of plain
// threads where oneTBB has no build. The library stays out of this header.
//
// Exceptions: the first exception a body throws is thrown again by the loop once no
// body runs any more; bodies not yet started may be skipped.
//
// Thread-safety: any thread; loops may nest.

#include <cstddef>
#include <iterator>
#include <type_traits>
#include <vector>

namespace vantro::platform {

namespace detail {

// Calls chunk(body, begin, end) for disjoint [begin, end) covering [first, last), in
// parallel, and returns when all calls have finished.
using ChunkFn = void (*)(const void* body, size_t begin, size_t end);
void runParallelFor(size_t first, size_t last, ChunkFn chunk, const void* body);

// Calls fn(context) where the loops it starts get the process's worker threads.
void runInArena(void (*fn)(const void* context), const void* context);

}  // namespace detail

// Calls body(i) for every i in [first, last) in parallel and returns when all calls
// have finished.
template <class Body>
void parallelFor(size_t first, size_t last, const Body& body) {
    detail::runParallelFor(
        first, last,
        [](const void* context, size_t begin, size_t end) {
            const Body& fn = *static_cast<const Body*>(context);
            for (size_t i = begin; i != end; ++i)
                fn(i);
        },
        &body);
}

// Calls body(element) for every element of [first, last) in parallel and returns when
// all calls have finished. body must be safe to run concurrently with itself.
template <class Iterator, class Body>
void parallelForEach(Iterator first, Iterator last, const Body& body) {
    using Category = typename std::iterator_traits<Iterator>::iterator_category;
    if constexpr (std::is_base_of_v<std::random_access_iterator_tag, Category>) {
        const auto count = last - first;
        parallelFor(0, count > 0 ? static_cast<size_t>(count) : 0, [&](size_t i) { body(first[i]); });
    } else {
        std::vector<Iterator> positions;  // forward iterators: index them once
        for (Iterator it = first; it != last; ++it)
            positions.push_back(it);
        parallelFor(0, positions.size(), [&](size_t i) { body(*positions[i]); });
    }
}

// Runs fn so that parallel loops started from it use the process's worker threads.
template <class Fn>
void runInParallelArena(const Fn& fn) {
    detail::runInArena([](const void* context) { (*static_cast<const Fn*>(context))(); }, &fn);
}

}  // namespace vantro::platform
