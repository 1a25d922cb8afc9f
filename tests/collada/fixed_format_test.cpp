// The fast fixed-point formatter must give snprintf's text for every input. Set
// VANTRO_EXHAUSTIVE=1 to compare every float up to 1000 in magnitude, not a sample (hours).

#include "collada/fixed_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vantro::collada {
namespace {

std::string viaLibrary(double value, int decimals) {
    char text[400];
    const int length = std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return std::string(text, static_cast<std::size_t>(length));
}

std::string viaDouble(double value, int decimals) {
    char text[kMaxFixedChars + 8];
    return std::string(text, writeFixed(text, value, decimals));
}

// Whether the float path and its measured length, and the double path where it serves,
// give the library's text.
::testing::AssertionResult likeLibrary(float value, int decimals) {
    const std::string expected = viaLibrary(value, decimals);
    char text[kMaxFloatFixedChars + 8];
    const std::string asFloat(text, writeFixed(text, value, decimals));
    const std::string asDouble = decimals == 3 || decimals == 6 ? viaDouble(value, decimals) : expected;
    if (asFloat == expected && asDouble == expected && fixedLength(value, decimals) == expected.size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hexfloat << value << " at " << decimals << " decimals: float "
                                         << asFloat << " (measured " << fixedLength(value, decimals) << "), double "
                                         << asDouble << ", snprintf " << expected;
}

// Every float with |x| <= 1000 (or a strided sample of them) formats as snprintf does,
// at every precision the export offers, most densely at the two the document uses.
TEST(FixedFormat, FloatsUpTo1000MatchSnprintf) {
    const char* flag = std::getenv("VANTRO_EXHAUSTIVE");
    const bool exhaustive = flag != nullptr && std::string(flag) == "1";
    const std::uint32_t last = std::bit_cast<std::uint32_t>(1000.0f);
    for (int decimals = 0; decimals <= kMaxFloatDecimals; ++decimals) {
        const std::uint32_t stride = exhaustive ? 1 : decimals == 3 || decimals == 6 ? 997 : 9973;
        for (std::uint64_t bits = 0; bits <= last; bits += stride) {
            const float value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
            ASSERT_TRUE(likeLibrary(value, decimals));
            ASSERT_TRUE(likeLibrary(-value, decimals));
        }
    }
}

// At every precision, exact ties (odd multiples of 2^-(n+1)) and their neighbours round
// as the library does, and so do floats where rounding or the power itself adds a digit.
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

// Floats beyond the tables above (huge, non-finite) come out as the library writes them,
// and so do colour channels (k/256): the document's other doubles are widened floats.
TEST(FixedFormat, SpecialValuesAndColourChannels) {
    for (const float value : {1e-30f, 1e15f, std::nextafter(1e15f, 0.0f), 3e17f, FLT_MAX, INFINITY, NAN})
        for (const int decimals : {3, 6}) {
            EXPECT_TRUE(likeLibrary(value, decimals));
            EXPECT_TRUE(likeLibrary(-value, decimals));
        }
    for (int k = 0; k < 256; ++k)
        EXPECT_EQ(viaDouble(k * 0.00390625, 3), viaLibrary(k * 0.00390625, 3)) << k;
}

// Counts: every power of ten, its neighbours and the largest. (Indices, through writeInt,
// at every length a mesh's indices have: geometry_text_test.cpp.)
TEST(FixedFormat, UnsignedCounts) {
    char text[20];
    std::uint64_t power = 1;
    for (int digits = 1; digits <= 19; ++digits, power *= 10)
        for (const std::uint64_t value : {power - 1, power, power + 1, UINT64_MAX}) {
            EXPECT_EQ(std::string(text, writeUnsigned(text, value)), std::to_string(value));
            EXPECT_EQ(digitCount(value), static_cast<int>(std::to_string(value).size())) << value;
        }
}

}  // namespace
}  // namespace vantro::collada
