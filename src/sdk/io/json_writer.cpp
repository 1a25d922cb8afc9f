#include "io/json_writer.h"

#include <cassert>
#include <charconv>
#include <cmath>

#include "platform/utf.h"

namespace vantro::docio {
namespace {

// Without a precision to_chars gives the shortest text that reads back exactly.
template <typename Number>
void appendNumber(std::string& out, Number value) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

}  // namespace

void JsonWriter::newline() {
    out_.push_back('\n');
    out_.append(2 * levels_.size(), ' ');
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty())
        return;
    assert(!levels_.back().object && "a value inside an object needs a key");
    if (!levels_.back().empty)
        out_.push_back(',');
    levels_.back().empty = false;
    newline();
}

void JsonWriter::beginObject() {
    beforeValue();
    out_.push_back('{');
    levels_.push_back({true});
}

void JsonWriter::endObject() {
    assert(!levels_.empty() && levels_.back().object);
    const bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty)
        newline();
    out_.push_back('}');
}

void JsonWriter::beginArray() {
    beforeValue();
    out_.push_back('[');
    levels_.push_back({false});
}

void JsonWriter::endArray() {
    assert(!levels_.empty() && !levels_.back().object);
    const bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty)
        newline();
    out_.push_back(']');
}

void JsonWriter::key(std::string_view name) {
    assert(!levels_.empty() && levels_.back().object && !afterKey_);
    if (!levels_.back().empty)
        out_.push_back(',');
    levels_.back().empty = false;
    newline();
    appendEscaped(name);
    out_.append(": ");
    afterKey_ = true;
}

void JsonWriter::string(std::string_view utf8) {
    beforeValue();
    appendEscaped(utf8);
}

void JsonWriter::appendEscaped(std::string_view utf8) {
    static constexpr char kHex[] = "0123456789abcdef";
    out_.push_back('"');
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out_.push_back('\\');
            out_.push_back(c);
        } else if (c == '\n') {
            out_.append("\\n");
        } else if (c == '\t') {
            out_.append("\\t");
        } else if (c == '\r') {
            out_.append("\\r");
        } else if (u < 0x20) {
            out_.append("\\u00");
            out_.push_back(kHex[u >> 4]);
            out_.push_back(kHex[u & 15]);
        } else {
            out_.push_back(c);
        }
    }
    out_.push_back('"');
}

void JsonWriter::string(std::u16string_view utf16) { string(platform::toUtf8(utf16)); }

void JsonWriter::boolean(bool value) {
    beforeValue();
    out_.append(value ? "true" : "false");
}

void JsonWriter::integer(int64_t value) {
    beforeValue();
    appendNumber(out_, value);
}

void JsonWriter::number(double value) {
    beforeValue();
    appendScalar(value);
}

void JsonWriter::number(float value) {
    beforeValue();
    appendScalar(value);
}

// A record of one number is the number itself.
void JsonWriter::numbers(std::span<const double> values) { flatten<double>(values); }
void JsonWriter::numbers(std::span<const float> values) { flatten<float>(values); }
void JsonWriter::integers(std::span<const int32_t> values) { flatten<int32_t>(values); }

void JsonWriter::appendScalar(double value) {
    assert(std::isfinite(value));
    appendNumber(out_, value);
}

void JsonWriter::appendScalar(float value) {
    assert(std::isfinite(value));
    appendNumber(out_, value);
}

void JsonWriter::appendScalar(int32_t value) { appendNumber(out_, value); }

}  // namespace vantro::docio
