// Percent-encoding of image paths and XML escaping of library ids.

#include "collada/collada_escape.h"

#include <gtest/gtest.h>

namespace vantro::collada {
namespace {

// A copied texture's path: the folder with a blank, a backslash, the copied file.
TEST(PercentEncode, TextureFolderPath) {
  EXPECT_EQ(percentEncodeImagePath(u"My House_Textures\\001a.png"), "My%20House_Textures\\001a.png");
  EXPECT_EQ(percentEncodeImagePath(u""), "");
}

// The twenty kept punctuation characters pass; every other ASCII non-alphanumeric unit
// becomes a lower-case escape.
TEST(PercentEncode, AsciiRules) {
  EXPECT_EQ(percentEncodeImagePath(u"!$&'()+,-./:;=@[\\]_~"), "!$&'()+,-./:;=@[\\]_~");
  EXPECT_EQ(percentEncodeImagePath(u"azAZ09"), "azAZ09");
  EXPECT_EQ(percentEncodeImagePath(u"*\"#%<>?^`{|} "), "%2a%22%23%25%3c%3e%3f%5e%60%7b%7c%7d%20");
  EXPECT_EQ(percentEncodeImagePath(std::u16string(u"\x01\x7f\t", 3)), "%01%7f%09");
  EXPECT_EQ(percentEncodeImagePath(std::u16string(1, u'\0')), "%00");
}

// Letters and digits of other scripts stay as UTF-8; other units are escaped through
// their two- or three-byte UTF-8 forms, surrogates one unit at a time.
TEST(PercentEncode, NonAsciiUnits) {
  EXPECT_EQ(percentEncodeImagePath(u"\u00e9t\u00e9"), "\xc3\xa9t\xc3\xa9");
  EXPECT_EQ(percentEncodeImagePath(u"\u6c34"), "\xe6\xb0\xb4");
  EXPECT_EQ(percentEncodeImagePath(u"\u00a0"), "%c2%a0");
  EXPECT_EQ(percentEncodeImagePath(u"\u00d7"), "%c3%97");
  EXPECT_EQ(percentEncodeImagePath(u"\u20ac"), "%e2%82%ac");
  EXPECT_EQ(percentEncodeImagePath(u"\U0001F600"), "%ed%a0%bd%ed%b8%80");
}

// Only the five XML specials change.
TEST(EscapeXml, FiveCharacters) {
  EXPECT_EQ(escapeXml("a\"b&c'd<e>f"), "a&quot;b&amp;c&apos;d&lt;e&gt;f");
  EXPECT_EQ(escapeXml("plain \xc3\xa9 text;#"), "plain \xc3\xa9 text;#");
  EXPECT_EQ(escapeXml(""), "");
}

}  // namespace
}  // namespace vantro::collada
