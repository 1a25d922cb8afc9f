// UrlEncode: what is kept, and the UTF-8 bytes of everything else.

#include "link/url_encode.h"
#include "platform/utf.h"

#include <gtest/gtest.h>

namespace {

using vantro::UrlEncode;

// ASCII letters and digits pass; everything else is its UTF-8 bytes in lower-case hex,
// each surrogate of a pair on its own.
TEST(UrlEncode, KeepsLettersAndDigitsEncodesTheRestAsUtf8Bytes) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"Az09", u"Az09"},
        {u"a b", u"a%20b"},
        {u"-_.~/", u"%2d%5f%2e%7e%2f"},
        {std::u16string(1, u'\0'), u"%00"},
        {u"a b/\u00e9", u"a%20b%2f%c3%a9"},
        {u"\u07ff", u"%df%bf"},
        {u"\u0800", u"%e0%a0%80"},
        {u"\U0001F600", u"%ed%a0%bd%ed%b8%80"},
        {std::u16string(1, char16_t(0xDC00)), u"%ed%b0%80"},
    };
    for (const auto& [text, encoded] : cases)
        EXPECT_EQ(UrlEncode(text), encoded) << vantro::platform::toUtf8(encoded);
}

}  // namespace
