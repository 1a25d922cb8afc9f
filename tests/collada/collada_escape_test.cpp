// Percent-encoding of image paths, XML escaping and the id form of names.

#include "collada/collada_escape.h"

#include <gtest/gtest.h>

namespace vantro::collada {
namespace {

// A copied texture's path: the folder with a blank, a backslash, the copied file.
TEST(PercentEncode, TextureFolderPath) {
    EXPECT_EQ(percentEncodeImagePath(u"My House_Textures\\001a.png"), "My%20House_Textures\\001a.png");
}

// The kept punctuation characters pass; every other ASCII non-alphanumeric unit becomes
// a lower-case escape, brackets too, and a colon in the first segment (a URI scheme).
TEST(PercentEncode, AsciiRules) {
    EXPECT_EQ(percentEncodeImagePath(u"!$&'()+,-./:;=@[\\]_~"), "!$&'()+,-./:;=@%5b\\%5d_~");
    EXPECT_EQ(percentEncodeImagePath(u"a:b/c:d"), "a%3ab/c:d");
    EXPECT_EQ(percentEncodeImagePath(u"a\\b:c"), "a\\b:c");
    EXPECT_EQ(percentEncodeImagePath(u"azAZ09"), "azAZ09");
    EXPECT_EQ(percentEncodeImagePath(u"*\"#%<>?^`{|} "), "%2a%22%23%25%3c%3e%3f%5e%60%7b%7c%7d%20");
    EXPECT_EQ(percentEncodeImagePath(std::u16string(u"\x01\x7f\t", 3)), "%01%7f%09");
    EXPECT_EQ(percentEncodeImagePath(std::u16string(1, u'\0')), "%00");
}

// Letters and digits of other scripts stay as UTF-8; other units are escaped through
// their two- or three-byte UTF-8 forms; a character beyond the BMP through its four
// bytes, an unpaired surrogate on its own.
TEST(PercentEncode, NonAsciiUnits) {
    EXPECT_EQ(percentEncodeImagePath(u"\u00e9t\u00e9"), "\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(percentEncodeImagePath(u"\u6c34"), "\xe6\xb0\xb4");
    EXPECT_EQ(percentEncodeImagePath(u"\u00a0"), "%c2%a0");
    EXPECT_EQ(percentEncodeImagePath(u"\u20ac"), "%e2%82%ac");
    EXPECT_EQ(percentEncodeImagePath(u"a\U0001F600\U00010348b"), "a%f0%9f%98%80%f0%90%8d%88b");
    EXPECT_EQ(percentEncodeImagePath(std::u16string{u'\xD83D', u'x', u'\xDE00'}), "%ed%a0%bdx%ed%b8%80");
}

// The five XML specials become entities, the three white-space controls character
// references, characters XML cannot carry U+FFFD; other text, non-ASCII included, stays.
TEST(EscapeXml, SpecialsAndUnrepresentableCharacters) {
    EXPECT_EQ(escapeXml("a\"b&c'd<e>f"), "a&quot;b&amp;c&apos;d&lt;e&gt;f");
    EXPECT_EQ(escapeXml("plain \xc3\xa9 text;#\xf0\x9f\x98\x80"), "plain \xc3\xa9 text;#\xf0\x9f\x98\x80");
    EXPECT_EQ(escapeXml(std::string("\t\n\r\x01\x1f\0", 6)), "&#9;&#10;&#13;\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(escapeXml("\xef\xbf\xbe\xef\xbf\xbf\xef\xbf\xbd"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
}

// Ids keep what a "#id" reference carries as written and turn the rest into "_".
TEST(IdText, UriFragmentSafe) {
    EXPECT_EQ(idText("Material-Wood(1).v2_x"), "Material-Wood(1).v2_x");
    EXPECT_EQ(idText("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~ "), "!\"____'()*+,-.___________________");
    EXPECT_EQ(idText("\xc3\xa9\xf0\x9f\x98\x80\x01"), "\xc3\xa9\xf0\x9f\x98\x80_");
}

}  // namespace
}  // namespace vantro::collada
