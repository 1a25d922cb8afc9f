// JsonWriter: strings and numbers read back to exactly what was written. (The layout is
// pinned by the written full document, in document_io_test.cpp.)

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "sdk/io/json_cursor.h"
#include "sdk/io/json_writer.h"

namespace {

using vantro::docio::JsonCursor;
using vantro::docio::JsonWriter;

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
