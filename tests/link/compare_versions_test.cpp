// CompareVersions: "%d.%d.%d.%d" reading, first differing component decides.

#include "link/compare_versions.h"
#include "platform/utf.h"

#include <gtest/gtest.h>

namespace {

using vantro::CompareVersions;

// Components compare as numbers, in order; reading stops at the first character that
// does not fit; like %d, blanks and a sign are read and huge values saturate.
TEST(CompareVersions, ReadsLikeScanfAndComparesInOrder) {
    struct Case {
        const char16_t* a;
        const char16_t* b;
        int expected;
    };
    const Case cases[] = {
        {u"8.3.0", u"8.3.0", 0}, {u"8.10.0", u"8.9.9", 1},           {u"8.2.9.9", u"8.3", -1},
        {u"8.3", u"8.3.0.0", 0}, {u"3.50rc.52", u"3.50", 0},         {u"", u"0.0.0.0", 0},
        {u"8..3", u"8", 0},      {u"8.3.1.4.9", u"8.3.1.4", 0},      {u" 8. 3", u"8.3", 0},
        {u"-1", u"0", -1},       {u"99999999999", u"2147483647", 0},
    };
    for (const Case& c : cases) {
        const std::string text = vantro::platform::toUtf8(c.a) + " vs " + vantro::platform::toUtf8(c.b);
        EXPECT_EQ(CompareVersions(c.a, c.b), c.expected) << text;
        EXPECT_EQ(CompareVersions(c.b, c.a), -c.expected) << text << ", swapped";
    }
}

}  // namespace
