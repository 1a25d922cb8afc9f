#include "platform/process.h"

#include "platform/utf.h"

#include "support/child_process.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vantro::platform {
namespace {

using test::ChildProcess;

std::vector<uint32_t> allProcesses() {
    std::vector<uint32_t> ids(65536);
    uint32_t bytes = 0;
    EXPECT_TRUE(enumProcesses(ids.data(), static_cast<uint32_t>(ids.size() * 4), &bytes));
    ids.resize(bytes / 4);
    return ids;
}

// A child started with the helper holds a window open until killed: a process that
// runs but does nothing.
std::unique_ptr<ChildProcess> startIdleChild(const test::TestEnvironment& env) {
    auto child = std::make_unique<ChildProcess>(
        PLATFORM_TEST_HELPER, std::vector<std::string>{"window-publish", "IDLE", "", "0", env.root() + "/never"});
    EXPECT_NE(child->waitForLine("received 0"), "");
    return child;
}

// Enumeration lists this process and a child, like EnumProcesses; a short array is
// filled to capacity and reported full.
TEST(Process, EnumProcessesListsRunningProcesses) {
    test::TestEnvironment env;
    auto child = startIdleChild(env);
    std::vector<uint32_t> ids = allProcesses();
    EXPECT_NE(std::find(ids.begin(), ids.end(), currentProcessId()), ids.end());
    EXPECT_NE(std::find(ids.begin(), ids.end(), static_cast<uint32_t>(child->pid())), ids.end());
    EXPECT_EQ(std::find(ids.begin(), ids.end(), 0u), ids.end());

    uint32_t two[2] = {0, 0};
    uint32_t bytes = 0;
    ASSERT_TRUE(enumProcesses(two, 11, &bytes));  // 11 bytes hold two ids
    EXPECT_EQ(bytes, 8u);
    EXPECT_NE(two[0], 0u);
    EXPECT_TRUE(enumProcesses(nullptr, 0, &bytes));
    EXPECT_EQ(bytes, 0u);
    EXPECT_FALSE(enumProcesses(two, 8, nullptr));
    EXPECT_FALSE(enumProcesses(nullptr, 8, &bytes));
}

// The image path is the executable's full path in UTF-16, limited like a Windows
// buffer that must also hold the terminator.
TEST(Process, ImagePathOfAnotherProcess) {
    test::TestEnvironment env;
    auto child = startIdleChild(env);
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(PLATFORM_TEST_HELPER, resolved), nullptr);
    std::u16string expected = fromUtf8(resolved);

    std::u16string path = u"unchanged";
    ASSERT_TRUE(queryProcessImagePath(static_cast<uint32_t>(child->pid()), path, 4096));
    EXPECT_EQ(path, expected);
    path = u"unchanged";
    EXPECT_FALSE(queryProcessImagePath(static_cast<uint32_t>(child->pid()), path, expected.size()));
    EXPECT_EQ(path, u"unchanged");
    EXPECT_TRUE(queryProcessImagePath(static_cast<uint32_t>(child->pid()), path, expected.size() + 1));
    EXPECT_FALSE(queryProcessImagePath(0, path));
    EXPECT_FALSE(queryProcessImagePath(UINT32_MAX, path));
}

// Liveness follows the process: running, then a zombie (ended, not yet reaped), then
// reaped, and the image path is gone with it.
TEST(Process, LivenessThroughDeath) {
    test::TestEnvironment env;
    auto child = startIdleChild(env);
    uint32_t pid = static_cast<uint32_t>(child->pid());
    EXPECT_TRUE(isProcessAlive(pid));
    EXPECT_TRUE(isProcessAlive(currentProcessId()));
    EXPECT_TRUE(isProcessAlive(1));  // init: alive even when not ours to signal

    ::kill(static_cast<pid_t>(pid), SIGKILL);
    // Killed but not reaped: wait until the kernel has made it a zombie.
    for (int i = 0; i < 500 && isProcessAlive(pid); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_FALSE(isProcessAlive(pid));
    EXPECT_EQ(child->wait(), 128 + SIGKILL);
    std::u16string path;
    EXPECT_FALSE(queryProcessImagePath(pid, path));
    EXPECT_FALSE(isProcessAlive(pid));
    EXPECT_FALSE(isProcessAlive(0));
    EXPECT_FALSE(isProcessAlive(UINT32_MAX));
}

}  // namespace
}  // namespace vantro::platform
