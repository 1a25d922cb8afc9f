#pragma once
// Fixed-point number text for the COLLADA document, byte for byte what the C library's
// snprintf gives for "%.3f", "%.6f" (that is "%f") and "%d", but an order of magnitude
// faster: a mesh of a million vertices turns into tens of megabytes of such numbers.
// Floats are also formatted with 0 to 6 decimals ("%.<n>f"), for the export's
// precision choice.
//
// Exactness: the value is rounded from its exact binary value to the nearest multiple of
// 10^-decimals, ties to even, as the C library does in the default rounding mode. The
// sign is kept for negative zero and for negative values that round to zero ("-0.000").
// Values outside the fast range (|v| >= kFastLimit3 / kFastLimit6), infinities and NaNs
// are handed to snprintf itself, so every input gives the library's text.

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
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
// The most decimals the float formatter takes.
inline constexpr int kMaxFloatDecimals = 6;

// Writes snprintf("%.<decimals>f", (double)value) at out, without a terminating zero,
// and returns the end. decimals must be 0 to kMaxFloatDecimals (asserted). out must
// have room for kMaxFloatFixedChars characters. Thread-safe (no shared state).
char* writeFixed(char* out, float value, int decimals);

// The same for a double, with 3 or 6 decimals only (asserted); out must have room for
// kMaxFixedChars characters.
char* writeFixed(char* out, double value, int decimals);

// Writes snprintf("%d", value); out must have room for kMaxIntChars characters.
inline char* writeInt(char* out, std::int32_t value);

// Writes the decimal digits of value (no sign, no padding). out must have room for
// 20 characters.
inline char* writeUnsigned(char* out, std::uint64_t value);

// The number of characters the functions above write for the value, without writing
// them: the texts of a geometry are measured first, so that each gets exactly its
// size. Thread-safe.
std::size_t fixedLength(float value, int decimals);
inline std::size_t intLength(std::int32_t value);
inline int digitCount(std::uint64_t value);  // of writeUnsigned's text, 1 to 20

// Convenience for the few numbers outside the hot loops: the same texts as std::string.
std::string fixedText(double value, int decimals);
std::string fixedText(float value, int decimals);

// The hot loops' forms, inline: writeFixed(out, value, Decimals) and
// fixedLength(value, Decimals) for a float, with the same texts and lengths.
template <int Decimals>
char* writeFloatFixed(char* out, float value);
template <int Decimals>
std::size_t floatFixedLength(float value);

// ---- inline definitions ----

namespace detail {

constexpr std::array<char, 200> makeDigitPairs() {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}
inline constexpr std::array<char, 200> kDigitPairs = makeDigitPairs();

constexpr std::array<std::uint64_t, 20> makePowersOfTen() {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::size_t i = 0; i < powers.size(); ++i, power *= 10)
        powers[i] = power;
    return powers;
}
inline constexpr std::array<std::uint64_t, 20> kPowersOfTen = makePowersOfTen();

inline void writePair(char* out, unsigned value) { std::memcpy(out, &kDigitPairs[2 * value], 2); }

// ".000" to ".999": the point and three decimals in one store.
constexpr std::array<char, 4000> makePointTriples() {
    std::array<char, 4000> triples{};
    for (int i = 0; i < 1000; ++i) {
        triples[4 * i] = '.';
        triples[4 * i + 1] = static_cast<char>('0' + i / 100);
        triples[4 * i + 2] = static_cast<char>('0' + i / 10 % 10);
        triples[4 * i + 3] = static_cast<char>('0' + i % 10);
    }
    return triples;
}
inline constexpr std::array<char, 4000> kPointTriples = makePointTriples();

// snprintf("%.*f") of value at out (the slow path: out of the fast range, or not finite).
char* writeBySnprintf(char* out, double value, int decimals);
std::size_t lengthBySnprintf(double value, int decimals);

// 10^(15 - decimals): the scaled value stays below 10^15 < 2^52 (1e12 and 1e9 for 3
// and 6 decimals).
template <int Decimals>
inline constexpr double kFloatLimit = static_cast<double>(kPowersOfTen[15 - Decimals]);
template <int Decimals>
inline constexpr std::uint64_t kScale = kPowersOfTen[Decimals];

// A float has 24 significant bits and 10^n = 2^n * 5^n with 5^6 = 15625 below 2^14, so
// the product of a float and the scale needs at most 38 bits and is exact in a double.
// Adding and removing 2^52 then rounds that exact value to an integer in the current
// rounding mode (ties to even by default, as the C library rounds); below the limits
// the scaled value stays under 2^52, where this is exact. No branch depends on the data.
// magnitude must be below kFloatLimit<Decimals>.
template <int Decimals>
inline std::uint64_t scaledMagnitude(double magnitude) {
    constexpr double kRounder = 0x1p52;
    const double rounded = (magnitude * static_cast<double>(kScale<Decimals>) + kRounder) - kRounder;
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(rounded));
}

// Writes the scaled value q / 10^decimals as "<integer>.<decimals digits>".
template <int Decimals>
inline char* writeScaled(char* out, std::uint64_t q) {
    if constexpr (Decimals == 3) {
        // Mesh numbers are mostly below 100 in their integer part: short paths for those,
        // and 32-bit arithmetic below 2^32, ahead of the general case.
        std::uint64_t integer = 0;
        unsigned fraction = 0;
        if (q < (std::uint64_t{1} << 32)) {
            const auto q32 = static_cast<std::uint32_t>(q);
            integer = q32 / 1000;
            fraction = q32 - static_cast<std::uint32_t>(integer) * 1000;
        } else {
            integer = q / 1000;
            fraction = static_cast<unsigned>(q - integer * 1000);
        }
        if (integer < 10) {
            *out++ = static_cast<char>('0' + integer);
        } else if (integer < 100) {
            writePair(out, static_cast<unsigned>(integer));
            out += 2;
        } else {
            out = writeUnsigned(out, integer);
        }
        std::memcpy(out, &kPointTriples[4 * fraction], 4);
        return out + 4;
    } else if constexpr (Decimals == 6) {
        const std::uint64_t integer = q / kScale<Decimals>;
        auto fraction = static_cast<unsigned>(q - integer * kScale<Decimals>);
        out = writeUnsigned(out, integer);
        *out++ = '.';
        writePair(out, fraction / 10000);
        writePair(out + 2, (fraction / 100) % 100);
        writePair(out + 4, fraction % 100);
        return out + 6;
    } else if constexpr (Decimals == 0) {
        return writeUnsigned(out, q);
    } else {
        const std::uint64_t integer = q / kScale<Decimals>;
        auto fraction = static_cast<unsigned>(q - integer * kScale<Decimals>);
        out = writeUnsigned(out, integer);
        *out = '.';
        for (int d = Decimals; d > 0; --d, fraction /= 10)
            out[d] = static_cast<char>('0' + fraction % 10);
        return out + 1 + Decimals;
    }
}

}  // namespace detail

inline int digitCount(std::uint64_t value) {
    // (bit width * 1233) >> 12 is floor(log10(2^width)): the count or one less. Setting
    // the low bit changes neither the width nor the comparison (powers of ten above 1
    // are even) and makes 0 count as one digit.
    const std::uint64_t v = value | 1;
    const int estimate = (std::bit_width(v) * 1233) >> 12;
    return estimate + (v >= detail::kPowersOfTen[static_cast<std::size_t>(estimate)] ? 1 : 0);
}

inline char* writeUnsigned(char* out, std::uint64_t value) {
    // Counted by comparisons here, not with digitCount: where each number of a list goes
    // depends on the one before, and predicted branches on a mesh's mostly short numbers
    // let the next number start before this count is known, where digitCount's
    // arithmetic would chain every position to the previous number's whole computation.
    int count = 1;
    std::uint64_t rest = value;
    for (; rest >= 100; rest /= 100)
        count += 2;
    char* const end = out + count + (rest >= 10 ? 1 : 0);
    char* p = end;
    while (value >= 100) {
        p -= 2;
        detail::writePair(p, static_cast<unsigned>(value % 100));
        value /= 100;
    }
    if (value >= 10) {
        detail::writePair(p - 2, static_cast<unsigned>(value));
    } else {
        p[-1] = static_cast<char>('0' + value);
    }
    return end;
}

inline char* writeInt(char* out, std::int32_t value) {
    auto magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
        *out++ = '-';
        magnitude = 0u - magnitude;
    }
    return writeUnsigned(out, magnitude);
}

inline std::size_t intLength(std::int32_t value) {
    // Comparisons only, no branch: a list is measured by summing these, which
    // vectorises.
    const std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    const auto at = [magnitude](std::uint32_t power) -> std::size_t { return magnitude >= power ? 1 : 0; };
    return 1 + (value < 0 ? 1 : 0) + at(10) + at(100) + at(1000) + at(10000) + at(100000) + at(1000000) + at(10000000) +
           at(100000000) + at(1000000000);
}

template <int Decimals>
inline char* writeFloatFixed(char* out, float value) {
    static_assert(Decimals >= 0 && Decimals <= kMaxFloatDecimals);
    const double x = value;
    const double magnitude = std::fabs(x);
    if (!(magnitude < detail::kFloatLimit<Decimals>))
        return detail::writeBySnprintf(out, x, Decimals);
    const std::uint64_t q = detail::scaledMagnitude<Decimals>(magnitude);
    *out = '-';
    out += std::signbit(x) ? 1 : 0;
    return detail::writeScaled<Decimals>(out, q);
}

template <int Decimals>
inline std::size_t floatFixedLength(float value) {
    static_assert(Decimals >= 0 && Decimals <= kMaxFloatDecimals);
    const double x = value;
    const double magnitude = std::fabs(x);
    const std::size_t sign = std::signbit(x) ? 1 : 0;
    if constexpr (Decimals == 3) {
        // Integer parts below 100, the usual case, in two comparisons of the exact product:
        // a value rounds to at least 10 (10000 thousandths) exactly when the product
        // reaches 9999.5, the tie rounding up to the even 10000; NaN fails both.
        const double thousandths = magnitude * 1e3;
        if (thousandths < 99999.5)
            return sign + (thousandths >= 9999.5 ? 2 : 1) + 4;
    }
    if (!(magnitude < detail::kFloatLimit<Decimals>))
        return detail::lengthBySnprintf(x, Decimals);
    // The rounded scaled value is an integer held exactly in a double: the digits of the
    // integer part are counted there, by comparisons for the usual one or two.
    constexpr double kRounder = 0x1p52;
    constexpr double kScale = static_cast<double>(detail::kScale<Decimals>);
    const double rounded = (magnitude * kScale + kRounder) - kRounder;
    constexpr std::size_t kPointAndDecimals = Decimals == 0 ? 0 : 1 + Decimals;
    if (rounded >= 100.0 * kScale) {
        const auto integer = static_cast<std::uint64_t>(rounded) / detail::kScale<Decimals>;
        return sign + static_cast<std::size_t>(digitCount(integer)) + kPointAndDecimals;
    }
    return sign + (rounded >= 10.0 * kScale ? 2 : 1) + kPointAndDecimals;
}

}  // namespace vantro::collada
