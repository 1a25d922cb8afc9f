#include "platform/clock.h"

#include "win32/windows_api.h"

namespace vantro::platform {

uint64_t monotonicNanoseconds() {
    static const uint64_t frequency = [] {
        LARGE_INTEGER value;
        ::QueryPerformanceFrequency(&value);
        return static_cast<uint64_t>(value.QuadPart);
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    const uint64_t ticks = static_cast<uint64_t>(now.QuadPart);
    // Whole seconds and the remainder apart, so that the product cannot overflow.
    return ticks / frequency * 1'000'000'000u + ticks % frequency * 1'000'000'000u / frequency;
}

void yieldThread() { ::SwitchToThread(); }

void sleepMilliseconds(uint32_t ms) { ::Sleep(ms); }

}  // namespace vantro::platform
