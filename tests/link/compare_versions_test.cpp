// CompareVersions: "%d.%d.%d.%d" reading, first differing component decides.

#include "link/compare_versions.h"

#include <gtest/gtest.h>

namespace {

using vantro::CompareVersions;

// Plain versions, components compared as numbers in order.
TEST(CompareVersions, ComponentsInOrder) {
    EXPECT_EQ(CompareVersions(u"8.3.0", u"8.3.0"), 0);
    EXPECT_EQ(CompareVersions(u"8.10.0", u"8.9.9"), 1);
    EXPECT_EQ(CompareVersions(u"8.2.9.9", u"8.3"), -1);
    EXPECT_EQ(CompareVersions(u"1.2.3.5", u"1.2.3.4"), 1);
    EXPECT_EQ(CompareVersions(u"8.3", u"8.3.0.0"), 0);
}

// Reading stops at the first character that does not fit; the rest stay 0.
TEST(CompareVersions, ReadingStopsAtMismatch) {
    EXPECT_EQ(CompareVersions(u"3.50rc.52", u"3.50"), 0);
    EXPECT_EQ(CompareVersions(u"3.50rc.52", u"3.50.1"), -1);
    EXPECT_EQ(CompareVersions(u"", u"0.0.0.0"), 0);
    EXPECT_EQ(CompareVersions(u"abc", u"0"), 0);
    EXPECT_EQ(CompareVersions(u"8..3", u"8"), 0);
    EXPECT_EQ(CompareVersions(u"8.3.1.4.9", u"8.3.1.4"), 0);
}

// Like %d: leading blanks and a sign are read; huge values saturate.
TEST(CompareVersions, IntegerReading) {
    EXPECT_EQ(CompareVersions(u" 8. 3", u"8.3"), 0);
    EXPECT_EQ(CompareVersions(u"-1", u"0"), -1);
    EXPECT_EQ(CompareVersions(u"+2", u"2"), 0);
    EXPECT_EQ(CompareVersions(u"99999999999", u"2147483647"), 0);
    EXPECT_EQ(CompareVersions(u"8 .3", u"8.0"), 0);
}

}  // namespace
