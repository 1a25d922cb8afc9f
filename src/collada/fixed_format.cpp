#include "fixed_format.h"

#include <array>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vantro::collada {
namespace detail {

char* writeBySnprintf(char* out, double value, int decimals) {
    char text[kMaxFixedChars];
    const int length = std::snprintf(text, sizeof text, "%.*f", decimals, value);
    assert(length > 0 && static_cast<std::size_t>(length) < sizeof text);
    std::memcpy(out, text, static_cast<std::size_t>(length));
    return out + length;
}

std::size_t lengthBySnprintf(double value, int decimals) {
    const int length = std::snprintf(nullptr, 0, "%.*f", decimals, value);
    assert(length > 0);
    return static_cast<std::size_t>(length);
}

}  // namespace detail

namespace {

using detail::writeBySnprintf;
using detail::writeScaled;

// A double's 53 significant bits times 10^6 need up to 73 bits: the exact product is
// formed in 128-bit integers and shifted by the binary exponent.
template <int Decimals>
char* writeDoubleFixed(char* out, double value) {
    constexpr double kLimit = Decimals == 3 ? kFastLimit3 : kFastLimit6;
    constexpr std::uint64_t kScale = Decimals == 3 ? 1000 : 1000000;
    if (!(std::fabs(value) < kLimit))
        return writeBySnprintf(out, value, Decimals);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const auto biased = static_cast<int>((bits >> 52) & 0x7ff);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent = -1074;
    if (biased != 0) {
        mantissa |= std::uint64_t{1} << 52;
        exponent = biased - 1075;
    }
    const unsigned __int128 product = static_cast<unsigned __int128>(mantissa) * kScale;
    std::uint64_t q = 0;
    if (exponent >= 0) {
        // Below the limit the shifted product stays under 10^18.
        q = static_cast<std::uint64_t>(product << exponent);
    } else if (exponent > -128) {
        const int shift = -exponent;
        q = static_cast<std::uint64_t>(product >> shift);
        const unsigned __int128 one = 1;
        const unsigned __int128 rest = product & ((one << shift) - 1);
        const unsigned __int128 half = one << (shift - 1);
        if (rest > half || (rest == half && (q & 1) != 0))
            ++q;
    }
    // else: the product is below 2^73 and half a unit is at least 2^127: rounds to zero.
    if ((bits >> 63) != 0)
        *out++ = '-';
    return writeScaled<Decimals>(out, q);
}

}  // namespace

char* writeFixed(char* out, float value, int decimals) {
    assert(decimals >= 0 && decimals <= kMaxFloatDecimals);
    switch (decimals) {
        case 0: return writeFloatFixed<0>(out, value);
        case 1: return writeFloatFixed<1>(out, value);
        case 2: return writeFloatFixed<2>(out, value);
        case 3: return writeFloatFixed<3>(out, value);
        case 4: return writeFloatFixed<4>(out, value);
        case 5: return writeFloatFixed<5>(out, value);
        default: return writeFloatFixed<6>(out, value);
    }
}

std::size_t fixedLength(float value, int decimals) {
    assert(decimals >= 0 && decimals <= kMaxFloatDecimals);
    switch (decimals) {
        case 0: return floatFixedLength<0>(value);
        case 1: return floatFixedLength<1>(value);
        case 2: return floatFixedLength<2>(value);
        case 3: return floatFixedLength<3>(value);
        case 4: return floatFixedLength<4>(value);
        case 5: return floatFixedLength<5>(value);
        default: return floatFixedLength<6>(value);
    }
}

char* writeFixed(char* out, double value, int decimals) {
    assert(decimals == 3 || decimals == 6);
    return decimals == 3 ? writeDoubleFixed<3>(out, value) : writeDoubleFixed<6>(out, value);
}

std::string fixedText(double value, int decimals) {
    char text[kMaxFixedChars];
    return std::string(text, writeFixed(text, value, decimals));
}

std::string fixedText(float value, int decimals) {
    char text[kMaxFloatFixedChars];
    return std::string(text, writeFixed(text, value, decimals));
}

}  // namespace vantro::collada
