#include "caseless_text.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

namespace vantro::materials {

namespace {

bool isWordCharacter(UChar32 c) {
    if (c == 0x200C || c == 0x200D)
        return true;
    if (u_hasBinaryProperty(c, UCHAR_ALPHABETIC))
        return true;
    switch (u_charType(c)) {
        case U_NON_SPACING_MARK:
        case U_COMBINING_SPACING_MARK:
        case U_ENCLOSING_MARK:
        case U_DECIMAL_DIGIT_NUMBER:
        case U_CONNECTOR_PUNCTUATION: return true;
        default: return false;
    }
}

}  // namespace

std::u16string UpperCaseText(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    const int32_t length = int32_t(text.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U16_NEXT(text.data(), i, length, c);
        if (U_IS_SURROGATE(c)) {  // unpaired: keep the unit as it is
            out.push_back(char16_t(c));
            continue;
        }
        UChar32 upper = u_toupper(c);
        if (U_IS_BMP(upper)) {
            out.push_back(char16_t(upper));
        } else {
            out.push_back(char16_t(U16_LEAD(upper)));
            out.push_back(char16_t(U16_TRAIL(upper)));
        }
    }
    return out;
}

bool ContainsIgnoringCase(std::u16string_view haystack, std::u16string_view needle) {
    if (needle.empty())
        return true;
    return UpperCaseText(haystack).find(UpperCaseText(needle)) != std::u16string::npos;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) { return UpperCaseText(a) == UpperCaseText(b); }

std::vector<std::u16string_view> SplitWords(std::u16string_view text) {
    std::vector<std::u16string_view> words;
    const int32_t length = int32_t(text.size());
    int32_t start = -1;
    for (int32_t i = 0; i < length;) {
        const int32_t at = i;
        UChar32 c;
        U16_NEXT(text.data(), i, length, c);
        if (isWordCharacter(c)) {
            if (start < 0)
                start = at;
        } else if (start >= 0) {
            words.push_back(text.substr(size_t(start), size_t(at - start)));
            start = -1;
        }
    }
    if (start >= 0)
        words.push_back(text.substr(size_t(start)));
    return words;
}

}  // namespace vantro::materials
