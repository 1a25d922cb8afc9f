// ON_UUID: text form, parsing of good and bad text, creation.

#include <gtest/gtest.h>

#include <set>

#include "sdk/on_string.h"
#include "sdk/on_uuid.h"

// Text round-trips, in lower case, with or without braces and in either case.
TEST(OnUuid, TextRoundTrip) {
    const ON_UUID id = ON_UuidFromString(u"51B4AF08-9DEC-4744-86F9-546FBACB800D");
    EXPECT_EQ(id.Data1, 0x51b4af08u);
    EXPECT_EQ(id.Data2, 0x9decu);
    EXPECT_EQ(id.Data4[7], 0x0du);
    EXPECT_EQ(ON_UuidToString(id).ToUtf8(), "51b4af08-9dec-4744-86f9-546fbacb800d");
    EXPECT_EQ(ON_UuidFromString(std::string_view("{51b4af08-9dec-4744-86f9-546fbacb800d}")), id);
}

// Anything but the 8-4-4-4-12 pattern of hex digits is the nil id.
TEST(OnUuid, BadTextIsNil) {
    for (const char* bad : {"", "51b4af08-9dec-4744-86f9-546fbacb800", "51b4af08-9dec-4744-86f9-546fbacb800dd",
                            "51b4af089dec-4744-86f9-546fbacb800d-", "51b4af08-9dec-4744-86f9-546fbacb80g0",
                            "{51b4af08-9dec-4744-86f9-546fbacb800d", "51b4af08 9dec 4744 86f9 546fbacb800d"}) {
        EXPECT_TRUE(ON_UuidIsNil(ON_UuidFromString(std::string_view(bad)))) << bad;
    }
    EXPECT_TRUE(ON_UuidIsNil(ON_UuidFromString(static_cast<const char16_t*>(nullptr))));
}

// Created ids are distinct, never nil, version 4.
TEST(OnUuid, CreatedIdsAreDistinct) {
    std::set<ON_UUID> seen;
    for (int i = 0; i < 1000; ++i) {
        const ON_UUID id = ON_CreateUuid();
        EXPECT_TRUE(ON_UuidIsNotNil(id));
        EXPECT_EQ(id.Data3 >> 12, 4);
        EXPECT_TRUE(seen.insert(id).second);
    }
    EXPECT_NE(ON_UuidHash()(ON_CreateUuid()), ON_UuidHash()(ON_nil_uuid));
}
