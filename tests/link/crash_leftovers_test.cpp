// What a creator killed with SIGKILL leaves behind (its channel, its buffers, its
// announcement) is swept when the peer starts. This binary runs alone (SERIAL): the
// sweep removes every abandoned name of the user, and the exact count below would
// also catch a leak of an earlier test.

#include <gtest/gtest.h>

#include <filesystem>

#include "link/live_connection.h"
#include "link_test_support.h"
#include "support/child_process.h"
#include "support/test_environment.h"

namespace {

using namespace vantro::test;
namespace fs = std::filesystem;

TEST(CrashLeftovers, PeerStartSweepsWhatAKilledCreatorLeft) {
    TestEnvironment env;
    const std::u16string name = uniqueName("crash");
    ChildProcess child(creatorChildPath(), {utf8(name), "8", "--register", "--buffers", "3"});
    ASSERT_NE(child.waitForLine("BUFFERS 1-3"), "") << child.output();
    std::vector<std::string> buffers;
    for (uint32_t id = 1; id <= 3; ++id)
        buffers.push_back(shmPath(VantroAPI::bufferName(static_cast<uint32_t>(child.pid()), id)));
    child.kill(9);
    ASSERT_EQ(child.wait(), 128 + 9);
    ASSERT_TRUE(fs::exists(shmPath(VantroAPI::mappingName(name))));
    for (const std::string& buffer : buffers)
        ASSERT_TRUE(fs::exists(buffer)) << buffer;
    ASSERT_EQ(announcedValue(name), 1u);

    {
        // As the suite runs it: abandoned names stay for the leak check. The stale
        // announcement goes all the same, and with it the channel it names.
        ScopedVariable keep("VANTRO_KEEP_ABANDONED_SHM", "1");
        auto kept = runProgram(peerPath(), {});
        EXPECT_NE(kept.output.find("SWEPT abandoned=0"), std::string::npos) << kept.output;
        EXPECT_FALSE(announcedValue(name));
        EXPECT_FALSE(fs::exists(shmPath(VantroAPI::mappingName(name))));
        for (const std::string& buffer : buffers)
            EXPECT_TRUE(fs::exists(buffer)) << buffer;
    }
    ScopedVariable sweep("VANTRO_KEEP_ABANDONED_SHM", nullptr);
    auto swept = runProgram(peerPath(), {});
    EXPECT_EQ(swept.exitCode, 0);
    // At least this creator's three; names another test left abandoned are swept too
    // (the suite's leak check, which runs last, then cannot see them).
    const size_t at = swept.output.find("SWEPT abandoned=");
    ASSERT_NE(at, std::string::npos) << swept.output;
    EXPECT_GE(std::stoul(swept.output.substr(at + 16)), 3u) << swept.output;
    for (const std::string& buffer : buffers)
        EXPECT_FALSE(fs::exists(buffer)) << buffer;
}

}  // namespace
