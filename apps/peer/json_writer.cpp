#include "json_writer.h"

#include <cassert>
#include <cmath>
#include <cstdio>

#include "platform/utf.h"

namespace vantro::peer {

void JsonWriter::newline() {
    if (!pretty_ || compactDepth_ > 0)
        return;
    out_ += '\n';
    out_.append(2 * open_.size(), ' ');
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!open_.empty()) {
        if (open_.back().hasMembers)
            out_ += pretty_ && compactDepth_ > 0 ? ", " : ",";
        open_.back().hasMembers = true;
        newline();
    }
}

void JsonWriter::open(char bracket, bool compact) {
    beforeValue();
    out_ += bracket;
    open_.push_back({false, compact});
    compactDepth_ += compact ? 1 : 0;
}

void JsonWriter::close(char bracket) {
    assert(!open_.empty());
    const Container closing = open_.back();
    open_.pop_back();
    if (closing.hasMembers)
        newline();
    compactDepth_ -= closing.compact ? 1 : 0;
    out_ += bracket;
}

void JsonWriter::beginObject() { open('{', false); }
void JsonWriter::endObject() { close('}'); }
void JsonWriter::beginArray(bool compact) { open('[', compact); }
void JsonWriter::endArray() { close(']'); }

JsonWriter& JsonWriter::key(std::string_view name) {
    beforeValue();
    appendEscaped(name);
    out_ += pretty_ ? ": " : ":";
    afterKey_ = true;
    return *this;
}

void JsonWriter::appendEscaped(std::string_view text) {
    out_ += '"';
    for (char c : text) {
        switch (c) {
            case '"': out_ += "\\\""; break;
            case '\\': out_ += "\\\\"; break;
            case '\n': out_ += "\\n"; break;
            case '\r': out_ += "\\r"; break;
            case '\t': out_ += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out_ += escaped;
                } else {
                    out_ += c;
                }
        }
    }
    out_ += '"';
}

void JsonWriter::value(std::string_view text) {
    beforeValue();
    appendEscaped(text);
}

void JsonWriter::value(std::u16string_view text) { value(std::string_view(vantro::platform::toUtf8(text))); }

void JsonWriter::value(uint64_t number) {
    beforeValue();
    out_ += std::to_string(number);
}

void JsonWriter::value(int64_t number) {
    beforeValue();
    out_ += std::to_string(number);
}

void JsonWriter::value(double number) {
    if (!std::isfinite(number)) {
        null();
        return;
    }
    beforeValue();
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", number);
    out_ += text;
}

void JsonWriter::value(bool flag) {
    beforeValue();
    out_ += flag ? "true" : "false";
}

void JsonWriter::null() {
    beforeValue();
    out_ += "null";
}

}  // namespace vantro::peer
