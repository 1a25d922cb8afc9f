#pragma once
// Monotonic time and thread scheduling.

#include <cstdint>

namespace vantro::platform {

// All functions may be called from any thread.

// Nanoseconds of a monotonic clock (steady_clock); only differences are meaningful.
uint64_t monotonicNanoseconds();

// Gives up the rest of this thread's time slice (Windows SwitchToThread / Sleep(0)).
void yieldThread();

// Sleeps at least ms milliseconds; 0 yields like Sleep(0).
void sleepMilliseconds(uint32_t ms);

}  // namespace vantro::platform
