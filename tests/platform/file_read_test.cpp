#include "platform/file_read.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/test_environment.h"

namespace vantro::platform {
namespace {

std::string writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// A regular file comes back whole, up to and including the limit; larger files, folders
// and missing files give nothing.
TEST(FileRead, RegularFilesUpToTheLimit) {
    test::TestEnvironment env;
    const std::string bytes("a\0b\xff\r\nz", 7);
    const std::string file = writeFile(env.root() + "/texture.bin", bytes);
    const auto read = readRegularFile(file, 7);
    ASSERT_TRUE(read);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(read->data()), read->size()), bytes);
    EXPECT_FALSE(readRegularFile(file, 6));
    const auto empty = readRegularFile(writeFile(env.root() + "/empty.bin", ""), 0);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    EXPECT_FALSE(readRegularFile(env.root(), 1 << 20));  // a folder is not a file
    EXPECT_FALSE(readRegularFile(env.root() + "/missing.bin", 1 << 20));
    EXPECT_FALSE(readRegularFile("", 1 << 20));
}

// A name in UTF-8 with characters beyond ASCII reaches the same file.
TEST(FileRead, NamesAreUtf8) {
    test::TestEnvironment env;
    const std::filesystem::path path =
        std::filesystem::path(env.root()) / std::filesystem::path(u8"\u00e9t\u00e9 \u20ac.png");
    std::ofstream(path, std::ios::binary) << "PNG";
    const auto read = readRegularFile(env.root() + "/\xC3\xA9t\xC3\xA9 \xE2\x82\xAC.png", 100);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), 3u);
}

}  // namespace
}  // namespace vantro::platform
