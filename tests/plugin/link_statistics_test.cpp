// The statistics record's entries and the file-name hash.

#include <gtest/gtest.h>

#include "plugin/link_statistics.h"

using namespace vantro::plugin;

// FNV-1a over the UTF-16 code units as little-endian byte pairs: golden values.
TEST(LinkStatistics, HashIsFnv1aOfTheUtf16Bytes) {
    EXPECT_EQ(LinkNameHash(u""), 14695981039346656037ull);
    EXPECT_EQ(LinkNameHash(u"a"), 620337896427418084ull);
    EXPECT_EQ(LinkNameHash(u"/tmp/house.dae"), 13764804345402169358ull);
}
