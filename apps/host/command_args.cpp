#include "command_args.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "sdk/io/document_format.h"

namespace vantro::host {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isOptionKey(std::string_view key) {
    return !key.empty() &&
           std::all_of(key.begin(), key.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

// Splits "a,b,c" into exactly n parts; false when the count differs.
bool splitCommas(std::string_view text, size_t n, std::vector<std::string_view>& parts) {
    parts.clear();
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return parts.size() == n;
}

std::optional<std::array<double, 3>> parseTriple(std::string_view text, const char* what, std::string& error) {
    std::vector<std::string_view> parts;
    std::array<double, 3> values{};
    std::string partError;
    bool ok = splitCommas(text, 3, parts);
    for (size_t i = 0; ok && i < 3; ++i) {
        const auto v = parseNumber(parts[i], partError);
        ok = v.has_value();
        if (ok)
            values[i] = *v;
    }
    if (!ok) {
        error = std::string("expected ") + what + " x,y,z (three numbers), got " + inQuotes(text);
        return std::nullopt;
    }
    return values;
}

}  // namespace

bool splitWords(std::string_view line, std::vector<Word>& words, std::string& error) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        if (isBlank(line[i])) {
            ++i;
            continue;
        }
        Word word;
        // A word may mix quoted and plain parts (name="Box 1"); it counts as quoted
        // only when it starts with a quote.
        word.quoted = line[i] == '"';
        while (i < line.size() && !isBlank(line[i])) {
            if (line[i] != '"') {
                word.text += line[i++];
                continue;
            }
            const size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) {
                error = "a double quote is not closed";
                return false;
            }
            word.text.append(line.substr(i + 1, close - i - 1));
            i = close + 1;
        }
        words.push_back(std::move(word));
    }
    return true;
}

CommandArgs::CommandArgs(const std::vector<Word>& words) {
    for (const Word& word : words) {
        const size_t eq = word.quoted ? std::string::npos : word.text.find('=');
        if (eq != std::string::npos && isOptionKey(std::string_view(word.text).substr(0, eq))) {
            options_.push_back({word.text.substr(0, eq), word.text.substr(eq + 1)});
        } else {
            positional_.push_back(word.text);
        }
    }
}

const std::string* CommandArgs::option(std::string_view key) const {
    for (auto it = options_.rbegin(); it != options_.rend(); ++it)
        if (sameWord(it->key, key))
            return &it->value;
    return nullptr;
}

bool CommandArgs::onlyOptions(std::span<const std::string_view> allowed, std::string& error) const {
    for (const Option& option : options_) {
        const bool known = std::any_of(allowed.begin(), allowed.end(),
                                       [&](std::string_view key) { return sameWord(key, option.key); });
        if (!known) {
            error = "unknown option " + inQuotes(option.key + "=");
            return false;
        }
    }
    return true;
}

bool sameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

std::string inQuotes(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::optional<double> parseNumber(std::string_view text, std::string& error) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const char* begin = text.data();
    if (!text.empty() && text.front() == '+')
        ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) {
        error = "expected a number, got " + inQuotes(text);
        return std::nullopt;
    }
    return value;
}

std::optional<long long> parseInteger(std::string_view text, long long min, long long max, std::string& error) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max) {
        error = "expected a whole number from " + std::to_string(min) + " to " + std::to_string(max) + ", got " +
                inQuotes(text);
        return std::nullopt;
    }
    return value;
}

std::optional<ON_3dPoint> parsePoint(std::string_view text, std::string& error) {
    const auto v = parseTriple(text, "a point", error);
    if (!v)
        return std::nullopt;
    return ON_3dPoint((*v)[0], (*v)[1], (*v)[2]);
}

std::optional<ON_3dVector> parseVector(std::string_view text, std::string& error) {
    const auto v = parseTriple(text, "a vector", error);
    if (!v)
        return std::nullopt;
    return ON_3dVector((*v)[0], (*v)[1], (*v)[2]);
}

std::optional<ON_Color> parseColor(std::string_view text, std::string& error) {
    std::vector<std::string_view> parts;
    int rgb[3] = {};
    std::string partError;
    bool ok = splitCommas(text, 3, parts);
    for (size_t i = 0; ok && i < 3; ++i) {
        const auto v = parseInteger(parts[i], 0, 255, partError);
        ok = v.has_value();
        if (ok)
            rgb[i] = static_cast<int>(*v);
    }
    if (!ok) {
        error = "expected a colour r,g,b (three whole numbers 0 to 255), got " + inQuotes(text);
        return std::nullopt;
    }
    return ON_Color(rgb[0], rgb[1], rgb[2]);
}

std::optional<bool> parseSwitch(std::string_view text, std::string& error) {
    for (std::string_view on : {"on", "yes", "true", "1"})
        if (sameWord(text, on))
            return true;
    for (std::string_view off : {"off", "no", "false", "0"})
        if (sameWord(text, off))
            return false;
    error = "expected on or off, got " + inQuotes(text);
    return std::nullopt;
}

std::optional<ON::LengthUnitSystem> parseUnits(std::string_view text, std::string& error) {
    for (const auto& word : docio::kUnitWords)
        if (sameWord(word.text, text))
            return word.value;
    error = "expected a unit (" + docio::wordList(docio::kUnitWords) + "), got " + inQuotes(text);
    return std::nullopt;
}

std::optional<size_t> parseChoice(std::string_view text, std::span<const std::string_view> words, std::string& error) {
    size_t index = 0;
    for (std::string_view word : words) {
        if (sameWord(word, text))
            return index;
        ++index;
    }
    std::string list;
    index = 0;
    for (std::string_view word : words) {
        if (index > 0)
            list += index + 1 == words.size() ? " or " : ", ";
        list += word;
        ++index;
    }
    error = "expected " + list + ", got " + inQuotes(text);
    return std::nullopt;
}

}  // namespace vantro::host
