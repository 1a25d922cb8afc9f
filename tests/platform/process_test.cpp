#include "platform/process.h"

#include "platform/utf.h"

#include "support/child_process.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <vector>

namespace vantro::platform {
namespace {

// An idle child seen through every query from start to death: listed, its image path
// the full path, alive while running, and gone once reaped.
TEST(Process, QueriesFollowAChildThroughDeath) {
    test::TestEnvironment env;
    test::ChildProcess child(PLATFORM_TEST_HELPER, {"window-publish", "IDLE", "", "0", env.root() + "/never"});
    ASSERT_NE(child.waitForLine("received 0"), "");
    const auto pid = static_cast<uint32_t>(child.pid());

    std::vector<uint32_t> ids(65536);
    uint32_t bytes = 0;
    ASSERT_TRUE(enumProcesses(ids.data(), static_cast<uint32_t>(ids.size() * 4), &bytes));
    ids.resize(bytes / 4);
    for (uint32_t wanted : {currentProcessId(), pid})
        EXPECT_NE(std::find(ids.begin(), ids.end(), wanted), ids.end()) << wanted;
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(PLATFORM_TEST_HELPER, resolved), nullptr);
    const std::u16string expected = fromUtf8(resolved);
    std::u16string path = u"unchanged";
    ASSERT_TRUE(queryProcessImagePath(pid, path, 4096));
    EXPECT_EQ(path, expected);

    EXPECT_TRUE(isProcessAlive(pid));
    EXPECT_TRUE(isProcessAlive(1));  // init: alive even when not ours to signal
    child.kill(SIGKILL);
    EXPECT_EQ(child.wait(), 128 + SIGKILL);
    EXPECT_FALSE(queryProcessImagePath(pid, path));
    EXPECT_FALSE(isProcessAlive(pid));
    EXPECT_FALSE(isProcessAlive(0));
    EXPECT_FALSE(isProcessAlive(UINT32_MAX));
}

}  // namespace
}  // namespace vantro::platform
