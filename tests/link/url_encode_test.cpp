// UrlEncode: what is kept, and the UTF-8 bytes of everything else.

#include "link/url_encode.h"

#include <gtest/gtest.h>

namespace {

using vantro::UrlEncode;

// Letters and digits pass; ASCII punctuation and blanks are one byte each.
TEST(UrlEncode, AsciiKeepsOnlyLettersAndDigits) {
    EXPECT_EQ(UrlEncode(u"Az09"), u"Az09");
    EXPECT_EQ(UrlEncode(u"a b"), u"a%20b");
    EXPECT_EQ(UrlEncode(u"-_.~/"), u"%2d%5f%2e%7e%2f");
    EXPECT_EQ(UrlEncode(std::u16string(1, u'\0')), u"%00");
    EXPECT_EQ(UrlEncode(u""), u"");
}

// Two bytes below 0x800, three from there up, lower-case hex.
TEST(UrlEncode, MultiByteUnits) {
    EXPECT_EQ(UrlEncode(u"a b/\u00e9"), u"a%20b%2f%c3%a9");
    EXPECT_EQ(UrlEncode(u"\u07ff"), u"%df%bf");
    EXPECT_EQ(UrlEncode(u"\u0800"), u"%e0%a0%80");
    EXPECT_EQ(UrlEncode(u"\u20ac"), u"%e2%82%ac");
}

// Each surrogate of a pair is encoded on its own, three bytes each.
TEST(UrlEncode, SurrogatesOneByOne) {
    EXPECT_EQ(UrlEncode(u"\U0001F600"), u"%ed%a0%bd%ed%b8%80");
    EXPECT_EQ(UrlEncode(std::u16string(1, char16_t(0xDC00))), u"%ed%b0%80");
}

}  // namespace
