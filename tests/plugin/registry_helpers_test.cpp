#include "settings/registry_helpers.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/utf.h"
#include "support/test_environment.h"

namespace reg = vantro::platform;

// ReadRegString keeps up to 1024 bytes, stops at the first NUL, does not check the
// type, and leaves the text empty on any failure.
TEST(RegistryHelpers, ReadRegStringLimits) {
    vantro::test::TestEnvironment env;
    reg::RegistryKey key = OpenSettingsKey(u"Software\\Orvane\\HelperTest");
    // Stored as exactly these code units, no terminator added.
    auto setRaw = [&](const char16_t* name, const std::u16string& units, reg::RegType type = reg::RegType::sz) {
        ASSERT_EQ(key.setValue(name, type, units.data(), units.size() * 2), 0);
    };
    setRaw(u"Name", std::u16string(u"Velora 8.3 \u00e9\u6c34") + u'\0');
    setRaw(u"Fits", std::u16string(511, u'x') + u'\0');  // 1024 bytes
    setRaw(u"Full", std::u16string(512, u'y'));          // exactly the buffer, no terminator
    setRaw(u"TooLong", std::u16string(512, u'z') + u'\0');
    setRaw(u"Embedded", std::u16string(u"ab\0cd", 5));
    setRaw(u"LeadingNul", std::u16string(u"\0cd", 3));
    ASSERT_EQ(key.setDword(u"Number", 0x00420041u), 0);
    const struct {
        const char16_t* name;
        long status;
        std::u16string text;
    } cases[] = {{u"Name", 0, u"Velora 8.3 \u00e9\u6c34"},
                 {u"Fits", 0, std::u16string(511, u'x')},
                 {u"Full", 0, std::u16string(512, u'y')},
                 {u"TooLong", reg::kErrorMoreData, u""},
                 {u"Embedded", 0, u"ab"},
                 {u"LeadingNul", 0, u""},
                 {u"Number", 0, u"AB"},
                 {u"Missing", reg::kErrorFileNotFound, u""}};
    for (const auto& c : cases) {
        std::u16string text = u"stale";
        EXPECT_EQ(ReadRegString(key, c.name, text), c.status) << reg::toUtf8(c.name);
        EXPECT_EQ(text, c.text) << reg::toUtf8(c.name);
    }
}
