#include "platform/clock.h"

#include <chrono>
#include <sched.h>
#include <thread>

namespace vantro::platform {

uint64_t monotonicNanoseconds() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

void yieldThread() { ::sched_yield(); }

void sleepMilliseconds(uint32_t ms) {
    if (ms == 0) {
        ::sched_yield();  // Sleep(0) gives up the slice, it does not sleep
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace vantro::platform
