#include "io/json_cursor.h"

#include <simdjson.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <tuple>

namespace vantro::docio {
namespace {

namespace od = simdjson::ondemand;
constexpr size_t npos = std::string_view::npos;

// ---------------------------------------------------------------------------------
// Naming what simdjson refused. simdjson says *that* a number, a string's escapes or
// the text as a whole is wrong (one error code each), not where or why; messages for
// people need both. The helpers below look again at the one token (or, for the text,
// the one place) already refused, only to name the mistake: nothing here decides
// whether text is accepted, and none of it runs while reading valid text.
// ---------------------------------------------------------------------------------

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isDelimiter(char c) { return std::string_view(" \t\n\r,:[]{}").find(c) != npos; }

// The JSON number grammar over a number simdjson refused. nullptr when the text starts
// with a well-formed number of `length` bytes (then the number was refused for its
// size, for a fraction or exponent where an integer was asked for (integral tells), or
// for what follows it).
const char* numberMistake(std::string_view s, bool& integral, size_t& length) {
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

constexpr const char* kUnpaired = "unpaired surrogate in a \\u escape";
constexpr const char* kAfterElement = "expected ',' or ']' after an array element";
constexpr const char* kAfterMember = "expected ',' or '}' after an object member";
constexpr const char* kColon = "expected ':' after a member name";
constexpr const char* kAfterDocument = "unexpected text after the end of the document";

// The first bad escape of a string simdjson refused; s starts after its opening quote.
// Returns the escape's offset in s and what is wrong, or npos.
std::pair<size_t, const char*> escapeMistake(std::string_view s) {
    auto hex4 = [&](size_t at, uint32_t& v) {
        if (s.size() < at + 4)
            return false;
        const auto r = std::from_chars(s.data() + at, s.data() + at + 4, v, 16);
        return r.ec == std::errc() && r.ptr == s.data() + at + 4;
    };
    auto isEscapeU = [&](size_t at) { return s.size() > at + 1 && s[at] == '\\' && s[at + 1] == 'u'; };
    for (size_t i = 0; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] != '\\')
            continue;
        if (i + 1 == s.size())
            break;  // cut off, not wrong
        if (s[i + 1] != '\0' && std::strchr("\"\\/bfnrt", s[i + 1])) {
            ++i;
            continue;
        }
        if (!isEscapeU(i))
            return {i, "invalid escape sequence in a string"};
        uint32_t cp = 0;
        if (!hex4(i + 2, cp))
            return {i, "\\u must be followed by four hexadecimal digits"};
        if (cp >= 0xDC00 && cp <= 0xDFFF)
            return {i, kUnpaired};
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            uint32_t low = 0;
            if (!isEscapeU(i + 6))
                return {i, kUnpaired};
            if (!hex4(i + 8, low))
                return {i + 6, "\\u must be followed by four hexadecimal digits"};
            if (low < 0xDC00 || low > 0xDFFF)
                return {i, kUnpaired};
            i += 6;
        }
        i += 5;
    }
    return {npos, nullptr};
}

// A bare word where true, false or null was expected, for the message.
std::string wordAt(std::string_view text, size_t offset) {
    const std::string_view rest = text.substr(std::min(offset, text.size()));
    size_t end = 0;
    while (end < std::min<size_t>(rest.size(), 20) && !isDelimiter(rest[end]) && rest[end] != '"')
        ++end;
    return std::string(rest.substr(0, end));
}

// simdjson::validate_utf8 says only whether a text is valid. A prefix is valid exactly
// when it ends on a character boundary no later than the first bad sequence; every 4
// bytes hold a boundary, so "a prefix ending in (n-4, n] is valid" holds for n up to 3
// past that sequence's start and for no n beyond, and halving finds it. Each check
// validates only what lies past the longest prefix already known to be valid.
size_t firstInvalidUtf8(std::string_view t) {
    size_t valid = 0;  // length of the longest prefix known to be valid
    auto validTo = [&](size_t n) {
        if (n < valid || (n > valid && !simdjson::validate_utf8(t.data() + valid, n - valid)))
            return false;
        valid = n;
        return true;
    };
    auto nearValid = [&](size_t n) {
        for (size_t k = 0; k < 4 && k <= n; ++k) {
            if (validTo(n - k))
                return true;
        }
        return false;
    };
    size_t lo = 0;
    size_t hi = t.size() + 1;
    while (hi - lo > 1) {
        const size_t mid = lo + (hi - lo) / 2;
        (nearValid(mid) ? lo : hi) = mid;
    }
    return valid;
}

// Strings as simdjson's first pass sees them (a backslash takes the next byte with it,
// inside strings or not): the string open at `limit`, and the first control character
// inside a string before it.
struct StringWalk {
    size_t open = npos;
    size_t control = npos;
    size_t controlString = npos;
};

StringWalk walkStrings(std::string_view t, size_t limit) {
    StringWalk w;
    for (size_t i = 0; i < limit; ++i) {
        const auto c = static_cast<unsigned char>(t[i]);
        if (c == '\\') {
            if (i + 1 < limit && static_cast<unsigned char>(t[i + 1]) >= 0x20)
                ++i;
        } else if (c == '"') {
            w.open = w.open == npos ? i : npos;
        } else if (c < 0x20 && w.open != npos && w.control == npos) {
            w.control = i;
            w.controlString = w.open;
        }
    }
    return w;
}

// What simdjson's first pass refused a text for, where (at), and where to cut the text
// so that all before the cut passes: the start of the string holding the problem.
struct TextProblem {
    size_t at = npos;
    size_t cut = npos;
    const char* what = nullptr;
};

TextProblem findTextProblem(std::string_view t) {
    TextProblem found;
    if (!simdjson::validate_utf8(t.data(), t.size())) {
        const size_t bad = firstInvalidUtf8(t);
        const size_t string = walkStrings(t, bad).open;
        found = string == npos ? TextProblem{bad, bad, "invalid UTF-8"}
                               : TextProblem{bad, string, "invalid UTF-8 in a string"};
    }
    const StringWalk all = walkStrings(t, t.size());
    if (all.control < found.at) {
        found = {all.control, all.controlString, "control character inside a string (write it as an escape)"};
    }
    if (!found.what && all.open != npos)
        found = {all.open, all.open, "unterminated string"};
    return found;
}

// ---------------------------------------------------------------------------------
// Numbers into their destination types.
// ---------------------------------------------------------------------------------

// Smallest magnitude that rounds to infinity as a float: FLT_MAX plus half its ulp.
constexpr double kFloatOverflow = 0x1.ffffffp+127;

// Decimal -> double -> float rounds differently from decimal -> float only when the
// double lands exactly halfway between two floats (the low 29 of its 52 fraction bits
// are 1000...), or below float's normal range; those few numbers are converted again
// from their text.
bool needsDirectFloat(double d) {
    const uint64_t bits = std::bit_cast<uint64_t>(d);
    return (bits & 0x1FFFFFFFu) == 0x10000000u || (std::fabs(d) < FLT_MIN && d != 0);
}

bool toNumber(od::value& v, double& out) { return v.get_double().get(out) == simdjson::SUCCESS && std::isfinite(out); }

bool toNumber(od::value& v, float& out) {
    double d = 0;
    if (v.get_double().get(d) != simdjson::SUCCESS || !(std::fabs(d) < kFloatOverflow))
        return false;
    if (needsDirectFloat(d)) {
        const std::string_view raw = v.raw_json_token();
        return std::from_chars(raw.data(), raw.data() + raw.size(), out).ec == std::errc();
    }
    out = static_cast<float>(d);
    return true;
}

bool toNumber(od::value& v, int32_t& out) {
    int64_t i = 0;
    if (v.get_int64().get(i) != simdjson::SUCCESS || i < INT32_MIN || i > INT32_MAX)
        return false;
    out = static_cast<int32_t>(i);
    return true;
}

JsonCursor::Kind kindOf(od::value& v) {
    od::json_type type{};
    if (v.type().get(type) != simdjson::SUCCESS)
        return JsonCursor::Kind::invalid;
    switch (type) {
        case od::json_type::array: return JsonCursor::Kind::array;
        case od::json_type::object: return JsonCursor::Kind::object;
        case od::json_type::number: return JsonCursor::Kind::number;
        case od::json_type::string: return JsonCursor::Kind::string;
        case od::json_type::boolean: return JsonCursor::Kind::boolean;
        case od::json_type::null: return JsonCursor::Kind::null;
    }
    return JsonCursor::Kind::invalid;
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

// simdjson reads "[" + text + "]": the caller's top-level value is then an element like
// any other (simdjson treats a scalar document specially), and simdjson sees where the
// text ends. That closing bracket is ours: a container of the text that it closes ends
// at the end of the text, which is a failure.
struct JsonCursor::Parse {
    struct Frame {
        bool isArray = true;
        bool first = true;   // its first element or member is still to come
        size_t firstAt = 0;  // where that is (the closing bracket if it is empty)
        od::array_iterator element, elementEnd;
        od::object_iterator member, memberEnd;
    };

    simdjson::padded_string buffer;
    size_t capacity = 0;
    size_t length = 0;  // of the text simdjson reads: all, or what lies before a problem
    od::parser parser;
    od::document document;
    std::vector<Frame> frames;  // frames[0] is our outer array
    od::value next;             // the value the caller reads next
    bool hasNext = false;
    size_t nextAt = 0;  // where it is, or where one was expected
    // A problem of the first pass beyond `length`: reported when reading gets there.
    bool deferred = false;
    size_t deferredAt = 0;
    std::string deferredWhat;
    // Numbers of the array being read, before the caller stores them.
    std::tuple<std::vector<double>, std::vector<float>, std::vector<int32_t>> numbers;

    explicit Parse(std::string_view text)
        : buffer(text.size() + 2), capacity(text.size() + 2 + simdjson::SIMDJSON_PADDING) {
        if (!buffer.data())
            return;
        buffer.data()[0] = '[';
        std::memcpy(buffer.data() + 1, text.data(), text.size());
        endAt(text.size());
    }

    // Ends simdjson's input after `n` bytes of the text.
    void endAt(size_t n) {
        length = n;
        buffer.data()[n + 1] = ']';
        std::memset(buffer.data() + n + 2, 0, simdjson::SIMDJSON_PADDING);
    }

    size_t offsetOf(const char* p) const { return static_cast<size_t>(p - buffer.data()) - 1; }

    // Offset of the next token; past the end (length + 1) once our bracket is read.
    size_t here() {
        const char* at = nullptr;
        if (document.current_location().get(at) != simdjson::SUCCESS)
            return length + 1;
        return offsetOf(at);
    }

    // Where the token after a value's own starts (the value's first token for a container).
    size_t after(od::value& v) {
        const std::string_view raw = v.raw_json_token();
        return offsetOf(raw.data() + raw.size());
    }

    simdjson::error_code start() {
        if (!buffer.data())
            return simdjson::MEMALLOC;
        const simdjson::padded_string_view view(buffer.data(), length + 2, capacity);
        if (auto error = parser.iterate(view).get(document))
            return error;
        std::string_view first;
        od::array outer;
        if (auto error = document.raw_json_token().get(first))
            return error;
        if (auto error = document.get_array().get(outer))
            return error;
        nextAt = offsetOf(first.data() + first.size());
        Frame frame;
        frame.first = false;
        if (auto error = outer.begin().get(frame.element))
            return error;
        if (auto error = outer.end().get(frame.elementEnd))
            return error;
        if (frame.element != frame.elementEnd) {
            if (auto error = (*frame.element).get(next))
                return error;
            hasNext = true;
            frames.push_back(frame);
        }
        return simdjson::SUCCESS;
    }

    JsonCursor::Kind kindOfNext() { return hasNext ? kindOf(next) : JsonCursor::Kind::invalid; }
};

JsonCursor::JsonCursor(std::string_view text) : text_(text), parse_(std::make_unique<Parse>(text)) {
    Parse& p = *parse_;
    simdjson::error_code error = p.start();
    if (error == simdjson::UTF8_ERROR || error == simdjson::UNESCAPED_CHARS || error == simdjson::UNCLOSED_STRING) {
        TextProblem problem = findTextProblem(text);
        if (problem.what) {
            // A bad escape in the same string, up to the problem, comes first.
            const size_t stringEnd = problem.at == problem.cut ? text.size() : problem.at + 1;
            if (problem.cut < stringEnd && text[problem.cut] == '"') {
                const auto [offset, what] = escapeMistake(text.substr(problem.cut + 1, stringEnd - problem.cut - 1));
                if (what) {
                    problem.at = problem.cut + 1 + offset;
                    problem.what = what;
                }
            }
            // Read what comes before, so that the failure is met, and named, in context.
            p.endAt(problem.cut);
            p.deferred = true;
            p.deferredAt = problem.at;
            p.deferredWhat = problem.what;
            if (p.start() != simdjson::SUCCESS)
                failAt(problem.at, problem.what);
            return;
        }
    }
    if (error)
        failAt(0, std::string("cannot read the text: ") + simdjson::error_message(error));
}

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

// The text as read ends where more was needed: endWhat says so. When it was cut before
// a problem of the first pass, the cut is where that problem's string (or byte) starts:
// out of place where only a separator could come (separatorWhat), else the problem
// inside it is the first one.
bool JsonCursor::failAtEnd(const char* endWhat, const char* separatorWhat) {
    const Parse& p = *parse_;
    if (!p.deferred)
        return failAt(p.length, endWhat ? endWhat : "unexpected end of text");
    if (separatorWhat && text_[p.length] == '"')
        return failAt(p.length, separatorWhat);
    return failAt(p.deferredAt, p.deferredWhat);
}

void JsonCursor::lineAndColumn(size_t offset, size_t& line, size_t& column) const {
    offset = std::min(offset, text_.size());
    const auto begin = text_.begin();
    line = 1 + static_cast<size_t>(std::count(begin, begin + static_cast<ptrdiff_t>(offset), '\n'));
    const size_t lineStart = text_.rfind('\n', offset == 0 ? 0 : offset - 1);
    column = offset + 1 - (lineStart == std::string_view::npos || offset == 0 ? 0 : lineStart + 1);
}

JsonCursor::Kind JsonCursor::peek() {
    if (failed_)
        return Kind::invalid;
    valueStart_ = parse_->nextAt;
    return parse_->kindOfNext();
}

// Positions at the value the caller reads next; fails when there is none.
bool JsonCursor::startValue() {
    if (failed_)
        return false;
    Parse& p = *parse_;
    valueStart_ = p.nextAt;
    if (p.hasNext)
        return true;
    if (p.nextAt >= p.length)
        return failAtEnd("unexpected end of text, expected a value", nullptr);
    return failAt(p.nextAt, "expected a value");
}

void JsonCursor::consumed() {
    parse_->hasNext = false;
    parse_->nextAt = parse_->here();
}

bool JsonCursor::wrongKind(const char* expected) {
    const Kind kind = parse_->kindOfNext();
    if (kind == Kind::invalid && valueStart_ >= parse_->length) {
        return failAtEnd("unexpected end of text, expected a value", nullptr);
    }
    return failAt(valueStart_, std::string("expected ") + expected + ", found " + jsonKindName(kind));
}

bool JsonCursor::beginContainer(Kind kind) {
    if (!startValue())
        return false;
    Parse& p = *parse_;
    const bool isArray = kind == Kind::array;
    if (p.kindOfNext() != kind)
        return wrongKind(jsonKindName(kind));
    if (p.frames.size() > kMaxDepth)
        return fail("arrays and objects nested too deeply");
    Parse::Frame frame;
    frame.isArray = isArray;
    frame.firstAt = p.after(p.next);
    simdjson::error_code error = simdjson::SUCCESS;
    if (isArray) {
        od::array array;
        if (!(error = p.next.get_array().get(array)))
            error = array.begin().get(frame.element);
        if (!error)
            error = array.end().get(frame.elementEnd);
    } else {
        od::object object;
        if (!(error = p.next.get_object().get(object)))
            error = object.begin().get(frame.member);
        if (!error)
            error = object.end().get(frame.memberEnd);
    }
    if (error)
        return fail(simdjson::error_message(error));
    p.hasNext = false;
    p.frames.push_back(frame);
    return true;
}

bool JsonCursor::beginObject() { return beginContainer(Kind::object); }
bool JsonCursor::beginArray() { return beginContainer(Kind::array); }

// After a container's end was read: it must be the text's own bracket, not ours.
// separatorWhat: what had to come there, or nullptr while the container was empty.
bool JsonCursor::closed(size_t at, bool isArray, const char* separatorWhat) {
    Parse& p = *parse_;
    if (p.here() > p.length) {
        return failAtEnd(isArray ? "unexpected end of text inside an array" : "unexpected end of text inside an object",
                         separatorWhat);
    }
    p.frames.pop_back();
    valueStart_ = at;
    p.nextAt = p.here();
    return false;
}

bool JsonCursor::nextElement() {
    Parse& p = *parse_;
    if (failed_ || p.frames.size() < 2 || !p.frames.back().isArray)
        return false;
    Parse::Frame& f = p.frames.back();
    const bool wasFirst = f.first;
    const size_t separator = wasFirst ? f.firstAt : p.here();
    if (!wasFirst)
        ++f.element;
    f.first = false;
    if (!(f.element != f.elementEnd))
        return closed(separator, true, wasFirst ? nullptr : kAfterElement);
    if ((*f.element).get(p.next)) {
        if (separator >= p.length)
            return failAtEnd("unexpected end of text inside an array", kAfterElement);
        return failAt(separator, kAfterElement);
    }
    p.hasNext = true;
    p.nextAt = p.here();
    return true;
}

bool JsonCursor::nextMember(std::string& name) {
    Parse& p = *parse_;
    if (failed_ || p.frames.size() < 2 || p.frames.back().isArray)
        return false;
    Parse::Frame& f = p.frames.back();
    const bool wasFirst = f.first;
    const size_t separator = wasFirst ? f.firstAt : p.here();
    if (!wasFirst)
        ++f.member;
    f.first = false;
    if (!(f.member != f.memberEnd))
        return closed(separator, false, wasFirst ? nullptr : kAfterMember);
    const size_t keyAt = wasFirst ? separator : p.here();
    od::field field;
    if ((*f.member).get(field))
        return refuseMember(wasFirst, separator, keyAt);
    std::string_view key;
    if (field.unescaped_key().get(key))
        return refuseString(keyAt);
    name.assign(key);
    p.next = std::move(field).value();
    p.hasNext = true;
    p.nextAt = p.here();
    return true;
}

// simdjson has given up on an object: its last token read is the offending one, the
// separator, the name or the ':'.
bool JsonCursor::refuseMember(bool wasFirst, size_t separator, size_t keyAt) {
    Parse& p = *parse_;
    const char* at = nullptr;
    const size_t bad = p.document.current_location().get(at) ? keyAt : p.offsetOf(at);
    const bool atName = bad == keyAt && (wasFirst || bad != separator);
    const char* what =
        !atName && bad == separator ? kAfterMember
        : atName ? (wasFirst ? "expected a member name (a string) or '}'" : "expected a member name (a string)")
                 : kColon;
    if (bad >= p.length)
        return failAtEnd("unexpected end of text inside an object", atName ? nullptr : what);
    if (what == kColon && text_[keyAt] == '"') {
        // simdjson looks for the ':' before it reads the name: a bad escape in the name
        // comes first in the text.
        const auto [offset, escape] = escapeMistake(text_.substr(keyAt + 1, bad - keyAt - 1));
        if (escape)
            return failAt(keyAt + 1 + offset, escape);
    }
    return failAt(bad, what);
}

bool JsonCursor::refuseString(size_t at) {
    const auto [offset, what] = escapeMistake(text_.substr(std::min(at + 1, text_.size())));
    if (!what)
        return failAt(at, "invalid string");
    return failAt(at + 1 + offset, what);
}

bool JsonCursor::readString(std::string& out) {
    if (!startValue())
        return false;
    Parse& p = *parse_;
    std::string_view s;
    if (const auto error = p.next.get_string().get(s)) {
        return error == simdjson::INCORRECT_TYPE ? wrongKind("a string") : refuseString(valueStart_);
    }
    out.assign(s);
    consumed();
    return true;
}

// Why the number (or non-number) at `at` was refused.
bool JsonCursor::refuseNumber(size_t at, Kind kind, const JsonNumberWords& words, bool inArray) {
    if (kind != Kind::number) {
        if (at >= parse_->length) {
            return failAtEnd(
                inArray ? "unexpected end of text inside an array" : "unexpected end of text, expected a value",
                nullptr);
        }
        const bool danglingComma = inArray && text_[at] == ']';
        return failAt(at, std::string("expected ") + words.expected + ", found " +
                              (danglingComma ? "']' after ','" : jsonKindName(kind)));
    }
    bool integral = false;
    size_t length = 0;
    if (const char* mistake = numberMistake(text_.substr(at), integral, length))
        return failAt(at, mistake);
    const size_t end = at + length;
    if (end < parse_->length && !isDelimiter(text_[end]))
        return failAt(end, afterValue());
    return failAt(at, words.fraction && !integral ? words.fraction : words.outOfRange);
}

// What must follow a value where something else does.
const char* JsonCursor::afterValue() const {
    const Parse& p = *parse_;
    if (p.frames.size() < 2)
        return kAfterDocument;
    return p.frames.back().isArray ? kAfterElement : kAfterMember;
}

bool JsonCursor::readDouble(double& out) {
    if (!startValue())
        return false;
    if (!toNumber(parse_->next, out))
        return refuseNumber(valueStart_, parse_->kindOfNext(), kDoubleWords, false);
    consumed();
    return true;
}

bool JsonCursor::readInt64(int64_t& out) {
    if (!startValue())
        return false;
    if (parse_->next.get_int64().get(out))
        return refuseNumber(valueStart_, parse_->kindOfNext(), kInt64Words, false);
    consumed();
    return true;
}

bool JsonCursor::readBool(bool& out) {
    if (!startValue())
        return false;
    if (parse_->next.get_bool().get(out)) {
        if (parse_->kindOfNext() != Kind::boolean)
            return wrongKind("true or false");
        return fail("expected true or false, found \"" + wordAt(text_, valueStart_) + "\"");
    }
    consumed();
    return true;
}

bool JsonCursor::readNull() {
    if (!startValue())
        return false;
    bool isNull = false;
    if (parse_->next.is_null().get(isNull) || !isNull) {
        if (parse_->kindOfNext() != Kind::null)
            return wrongKind("null");
        return fail("expected null, found \"" + wordAt(text_, valueStart_) + "\"");
    }
    consumed();
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
    if (!startValue())
        return false;
    if (valueStart_ >= parse_->length)
        return failAtEnd("unexpected end of text, expected a value", nullptr);
    return fail("expected a value");
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
    Parse& p = *parse_;
    Parse::Frame& f = p.frames.back();
    const size_t arrayStart = valueStart_;
    for (;; f.first = false) {
        if (!f.first)
            ++f.element;
        if (!(f.element != f.elementEnd)) {
            closed(arrayStart, true, f.first ? nullptr : kAfterElement);
            break;
        }
        od::value v;
        if ((*f.element).get(v)) {
            // simdjson has given up on the array; its last token read is the offending one.
            const char* at = nullptr;
            const size_t bad = p.document.current_location().get(at) ? p.length : p.offsetOf(at);
            if (bad >= p.length)
                return failAtEnd("unexpected end of text inside an array", kAfterElement);
            return failAt(bad, kAfterElement);
        }
        T number{};
        if (!toNumber(v, number)) {
            const std::string_view raw = v.raw_json_token();
            return refuseNumber(p.offsetOf(raw.data()), kindOf(v), kArrayWords<T>, true);
        }
        into.push_back(number);
    }
    valueStart_ = arrayStart;  // later messages about the whole array point at its start
    numbers = into.data();
    count = into.size();
    return !failed_;
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
    if (p.hasNext || p.frames.size() > 1) {
        const size_t at = p.hasNext ? p.nextAt : p.here();
        if (at >= p.length)
            return failAtEnd("unexpected end of text", nullptr);
        return failAt(at, kAfterDocument);
    }
    if (p.frames.empty()) {  // nothing but whitespace before our bracket, or nothing at all
        if (p.nextAt < p.length)
            return failAt(p.nextAt, kAfterDocument);
        return !p.deferred || failAtEnd(nullptr, nullptr);
    }
    // Only our outer array is open: its end must be our bracket.
    Parse::Frame& outer = p.frames.back();
    const size_t separator = p.here();
    ++outer.element;
    if (outer.element != outer.elementEnd || separator < p.length)
        return failAt(separator, kAfterDocument);
    if (p.deferred)
        return failAtEnd(nullptr, kAfterDocument);
    p.frames.clear();
    p.nextAt = p.length;
    return true;
}

}  // namespace vantro::docio
