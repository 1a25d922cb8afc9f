#include "collada_escape.h"

#include <locale>
#include <stdexcept>

namespace vantro::collada {
namespace {

// The layout keeps "[" and "]" too, but a URI may carry them only around an IP
// address (the schema's xs:anyURI refuses them elsewhere): they are escaped.
constexpr std::u16string_view kKeptPunctuation = u"!$&'()+,-./:;=@\\_~";
// What an id may not contain for "#id" to resolve as written.
constexpr std::string_view kNotInIds = " #$%&/:;<=>?@[\\]^`{|}~";
constexpr char kHex[] = "0123456789abcdef";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Unicode classification that does not depend on the process locale; when the C.UTF-8
// locale is missing only ASCII letters and digits count.
class AlnumClassifier {
public:
    AlnumClassifier() {
        try {
            locale_ = std::locale("C.UTF-8");
            unicode_ = true;
        } catch (const std::runtime_error&) {
            unicode_ = false;
        }
    }

    bool isAlnum(char16_t unit) const {
        if (unit < 128) {
            return (unit >= u'0' && unit <= u'9') || (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
        }
        if (!unicode_ || (unit >= 0xD800 && unit <= 0xDFFF))
            return false;
        return std::use_facet<std::ctype<wchar_t>>(locale_).is(std::ctype_base::alnum, static_cast<wchar_t>(unit));
    }

private:
    std::locale locale_ = std::locale::classic();
    bool unicode_ = false;
};

const AlnumClassifier& classifier() {
    static const AlnumClassifier instance;
    return instance;
}

void appendEscape(std::string& out, unsigned byte) {
    out += '%';
    out += kHex[(byte >> 4) & 0xF];
    out += kHex[byte & 0xF];
}

void appendUtf8(std::string& out, char16_t unit) {
    if (unit < 0x800) {
        out += static_cast<char>(0xC0 | (unit >> 6));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (unit >> 12));
        out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    }
}

}  // namespace

std::string percentEncodeImagePath(std::u16string_view path) {
    const AlnumClassifier& alnum = classifier();
    std::string out;
    out.reserve(path.size() * 3);
    bool firstSegment = true;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char16_t unit = path[i];
        if (unit == u'/' || unit == u'\\')
            firstSegment = false;
        if (unit == u':' && firstSegment) {
            // A colon before the first separator would make the folder name a URI scheme.
            appendEscape(out, unit);
        } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 &&
                   path[i + 1] <= 0xDFFF) {
            // A character beyond the BMP: the escapes of its four UTF-8 bytes, so that the
            // reference names the file (escaped surrogates would name no file at all).
            const char32_t code = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{path[i + 1]} - 0xDC00);
            appendEscape(out, 0xF0 | (code >> 18));
            appendEscape(out, 0x80 | ((code >> 12) & 0x3F));
            appendEscape(out, 0x80 | ((code >> 6) & 0x3F));
            appendEscape(out, 0x80 | (code & 0x3F));
            ++i;
        } else if (alnum.isAlnum(unit)) {
            if (unit < 128) {
                out += static_cast<char>(unit);
            } else {
                appendUtf8(out, unit);
            }
        } else if (kKeptPunctuation.find(unit) != std::u16string_view::npos) {
            out += static_cast<char>(unit);
        } else if (unit < 0x80) {
            appendEscape(out, unit);
        } else if (unit < 0x800) {
            appendEscape(out, 0xC0 | (unit >> 6));
            appendEscape(out, 0x80 | (unit & 0x3F));
        } else {
            appendEscape(out, 0xE0 | (unit >> 12));
            appendEscape(out, 0x80 | ((unit >> 6) & 0x3F));
            appendEscape(out, 0x80 | (unit & 0x3F));
        }
    }
    return out;
}

std::string escapeXml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '"': out += "&quot;"; break;
            case '&': out += "&amp;"; break;
            case '\'': out += "&apos;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '\t': out += "&#9;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += kReplacement;
                } else if (c == '\xEF' && i + 2 < text.size() && text[i + 1] == '\xBF' &&
                           (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
                    out += kReplacement;  // U+FFFE, U+FFFF
                    i += 2;
                } else {
                    out += c;
                }
                break;
        }
    }
    return out;
}

std::string idText(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || kNotInIds.find(c) != std::string_view::npos)
            c = '_';
    }
    return out;
}

namespace {

bool isAsciiNameChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_';
}

// The second byte of a two-byte sequence after 0xC3 that is a Latin-1 letter
// (U+00C0..U+00FF without U+00D7 and U+00F7).
bool isLatin1LetterTail(unsigned char c) { return c >= 0x80 && c <= 0xBF && c != 0x97 && c != 0xB7; }

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

std::string ncNameText(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 1);
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) {
            out += isAsciiNameChar(c) ? static_cast<char>(c) : '_';
            ++i;
        } else if (c == 0xC3 && i + 1 < name.size() && isLatin1LetterTail(static_cast<unsigned char>(name[i + 1]))) {
            out.append(name.substr(i, 2));
            i += 2;
        } else {
            out += '_';
            for (++i; i < name.size() && isContinuation(static_cast<unsigned char>(name[i]));)
                ++i;
        }
    }
    const auto first = out.empty() ? '\0' : out.front();
    if (out.empty() || (first >= '0' && first <= '9') || first == '-' || first == '.')
        out.insert(out.begin(), '_');
    return out;
}

}  // namespace vantro::collada
