#include "sdk/io/json_cursor.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <climits>
#include <cstring>

namespace vantro::docio {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Number of ',' in [first, last), eight bytes at a time: a byte of x ^ ",,,,,,,," is
// zero exactly where the text has a comma, and the expression below sets the top bit
// of each zero byte only.
size_t countCommas(const char* first, const char* last) {
    constexpr uint64_t kCommas = 0x2C2C2C2C2C2C2C2Cull;
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    size_t count = 0;
    for (; last - first >= 8; first += 8) {
        uint64_t word = 0;
        std::memcpy(&word, first, 8);
        const uint64_t x = word ^ kCommas;
        count += static_cast<size_t>(std::popcount(~(((x & kLow7) + kLow7) | x | kLow7)));
    }
    return count + static_cast<size_t>(std::count(first, last, ','));
}

}  // namespace

const char* jsonKindName(JsonCursor::Kind kind) {
    switch (kind) {
        case JsonCursor::Kind::object: return "an object";
        case JsonCursor::Kind::array: return "an array";
        case JsonCursor::Kind::string: return "a string";
        case JsonCursor::Kind::number: return "a number";
        case JsonCursor::Kind::boolean: return "true or false";
        case JsonCursor::Kind::null: return "null";
        case JsonCursor::Kind::invalid: break;
    }
    return "no value";
}

void JsonCursor::skipWhitespace() {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c != ' ' && c != '\n' && c != '\r' && c != '\t') break;
        ++pos_;
    }
}

bool JsonCursor::fail(std::string what) {
    if (!failed_) {
        failed_ = true;
        error_ = std::move(what);
        errorOffset_ = std::min(valueStart_, text_.size());
    }
    return false;
}

void JsonCursor::lineAndColumn(size_t offset, size_t& line, size_t& column) const {
    offset = std::min(offset, text_.size());
    const auto begin = text_.begin();
    line = 1 + static_cast<size_t>(std::count(begin, begin + static_cast<ptrdiff_t>(offset), '\n'));
    const size_t lineStart = text_.rfind('\n', offset == 0 ? 0 : offset - 1);
    column = offset + 1 - (lineStart == std::string_view::npos || offset == 0 ? 0 : lineStart + 1);
}

JsonCursor::Kind JsonCursor::peek() {
    if (failed_) return Kind::invalid;
    skipWhitespace();
    valueStart_ = pos_;
    if (atEnd()) return Kind::invalid;
    switch (text_[pos_]) {
        case '{': return Kind::object;
        case '[': return Kind::array;
        case '"': return Kind::string;
        case 't':
        case 'f': return Kind::boolean;
        case 'n': return Kind::null;
        default: break;
    }
    const char c = text_[pos_];
    return c == '-' || isDigit(c) ? Kind::number : Kind::invalid;
}

// Positions at the next value; fails at the end of the text.
bool JsonCursor::expectValueStart() {
    if (failed_) return false;
    skipWhitespace();
    valueStart_ = pos_;
    if (atEnd()) return fail("unexpected end of text, expected a value");
    return true;
}

bool JsonCursor::beginObject() {
    if (!expectValueStart()) return false;
    if (text_[pos_] != '{') return fail(std::string("expected an object, found ") + jsonKindName(peek()));
    if (open_.size() >= kMaxDepth) return fail("arrays and objects nested too deeply");
    ++pos_;
    open_.push_back({'}', true});
    return true;
}

bool JsonCursor::beginArray() {
    if (!expectValueStart()) return false;
    if (text_[pos_] != '[') return fail(std::string("expected an array, found ") + jsonKindName(peek()));
    if (open_.size() >= kMaxDepth) return fail("arrays and objects nested too deeply");
    ++pos_;
    open_.push_back({']', true});
    return true;
}

// After an element or member: consumes ',' (more = true) or the closing bracket.
bool JsonCursor::closeOrComma(char close, bool& more) {
    more = false;
    if (failed_) return false;
    skipWhitespace();
    valueStart_ = pos_;
    const bool first = open_.back().first;
    if (!atEnd() && text_[pos_] == close) {
        ++pos_;
        open_.pop_back();
        return true;
    }
    if (!first) {
        if (atEnd() || text_[pos_] != ',') {
            return fail(close == ']' ? "expected ',' or ']' after an array element"
                                     : "expected ',' or '}' after an object member");
        }
        ++pos_;
        skipWhitespace();
        valueStart_ = pos_;
    }
    open_.back().first = false;
    more = true;
    return true;
}

bool JsonCursor::nextMember(std::string& name) {
    if (failed_ || open_.empty() || open_.back().close != '}') return false;
    const bool first = open_.back().first;
    bool more = false;
    if (!closeOrComma('}', more) || !more) return false;
    if (atEnd() || text_[pos_] != '"') {
        return fail(first ? "expected a member name (a string) or '}'" : "expected a member name (a string)");
    }
    name.clear();
    ++pos_;
    if (!readStringBody(name)) return false;
    skipWhitespace();
    if (atEnd() || text_[pos_] != ':') {
        valueStart_ = pos_;
        return fail("expected ':' after a member name");
    }
    ++pos_;
    return true;
}

bool JsonCursor::nextElement() {
    if (failed_ || open_.empty() || open_.back().close != ']') return false;
    bool more = false;
    return closeOrComma(']', more) && more;
}

bool JsonCursor::readString(std::string& out) {
    if (!expectValueStart()) return false;
    if (text_[pos_] != '"') return fail(std::string("expected a string, found ") + jsonKindName(peek()));
    out.clear();
    ++pos_;
    return readStringBody(out);
}

// After the opening quote; reads up to and including the closing quote.
bool JsonCursor::readStringBody(std::string& out) {
    while (true) {
        // Copy the plain run in one step: most strings have no escapes.
        size_t run = pos_;
        while (run < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[run]);
            if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80) break;
            ++run;
        }
        out.append(text_.data() + pos_, run - pos_);
        pos_ = run;
        if (atEnd()) {
            valueStart_ = pos_;
            return fail("unterminated string");
        }
        const auto c = static_cast<unsigned char>(text_[pos_]);
        if (c == '"') {
            ++pos_;
            return true;
        }
        if (c < 0x20) {
            valueStart_ = pos_;
            return fail("control character inside a string (write it as an escape)");
        }
        if (c == '\\') {
            if (!readEscape(out)) return false;
        } else if (!readUtf8(out)) {
            return false;
        }
    }
}

bool JsonCursor::readEscape(std::string& out) {
    valueStart_ = pos_;
    if (pos_ + 1 >= text_.size()) return fail("unterminated string");
    const char e = text_[pos_ + 1];
    pos_ += 2;
    switch (e) {
        case '"': out.push_back('"'); return true;
        case '\\': out.push_back('\\'); return true;
        case '/': out.push_back('/'); return true;
        case 'b': out.push_back('\b'); return true;
        case 'f': out.push_back('\f'); return true;
        case 'n': out.push_back('\n'); return true;
        case 'r': out.push_back('\r'); return true;
        case 't': out.push_back('\t'); return true;
        case 'u': break;
        default: return fail("invalid escape sequence in a string");
    }
    auto hex4 = [&](uint32_t& v) {
        if (text_.size() - pos_ < 4) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) {
            const int h = hexValue(text_[pos_ + i]);
            if (h < 0) return false;
            v = (v << 4) | static_cast<uint32_t>(h);
        }
        pos_ += 4;
        return true;
    };
    uint32_t cp = 0;
    if (!hex4(cp)) return fail("\\u must be followed by four hexadecimal digits");
    if (cp >= 0xDC00 && cp <= 0xDFFF) return fail("unpaired surrogate in a \\u escape");
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        uint32_t low = 0;
        if (text_.substr(pos_, 2) != "\\u") return fail("unpaired surrogate in a \\u escape");
        pos_ += 2;
        if (!hex4(low)) return fail("\\u must be followed by four hexadecimal digits");
        if (low < 0xDC00 || low > 0xDFFF) return fail("unpaired surrogate in a \\u escape");
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(out, cp);
    return true;
}

// One multi-byte UTF-8 sequence, checked (no overlong forms, surrogates or values
// beyond U+10FFFF) and copied.
bool JsonCursor::readUtf8(std::string& out) {
    valueStart_ = pos_;
    const auto lead = static_cast<unsigned char>(text_[pos_]);
    size_t length = 0;
    uint32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
    } else {
        return fail("invalid UTF-8 in a string");
    }
    if (text_.size() - pos_ < length) return fail("invalid UTF-8 in a string");
    for (size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text_[pos_ + i]);
        if ((b & 0xC0) != 0x80) return fail("invalid UTF-8 in a string");
        cp = (cp << 6) | (b & 0x3F);
    }
    const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return fail("invalid UTF-8 in a string");
    out.append(text_.data() + pos_, length);
    pos_ += length;
    return true;
}

// Checks the JSON number grammar at pos_ (std::from_chars alone would also take
// "01", "1." or "inf") and finds its end.
bool JsonCursor::scanNumberToken(size_t& end, bool& integral) {
    size_t p = pos_;
    const size_t n = text_.size();
    integral = true;
    if (p < n && text_[p] == '-') ++p;
    if (p > pos_ && (p >= n || !isDigit(text_[p]))) return fail("expected a digit after '-'");
    if (p >= n || !isDigit(text_[p])) return fail(std::string("expected a number, found ") + jsonKindName(peek()));
    if (text_[p] == '0') {
        ++p;
        if (p < n && isDigit(text_[p])) return fail("numbers must not have leading zeros");
    } else {
        while (p < n && isDigit(text_[p])) ++p;
    }
    if (p < n && text_[p] == '.') {
        integral = false;
        ++p;
        if (p >= n || !isDigit(text_[p])) return fail("expected a digit after the decimal point");
        while (p < n && isDigit(text_[p])) ++p;
    }
    if (p < n && (text_[p] == 'e' || text_[p] == 'E')) {
        integral = false;
        ++p;
        if (p < n && (text_[p] == '+' || text_[p] == '-')) ++p;
        if (p >= n || !isDigit(text_[p])) return fail("expected a digit in the exponent");
        while (p < n && isDigit(text_[p])) ++p;
    }
    end = p;
    return true;
}

bool JsonCursor::readDouble(double& out) {
    if (!expectValueStart()) return false;
    size_t end = 0;
    bool integral = false;
    if (!scanNumberToken(end, integral)) return false;
    const auto r = std::from_chars(text_.data() + pos_, text_.data() + end, out);
    if (r.ec != std::errc() || !std::isfinite(out)) return fail("number out of the range of a double");
    pos_ = end;
    return true;
}

bool JsonCursor::readInt64(int64_t& out) {
    if (!expectValueStart()) return false;
    size_t end = 0;
    bool integral = false;
    if (!scanNumberToken(end, integral)) return false;
    if (!integral) return fail("expected an integer");
    const auto r = std::from_chars(text_.data() + pos_, text_.data() + end, out);
    if (r.ec != std::errc()) return fail("integer out of range");
    pos_ = end;
    return true;
}

bool JsonCursor::readBool(bool& out) {
    if (!expectValueStart()) return false;
    if (text_.substr(pos_, 4) == "true") {
        out = true;
        pos_ += 4;
        return true;
    }
    if (text_.substr(pos_, 5) == "false") {
        out = false;
        pos_ += 5;
        return true;
    }
    return fail(std::string("expected true or false, found ") + jsonKindName(peek()));
}

bool JsonCursor::readNull() {
    if (!expectValueStart()) return false;
    if (text_.substr(pos_, 4) != "null") return fail("expected null");
    pos_ += 4;
    return true;
}

bool JsonCursor::skipScalar() {
    switch (peek()) {
        case Kind::string: {
            std::string ignored;
            return readString(ignored);
        }
        case Kind::number: {
            double ignored = 0;
            return readDouble(ignored);
        }
        case Kind::boolean: {
            bool ignored = false;
            return readBool(ignored);
        }
        case Kind::null: return readNull();
        default: break;
    }
    if (atEnd()) return fail("unexpected end of text, expected a value");
    return fail("expected a value");
}

bool JsonCursor::skipValue() {
    if (!expectValueStart()) return false;
    // Iterative, so hostile nesting cannot exhaust the stack.
    const size_t base = open_.size();
    std::string name;
    do {
        if (open_.size() > base) {
            const bool more = open_.back().close == ']' ? nextElement() : nextMember(name);
            if (failed_) return false;
            if (!more) continue;
        }
        const Kind k = peek();
        if (k == Kind::object) {
            if (!beginObject()) return false;
        } else if (k == Kind::array) {
            if (!beginArray()) return false;
        } else if (!skipScalar()) {
            return false;
        }
    } while (open_.size() > base);
    return !failed_;
}

// Consumes '[' and counts the elements: numbers never contain ']', so the array ends
// at the next one and its commas give the count before anything is stored.
bool JsonCursor::openNumberArray(size_t& count, bool& more) {
    count = 0;
    more = false;
    if (!beginArray()) return false;
    open_.pop_back();  // readArrayNumber / afterArrayNumber track the commas themselves
    skipWhitespace();
    if (!atEnd() && text_[pos_] == ']') {
        ++pos_;
        return true;
    }
    const size_t close = text_.find(']', pos_);
    if (close != std::string_view::npos) count = 1 + countCommas(text_.data() + pos_, text_.data() + close);
    more = true;
    return true;
}

template <typename T>
bool JsonCursor::parseArrayNumber(T& value, bool integral, const char* what) {
    if (failed_) return false;
    skipWhitespace();
    valueStart_ = pos_;
    if (atEnd()) return fail("unexpected end of text inside an array");
    if (text_[pos_] != '-' && !isDigit(text_[pos_])) {
        return fail(std::string("expected ") + what + " in the array, found " +
                    (text_[pos_] == ']' ? "']' after ','" : jsonKindName(peek())));
    }
    size_t end = 0;
    bool isIntegral = false;
    if (!scanNumberToken(end, isIntegral)) return false;
    if (integral && !isIntegral) return fail(std::string("expected ") + what + " in the array");
    const auto r = std::from_chars(text_.data() + pos_, text_.data() + end, value);
    if (r.ec != std::errc()) return fail(std::string("number out of the range of ") + what);
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return fail(std::string("number out of the range of ") + what);
    }
    pos_ = end;
    return true;
}

bool JsonCursor::readArrayNumber(double& value) { return parseArrayNumber(value, false, "a double"); }
bool JsonCursor::readArrayNumber(float& value) { return parseArrayNumber(value, false, "a float"); }
// Integers are the face indices of meshes, the bulk of most documents: digits are
// read and checked in one pass instead of the grammar scan plus std::from_chars.
bool JsonCursor::readArrayNumber(int32_t& value) {
    if (failed_) return false;
    skipWhitespace();
    size_t p = pos_;
    const size_t n = text_.size();
    const bool negative = p < n && text_[p] == '-';
    if (negative) ++p;
    const size_t digits = p;
    int64_t v = 0;
    while (p < n && isDigit(text_[p]) && p - digits < 11) v = v * 10 + (text_[p++] - '0');
    const bool plain = p > digits && (p == digits + 1 || text_[digits] != '0') &&
                       (p >= n || (!isDigit(text_[p]) && text_[p] != '.' && text_[p] != 'e' && text_[p] != 'E'));
    if (negative) v = -v;
    if (!plain || v < INT32_MIN || v > INT32_MAX) {
        // Anything unusual takes the general path, which names the problem.
        return parseArrayNumber(value, true, "a 32-bit integer");
    }
    value = static_cast<int32_t>(v);
    pos_ = p;
    return true;
}

bool JsonCursor::afterArrayNumber(bool& more) {
    skipWhitespace();
    valueStart_ = pos_;
    if (atEnd()) return fail("unexpected end of text inside an array");
    if (text_[pos_] == ']') {
        ++pos_;
        more = false;
        return true;
    }
    if (text_[pos_] != ',') return fail("expected ',' or ']' after an array element");
    ++pos_;
    more = true;
    return true;
}

template <typename T>
static bool readInto(JsonCursor& cursor, std::vector<T>& out) {
    return cursor.readNumbers<T>([&](size_t n) { out.reserve(out.size() + n); },
                                 [&](T v) { out.push_back(v); });
}

bool JsonCursor::readDoubleArray(std::vector<double>& out) { return readInto(*this, out); }
bool JsonCursor::readFloatArray(std::vector<float>& out) { return readInto(*this, out); }
bool JsonCursor::readInt32Array(std::vector<int32_t>& out) { return readInto(*this, out); }

bool JsonCursor::finish() {
    if (failed_) return false;
    skipWhitespace();
    valueStart_ = pos_;
    if (!atEnd()) return fail("unexpected text after the end of the document");
    return true;
}

}  // namespace vantro::docio
