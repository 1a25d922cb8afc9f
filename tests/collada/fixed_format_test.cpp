// The fast fixed-point formatter must give snprintf's text for every input.
// Set VANTRO_EXHAUSTIVE=1 to compare every float of magnitude up to 1000 (minutes);
// by default a strided sample of them is compared.

#include "collada/fixed_format.h"

#include <gtest/gtest.h>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <atomic>
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <random>
#include <string>

namespace vantro::collada {
namespace {

std::string viaLibrary(double value, int decimals) {
    char text[400];
    const int length = std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return std::string(text, static_cast<std::size_t>(length));
}

// The text, checked against the length measured for it without writing.
std::string viaFloat(float value, int decimals) {
    char text[kMaxFloatFixedChars + 8];
    std::string written(text, writeFixed(text, value, decimals));
    EXPECT_EQ(fixedLength(value, decimals), written.size()) << value << " " << decimals;
    return written;
}

std::string viaDouble(double value, int decimals) {
    char text[kMaxFixedChars + 8];
    return std::string(text, writeFixed(text, value, decimals));
}

bool exhaustive() {
    const char* flag = std::getenv("VANTRO_EXHAUSTIVE");
    return flag != nullptr && std::string(flag) == "1";
}

// Compares every stride-th float bit pattern in [0, last] and its negative, in parallel.
// Returns the number of mismatches; the first one is reported.
std::uint64_t compareFloatRange(std::uint32_t last, std::uint32_t stride, int decimals) {
    std::atomic<std::uint64_t> mismatches{0};
    std::mutex reportLock;
    const std::uint64_t steps = std::uint64_t{last} / stride + 1;
    tbb::parallel_for(
        tbb::blocked_range<std::uint64_t>(0, steps, 1 << 16), [&](const tbb::blocked_range<std::uint64_t>& range) {
            char mine[kMaxFloatFixedChars + 8];
            char theirs[400];
            for (std::uint64_t step = range.begin(); step != range.end(); ++step) {
                const auto bits = static_cast<std::uint32_t>(step * stride);
                for (const std::uint32_t sign : {0u, 0x80000000u}) {
                    const float value = std::bit_cast<float>(bits | sign);
                    char* end = writeFixed(mine, value, decimals);
                    const int length = std::snprintf(theirs, sizeof theirs, "%.*f", decimals, double{value});
                    if (std::string_view(mine, static_cast<std::size_t>(end - mine)) !=
                            std::string_view(theirs, static_cast<std::size_t>(length)) ||
                        fixedLength(value, decimals) != static_cast<std::size_t>(length)) {
                        if (mismatches.fetch_add(1) == 0) {
                            std::lock_guard<std::mutex> lock(reportLock);
                            ADD_FAILURE() << "bits 0x" << std::hex << (bits | sign) << std::dec << ": got "
                                          << std::string(mine, end) << " (measured " << fixedLength(value, decimals)
                                          << " characters), snprintf gives " << theirs;
                        }
                    }
                }
            }
        });
    return mismatches.load();
}

// Every float with |x| <= 1000 (or a strided sample of them) formats as snprintf does,
// for both patterns the document uses with floats.
TEST(FixedFormat, FloatsUpTo1000MatchSnprintf) {
    const std::uint32_t last = std::bit_cast<std::uint32_t>(1000.0f);
    const std::uint32_t stride = exhaustive() ? 1 : 997;
    EXPECT_EQ(compareFloatRange(last, stride, 3), 0u);
    EXPECT_EQ(compareFloatRange(last, stride, 6), 0u);
}

// Exact ties (odd multiples of 1/16 for three decimals, of 1/128 for six) round to
// even like the library; their neighbouring floats round away from the tie.
TEST(FixedFormat, HalfwayFloatsAndTheirNeighbours) {
    for (const auto& [decimals, denominator] : {std::pair{3, 16}, std::pair{6, 128}}) {
        for (int j = -1000 * denominator - 1; j <= 1000 * denominator + 1; j += 2) {
            const float tie = static_cast<float>(j) / static_cast<float>(denominator);
            for (const float value : {tie, std::nextafter(tie, -INFINITY), std::nextafter(tie, INFINITY)}) {
                ASSERT_EQ(viaFloat(value, decimals), viaLibrary(value, decimals)) << value;
                ASSERT_EQ(viaDouble(value, decimals), viaLibrary(value, decimals)) << value;
            }
        }
    }
    EXPECT_EQ(viaFloat(0.0625f, 3), "0.062");
    EXPECT_EQ(viaFloat(0.1875f, 3), "0.188");
}

// Where the integer part gains a digit by rounding (9.9995 -> "10.000"), the measured
// length follows the text: every float within a few steps of each such boundary.
TEST(FixedFormat, LengthsAtDigitBoundaries) {
    for (const int decimals : {3, 6}) {
        const double half = decimals == 3 ? 0.0005 : 0.0000005;
        for (double power = 1; power <= 1e11; power *= 10) {
            const auto boundary = static_cast<float>(power - half);
            float value = boundary;
            for (int step = 0; step < 8; ++step)
                value = std::nextafter(value, 0.0f);
            for (int step = 0; step < 16; ++step, value = std::nextafter(value, INFINITY)) {
                ASSERT_EQ(viaFloat(value, decimals), viaLibrary(value, decimals)) << value;
                ASSERT_EQ(viaFloat(-value, decimals), viaLibrary(-value, decimals)) << value;
            }
        }
    }
}

// The sign survives zero: negative zero and tiny negatives print "-0.000".
TEST(FixedFormat, SignedZeroAndTinyValues) {
    EXPECT_EQ(viaFloat(-0.0f, 3), "-0.000");
    EXPECT_EQ(viaFloat(0.0f, 3), "0.000");
    EXPECT_EQ(viaFloat(-1e-30f, 3), "-0.000");
    EXPECT_EQ(viaFloat(-0.0004f, 3), "-0.000");
    EXPECT_EQ(viaFloat(-0.0004f, 6), "-0.000400");
    EXPECT_EQ(viaDouble(-0.0, 6), "-0.000000");
    EXPECT_EQ(viaDouble(-4.9e-324, 3), "-0.000");
    for (const float value : {std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::denorm_min(),
                              FLT_MIN, -FLT_MIN, 0.0005f, -0.0005f, 0.0004999f, 999.9995f, -999.9995f}) {
        EXPECT_EQ(viaFloat(value, 3), viaLibrary(value, 3)) << value;
        EXPECT_EQ(viaFloat(value, 6), viaLibrary(value, 6)) << value;
    }
}

// Beyond the fast range, and for infinities and NaNs, the library's own text comes out.
TEST(FixedFormat, LargeAndNonFiniteValues) {
    for (const float value :
         {1e9f, std::nextafter(1e9f, 0.0f), 1e12f, std::nextafter(1e12f, 0.0f), std::nextafter(1e12f, INFINITY), 1e15f,
          std::nextafter(1e15f, 0.0f), -1e15f, 3e17f, FLT_MAX, -FLT_MAX, INFINITY, -INFINITY, NAN, -NAN}) {
        EXPECT_EQ(viaFloat(value, 3), viaLibrary(value, 3)) << value;
        EXPECT_EQ(viaFloat(value, 6), viaLibrary(value, 6)) << value;
    }
    for (const double value : {1e15, std::nextafter(1e15, 0.0), 1e12, std::nextafter(1e12, 0.0), 1e9,
                               std::nextafter(1e9, 0.0), 4503599627370495.5, DBL_MAX, -DBL_MAX, 9.007199254740993e15,
                               double{INFINITY}, -double{INFINITY}, double{NAN}}) {
        EXPECT_EQ(viaDouble(value, 3), viaLibrary(value, 3)) << value;
        EXPECT_EQ(viaDouble(value, 6), viaLibrary(value, 6)) << value;
    }
    EXPECT_EQ(viaFloat(-FLT_MAX, 6).size(), 47u);  // the longest float text
}

// Every precision the export offers gives snprintf's text: a strided sample of floats
// up to 1000, the exact ties (odd multiples of 2^-(n+1) for n decimals) with their
// neighbours, the values whose rounding adds a digit, and the fast range's limit.
TEST(FixedFormat, EveryPrecisionMatchesSnprintf) {
    const std::uint32_t last = std::bit_cast<std::uint32_t>(1000.0f);
    for (int decimals = 0; decimals <= kMaxFloatDecimals; ++decimals) {
        EXPECT_EQ(compareFloatRange(last, exhaustive() ? 1 : 9973, decimals), 0u) << decimals;
        const int denominator = 2 << decimals;
        for (int j = -100 * denominator - 1; j <= 100 * denominator + 1; j += 2) {
            const float tie = static_cast<float>(j) / static_cast<float>(denominator);
            for (const float value : {tie, std::nextafter(tie, -INFINITY), std::nextafter(tie, INFINITY)}) {
                ASSERT_EQ(viaFloat(value, decimals), viaLibrary(value, decimals)) << value << " " << decimals;
            }
        }
        const double limit = std::pow(10.0, 15 - decimals);
        for (double power = 1; power <= limit; power *= 10) {
            float value = static_cast<float>(power);
            for (int step = 0; step < 8; ++step)
                value = std::nextafter(value, 0.0f);
            for (int step = 0; step < 16; ++step, value = std::nextafter(value, INFINITY)) {
                ASSERT_EQ(viaFloat(value, decimals), viaLibrary(value, decimals)) << value << " " << decimals;
                ASSERT_EQ(viaFloat(-value, decimals), viaLibrary(-value, decimals)) << value << " " << decimals;
            }
        }
    }
    EXPECT_EQ(viaFloat(-0.4f, 0), "-0");
    EXPECT_EQ(viaFloat(2.5f, 0), "2");
    EXPECT_EQ(viaFloat(0.25f, 1), "0.2");
}

// Doubles of every exponent, ordinary magnitudes, ties and subnormals match.
TEST(FixedFormat, DoublesMatchSnprintf) {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<double> ordinary(-1e6, 1e6);
    std::uniform_int_distribution<int> exponent(-60, 55);
    for (int i = 0; i < 100000; ++i) {
        double values[4];
        values[0] = std::bit_cast<double>(random());  // any pattern, NaNs included
        values[1] = ordinary(random);
        values[2] = std::ldexp(ordinary(random), exponent(random));
        // Ties of 3 and 6 decimals that are exact doubles: odd multiples of 2^-4 and 2^-7,
        // scaled to large magnitudes so the 128-bit path meets long mantissas.
        values[3] = std::ldexp(static_cast<double>(random() | 1), -(4 + static_cast<int>(random() % 60)));
        for (const double value : values) {
            ASSERT_EQ(viaDouble(value, 3), viaLibrary(value, 3)) << std::hexfloat << value;
            ASSERT_EQ(viaDouble(value, 6), viaLibrary(value, 6)) << std::hexfloat << value;
        }
    }
    for (double value = std::numeric_limits<double>::denorm_min(); value < 1e-300; value *= 7.3) {
        EXPECT_EQ(viaDouble(-value, 3), "-0.000");
        EXPECT_EQ(viaDouble(value, 6), "0.000000");
    }
}

// Colour channels are k/256: every channel and its tie cases print as the library does.
TEST(FixedFormat, ColourChannels) {
    for (int k = 0; k < 256; ++k) {
        const double channel = k * 0.00390625;
        EXPECT_EQ(viaDouble(channel, 3), viaLibrary(channel, 3)) << k;
    }
    EXPECT_EQ(viaDouble(255 * 0.00390625, 3), "0.996");
}

// Integers: the extremes and every power of ten and its neighbours.
TEST(FixedFormat, Integers) {
    const auto viaInt = [](std::int32_t value) {
        char text[kMaxIntChars];
        std::string written(text, writeInt(text, value));
        EXPECT_EQ(intLength(value), written.size()) << value;
        return written;
    };
    for (const std::int32_t value : {0, 1, -1, 9, 10, 99, 100, INT_MAX, INT_MIN, INT_MIN + 1}) {
        EXPECT_EQ(viaInt(value), std::to_string(value));
    }
    std::uint64_t power = 1;
    for (int digits = 1; digits <= 19; ++digits, power *= 10) {
        for (const std::uint64_t value : {power - 1, power, power + 1}) {
            char text[20];
            EXPECT_EQ(std::string(text, writeUnsigned(text, value)), std::to_string(value));
            EXPECT_EQ(digitCount(value), static_cast<int>(std::to_string(value).size())) << value;
            if (value <= INT_MAX) {
                EXPECT_EQ(viaInt(static_cast<std::int32_t>(value)), std::to_string(value));
                EXPECT_EQ(viaInt(-static_cast<std::int32_t>(value)), std::to_string(-static_cast<std::int64_t>(value)));
            }
        }
    }
    EXPECT_EQ(digitCount(0), 1);
    EXPECT_EQ(digitCount(UINT64_MAX), 20);
    char text[20];
    EXPECT_EQ(std::string(text, writeUnsigned(text, UINT64_MAX)), std::to_string(UINT64_MAX));
}

}  // namespace
}  // namespace vantro::collada
