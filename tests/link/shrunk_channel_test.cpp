// Any process of the user can truncate a creator's shared memory: the creator must not
// die of SIGBUS, reports the link broken, leaves nothing behind and can start again.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "link/live_connection.h"
#include "link_test_support.h"
#include "support/child_process.h"
#include "support/test_environment.h"

namespace {

using namespace VantroAPI;
using vantro::test::shmPath;

void truncateInAnotherProcess(const std::string& path) {
    ASSERT_EQ(vantro::test::runProgram("/usr/bin/truncate", {"-s", "0", path}).exitCode, 0) << path;
}

// One cycle of the sync worker, on a thread of its own as there; false when the record
// was refused (the header reads zero once the channel broke).
bool writeCycle(LiveConnection& connection, uint32_t buffer) {
    bool added = false;
    std::thread([&] {
        ASSERT_TRUE(connection.Lock(10000));
        if (RecordPrefix* record = connection.AddRecord(kTagSrfc)) {
            connection.SetRecordFlags(record, kRecordChanged);
            connection.RemoveRecord(load(record, record::kId));
            added = true;
        }
        if (void* bytes = connection.MapBuffer(buffer))
            std::memset(bytes, 0x5A, connection.MappedBufferSize(buffer));
        connection.SetFlags(kHeaderChanged);
        connection.Unlock();
    }).join();
    return added;
}

TEST(ShrunkChannel, TruncatedBufferAndChannelUnderAWritingCreator) {
    vantro::test::TestEnvironment env;
    const std::u16string name = vantro::test::uniqueName("shrunk");
    LiveConnection connection;
    ASSERT_EQ(connection.Create(name, 64), 0);
    const uint32_t buffer = connection.CreateBuffer(1, 1 << 20);
    ASSERT_NE(buffer, 0u);
    const std::string channelPath = shmPath(mappingName(name));
    const std::string bufferPath = shmPath(bufferName(connection.OwnProcessId(), buffer));

    EXPECT_TRUE(writeCycle(connection, buffer));
    EXPECT_FALSE(connection.IsBroken());
    truncateInAnotherProcess(bufferPath);
    EXPECT_TRUE(writeCycle(connection, buffer));
    EXPECT_TRUE(connection.IsBroken());
    EXPECT_TRUE(writeCycle(connection, buffer));  // still writing
    truncateInAnotherProcess(channelPath);
    EXPECT_FALSE(writeCycle(connection, buffer));
    EXPECT_FALSE(writeCycle(connection, buffer));

    EXPECT_FALSE(connection.IsActive());
    connection.Close();
    EXPECT_FALSE(std::filesystem::exists(channelPath));
    EXPECT_FALSE(std::filesystem::exists(bufferPath));

    ASSERT_EQ(connection.Create(name, 64), 0);  // the link starts again
    EXPECT_TRUE(connection.IsActive());
    EXPECT_FALSE(connection.IsBroken());
    EXPECT_NE(connection.AddRecord(kTagSrfc), nullptr);
    connection.Close();
}

}  // namespace
