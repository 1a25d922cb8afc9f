#include "platform/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace vantro::platform {
namespace {

// Every kind of code point converts both ways unchanged.
TEST(Utf, ValidTextRoundTrips) {
    const std::u16string text = u"A\u00e9\u07ff\u0800\u4e2d\uffff\U00010000\U0001F600\U0010FFFF";
    const std::string utf8 =
        "A\xC3\xA9\xDF\xBF\xE0\xA0\x80\xE4\xB8\xAD\xEF\xBF\xBF\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF";
    EXPECT_EQ(toUtf8(text), utf8);
    EXPECT_EQ(fromUtf8(utf8), text);
    EXPECT_EQ(toUtf8(std::u16string(u"a\0b", 3)), std::string("a\0b", 3));
}

// Unpaired surrogates, in any position, become U+FFFD and never swallow neighbours.
TEST(Utf, UnpairedSurrogatesBecomeReplacement) {
    EXPECT_EQ(toUtf8(u"\xD800"), "\xEF\xBF\xBD");
    EXPECT_EQ(toUtf8(u"a\xDC00z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(toUtf8(u"\xD800\xD800\xDC00"), "\xEF\xBF\xBD\xF0\x90\x80\x80");  // lone high, then a pair
    EXPECT_EQ(toUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");            // reversed pair
    EXPECT_EQ(toUtf8(u"x\xDBFF"), "x\xEF\xBF\xBD");                            // high at the end
}

// Each malformed UTF-8 sequence becomes one U+FFFD per maximal invalid part, and
// the valid text around it survives.
TEST(Utf, InvalidUtf8BecomesReplacement) {
    struct Case {
        std::string in;
        std::u16string out;
    };
    const Case cases[] = {
        {"\x80", u"\uFFFD"},                                // stray continuation
        {"a\xC3", u"a\uFFFD"},                              // cut at the end
        {"\xC3z", u"\uFFFDz"},                              // cut before ASCII
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong '/'
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},            // overlong, three bytes
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"\xF0\x9F\x98", u"\uFFFD"},                        // cut four-byte sequence
    };
    for (const Case& c : cases)
        EXPECT_EQ(fromUtf8(c.in), c.out) << testing::PrintToString(c.in);
}

}  // namespace
}  // namespace vantro::platform
