// The parallel loops on oneTBB, run inside one task arena that the process keeps for
// all of its parallel work.
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
// end). Races in our bodies are then reported; TBB's internals are not.

#include "platform/parallel.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>
#include <tbb/task_scheduler_observer.h>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
// Exported by the ThreadSanitizer runtime; g++ 12's interface header does not declare
// them.
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#define VANTRO_TSAN 1
#else
#define VANTRO_TSAN 0
#endif

namespace vantro::platform::detail {

namespace {

#if VANTRO_TSAN

// How many ignore levels this thread has opened through the functions below; a body
// closes exactly these and re-opens them afterwards.
thread_local int ignoreDepth = 0;

void ignoreBegin() {
    __tsan_ignore_thread_begin();
    ++ignoreDepth;
}

void ignoreEnd() {
    __tsan_ignore_thread_end();
    --ignoreDepth;
}

// Worker threads run nothing but TBB's code and loop bodies while they are in the
// arena: ignore them from entry to exit, bodies excepted.
class WorkerIgnorer : public tbb::task_scheduler_observer {
public:
    explicit WorkerIgnorer(tbb::task_arena& arena) : tbb::task_scheduler_observer(arena) { observe(true); }
    ~WorkerIgnorer() override { observe(false); }
    void on_scheduler_entry(bool isWorker) override {
        if (isWorker)
            ignoreBegin();
    }
    void on_scheduler_exit(bool isWorker) override {
        if (isWorker)
            ignoreEnd();
    }
};

void loopBegin(void* token) {
    __tsan_release(token);
    ignoreBegin();
}

void loopEnd(void* token) {
    ignoreEnd();
    __tsan_acquire(token);
}

void bodyBegin(void* token, int& saved) {
    saved = ignoreDepth;
    for (int i = 0; i < saved; ++i)
        ignoreEnd();
    __tsan_acquire(token);
}

void bodyEnd(void* token, int saved) {
    __tsan_release(token);
    for (int i = 0; i < saved; ++i)
        ignoreBegin();
}

tbb::task_arena& parallelArena() {
    struct Holder {
        tbb::task_arena arena;
        WorkerIgnorer ignorer{arena};
    };
    static Holder* holder = new Holder;  // never destroyed: workers may still leave at exit
    return holder->arena;
}

#else

void loopBegin(void*) {}
void loopEnd(void*) {}
void bodyBegin(void*, int&) {}
void bodyEnd(void*, int) {}

tbb::task_arena& parallelArena() {
    static tbb::task_arena* arena = new tbb::task_arena;  // never destroyed, like TBB's own
    return *arena;
}

#endif

}  // namespace

void runParallelFor(size_t first, size_t last, ChunkFn chunk, const void* body) {
    if (first >= last)
        return;
    char token = 0;  // the address names the happens-before edges of this loop
    loopBegin(&token);
    try {
        parallelArena().execute([&] {
            tbb::parallel_for(tbb::blocked_range<size_t>(first, last), [&](const tbb::blocked_range<size_t>& range) {
                int saved = 0;
                bodyBegin(&token, saved);
                try {
                    chunk(body, range.begin(), range.end());
                } catch (...) {
                    bodyEnd(&token, saved);
                    throw;
                }
                bodyEnd(&token, saved);
            });
        });
    } catch (...) {
        loopEnd(&token);
        throw;
    }
    loopEnd(&token);
}

void runInArena(void (*fn)(const void* context), const void* context) {
    parallelArena().execute([&] { fn(context); });
}

}  // namespace vantro::platform::detail
