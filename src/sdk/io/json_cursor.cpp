#include "io/json_cursor.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>
#include <type_traits>

namespace vantro::docio {
namespace {

constexpr const char* kUnpaired = "unpaired surrogate in a \\u escape";
constexpr const char* kHexDigits = "\\u must be followed by four hexadecimal digits";
constexpr const char* kAfterElement = "expected ',' or ']' after an array element";
constexpr const char* kAfterMember = "expected ',' or '}' after an object member";
constexpr const char* kColon = "expected ':' after a member name";
constexpr const char* kAfterDocument = "unexpected text after the end of the document";
constexpr const char* kEndInArray = "unexpected end of text inside an array";
constexpr const char* kEndInObject = "unexpected end of text inside an object";
constexpr const char* kEndExpectingValue = "unexpected end of text, expected a value";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

bool isDelimiter(char c) { return std::string_view(" \t\n\r,:[]{}").find(c) != std::string_view::npos; }

// Length of the well-formed UTF-8 character at s (at most `available` bytes), or 0
// when the bytes there are not one: overlong forms, surrogates and code points beyond
// U+10FFFF are refused, as RFC 3629 says.
size_t utf8Length(const unsigned char* s, size_t available) {
    const unsigned char lead = s[0];
    if (lead < 0x80)
        return 1;
    size_t length = 0;
    uint32_t min = 0;
    uint32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, min = 0x80, cp = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, min = 0x800, cp = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, cp = lead & 0x07u;
    } else {
        return 0;
    }
    if (available < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((s[i] & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (s[i] & 0x3Fu);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | cp >> 6));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | cp >> 12));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | cp >> 18));
        out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool hex4(std::string_view s, size_t at, uint32_t& value) {
    if (s.size() < at + 4)
        return false;
    const auto result = std::from_chars(s.data() + at, s.data() + at + 4, value, 16);
    return result.ec == std::errc() && result.ptr == s.data() + at + 4;
}

// The JSON number grammar at the start of s: its length, whether it is an integer
// (no fraction, no exponent), or what is wrong with it (then length is meaningless).
const char* scanNumber(std::string_view s, bool& integral, size_t& length) {
    size_t i = 0;
    auto digits = [&] {
        const size_t from = i;
        while (i < s.size() && isDigit(s[i]))
            ++i;
        return i > from;
    };
    integral = true;
    if (i < s.size() && s[i] == '-')
        ++i;
    const size_t first = i;
    if (!digits())
        return "expected a digit after '-'";
    if (s[first] == '0' && i - first > 1)
        return "numbers must not have leading zeros";
    if (i < s.size() && s[i] == '.') {
        integral = false;
        ++i;
        if (!digits())
            return "expected a digit after the decimal point";
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        integral = false;
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (!digits())
            return "expected a digit in the exponent";
    }
    length = i;
    return nullptr;
}

// A bare word where true, false or null was expected, for the message.
std::string wordAt(std::string_view text, size_t offset) {
    const std::string_view rest = text.substr(std::min(offset, text.size()));
    size_t end = 0;
    while (end < std::min<size_t>(rest.size(), 20) && !isDelimiter(rest[end]) && rest[end] != '"')
        ++end;
    return std::string(rest.substr(0, end));
}

// A well-formed number's text into T. std::from_chars rounds once, from the decimal
// text, to the nearest value of T. Magnitudes beyond T are out of range; magnitudes
// too small for T read as zero or the nearest subnormal.
enum class Converted { ok, outOfRange, notInteger };

template <typename T>
Converted convertReal(const char* first, const char* last, T& out) {
    const auto result = std::from_chars(first, last, out);
    if (result.ec == std::errc())
        return std::isfinite(out) ? Converted::ok : Converted::outOfRange;
    // Refused for its size: the wider type tells which end of the range it is at.
    long double wide = 0;
    if (std::from_chars(first, last, wide).ec == std::errc()) {
        out = static_cast<T>(wide);
        return std::isfinite(out) ? Converted::ok : Converted::outOfRange;
    }
    const std::string_view text(first, static_cast<size_t>(last - first));
    const size_t exponent = text.find_first_of("eE");
    if (exponent == std::string_view::npos || exponent + 1 >= text.size() || text[exponent + 1] != '-')
        return Converted::outOfRange;
    out = text[0] == '-' ? -T(0) : T(0);
    return Converted::ok;
}

Converted convert(const char* first, const char* last, bool integral, double& out) {
    (void)integral;
    return convertReal(first, last, out);
}

Converted convert(const char* first, const char* last, bool integral, float& out) {
    (void)integral;
    return convertReal(first, last, out);
}

Converted convert(const char* first, const char* last, bool integral, int64_t& out) {
    if (!integral)
        return Converted::notInteger;
    return std::from_chars(first, last, out).ec == std::errc() ? Converted::ok : Converted::outOfRange;
}

Converted convert(const char* first, const char* last, bool integral, int32_t& out) {
    int64_t wide = 0;
    const Converted result = convert(first, last, integral, wide);
    if (result != Converted::ok)
        return result;
    if (wide < INT32_MIN || wide > INT32_MAX)
        return Converted::outOfRange;
    out = static_cast<int32_t>(wide);
    return Converted::ok;
}

const char* skipDigits(const char* p, const char* end) {
    while (p < end && isDigit(*p))
        ++p;
    return p;
}

// The number at p when it is well formed and T takes it as it is: p is moved past it.
// Otherwise false with p where it was, and the careful path names the mistake.
// Integers of up to 18 digits are added up here; everything else goes through
// convert (std::from_chars).
template <typename T>
bool quickNumber(const char*& p, const char* end, T& out) {
    const char* q = p;
    const bool negative = q < end && *q == '-';
    q += negative ? 1 : 0;
    const char* digits = q;
    q = skipDigits(q, end);
    const size_t count = static_cast<size_t>(q - digits);
    if (count == 0 || (*digits == '0' && count > 1))
        return false;
    bool integral = true;
    if (q < end && *q == '.') {
        const char* fraction = q + 1;
        q = skipDigits(fraction, end);
        if (q == fraction)
            return false;
        integral = false;
    }
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char* exponent = q + 1;
        if (exponent < end && (*exponent == '+' || *exponent == '-'))
            ++exponent;
        q = skipDigits(exponent, end);
        if (q == exponent)
            return false;
        integral = false;
    }
    if constexpr (std::is_integral_v<T>) {
        if (!integral || count > 18)
            return false;
        int64_t value = 0;
        for (const char* d = digits; d < digits + count; ++d)
            value = value * 10 + (*d - '0');
        value = negative ? -value : value;
        if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
            return false;
        out = static_cast<T>(value);
    } else {
        if (convert(p, q, integral, out) != Converted::ok)
            return false;
    }
    p = q;
    return true;
}

JsonCursor::Kind kindAt(std::string_view text, size_t at) {
    if (at >= text.size())
        return JsonCursor::Kind::invalid;
    const char c = text[at];
    switch (c) {
        case '{': return JsonCursor::Kind::object;
        case '[': return JsonCursor::Kind::array;
        case '"': return JsonCursor::Kind::string;
        case 't':
        case 'f': return JsonCursor::Kind::boolean;
        case 'n': return JsonCursor::Kind::null;
        default: break;
    }
    return c == '-' || isDigit(c) ? JsonCursor::Kind::number : JsonCursor::Kind::invalid;
}

}  // namespace

struct JsonNumberWords {
    const char* expected;    // "a double in the array"
    const char* outOfRange;  // "number out of the range of a double"
    const char* fraction;    // for integer reads: "expected an integer"
};

namespace {

template <typename T>
constexpr JsonNumberWords kArrayWords{"a double in the array", "number out of the range of a double", nullptr};
template <>
constexpr JsonNumberWords kArrayWords<float>{"a float in the array", "number out of the range of a float", nullptr};
template <>
constexpr JsonNumberWords kArrayWords<int32_t>{"a 32-bit integer in the array",
                                               "number out of the range of a 32-bit integer",
                                               "expected a 32-bit integer in the array"};
constexpr JsonNumberWords kDoubleWords{"a number", "number out of the range of a double", nullptr};
constexpr JsonNumberWords kInt64Words{"a number", "integer out of range", "expected an integer"};

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

// The reading position and the containers open around it. Nothing else is kept of
// the text: values are converted where they stand, one at a time.
struct JsonCursor::Parse {
    struct Frame {
        bool isArray = true;
        bool first = true;  // its first element or member is still to come
    };
    size_t pos = 0;             // the first byte not yet read
    bool topLevelRead = false;  // the text's one value has been read whole
    std::vector<Frame> frames;
    // Numbers of the array being read, before the caller stores them.
    std::tuple<std::vector<double>, std::vector<float>, std::vector<int32_t>> numbers;
};

JsonCursor::JsonCursor(std::string_view text) : text_(text), parse_(std::make_unique<Parse>()) {}

JsonCursor::~JsonCursor() = default;

bool JsonCursor::failAt(size_t offset, std::string what) {
    if (failed_)
        return false;
    failed_ = true;
    error_ = std::move(what);
    errorOffset_ = std::min(offset, text_.size());
    valueStart_ = errorOffset_;
    return false;
}

bool JsonCursor::fail(std::string what) { return failAt(valueStart_, std::move(what)); }

// Something else than `what` needed stands at the reading position (or the text ends
// there: endWhat): a byte that starts no UTF-8 character is named as such.
bool JsonCursor::failAtEnd(const char* endWhat, std::string what) {
    const size_t at = parse_->pos;
    if (at >= text_.size())
        return failAt(text_.size(), endWhat);
    const auto* byte = reinterpret_cast<const unsigned char*>(text_.data() + at);
    if (*byte >= 0x80 && utf8Length(byte, text_.size() - at) == 0)
        return failAt(at, "invalid UTF-8");
    return failAt(at, std::move(what));
}

void JsonCursor::lineAndColumn(size_t offset, size_t& line, size_t& column) const {
    offset = std::min(offset, text_.size());
    const auto begin = text_.begin();
    line = 1 + static_cast<size_t>(std::count(begin, begin + static_cast<ptrdiff_t>(offset), '\n'));
    const size_t lineStart = text_.rfind('\n', offset == 0 ? 0 : offset - 1);
    column = offset + 1 - (lineStart == std::string_view::npos || offset == 0 ? 0 : lineStart + 1);
}

void JsonCursor::skipSpace() {
    size_t& pos = parse_->pos;
    while (pos < text_.size() && isSpace(text_[pos]))
        ++pos;
}

JsonCursor::Kind JsonCursor::peek() {
    if (failed_ || (parse_->topLevelRead && parse_->frames.empty()))
        return Kind::invalid;
    skipSpace();
    valueStart_ = parse_->pos;
    return kindAt(text_, parse_->pos);
}

// Positions at the value the caller reads next; fails when there is none.
bool JsonCursor::startValue() {
    if (failed_)
        return false;
    Parse& p = *parse_;
    skipSpace();
    valueStart_ = p.pos;
    if (p.topLevelRead && p.frames.empty())
        return failAtEnd(kEndExpectingValue, kAfterDocument);
    if (p.pos >= text_.size())
        return failAt(p.pos, p.frames.empty()          ? kEndExpectingValue
                             : p.frames.back().isArray ? kEndInArray
                                                       : kEndInObject);
    return true;
}

void JsonCursor::consumed(size_t end) {
    parse_->pos = end;
    if (parse_->frames.empty())
        parse_->topLevelRead = true;
}

bool JsonCursor::wrongKind(const char* expected) {
    const Kind kind = kindAt(text_, valueStart_);
    if (kind == Kind::invalid)
        return failAtEnd(kEndExpectingValue, std::string("expected ") + expected + ", found no value");
    return failAt(valueStart_, std::string("expected ") + expected + ", found " + jsonKindName(kind));
}

bool JsonCursor::beginContainer(Kind kind) {
    if (!startValue())
        return false;
    Parse& p = *parse_;
    if (kindAt(text_, p.pos) != kind)
        return wrongKind(jsonKindName(kind));
    if (p.frames.size() >= kMaxDepth)
        return fail("arrays and objects nested too deeply");
    p.frames.push_back({kind == Kind::array, true});
    ++p.pos;
    return true;
}

bool JsonCursor::beginObject() { return beginContainer(Kind::object); }
bool JsonCursor::beginArray() { return beginContainer(Kind::array); }

// The container's closing bracket is at the reading position.
bool JsonCursor::closed() {
    Parse& p = *parse_;
    valueStart_ = p.pos;
    p.frames.pop_back();
    consumed(p.pos + 1);
    return false;
}

// Before an element or member: the separator after the previous one, or the closing
// bracket. True when an element or member follows.
bool JsonCursor::separated(bool isArray) {
    Parse& p = *parse_;
    Parse::Frame& f = p.frames.back();
    const char close = isArray ? ']' : '}';
    const bool wasFirst = f.first;
    f.first = false;
    skipSpace();
    if (p.pos < text_.size() && text_[p.pos] == close)
        return closed();
    if (wasFirst)
        return true;
    if (p.pos < text_.size() && text_[p.pos] == ',') {
        ++p.pos;
        return true;
    }
    return failAtEnd(isArray ? kEndInArray : kEndInObject, isArray ? kAfterElement : kAfterMember);
}

bool JsonCursor::nextElement() {
    Parse& p = *parse_;
    if (failed_ || p.frames.empty() || !p.frames.back().isArray)
        return false;
    return separated(true);
}

bool JsonCursor::nextMember(std::string& name) {
    Parse& p = *parse_;
    if (failed_ || p.frames.empty() || p.frames.back().isArray)
        return false;
    const bool wasFirst = p.frames.back().first;
    if (!separated(false))
        return false;
    skipSpace();
    valueStart_ = p.pos;
    if (p.pos >= text_.size() || text_[p.pos] != '"') {
        return failAtEnd(kEndInObject,
                         wasFirst ? "expected a member name (a string) or '}'" : "expected a member name (a string)");
    }
    name.clear();
    size_t end = 0;
    if (!scanString(p.pos, &name, end))
        return false;
    p.pos = end;
    skipSpace();
    if (p.pos >= text_.size() || text_[p.pos] != ':')
        return failAtEnd(kEndInObject, kColon);
    ++p.pos;
    skipSpace();
    valueStart_ = p.pos;
    return true;
}

// The string whose opening quote is at `at`: checked, unescaped into out (when not
// null), end set past its closing quote.
bool JsonCursor::scanString(size_t at, std::string* out, size_t& end) {
    const std::string_view t = text_;
    size_t i = at + 1;
    size_t runStart = i;
    auto flush = [&](size_t upTo) {
        if (out)
            out->append(t.data() + runStart, upTo - runStart);
    };
    while (i < t.size()) {
        const auto c = static_cast<unsigned char>(t[i]);
        if (c == '"') {
            flush(i);
            end = i + 1;
            return true;
        }
        if (c < 0x20)
            return failAt(i, "control character inside a string (write it as an escape)");
        if (c >= 0x80) {
            const size_t length = utf8Length(reinterpret_cast<const unsigned char*>(t.data() + i), t.size() - i);
            if (length == 0)
                return failAt(i, "invalid UTF-8 in a string");
            i += length;
            continue;
        }
        if (c != '\\') {
            ++i;
            continue;
        }
        flush(i);
        if (i + 1 >= t.size())
            break;
        const char e = t[i + 1];
        const char* simple = std::strchr("\"\\/bfnrt", e);
        if (e != '\0' && simple) {
            if (out)
                out->push_back("\"\\/\b\f\n\r\t"[simple - "\"\\/bfnrt"]);
            i += 2;
            runStart = i;
            continue;
        }
        if (e != 'u')
            return failAt(i, "invalid escape sequence in a string");
        uint32_t cp = 0;
        if (!hex4(t, i + 2, cp))
            return failAt(i, kHexDigits);
        size_t length = 6;
        if (cp >= 0xDC00 && cp <= 0xDFFF)
            return failAt(i, kUnpaired);
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            uint32_t low = 0;
            if (t.size() < i + 8 || t[i + 6] != '\\' || t[i + 7] != 'u')
                return failAt(i, kUnpaired);
            if (!hex4(t, i + 8, low))
                return failAt(i + 6, kHexDigits);
            if (low < 0xDC00 || low > 0xDFFF)
                return failAt(i, kUnpaired);
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            length = 12;
        }
        if (out)
            appendUtf8(*out, cp);
        i += length;
        runStart = i;
    }
    return failAt(at, "unterminated string");
}

bool JsonCursor::readString(std::string& out) {
    if (!startValue())
        return false;
    if (kindAt(text_, valueStart_) != Kind::string)
        return wrongKind("a string");
    out.clear();
    size_t end = 0;
    if (!scanString(valueStart_, &out, end))
        return false;
    consumed(end);
    return true;
}

// A number of type T at the reading position, which is then moved past it; a value
// of another kind, or a number T cannot take, is refused in the given words.
template <typename T>
bool JsonCursor::readNumberAt(T& out, const JsonNumberWords& words, bool inArray) {
    const size_t at = parse_->pos;
    const Kind kind = kindAt(text_, at);
    if (kind != Kind::number) {
        if (at >= text_.size())
            return failAt(at, inArray ? kEndInArray : kEndExpectingValue);
        const bool danglingComma = inArray && text_[at] == ']';
        if (kind == Kind::invalid && !danglingComma)
            return failAtEnd(kEndExpectingValue, std::string("expected ") + words.expected + ", found no value");
        return failAt(at, std::string("expected ") + words.expected + ", found " +
                              (danglingComma ? "']' after ','" : jsonKindName(kind)));
    }
    bool integral = false;
    size_t length = 0;
    if (const char* mistake = scanNumber(text_.substr(at), integral, length))
        return failAt(at, mistake);
    const char* first = text_.data() + at;
    switch (convert(first, first + length, integral, out)) {
        case Converted::ok: break;
        case Converted::notInteger: return failAt(at, words.fraction);
        case Converted::outOfRange: return failAt(at, words.outOfRange);
    }
    parse_->pos = at + length;
    return true;
}

bool JsonCursor::readDouble(double& out) {
    if (!startValue() || !readNumberAt(out, kDoubleWords, false))
        return false;
    consumed(parse_->pos);
    return true;
}

bool JsonCursor::readInt64(int64_t& out) {
    if (!startValue() || !readNumberAt(out, kInt64Words, false))
        return false;
    consumed(parse_->pos);
    return true;
}

// The literal word at the reading position, when it is there whole.
bool JsonCursor::literalHere(std::string_view word) const {
    const size_t at = parse_->pos;
    if (text_.compare(at, word.size(), word) != 0)
        return false;
    const size_t end = at + word.size();
    return end == text_.size() || isDelimiter(text_[end]) || text_[end] == '"';
}

bool JsonCursor::readBool(bool& out) {
    if (!startValue())
        return false;
    if (kindAt(text_, valueStart_) != Kind::boolean)
        return wrongKind("true or false");
    if (literalHere("true"))
        out = true;
    else if (literalHere("false"))
        out = false;
    else
        return fail("expected true or false, found \"" + wordAt(text_, valueStart_) + "\"");
    consumed(valueStart_ + (out ? 4 : 5));
    return true;
}

bool JsonCursor::readNull() {
    if (!startValue())
        return false;
    if (kindAt(text_, valueStart_) != Kind::null)
        return wrongKind("null");
    if (!literalHere("null"))
        return fail("expected null, found \"" + wordAt(text_, valueStart_) + "\"");
    consumed(valueStart_ + 4);
    return true;
}

bool JsonCursor::skipScalar() {
    switch (peek()) {
        case Kind::string: {
            size_t end = 0;
            if (!startValue() || !scanString(valueStart_, nullptr, end))
                return false;
            consumed(end);
            return true;
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
    if (!startValue())
        return false;
    return failAtEnd(kEndExpectingValue, "expected a value");
}

bool JsonCursor::skipValue() {
    if (!startValue())
        return false;
    // Iterative, so hostile nesting cannot exhaust the stack.
    const size_t base = parse_->frames.size();
    std::string name;
    do {
        if (parse_->frames.size() > base) {
            const bool more = parse_->frames.back().isArray ? nextElement() : nextMember(name);
            if (failed_)
                return false;
            if (!more)
                continue;
        }
        const Kind k = peek();
        if (k == Kind::object) {
            if (!beginObject())
                return false;
        } else if (k == Kind::array) {
            if (!beginArray())
                return false;
        } else if (!skipScalar()) {
            return false;
        }
    } while (parse_->frames.size() > base);
    return !failed_;
}

template <typename T>
bool JsonCursor::readNumberArray(const T*& numbers, size_t& count) {
    std::vector<T>& into = std::get<std::vector<T>>(parse_->numbers);
    into.clear();
    numbers = into.data();
    count = 0;
    if (!beginArray())
        return false;
    const size_t arrayStart = valueStart_;
    const char* const begin = text_.data();
    const char* const end = begin + text_.size();
    size_t& pos = parse_->pos;
    // The common case in a tight loop: a number, blanks, a comma, blanks. Anything
    // else (the end of the array, a mistake) is left to the careful path below.
    Parse::Frame& frame = parse_->frames.back();
    bool commaRead = false;  // and the element after it not yet
    for (;;) {
        const char* p = begin + pos;
        while (p < end && isSpace(*p))
            ++p;
        T number{};
        if (!quickNumber(p, end, number))
            break;
        into.push_back(number);
        frame.first = false;
        commaRead = false;
        while (p < end && isSpace(*p))
            ++p;
        pos = static_cast<size_t>(p - begin);
        if (p == end || *p != ',')
            break;
        pos = static_cast<size_t>(p + 1 - begin);
        commaRead = true;
    }
    if (commaRead) {
        skipSpace();
        T number{};
        if (!readNumberAt(number, kArrayWords<T>, true))
            return false;
        into.push_back(number);
    }
    while (nextElement()) {
        skipSpace();
        T number{};
        if (!readNumberAt(number, kArrayWords<T>, true))
            return false;
        into.push_back(number);
    }
    if (failed_)
        return false;
    valueStart_ = arrayStart;  // later messages about the whole array point at its start
    numbers = into.data();
    count = into.size();
    return true;
}

bool JsonCursor::readNumbersInto(const double*& numbers, size_t& count) { return readNumberArray(numbers, count); }
bool JsonCursor::readNumbersInto(const float*& numbers, size_t& count) { return readNumberArray(numbers, count); }
bool JsonCursor::readNumbersInto(const int32_t*& numbers, size_t& count) { return readNumberArray(numbers, count); }

template <typename T>
static bool appendNumbers(JsonCursor& cursor, std::vector<T>& out) {
    return cursor.readNumbers<T>([&](size_t n) { out.reserve(out.size() + n); }, [&](T v) { out.push_back(v); });
}

bool JsonCursor::readDoubleArray(std::vector<double>& out) { return appendNumbers(*this, out); }
bool JsonCursor::readFloatArray(std::vector<float>& out) { return appendNumbers(*this, out); }
bool JsonCursor::readInt32Array(std::vector<int32_t>& out) { return appendNumbers(*this, out); }

bool JsonCursor::finish() {
    if (failed_)
        return false;
    Parse& p = *parse_;
    skipSpace();
    if (!p.frames.empty())
        return failAtEnd("unexpected end of text", kAfterDocument);
    if (p.pos < text_.size())
        return failAtEnd(kEndExpectingValue, kAfterDocument);
    return true;
}

}  // namespace vantro::docio
