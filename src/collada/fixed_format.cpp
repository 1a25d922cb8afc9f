#include "collada/fixed_format.h"

#include <array>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vantro::collada {
namespace {

constexpr std::array<char, 200> makeDigitPairs() {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}
constexpr std::array<char, 200> kDigitPairs = makeDigitPairs();

inline void writePair(char* out, unsigned value) { std::memcpy(out, &kDigitPairs[2 * value], 2); }

inline int digitCount(std::uint64_t value) {
  int count = 1;
  // Numbers in meshes are mostly short, so test small magnitudes first.
  while (value >= 100) {
    value /= 100;
    count += 2;
  }
  return count + (value >= 10 ? 1 : 0);
}

// Writes the scaled value q / 10^decimals as "<integer>.<decimals digits>".
template <int Decimals>
char* writeScaled(char* out, std::uint64_t q) {
  constexpr std::uint64_t kScale = Decimals == 3 ? 1000 : 1000000;
  const std::uint64_t integer = q / kScale;
  auto fraction = static_cast<unsigned>(q - integer * kScale);
  out = writeUnsigned(out, integer);
  *out++ = '.';
  if constexpr (Decimals == 3) {
    writePair(out, fraction / 10);
    out[2] = static_cast<char>('0' + fraction % 10);
    return out + 3;
  } else {
    writePair(out, fraction / 10000);
    writePair(out + 2, (fraction / 100) % 100);
    writePair(out + 4, fraction % 100);
    return out + 6;
  }
}

char* writeBySnprintf(char* out, double value, int decimals) {
  char text[kMaxFixedChars];
  const int length = std::snprintf(text, sizeof text, "%.*f", decimals, value);
  assert(length > 0 && static_cast<std::size_t>(length) < sizeof text);
  std::memcpy(out, text, static_cast<std::size_t>(length));
  return out + length;
}

// A float has 24 significant bits and 10^3 = 2^3 * 125, 10^6 = 2^6 * 15625, so the
// product of a float and the scale needs at most 38 bits and is exact in a double.
// Adding and removing 2^52 then rounds that exact value to an integer in the current
// rounding mode (ties to even by default, as the C library rounds); below the limits
// the scaled value stays under 2^52, where this is exact. No branch depends on the data.
template <int Decimals>
char* writeFloatFixed(char* out, float value) {
  constexpr double kLimit = Decimals == 3 ? kFastLimit3 : kFastLimit6;
  constexpr double kScale = Decimals == 3 ? 1e3 : 1e6;
  constexpr double kRounder = 0x1p52;
  const double x = value;
  const double magnitude = std::fabs(x);
  if (!(magnitude < kLimit)) return writeBySnprintf(out, x, Decimals);
  const double rounded = (magnitude * kScale + kRounder) - kRounder;
  const auto q = static_cast<std::uint64_t>(static_cast<std::int64_t>(rounded));
  *out = '-';
  out += std::signbit(x) ? 1 : 0;
  return writeScaled<Decimals>(out, q);
}

// A double's 53 significant bits times 10^6 need up to 73 bits: the exact product is
// formed in 128-bit integers and shifted by the binary exponent.
template <int Decimals>
char* writeDoubleFixed(char* out, double value) {
  constexpr double kLimit = Decimals == 3 ? kFastLimit3 : kFastLimit6;
  constexpr std::uint64_t kScale = Decimals == 3 ? 1000 : 1000000;
  if (!(std::fabs(value) < kLimit)) return writeBySnprintf(out, value, Decimals);
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
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  }
  // else: the product is below 2^73 and half a unit is at least 2^127: rounds to zero.
  if ((bits >> 63) != 0) *out++ = '-';
  return writeScaled<Decimals>(out, q);
}

}  // namespace

char* writeUnsigned(char* out, std::uint64_t value) {
  const int count = digitCount(value);
  char* end = out + count;
  char* p = end;
  while (value >= 100) {
    p -= 2;
    writePair(p, static_cast<unsigned>(value % 100));
    value /= 100;
  }
  if (value >= 10) {
    writePair(p - 2, static_cast<unsigned>(value));
  } else {
    p[-1] = static_cast<char>('0' + value);
  }
  return end;
}

char* writeInt(char* out, std::int32_t value) {
  auto magnitude = static_cast<std::uint32_t>(value);
  if (value < 0) {
    *out++ = '-';
    magnitude = 0u - magnitude;
  }
  return writeUnsigned(out, magnitude);
}

char* writeFixed(char* out, float value, int decimals) {
  assert(decimals == 3 || decimals == 6);
  return decimals == 3 ? writeFloatFixed<3>(out, value) : writeFloatFixed<6>(out, value);
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
