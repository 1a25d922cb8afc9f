#include "settings/file_helpers.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/utf.h"
#include "support/test_environment.h"

using vantro::platform::fromUtf8;

namespace {

class FileHelpersTest : public ::testing::Test {
protected:
    std::u16string make(const std::string& name) {
        std::string path = env.root() + "/" + name;
        std::ofstream(path) << "data";
        return fromUtf8(path);
    }

    vantro::test::TestEnvironment env;
};

}  // namespace

// Only existing non-directories count as files; names in any script work.
TEST_F(FileHelpersTest, FileExists) {
    EXPECT_FALSE(FileExists(u""));
    EXPECT_TRUE(FileExists(make("plain.txt")));
    EXPECT_TRUE(FileExists(make("\xd0\xb2\xd0\xbe\xd0\xb4\xd0\xb0 \xe6\xb0\xb4.png")));
    EXPECT_FALSE(FileExists(fromUtf8(env.root() + "/missing.png")));
    EXPECT_FALSE(FileExists(fromUtf8(env.root())));
}

// Files that cannot be opened give 0 for every kind of time.
TEST_F(FileHelpersTest, UnopenableGivesZero) {
    for (uint32_t which : {0u, 1u, 2u}) {
        EXPECT_EQ(GetFileTimeValue(u"", which), 0u);
        EXPECT_EQ(GetFileTimeValue(fromUtf8(env.root() + "/missing"), which), 0u);
        EXPECT_EQ(GetFileTimeValue(fromUtf8(env.root()), which), 0u);
    }
}
