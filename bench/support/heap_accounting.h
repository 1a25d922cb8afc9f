#pragma once
// Heap accounting for benchmarks that report peak memory: linking this replaces the
// global operator new/delete, so every C++ allocation of the program is counted in
// bytes the program asked for (resident-set figures would hide memory malloc reuses).
// Any thread.

#include <atomic>
#include <cstddef>

namespace heap {
extern std::atomic<size_t> current;  // bytes allocated and not yet released
extern std::atomic<size_t> peak;     // highest value of current; callers may reset it
}  // namespace heap
