#include "json_writer.h"

#include <cassert>
#include <cmath>
#include <cstdio>

#include "platform/utf.h"

namespace velora_peer {

void JsonWriter::newline() {
    if (!pretty_)
        return;
    out_ += '\n';
    out_.append(2 * hasMembers_.size(), ' ');
}

void JsonWriter::beforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!hasMembers_.empty()) {
        if (hasMembers_.back())
            out_ += ',';
        hasMembers_.back() = true;
        newline();
    }
}

void JsonWriter::open(char bracket) {
    beforeValue();
    out_ += bracket;
    hasMembers_.push_back(false);
}

void JsonWriter::close(char bracket) {
    assert(!hasMembers_.empty());
    const bool hadMembers = hasMembers_.back();
    hasMembers_.pop_back();
    if (hadMembers)
        newline();
    out_ += bracket;
}

void JsonWriter::beginObject() { open('{'); }
void JsonWriter::endObject() { close('}'); }
void JsonWriter::beginArray() { open('['); }
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

void JsonWriter::value(std::u16string_view text) {
    value(std::string_view(vantro::platform::toUtf8(text)));
}

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

}  // namespace velora_peer
