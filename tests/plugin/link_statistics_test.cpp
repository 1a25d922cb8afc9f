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

// Eight entries in key order; texts to be percent-encoded have kind 0, numbers kind 1.
TEST(LinkStatistics, EntriesInKeyOrderWithTheirKinds) {
    const VantroAPI::StatisticsMap values =
        BuildLinkStatistics("Host 6 SR9 (\xc3\xa9)", "6.9.1.2", u"/tmp/house.dae", 2500000, true);
    std::vector<std::u16string> keys;
    for (const auto& [key, value] : values) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"cameraSync", u"fileNameCrc", u"format", u"pluginVersion", u"time",
                                                 u"toolName", u"toolVersion", u"vertexCount"}));
    auto is = [&](const char16_t* key, uint32_t kind, const std::u16string& text) {
        const VantroAPI::StatisticValue& value = values.at(key);
        EXPECT_EQ(value.kind, kind) << "kind of " << std::string(key, key + std::char_traits<char16_t>::length(key));
        EXPECT_EQ(value.text, text);
    };
    is(u"cameraSync", 1, u"1");
    is(u"fileNameCrc", 1, u"13764804345402169358");
    is(u"format", 0, u"VL");
    is(u"pluginVersion", 0, u"3.50rc.52");
    is(u"time", 1, u"2500000");
    is(u"toolName", 0, u"Host 6 SR9 (\u00e9)");
    is(u"toolVersion", 0, u"6.9.1.2");
    is(u"vertexCount", 1, u"0");
    EXPECT_EQ(BuildLinkStatistics("", "", u"x", -5, false).at(u"time").text, u"-5");
    EXPECT_EQ(BuildLinkStatistics("", "", u"x", 0, false).at(u"cameraSync").text, u"0");
}
