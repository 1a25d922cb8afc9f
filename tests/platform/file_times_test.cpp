#include "platform/file_times.h"

#include "platform/utf.h"

#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

namespace vantro::platform {
namespace {

using test::TestEnvironment;

// File times come back as exact FILETIME values.
TEST(FileTimes, ExactFileTimeValues) {
    TestEnvironment env;
    EXPECT_EQ(fileTimeFromUnix(0, 0), 116444736000000000ull);
    EXPECT_EQ(fileTimeFromUnix(1, 999), 116444736010000009ull);
    std::string path = env.root() + "/timed";
    std::ofstream(path) << "x";
    struct timespec times[2] = {{1000000000, 123456789}, {1600000000, 500}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    FileTimes read;
    ASSERT_TRUE(queryFileTimes(fromUtf8(path), read));
    EXPECT_EQ(read.lastAccess, fileTimeFromUnix(1000000000, 123456789));
    EXPECT_EQ(read.lastWrite, fileTimeFromUnix(1600000000, 500));
    EXPECT_NE(read.creation, 0u);
    EXPECT_FALSE(queryFileTimes(fromUtf8(env.root() + "/missing"), read));
}

}  // namespace
}  // namespace vantro::platform
