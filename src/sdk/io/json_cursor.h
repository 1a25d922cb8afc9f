#pragma once
// JsonCursor: a forward-only JSON reader (RFC 8259) over text in memory, for reading
// documents straight into their final containers.
//
// Why not a DOM parser: documents are mostly long numeric arrays. Reading them in one
// pass with std::from_chars into the vectors that keep them is faster than building a
// tree first, needs no memory beyond the result, and lets every error name its line
// and column.
//
// Use: call the read* / begin* functions in the order the caller expects values.
// Every function returns false on failure; the first failure is kept (error(),
// errorOffset()) and every later call fails at once, so callers may check once at the
// end of a block. Nothing is ever read outside the text. Not thread-safe; one cursor
// per text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::docio {

class JsonCursor {
public:
    enum class Kind { object, array, string, number, boolean, null, invalid };

    // Deepest nesting of arrays and objects accepted.
    static constexpr size_t kMaxDepth = 256;

    // text must outlive the cursor.
    explicit JsonCursor(std::string_view text) : text_(text) {}

    // Kind of the next value (whitespace skipped); invalid at the end of the text or
    // at a character that starts no value. Does not fail by itself.
    Kind peek();

    // Objects: beginObject consumes '{'. nextMember then reads the next member's name
    // and the ':' after it and returns true, or consumes the closing '}' and returns
    // false (also on failure: check failed()).
    bool beginObject();
    bool nextMember(std::string& name);
    // Arrays: beginArray consumes '['; nextElement returns true when an element
    // follows (the caller must then read it), false after consuming ']' or on failure.
    bool beginArray();
    bool nextElement();

    bool readString(std::string& out);  // unescaped, UTF-8
    bool readDouble(double& out);       // any JSON number that fits a finite double
    bool readInt64(int64_t& out);       // a JSON integer (no fraction, no exponent)
    bool readBool(bool& out);
    bool readNull();
    // Skips one value of any kind, checking its syntax.
    bool skipValue();

    // Whole arrays of numbers, appended to out. Floats: each number must fit a float.
    // Integers: each must be a JSON integer within int32.
    bool readDoubleArray(std::vector<double>& out);
    bool readFloatArray(std::vector<float>& out);
    bool readInt32Array(std::vector<int32_t>& out);

    // An array of numbers handed one by one to sink(Scalar), for callers that store
    // them in their own layout. reserve(n) is called first with the element count
    // (exact for well-formed text). Scalar is double, float or int32_t.
    template <typename Scalar, typename Reserve, typename Sink>
    bool readNumbers(Reserve&& reserve, Sink&& sink) {
        size_t count = 0;
        bool more = false;
        if (!openNumberArray(count, more)) return false;
        reserve(count);
        while (more) {
            Scalar value{};
            if (!readArrayNumber(value) || !afterArrayNumber(more)) return false;
            sink(value);
        }
        return true;
    }

    // Succeeds when only whitespace remains.
    bool finish();

    // Records a failure at the start of the value that was read last (or at the
    // current position); the first failure wins. Always returns false.
    bool fail(std::string what);
    bool failed() const { return failed_; }
    const std::string& error() const { return error_; }
    size_t errorOffset() const { return errorOffset_; }
    // 1-based line and column (in bytes) of a text offset.
    void lineAndColumn(size_t offset, size_t& line, size_t& column) const;

private:
    void skipWhitespace();
    bool atEnd() const { return pos_ >= text_.size(); }
    bool expectValueStart();
    bool scanNumberToken(size_t& end, bool& integral);
    bool readStringBody(std::string& out);
    bool readEscape(std::string& out);
    bool readUtf8(std::string& out);
    bool skipScalar();
    bool closeOrComma(char close, bool& more);
    bool openNumberArray(size_t& count, bool& more);
    bool readArrayNumber(double& value);
    bool readArrayNumber(float& value);
    bool readArrayNumber(int32_t& value);
    template <typename T>
    bool parseArrayNumber(T& value, bool integral, const char* what);
    bool afterArrayNumber(bool& more);

    std::string_view text_;
    size_t pos_ = 0;
    size_t valueStart_ = 0;
    // Per open container: its closing bracket, and whether its first element or
    // member is still to come.
    struct Open {
        char close;
        bool first;
    };
    std::vector<Open> open_;
    bool failed_ = false;
    std::string error_;
    size_t errorOffset_ = 0;
};

// Readable name of a kind ("an object", "a number", ...), for messages.
const char* jsonKindName(JsonCursor::Kind kind);

}  // namespace vantro::docio
