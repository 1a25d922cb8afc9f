// The parallel loops on plain threads, where oneTBB has no build (the MinGW-w64
// toolchain). Each loop splits its range into chunks that the calling thread and up
// to (hardware threads - 1) helpers take from a shared counter; the loop returns once
// every chunk is done and every helper has been joined, which is the promise the
// callers rely on. Threads are started per loop: the loops that run here last
// milliseconds or more, and a nested loop simply starts its own helpers, so a body
// can never wait for a worker that is busy waiting for it.

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/parallel.h"

namespace vantro::platform::detail {

void runParallelFor(size_t first, size_t last, ChunkFn chunk, const void* body) {
    if (first >= last)
        return;
    const size_t count = last - first;
    const size_t threads = std::max<size_t>(1, std::min<size_t>(std::thread::hardware_concurrency(), count));
    // A few chunks per thread even out bodies of uneven cost.
    const size_t chunkSize = std::max<size_t>(1, count / (threads * 4));
    std::atomic<size_t> next{first};
    std::atomic<bool> failed{false};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto work = [&] {
        while (!failed.load(std::memory_order_relaxed)) {
            const size_t begin = next.fetch_add(chunkSize);
            if (begin >= last)
                return;
            try {
                chunk(body, begin, std::min(last, begin + chunkSize));
            } catch (...) {
                std::lock_guard<std::mutex> guard(failureLock);
                if (!failure)
                    failure = std::current_exception();
                failed.store(true);
            }
        }
    };
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: fewer helpers, same result
        }
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

void runInArena(void (*fn)(const void* context), const void* context) { fn(context); }

}  // namespace vantro::platform::detail
