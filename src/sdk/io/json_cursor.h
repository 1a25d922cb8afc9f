#pragma once
// JsonCursor: a forward-only JSON reader (RFC 8259) over text in memory, for reading
// documents straight into their final containers.
//
// The cursor reads the text as the caller asks for values, in one pass and in place:
// nothing is built beside the text (no index, no tree, no copy), only the containers
// open around the reading position are kept, so reading needs memory for what the
// caller keeps and little else, and a mistake is met where it stands, after everything
// before it was read. What this class adds to the JSON grammar is what a reader of
// files needs: the caller asks for values in the order it expects them, and every
// refusal says what is wrong and where (a text offset, turned into line and column) at
// the moment the caller reads there, so that the caller can add which entry and field
// it was reading. Documents are mostly long numeric arrays, read straight into the
// vectors that keep them; numbers are converted by std::from_chars (rounded once, from
// their decimal text).
//
// Use: call the read* / begin* functions in the order the caller expects values.
// Every function returns false on failure; the first failure is kept (error(),
// errorOffset()) and every later call fails at once, so callers may check once at the
// end of a block. Strings must be UTF-8 (RFC 3629); nothing is read outside the text.
// Not thread-safe; one cursor per text.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::docio {

struct JsonNumberWords;  // how a number read words its refusals (json_cursor.cpp)

class JsonCursor {
public:
    enum class Kind { object, array, string, number, boolean, null, invalid };

    // Deepest nesting of arrays and objects accepted.
    static constexpr size_t kMaxDepth = 256;

    // text must outlive the cursor; it may be any size.
    explicit JsonCursor(std::string_view text);
    ~JsonCursor();
    JsonCursor(const JsonCursor&) = delete;
    JsonCursor& operator=(const JsonCursor&) = delete;

    // Kind of the next value; invalid at the end of the text or at a character that
    // starts no value. Does not fail by itself.
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
    // them in their own layout. The whole array is read and checked first; then
    // reserve(n) is called with its exact count. Scalar is double, float or int32_t.
    template <typename Scalar, typename Reserve, typename Sink>
    bool readNumbers(Reserve&& reserve, Sink&& sink) {
        const Scalar* numbers = nullptr;
        size_t count = 0;
        if (!readNumbersInto(numbers, count))
            return false;
        reserve(count);
        for (size_t i = 0; i < count; ++i)
            sink(numbers[i]);
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
    struct Parse;  // the reading position and the open containers

    bool failAt(size_t offset, std::string what);
    bool failAtEnd(const char* endWhat, std::string what);
    void skipSpace();
    bool startValue();
    void consumed(size_t end);
    bool wrongKind(const char* expected);
    bool beginContainer(Kind kind);
    bool closed();
    bool separated(bool isArray);
    bool scanString(size_t at, std::string* out, size_t& end);
    template <typename T>
    bool readNumberAt(T& out, const JsonNumberWords& words, bool inArray);
    bool literalHere(std::string_view word) const;
    bool skipScalar();
    // A whole array of numbers into the cursor's own buffer (valid until the next read),
    // so that callers learn the exact count before storing anything.
    bool readNumbersInto(const double*& numbers, size_t& count);
    bool readNumbersInto(const float*& numbers, size_t& count);
    bool readNumbersInto(const int32_t*& numbers, size_t& count);
    template <typename T>
    bool readNumberArray(const T*& numbers, size_t& count);

    std::string_view text_;
    std::unique_ptr<Parse> parse_;
    size_t valueStart_ = 0;
    bool failed_ = false;
    std::string error_;
    size_t errorOffset_ = 0;
};

// Readable name of a kind ("an object", "a number", ...), for messages.
const char* jsonKindName(JsonCursor::Kind kind);

}  // namespace vantro::docio
