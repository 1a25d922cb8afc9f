#pragma once
// A small streaming JSON writer for the peer's reports. Text is UTF-8; UTF-16 input
// is converted (unpaired surrogates become U+FFFD). Non-finite numbers, which the
// other process can put into any float field, are written as null.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::peer {

class JsonWriter {
public:
    // pretty: two-space indentation and one member per line; otherwise one line.
    explicit JsonWriter(bool pretty = false) : pretty_(pretty) {}

    void beginObject();
    void endObject();
    // compact: keep the items on one line even when pretty (for short number lists).
    void beginArray(bool compact = false);
    void endArray();

    // The name of the next member; only inside an object.
    JsonWriter& key(std::string_view name);

    void value(std::string_view text);
    void value(std::u16string_view text);
    void value(const char* text) { value(std::string_view(text)); }
    void value(uint64_t number);
    void value(uint32_t number) { value(uint64_t{number}); }
    void value(int64_t number);
    void value(int32_t number) { value(int64_t{number}); }
    void value(double number);
    void value(float number) { value(static_cast<double>(number)); }
    void value(bool flag);
    void null();

    // Shorthands for one member.
    template <class T>
    void member(std::string_view name, const T& v) {
        key(name);
        value(v);
    }

    const std::string& text() const { return out_; }

private:
    void beforeValue();
    void open(char bracket, bool compact);
    void close(char bracket);
    void newline();
    void appendEscaped(std::string_view text);

    bool pretty_;
    bool afterKey_ = false;
    struct Container {
        bool hasMembers = false;
        bool compact = false;
    };
    std::vector<Container> open_;  // innermost last
    int compactDepth_ = 0;         // open compact arrays
    std::string out_;
};

}  // namespace vantro::peer
