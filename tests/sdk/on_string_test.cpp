// ON_wString: UTF-16 storage, formatting and the search/replace helpers.

#include <gtest/gtest.h>

#include "sdk/on_string.h"

// Text is UTF-16: a character outside the BMP takes two units; UTF-8 round-trips.
TEST(OnWString, Utf16AndUtf8) {
    const ON_wString s("h\xC3\xA9 \xF0\x9F\x99\x82");  // "hé 🙂"
    EXPECT_EQ(s.Length(), 5);
    EXPECT_EQ(s[1], u'\u00E9');
    EXPECT_EQ(s[3], 0xD83D);
    EXPECT_EQ(s.ToUtf8(), "h\xC3\xA9 \xF0\x9F\x99\x82");
    EXPECT_EQ(ON_wString(static_cast<const char16_t*>(nullptr)).Length(), 0);
    EXPECT_EQ(ON_wString(u"abc", -1).Length(), 0);
    EXPECT_EQ(*ON_wString().Array(), u'\0');
}

// Format follows printf for numbers; %s and %ls take UTF-16, %hs UTF-8.
TEST(OnWString, Format) {
    EXPECT_EQ(ON_wString::FormatToString(u"%s(%d)", u"Material-Wood", 2).ToUtf8(), "Material-Wood(2)");
    EXPECT_EQ(ON_wString::FormatToString(u"%04llx.%ls", 26ULL, u"png").ToUtf8(), "001a.png");
    EXPECT_EQ(ON_wString::FormatToString(u"%04llx", static_cast<unsigned long long>(-1LL)).ToUtf8(), "ffffffffffffffff");
    EXPECT_EQ(ON_wString::FormatToString(u"VantroAPI/%d/%08X", 12, 0xBEEFu).ToUtf8(), "VantroAPI/12/0000BEEF");
    EXPECT_EQ(ON_wString::FormatToString(u"%0.3f %0.3f", 1.0, -0.0006).ToUtf8(), "1.000 -0.001");
    EXPECT_EQ(ON_wString::FormatToString(u"%-5s|%5s|%.2s", u"ab", u"cd", u"xyz").ToUtf8(), "ab   |   cd|xy");
    EXPECT_EQ(ON_wString::FormatToString(u"%hs %c %% %s", "utf8", u'Z', static_cast<const char16_t*>(nullptr)).ToUtf8(),
              "utf8 Z % (null)");
    EXPECT_EQ(ON_wString::FormatToString(u"%*d|%-*d|", 4, 7, 3, 1).ToUtf8(), "   7|1  |");
    ON_wString bad(u"keep");
    EXPECT_FALSE(bad.Format(u"%"));
    EXPECT_TRUE(bad.IsEmpty());
    EXPECT_FALSE(bad.Format(u"%n", nullptr));
}

// Find, ReverseFind, Left/Mid/Right and Replace, with out-of-range values clamped.
TEST(OnWString, SearchAndSlices) {
    const ON_wString path(u"C:\\a.b\\house");
    EXPECT_EQ(path.ReverseFind(u'.'), 4);
    EXPECT_EQ(path.ReverseFind(u'\\'), 6);
    EXPECT_EQ(path.Find(u"\\"), 2);
    EXPECT_EQ(path.Find(u"zz"), -1);
    EXPECT_EQ(path.Find(u""), -1);
    EXPECT_EQ(path.Left(3).ToUtf8(), "C:\\");
    EXPECT_EQ(path.Mid(7).ToUtf8(), "house");
    EXPECT_EQ(path.Right(100), path);
    EXPECT_TRUE(path.Mid(99, 2).IsEmpty());
    EXPECT_TRUE(path.Left(-1).IsEmpty());
    ON_wString copy = path;
    EXPECT_EQ(copy.Replace(u'\\', u'/'), 2);
    EXPECT_EQ(copy.ToUtf8(), "C:/a.b/house");
    EXPECT_EQ(copy.Replace(u"/", u"//"), 2);
    EXPECT_EQ(copy.ToUtf8(), "C://a.b//house");
    EXPECT_EQ(copy.Replace(u"", u"x"), 0);
}

// Ordinal comparison folds ASCII case only when asked.
TEST(OnWString, OrdinalComparison) {
    EXPECT_TRUE(ON_wString(u"Vantro").EqualOrdinal(u"VANTRO", true));
    EXPECT_FALSE(ON_wString(u"Vantro").EqualOrdinal(u"VANTRO", false));
    EXPECT_LT(ON_wString::CompareOrdinal(u"a", u"ab", false), 0);
    EXPECT_GT(ON_wString::CompareOrdinal(u"b", u"A", true), 0);
    ON_wString t(u"  x y \n");
    t.TrimLeftAndRight();
    EXPECT_EQ(t.ToUtf8(), "x y");
}
