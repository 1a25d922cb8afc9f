#pragma once
// Pieces carved out of one large block look like separate allocations to
// AddressSanitizer: what is not handed out stays poisoned, and a poisoned gap follows
// every piece, so a write running off the end of one piece into the next is reported
// as it would be for the heap. Without the sanitizer all of it costs nothing.

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace vantro::platform {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr std::size_t kPoisonedGap = 64;
inline void poisonMemory(const void* address, std::size_t size) { ASAN_POISON_MEMORY_REGION(address, size); }
inline void unpoisonMemory(const void* address, std::size_t size) { ASAN_UNPOISON_MEMORY_REGION(address, size); }
#else
inline constexpr std::size_t kPoisonedGap = 0;
inline void poisonMemory(const void*, std::size_t) {}
inline void unpoisonMemory(const void*, std::size_t) {}
#endif

}  // namespace vantro::platform
