#pragma once
// The text hashdata_compare.exe prints (tests/windows/hashdata_compare.cpp) and the
// golden file keeps: a header line, then per name "<units> <hash>" — four upper-case
// hex digits per UTF-16 unit ("-" for none), a blank, the 64-bit hash in decimal. The
// text comes from another process or a file, so every line is checked and bounded.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::test {

inline constexpr std::string_view kHashDataHeader = "# units hashdata8";
inline constexpr size_t kHashDataMaxCases = 100000;
inline constexpr size_t kHashDataMaxUnits = 4096;

struct HashDataCase {
    std::u16string name;
    uint64_t hash = 0;
    bool operator==(const HashDataCase&) const = default;
};

namespace hashdata_detail {

inline int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline std::optional<std::u16string> parseUnits(std::string_view hex) {
    std::u16string units;
    if (hex == "-")
        return units;
    if (hex.empty() || hex.size() % 4 != 0 || hex.size() / 4 > kHashDataMaxUnits)
        return std::nullopt;
    for (size_t i = 0; i < hex.size(); i += 4) {
        unsigned unit = 0;
        for (size_t k = i; k < i + 4; ++k) {
            const int digit = hexDigit(hex[k]);
            if (digit < 0)
                return std::nullopt;
            unit = unit << 4 | static_cast<unsigned>(digit);
        }
        units += static_cast<char16_t>(unit);
    }
    return units;
}

inline std::optional<uint64_t> parseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0'))
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace hashdata_detail

// The cases of text, in order; nullopt with error set to the first line at fault.
// Line ends may be LF or CRLF; the last line may lack its end.
inline std::optional<std::vector<HashDataCase>> parseHashDataLines(std::string_view text, std::string& error) {
    std::vector<HashDataCase> cases;
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ++lineNumber;
        if (lineNumber == 1) {
            if (line != kHashDataHeader) {
                error = "line 1 is not the header \"" + std::string(kHashDataHeader) + "\"";
                return std::nullopt;
            }
            continue;
        }
        const size_t blank = line.find(' ');
        std::optional<std::u16string> units;
        std::optional<uint64_t> hash;
        if (blank != std::string_view::npos) {
            units = hashdata_detail::parseUnits(line.substr(0, blank));
            hash = hashdata_detail::parseDecimal(line.substr(blank + 1));
        }
        if (!units || !hash || cases.size() >= kHashDataMaxCases) {
            error = "line " + std::to_string(lineNumber) + " is not \"<units> <hash>\" within the limits";
            return std::nullopt;
        }
        cases.push_back({std::move(*units), *hash});
    }
    if (lineNumber == 0) {
        error = "no header line";
        return std::nullopt;
    }
    return cases;
}

// The text parseHashDataLines reads back as cases.
inline std::string formatHashDataLines(const std::vector<HashDataCase>& cases) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = std::string(kHashDataHeader) + "\n";
    for (const HashDataCase& c : cases) {
        if (c.name.empty())
            text += '-';
        for (char16_t unit : c.name)
            for (int shift = 12; shift >= 0; shift -= 4)
                text += kHex[(unit >> shift) & 0xF];
        text += ' ' + std::to_string(c.hash) + '\n';
    }
    return text;
}

}  // namespace vantro::test
