#pragma once
// Fixed-point number text for the COLLADA document, byte for byte what the C library's
// snprintf gives for "%.3f", "%.6f" (that is "%f") and "%d", but an order of magnitude
// faster: a mesh of a million vertices turns into tens of megabytes of such numbers.
//
// Exactness: the value is rounded from its exact binary value to the nearest multiple of
// 10^-decimals, ties to even, as the C library does in the default rounding mode. The
// sign is kept for negative zero and for negative values that round to zero ("-0.000").
// Values outside the fast range (|v| >= kFastLimit3 / kFastLimit6), infinities and NaNs
// are handed to snprintf itself, so every input gives the library's text.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantro::collada {

// Room one formatted number may need: the longest "%.6f" of a double
// (309 integer digits, sign, point, six decimals) with margin.
inline constexpr std::size_t kMaxFixedChars = 330;
// Room one formatted float may need ("%.6f" of -FLT_MAX is 47 characters).
inline constexpr std::size_t kMaxFloatFixedChars = 48;
// Room one "%d" of a 32-bit integer may need ("-2147483648").
inline constexpr std::size_t kMaxIntChars = 11;

// Magnitudes below these are formatted without the C library.
// (The scaled value must stay below 2^52 for the rounding the fast path uses.)
inline constexpr double kFastLimit3 = 1e12;
inline constexpr double kFastLimit6 = 1e9;

// Writes snprintf("%.<decimals>f", (double)value) at out, without a terminating zero,
// and returns the end. decimals must be 3 or 6 (asserted). out must have room for
// kMaxFloatFixedChars characters. Thread-safe (no shared state).
char* writeFixed(char* out, float value, int decimals);

// The same for a double; out must have room for kMaxFixedChars characters.
char* writeFixed(char* out, double value, int decimals);

// Writes snprintf("%d", value); out must have room for kMaxIntChars characters.
char* writeInt(char* out, std::int32_t value);

// Writes the decimal digits of value (no sign, no padding). out must have room for
// 20 characters.
char* writeUnsigned(char* out, std::uint64_t value);

// Convenience for the few numbers outside the hot loops: the same texts as std::string.
std::string fixedText(double value, int decimals);
std::string fixedText(float value, int decimals);

}  // namespace vantro::collada
