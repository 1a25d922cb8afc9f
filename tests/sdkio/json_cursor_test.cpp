// JsonCursor: the grammar it accepts and refuses, and where it says an error is.
// JsonWriter: strings and numbers read back exactly (the layout is pinned by the
// written full document; truncation and crash-freedom by its test and the fuzzers).

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "sdk/io/json_cursor.h"
#include "sdk/io/json_writer.h"

namespace {

using vantro::docio::JsonCursor;
using vantro::docio::JsonWriter;

// Skips one value and requires the end of the text; "" when accepted, else
// "line:column what".
std::string verdict(std::string_view text) {
    JsonCursor c(text);
    if (c.skipValue() && c.finish())
        return "";
    size_t line = 0, column = 0;
    c.lineAndColumn(c.errorOffset(), line, column);
    return std::to_string(line) + ":" + std::to_string(column) + " " + c.error();
}

TEST(JsonCursor, AcceptsWellFormedValues) {
    for (const char* text : {"0", "-0", "1.5e+3", "-2E-2", "true", "false", "null", "\"\"", "[]", "{}",
                             " [1, [2, {\"a\": [true, null]}], \"x\\u00e9\\ud83d\\ude00\\n\"] ", "\"caf\xc3\xa9\""})
        EXPECT_EQ(verdict(text), "") << text;
    const std::string fine = std::string(JsonCursor::kMaxDepth, '[') + std::string(JsonCursor::kMaxDepth, ']');
    EXPECT_EQ(verdict(fine), "");
}

// Each malformed text is refused at the position of its mistake. Invalid UTF-8, raw
// control characters and open strings are found for the whole text before reading
// starts, but reported where reading meets them, so that what comes first in the text
// is reported first; nesting beyond the limit is refused, not followed down the stack.
TEST(JsonCursor, RefusesMalformedTextWithItsPosition) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "1:1 unexpected end of text, expected a value"},
        {"[1,2,]", "1:6 expected a value"},
        {"[1 2]", "1:4 expected ',' or ']' after an array element"},
        {"{\"a\":1,}", "1:8 expected a member name (a string)"},
        {"{\"a\" 1}", "1:6 expected ':' after a member name"},
        {"{1:2}", "1:2 expected a member name (a string) or '}'"},
        {"[01]", "1:2 numbers must not have leading zeros"},
        {"[1.]", "1:2 expected a digit after the decimal point"},
        {"[1e]", "1:2 expected a digit in the exponent"},
        {"[-]", "1:2 expected a digit after '-'"},
        {"[tru]", "1:2 expected true or false, found \"tru\""},
        {"[1] x", "1:5 unexpected text after the end of the document"},
        {"\n\n  [\"ab\\q\"]", "3:7 invalid escape sequence in a string"},
        {"[\"a\tb\"]", "1:4 control character inside a string (write it as an escape)"},
        {"\"\\ud800\"", "1:2 unpaired surrogate in a \\u escape"},
        {"\"\\u12G4\"", "1:2 \\u must be followed by four hexadecimal digits"},
        {"\"\xc0\xaf\"", "1:2 invalid UTF-8 in a string"},
        {"\"\xed\xa0\x80\"", "1:2 invalid UTF-8 in a string"},
        {"\"abc", "1:1 unterminated string"},
        {"[1e999]", "1:2 number out of the range of a double"},
        {"{\"a\\q\" 1}", "1:4 invalid escape sequence in a string"},
        {"[\"ab\\", "1:2 unterminated string"},
        {"[1, \xff]", "1:5 invalid UTF-8"},
        {"{\"a\": 1, \"b\xff\": 2}", "1:12 invalid UTF-8 in a string"},
        {"[\"ok\", \"a\\q\tb\"]", "1:10 invalid escape sequence in a string"},
        {"[1 \"x\tb\"]", "1:4 expected ',' or ']' after an array element"},
        {"[1] \"a\tb\"", "1:5 unexpected text after the end of the document"},
        {"{\"a\": 1} \xff", "1:10 invalid UTF-8"},  // after the value: found by finish()
        {std::string(100000, '['), "1:257 arrays and objects nested too deeply"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(verdict(text), expected) << text.substr(0, 40);
}

// Floats are rounded once, from their decimal text: a number just off the midpoint of
// two floats goes to the nearer one, although the double nearest to it is the midpoint.
TEST(JsonCursor, FloatsRoundOnceFromTheirText) {
    JsonCursor c("[1.00000005960464477539062500001, 1.00000005960464477539062499999, 0.1, 3.4028235e38]");
    std::vector<float> f;
    ASSERT_TRUE(c.readFloatArray(f) && c.finish()) << c.error();
    EXPECT_EQ(f, (std::vector<float>{std::nextafter(1.0f, 2.0f), 1.0f, 0.1f, std::numeric_limits<float>::max()}));
}

// Typed reads refuse values of another kind or outside their type's range; the first
// failure stays (later calls fail at once and do not move the error).
TEST(JsonCursor, TypedReadsRefuseOtherKinds) {
    enum Read { int64, int32s, floats, doubles, array, boolean };
    const std::tuple<const char*, Read, const char*> cases[] = {
        {"\"1\"", int64, "expected a number, found a string"},
        {"1.0", int64, "expected an integer"},
        {"9223372036854775808", int64, "integer out of range"},
        {"[1, 2147483648]", int32s, "number out of the range of a 32-bit integer"},
        {"[1e39]", floats, "number out of the range of a float"},
        {"[1, \"2\"]", doubles, "expected a double in the array, found a string"},
        {"{}", array, "expected an array, found an object"},
        {"null", boolean, "expected true or false, found null"},
    };
    for (const auto& [text, read, expected] : cases) {
        JsonCursor c(text);
        int64_t i;
        bool b;
        std::vector<int32_t> i32;
        std::vector<float> f;
        std::vector<double> d;
        const bool ok = read == int64     ? c.readInt64(i)
                        : read == int32s  ? c.readInt32Array(i32)
                        : read == floats  ? c.readFloatArray(f)
                        : read == doubles ? c.readDoubleArray(d)
                        : read == array   ? c.beginArray()
                                          : c.readBool(b);
        EXPECT_FALSE(ok) << text;
        EXPECT_EQ(c.error(), expected) << text;
        const size_t offset = c.errorOffset();
        std::string s;
        EXPECT_FALSE(c.readString(s) || c.finish()) << text;
        EXPECT_EQ(c.errorOffset(), offset) << text;
        EXPECT_EQ(c.error(), expected) << text;
    }
}

// Arrays of numbers, in any spacing, read whole; a mistake anywhere in one (after a
// run of good numbers, after a comma, in place of a separator) is named where it is.
TEST(JsonCursor, NumberArraysReadWholeAndRefuseWhereTheMistakeIs) {
    JsonCursor good("[ [-0, 7 ,2147483647,-2147483648] ,[\n1.5e1\t,-2.25E-1,1e-400, 0] , [] ]");
    std::vector<int32_t> ints;
    std::vector<double> doubles;
    std::vector<float> none;
    ASSERT_TRUE(good.beginArray() && good.nextElement() && good.readInt32Array(ints) && good.nextElement() &&
                good.readDoubleArray(doubles) && good.nextElement() && good.readFloatArray(none) &&
                !good.nextElement() && good.finish())
        << good.error();
    EXPECT_EQ(ints, (std::vector<int32_t>{0, 7, 2147483647, -2147483648}));
    EXPECT_EQ(doubles, (std::vector<double>{15.0, -0.225, 0.0, 0.0}));
    EXPECT_TRUE(none.empty());

    const std::pair<const char*, const char*> refused[] = {
        {"[1, 2, 01]", "1:8 numbers must not have leading zeros"},
        {"[1, 2,]", "1:7 expected a 32-bit integer in the array, found ']' after ','"},
        {"[1, 2 3]", "1:7 expected ',' or ']' after an array element"},
        {"[1, 2.5]", "1:5 expected a 32-bit integer in the array"},
        {"[1, 12345678901234567890]", "1:5 number out of the range of a 32-bit integer"},
        {"[1, -]", "1:5 expected a digit after '-'"},
        {"[1, 2", "1:6 unexpected end of text inside an array"},
        {"[1, 2,", "1:7 unexpected end of text inside an array"},
        {"[1, true]", "1:5 expected a 32-bit integer in the array, found true or false"},
    };
    for (const auto& [text, expected] : refused) {
        JsonCursor c(text);
        std::vector<int32_t> out;
        EXPECT_FALSE(c.readInt32Array(out)) << text;
        size_t line = 0, column = 0;
        c.lineAndColumn(c.errorOffset(), line, column);
        EXPECT_EQ(std::to_string(line) + ":" + std::to_string(column) + " " + c.error(), expected) << text;
    }
}

// Shortest digits that still read back bit for bit, doubles and floats alike.
TEST(JsonWriter, NumbersReadBackExactly) {
    std::mt19937_64 random(42);
    std::vector<double> doubles = {
        0.1,  1.0 / 3.0,           std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
        -0.0, 123456789012345678.0};
    std::vector<float> floats = {0.1f, 1.0f / 3.0f, std::numeric_limits<float>::max(),
                                 std::numeric_limits<float>::denorm_min(), 16777217.0f};
    for (int i = 0; i < 1000; ++i) {
        const uint64_t bits = random();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d))
            doubles.push_back(d);
        float f;
        const uint32_t fbits = static_cast<uint32_t>(bits >> 7);
        std::memcpy(&f, &fbits, sizeof f);
        if (std::isfinite(f))
            floats.push_back(f);
    }
    std::string out;
    JsonWriter w(out);
    w.beginArray();
    w.numbers(doubles);
    w.numbers(floats);
    w.endArray();
    JsonCursor c(out);
    std::vector<double> d2;
    std::vector<float> f2;
    ASSERT_TRUE(c.beginArray() && c.nextElement() && c.readDoubleArray(d2) && c.nextElement() && c.readFloatArray(f2));
    ASSERT_EQ(d2.size(), doubles.size());
    for (size_t i = 0; i < doubles.size(); ++i)
        EXPECT_EQ(std::memcmp(&d2[i], &doubles[i], sizeof(double)), 0) << doubles[i];
    EXPECT_EQ(f2, floats);
    EXPECT_NE(out.find("0.1,"), std::string::npos);  // not 0.10000000000000001
}

// Quotes, backslashes, control characters and characters beyond the BMP read back.
TEST(JsonWriter, StringsReadBackExactly) {
    const std::string text = "a\"b\\c\n\x01\x1f\x7f\xc3\xa9\xf0\x9f\x98\x80";
    std::string out;
    JsonWriter w(out);
    w.string(std::string_view(text));
    JsonCursor c(out);
    std::string back;
    ASSERT_TRUE(c.readString(back) && c.finish()) << c.error() << " in " << out;
    EXPECT_EQ(back, text);
}

}  // namespace
