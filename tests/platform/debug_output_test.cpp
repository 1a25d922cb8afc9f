#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace vantro::platform {
namespace {

// Without a sink the text reaches stderr as UTF-8, whole.
TEST(DebugOutput, WritesUtf8ToStderr) {
    std::fflush(stderr);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    int saved = ::dup(2);
    ::dup2(pipeFds[1], 2);
    outputDebugString(u"\n --- Can't lock mutex! ---\n");
    outputDebugString(u"\u00e9\U0001F600");
    ::dup2(saved, 2);
    ::close(saved);
    ::close(pipeFds[1]);
    char buffer[256];
    ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    ::close(pipeFds[0]);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)), "\n --- Can't lock mutex! ---\n\xC3\xA9\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace vantro::platform
