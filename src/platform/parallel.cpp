#include "platform/parallel.h"

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

#if VANTRO_TSAN

namespace {

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

}  // namespace

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

}  // namespace vantro::platform::detail
