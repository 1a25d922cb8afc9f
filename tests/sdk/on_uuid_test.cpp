// ON_UUID: parsing text read from documents, good and bad.

#include <gtest/gtest.h>

#include "sdk/geometry/on_string.h"
#include "sdk/geometry/on_uuid.h"

// The 8-4-4-4-12 pattern of hex digits, braced or not, in either case, is read;
// anything else is the nil id.
TEST(OnUuid, OnlyWellFormedTextIsAnId) {
    const ON_UUID id = ON_UuidFromString(u"51B4AF08-9DEC-4744-86F9-546FBACB800D");
    EXPECT_EQ(ON_UuidToString(id).ToUtf8(), "51b4af08-9dec-4744-86f9-546fbacb800d");
    EXPECT_EQ(ON_UuidFromString(std::string_view("{51b4af08-9dec-4744-86f9-546fbacb800d}")), id);
    for (const char* bad : {"", "51b4af08-9dec-4744-86f9-546fbacb800", "51b4af08-9dec-4744-86f9-546fbacb800dd",
                            "51b4af089dec-4744-86f9-546fbacb800d-", "51b4af08-9dec-4744-86f9-546fbacb80g0",
                            "{51b4af08-9dec-4744-86f9-546fbacb800d", "51b4af08 9dec 4744 86f9 546fbacb800d"}) {
        EXPECT_TRUE(ON_UuidIsNil(ON_UuidFromString(std::string_view(bad)))) << bad;
    }
    EXPECT_TRUE(ON_UuidIsNil(ON_UuidFromString(static_cast<const char16_t*>(nullptr))));
}
