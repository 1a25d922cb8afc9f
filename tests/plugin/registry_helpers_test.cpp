#include "settings/registry_helpers.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_environment.h"

namespace reg = vantro::platform;
using reg::RegistryKey;
using reg::RegType;

namespace {

class RegistryHelpersTest : public ::testing::Test {
protected:
    void SetUp() override { key = OpenSettingsKey(u"Software\\Orvane\\HelperTest"); }

    // Stores units (no terminator added) as a REG_SZ of exactly those bytes.
    void setRaw(const char16_t* name, const std::u16string& units, RegType type = RegType::sz) {
        std::vector<uint8_t> bytes;
        for (char16_t u : units) {
            bytes.push_back(uint8_t(u));
            bytes.push_back(uint8_t(u >> 8));
        }
        ASSERT_EQ(key.setValue(name, type, bytes.data(), bytes.size()), 0);
    }

    vantro::test::TestEnvironment env;
    RegistryKey key;
};

}  // namespace

// ReadRegString keeps up to 1024 bytes, stops at the first NUL and leaves the text
// empty on any failure.
TEST_F(RegistryHelpersTest, ReadRegStringLimits) {
    std::u16string text = u"stale";
    ASSERT_EQ(key.setString(u"Name", u"Velora 8.3 \u00e9\u6c34"), 0);
    EXPECT_EQ(ReadRegString(key, u"Name", text), 0);
    EXPECT_EQ(text, u"Velora 8.3 \u00e9\u6c34");

    std::u16string fits(511, u'x');  // 511 units + terminator = 1024 bytes
    ASSERT_EQ(key.setString(u"Fits", fits), 0);
    EXPECT_EQ(ReadRegString(key, u"Fits", text), 0);
    EXPECT_EQ(text, fits);

    std::u16string full(512, u'y');  // exactly the buffer, no terminator
    setRaw(u"Full", full);
    EXPECT_EQ(ReadRegString(key, u"Full", text), 0);
    EXPECT_EQ(text, full);

    ASSERT_EQ(key.setString(u"TooLong", std::u16string(512, u'z')), 0);  // 1026 bytes
    EXPECT_EQ(ReadRegString(key, u"TooLong", text), reg::kErrorMoreData);
    EXPECT_TRUE(text.empty());

    setRaw(u"Embedded", std::u16string(u"ab\0cd", 5));
    EXPECT_EQ(ReadRegString(key, u"Embedded", text), 0);
    EXPECT_EQ(text, u"ab");

    setRaw(u"LeadingNul", std::u16string(u"\0cd", 3));
    EXPECT_EQ(ReadRegString(key, u"LeadingNul", text), 0);
    EXPECT_TRUE(text.empty());

    ASSERT_EQ(key.setDword(u"Number", 0x00420041u), 0);  // type not checked
    EXPECT_EQ(ReadRegString(key, u"Number", text), 0);
    EXPECT_EQ(text, u"AB");

    text = u"stale";
    EXPECT_EQ(ReadRegString(key, u"Missing", text), reg::kErrorFileNotFound);
    EXPECT_TRUE(text.empty());
}
