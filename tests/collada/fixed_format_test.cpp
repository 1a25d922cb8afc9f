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
#include <algorithm>
#include <limits>
#include <mutex>
#include <random>
#include <string>
#include <vector>

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

// Whether the float path, and the double path where it serves, give the library's text.
::testing::AssertionResult likeLibrary(float value, int decimals) {
    const std::string expected = viaLibrary(value, decimals);
    const std::string asFloat = viaFloat(value, decimals);
    const std::string asDouble = decimals == 3 || decimals == 6 ? viaDouble(value, decimals) : expected;
    if (asFloat == expected && asDouble == expected)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hexfloat << value << " at " << decimals << " decimals: float "
                                         << asFloat << ", double " << asDouble << ", snprintf " << expected;
}

// Every float with |x| <= 1000 (or a strided sample of them) formats as snprintf does,
// at every precision the export offers, most densely at the two the document uses.
TEST(FixedFormat, FloatsUpTo1000MatchSnprintf) {
    const std::uint32_t last = std::bit_cast<std::uint32_t>(1000.0f);
    for (int decimals = 0; decimals <= kMaxFloatDecimals; ++decimals) {
        const std::uint32_t stride = exhaustive() ? 1 : decimals == 3 || decimals == 6 ? 997 : 9973;
        EXPECT_EQ(compareFloatRange(last, stride, decimals), 0u) << decimals;
    }
}

// At every precision: exact ties (odd multiples of 2^-(n+1) for n decimals) round to
// even like the library and their neighbouring floats away from the tie; and where the
// integer part gains a digit by rounding (9.9995 -> "10.000") or the power itself is
// reached, the text and its measured length follow, every float a few steps around.
TEST(FixedFormat, TiesAndDigitBoundaries) {
    for (int decimals = 0; decimals <= kMaxFloatDecimals; ++decimals) {
        const int denominator = 2 << decimals;
        for (int j = -1000 * denominator - 1; j <= 1000 * denominator + 1; j += 2) {
            const float tie = static_cast<float>(j) / static_cast<float>(denominator);
            for (const float value : {tie, std::nextafter(tie, -INFINITY), std::nextafter(tie, INFINITY)})
                ASSERT_TRUE(likeLibrary(value, decimals));
        }
        const double half = 0.5 * std::pow(10.0, -decimals);
        for (double power = 1; power <= std::pow(10.0, std::max(11, 15 - decimals)); power *= 10) {
            for (const double boundary : {power - half, power}) {
                float value = static_cast<float>(boundary);
                for (int step = 0; step < 8; ++step)
                    value = std::nextafter(value, 0.0f);
                for (int step = 0; step < 16; ++step, value = std::nextafter(value, INFINITY)) {
                    ASSERT_TRUE(likeLibrary(value, decimals));
                    ASSERT_TRUE(likeLibrary(-value, decimals));
                }
            }
        }
    }
}

// The sign survives zero; values beyond the tables above (huge, non-finite), the fast
// range's limits, subnormal doubles and colour channels (k/256) come out as the library
// writes them.
TEST(FixedFormat, SpecialValues) {
    EXPECT_EQ(viaFloat(-0.0f, 3), "-0.000");
    EXPECT_EQ(viaFloat(-1e-30f, 3), "-0.000");
    EXPECT_EQ(viaDouble(-4.9e-324, 3), "-0.000");
    EXPECT_EQ(viaFloat(-FLT_MAX, 6).size(), 47u);  // the longest float text
    for (const float value : {1e15f, std::nextafter(1e15f, 0.0f), 3e17f, FLT_MAX, INFINITY, NAN})
        for (const int decimals : {3, 6})
            EXPECT_TRUE(likeLibrary(value, decimals) && likeLibrary(-value, decimals)) << value;
    std::vector<double> doubles = {4503599627370495.5, 9.007199254740993e15};
    for (const double limit : {1e9, 1e12, 1e15})
        doubles.insert(doubles.end(), {limit, std::nextafter(limit, 0.0)});
    for (int k = 0; k < 256; ++k)
        doubles.push_back(k * 0.00390625);
    for (double value = std::numeric_limits<double>::denorm_min(); value < 1e-300; value *= 7.3)
        doubles.push_back(value);
    for (const double value : doubles)
        for (const int decimals : {3, 6}) {
            EXPECT_EQ(viaDouble(value, decimals), viaLibrary(value, decimals)) << value;
            EXPECT_EQ(viaDouble(-value, decimals), viaLibrary(-value, decimals)) << value;
        }
}

// Doubles of every exponent, ordinary magnitudes and ties match.
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
}

// Integers: the extremes and every power of ten and its neighbours.
TEST(FixedFormat, Integers) {
    const auto viaInt = [](std::int32_t value) {
        char text[kMaxIntChars];
        std::string written(text, writeInt(text, value));
        EXPECT_EQ(intLength(value), written.size()) << value;
        return written;
    };
    for (const std::int32_t value : {0, INT_MAX, INT_MIN, INT_MIN + 1})
        EXPECT_EQ(viaInt(value), std::to_string(value));
    std::uint64_t power = 1;
    char text[20];
    for (int digits = 1; digits <= 19; ++digits, power *= 10) {
        for (const std::uint64_t value : {power - 1, power, power + 1, UINT64_MAX}) {
            EXPECT_EQ(std::string(text, writeUnsigned(text, value)), std::to_string(value));
            EXPECT_EQ(digitCount(value), static_cast<int>(std::to_string(value).size())) << value;
            if (value <= INT_MAX) {
                EXPECT_EQ(viaInt(static_cast<std::int32_t>(value)), std::to_string(value));
                EXPECT_EQ(viaInt(-static_cast<std::int32_t>(value)), std::to_string(-static_cast<std::int64_t>(value)));
            }
        }
    }
}

}  // namespace
}  // namespace vantro::collada
