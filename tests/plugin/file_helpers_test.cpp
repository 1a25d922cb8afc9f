#include "settings/file_helpers.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/utf.h"
#include "support/test_environment.h"

using vantro::platform::fromUtf8;

// Only existing non-directories count as files, names in any script; files that
// cannot be opened give 0 for every kind of time.
TEST(FileHelpers, ExistenceAndUnopenableTimes) {
    vantro::test::TestEnvironment env;
    for (const char* name : {"plain.txt", "\xd0\xb2\xd0\xbe\xd0\xb4\xd0\xb0 \xe6\xb0\xb4.png"}) {
        std::ofstream(env.root() + "/" + name) << "data";
        EXPECT_TRUE(FileExists(fromUtf8(env.root() + "/" + name))) << name;
    }
    for (const std::u16string& path : {std::u16string(), fromUtf8(env.root() + "/missing"), fromUtf8(env.root())}) {
        EXPECT_FALSE(FileExists(path));
        for (uint32_t which : {0u, 1u, 2u})
            EXPECT_EQ(GetFileTimeValue(path, which), 0u);
    }
}
