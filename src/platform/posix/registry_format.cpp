#include "posix/registry_format.h"

#include "posix/case_mapping.h"
#include "platform/utf.h"

#include <set>

namespace vantro::platform::posix {
namespace {

constexpr char kHeader[] = "; vantro registry values, format 1";
constexpr char kHexDigits[] = "0123456789abcdef";

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendHex4(std::string& out, char16_t unit) {
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(kHexDigits[(unit >> shift) & 0xF]);
}

// Appends text that may hold unpaired surrogates: valid parts as UTF-8, each lone
// surrogate through escapeLone (so that every UTF-16 string survives the trip).
template <typename EscapeLone>
void appendUtf16(std::string& out, std::u16string_view text, EscapeLone escapeLone) {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        bool paired = isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1]);
        if (paired) {
            ++i;
            continue;
        }
        if (isHighSurrogate(text[i]) || isLowSurrogate(text[i])) {
            out += toUtf8(text.substr(start, i - start));
            escapeLone(text[i]);
            start = i + 1;
        }
    }
    out += toUtf8(text.substr(start));
}

// A quoted string: \\ \" \n \r \t, \uXXXX for other control characters and
// unpaired surrogates, everything else as UTF-8.
std::string quote(std::u16string_view text) {
    std::string out = "\"";
    std::u16string pending;
    auto flush = [&] {
        appendUtf16(out, pending, [&](char16_t unit) {
            out += "\\u";
            appendHex4(out, unit);
        });
        pending.clear();
    };
    for (char16_t unit : text) {
        const char* escape = unit == u'\\'   ? "\\\\"
                             : unit == u'"'  ? "\\\""
                             : unit == u'\n' ? "\\n"
                             : unit == u'\r' ? "\\r"
                             : unit == u'\t' ? "\\t"
                                             : nullptr;
        if (!escape && unit >= 0x20 && unit != 0x7F) {
            pending.push_back(unit);
            continue;
        }
        flush();
        if (escape) {
            out += escape;
        } else {
            out += "\\u";
            appendHex4(out, unit);
        }
    }
    flush();
    out.push_back('"');
    return out;
}

bool isValidUtf8(std::string_view text) { return toUtf8(fromUtf8(text)) == text; }

// Reads a quoted string at text[pos] (the opening quote); pos ends after the closing
// quote. nullopt on any malformation.
std::optional<std::u16string> unquote(std::string_view text, size_t& pos) {
    if (pos >= text.size() || text[pos] != '"')
        return std::nullopt;
    std::u16string out;
    std::string run;  // literal UTF-8 bytes not yet converted
    auto flush = [&]() -> bool {
        if (!isValidUtf8(run))
            return false;
        out += fromUtf8(run);
        run.clear();
        return true;
    };
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            if (!flush())
                return std::nullopt;
            return out;
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return std::nullopt;  // control characters are always escaped
        if (c != '\\') {
            run.push_back(c);
            continue;
        }
        if (!flush() || ++pos >= text.size())
            return std::nullopt;
        switch (text[pos]) {
            case '\\': out.push_back(u'\\'); break;
            case '"': out.push_back(u'"'); break;
            case 'n': out.push_back(u'\n'); break;
            case 'r': out.push_back(u'\r'); break;
            case 't': out.push_back(u'\t'); break;
            case 'u': {
                if (pos + 4 >= text.size())
                    return std::nullopt;
                char16_t unit = 0;
                for (int k = 1; k <= 4; ++k) {
                    int digit = hexValue(text[pos + k]);
                    if (digit < 0)
                        return std::nullopt;
                    unit = static_cast<char16_t>(unit << 4 | digit);
                }
                out.push_back(unit);
                pos += 4;
                break;
            }
            default: return std::nullopt;
        }
    }
    return std::nullopt;  // no closing quote
}

std::optional<std::vector<uint8_t>> parseHexBytes(std::string_view text) {
    std::vector<uint8_t> bytes;
    if (text.empty())
        return bytes;
    for (size_t pos = 0;; pos += 3) {
        if (pos + 2 > text.size())
            return std::nullopt;
        int high = hexValue(text[pos]), low = hexValue(text[pos + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
        if (pos + 2 == text.size())
            return bytes;
        if (text[pos + 2] != ',')
            return std::nullopt;
    }
}

std::string formatHexBytes(const std::vector<uint8_t>& bytes) {
    std::string out;
    out.reserve(bytes.size() * 3);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            out.push_back(',');
        out.push_back(kHexDigits[bytes[i] >> 4]);
        out.push_back(kHexDigits[bytes[i] & 0xF]);
    }
    return out;
}

// REG_SZ data that reads as text: whole UTF-16 units ending in one terminator.
bool isTextData(const std::vector<uint8_t>& data) {
    return data.size() >= 2 && data.size() % 2 == 0 && data[data.size() - 1] == 0 && data[data.size() - 2] == 0;
}

std::u16string textOfData(const std::vector<uint8_t>& data) {
    std::u16string text;
    for (size_t i = 0; i + 2 < data.size(); i += 2)
        text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    return text;
}

std::vector<uint8_t> dataOfText(std::u16string_view text) {
    std::vector<uint8_t> data;
    data.reserve(text.size() * 2 + 2);
    for (char16_t unit : text) {
        data.push_back(static_cast<uint8_t>(unit & 0xFF));
        data.push_back(static_cast<uint8_t>(unit >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    return data;
}

std::string formatData(const RegValue& value) {
    const std::vector<uint8_t>& data = value.data;
    uint32_t type = static_cast<uint32_t>(value.type);
    if (value.type == RegType::dword && data.size() == 4) {
        uint32_t number = data[0] | data[1] << 8 | data[2] << 16 | uint32_t(data[3]) << 24;
        std::string out = "dword:";
        for (int shift = 28; shift >= 0; shift -= 4)
            out.push_back(kHexDigits[(number >> shift) & 0xF]);
        return out;
    }
    if (value.type == RegType::sz && isTextData(data))
        return "sz:" + quote(textOfData(data));
    if (value.type == RegType::binary)
        return "hex:" + formatHexBytes(data);
    return "hex(" + std::to_string(type) + "):" + formatHexBytes(data);
}

std::optional<RegValue> parseLine(std::string_view line) {
    RegValue value;
    size_t pos = 0;
    std::optional<std::u16string> name = unquote(line, pos);
    if (!name || name->size() > 16383 || pos >= line.size() || line[pos] != '=')
        return std::nullopt;
    value.name = std::move(*name);
    std::string_view data = line.substr(pos + 1);
    if (data.substr(0, 6) == "dword:") {
        std::string_view digits = data.substr(6);
        if (digits.size() != 8)
            return std::nullopt;
        uint32_t number = 0;
        for (char c : digits) {
            int digit = hexValue(c);
            if (digit < 0)
                return std::nullopt;
            number = number << 4 | static_cast<uint32_t>(digit);
        }
        value.type = RegType::dword;
        value.data = {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16), uint8_t(number >> 24)};
        return value;
    }
    if (data.substr(0, 3) == "sz:") {
        size_t textPos = 3;
        std::optional<std::u16string> text = unquote(data, textPos);
        if (!text || textPos != data.size())
            return std::nullopt;
        value.type = RegType::sz;
        value.data = dataOfText(*text);
        return value;
    }
    uint64_t type = uint32_t(RegType::binary);
    if (data.substr(0, 4) == "hex(") {
        size_t close = data.find(')');
        std::string_view digits = data.substr(4, close == std::string_view::npos ? 0 : close - 4);
        if (digits.empty() || digits.size() > 10)
            return std::nullopt;
        type = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return std::nullopt;
            type = type * 10 + static_cast<uint64_t>(c - '0');
        }
        if (type > UINT32_MAX)
            return std::nullopt;
        data.remove_prefix(close + 1);
    } else if (data.substr(0, 3) == "hex") {
        data.remove_prefix(3);
    } else {
        return std::nullopt;
    }
    if (data.empty() || data[0] != ':')
        return std::nullopt;
    std::optional<std::vector<uint8_t>> bytes = parseHexBytes(data.substr(1));
    if (!bytes)
        return std::nullopt;
    value.type = static_cast<RegType>(type);
    value.data = std::move(*bytes);
    return value;
}

}  // namespace

std::optional<std::vector<RegValue>> parseValues(std::string_view text) {
    std::vector<RegValue> values;
    std::set<std::u16string> folded;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);  // tolerate files saved by an editor with CRLF
        if (line.empty() || line[0] == ';')
            continue;
        std::optional<RegValue> value = parseLine(line);
        if (!value || !folded.insert(upperCase(value->name)).second)
            return std::nullopt;
        values.push_back(std::move(*value));
    }
    return values;
}

std::string formatValues(const std::vector<RegValue>& values) {
    std::string text = kHeader;
    text.push_back('\n');
    for (const RegValue& value : values)
        text += quote(value.name) + "=" + formatData(value) + "\n";
    return text;
}

std::string encodeKeyName(std::u16string_view name) {
    std::string out;
    std::u16string pending;
    auto escapeByte = [&](unsigned value) {
        out.push_back('%');
        out.push_back("0123456789ABCDEF"[value >> 4]);
        out.push_back("0123456789ABCDEF"[value & 0xF]);
    };
    auto flush = [&] {
        appendUtf16(out, pending, [&](char16_t unit) {
            out += "%u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out.push_back("0123456789ABCDEF"[(unit >> shift) & 0xF]);
        });
        pending.clear();
    };
    for (size_t i = 0; i < name.size(); ++i) {
        char16_t unit = name[i];
        if (unit == u'%' || unit == u'/' || unit < 0x20 || unit == 0x7F || (i == 0 && unit == u'.')) {
            flush();
            escapeByte(unit);
        } else {
            pending.push_back(unit);
        }
    }
    flush();
    return out;
}

std::optional<std::u16string> decodeKeyName(std::string_view fileName) {
    std::u16string out;
    std::string run;
    for (size_t i = 0; i < fileName.size(); ++i) {
        if (fileName[i] != '%') {
            run.push_back(fileName[i]);
            continue;
        }
        if (!isValidUtf8(run))
            return std::nullopt;
        out += fromUtf8(run);
        run.clear();
        bool wide = i + 1 < fileName.size() && fileName[i + 1] == 'u';
        size_t digits = wide ? 4 : 2;
        size_t first = i + (wide ? 2 : 1);
        if (first + digits > fileName.size())
            return std::nullopt;
        unsigned value = 0;
        for (size_t k = 0; k < digits; ++k) {
            int digit = hexValue(fileName[first + k]);
            if (digit < 0)
                return std::nullopt;
            value = value << 4 | static_cast<unsigned>(digit);
        }
        out.push_back(static_cast<char16_t>(value));
        i = first + digits - 1;
    }
    if (!isValidUtf8(run))
        return std::nullopt;
    out += fromUtf8(run);
    // Only the canonical spelling names a key; anything else was not made here.
    if (out.empty() || out.find(u'\\') != std::u16string::npos || encodeKeyName(out) != fileName)
        return std::nullopt;
    return out;
}

}  // namespace vantro::platform::posix
