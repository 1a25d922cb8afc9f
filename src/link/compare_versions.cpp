#include "link/compare_versions.h"

#include <array>
#include <cstdint>
#include <limits>

namespace vantro {
namespace {

bool isSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// One "%d": white space, optional sign, at least one digit. False when no number
// could be read at pos (pos is then left where the reading stopped).
bool readInteger(std::u16string_view text, size_t& pos, int& out) {
    while (pos < text.size() && isSpace(text[pos]))
        ++pos;
    bool negative = false;
    size_t start = pos;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    if (pos >= text.size() || !isDigit(text[pos])) {
        pos = start;
        return false;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int>::max()} + 1;
    for (; pos < text.size() && isDigit(text[pos]); ++pos) {
        if (value < kLimit)
            value = value * 10 + (text[pos] - u'0');
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max())
        value = std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min())
        value = std::numeric_limits<int>::min();
    out = static_cast<int>(value);
    return true;
}

std::array<int, 4> parseVersion(std::u16string_view text) {
    std::array<int, 4> parts{0, 0, 0, 0};
    size_t pos = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != u'.')
                break;
            ++pos;
        }
        if (!readInteger(text, pos, parts[i]))
            break;
    }
    return parts;
}

}  // namespace

int CompareVersions(std::u16string_view a, std::u16string_view b) {
    std::array<int, 4> left = parseVersion(a);
    std::array<int, 4> right = parseVersion(b);
    for (size_t i = 0; i < left.size(); ++i) {
        if (left[i] != right[i])
            return left[i] > right[i] ? 1 : -1;
    }
    return 0;
}

}  // namespace vantro
