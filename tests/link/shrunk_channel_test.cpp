// Another process truncates a creator's shared memory while the creator writes, as
// any process of the same user can. The creator must not die of SIGBUS: it keeps
// running, reports the link broken (IsActive false), closes it cleanly, leaves
// nothing behind in /dev/shm, and can start the link again.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

template <class Condition>
bool waitUntil(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// What the sync worker does each cycle: lock, add and mark a record, rewrite the
// geometry buffer, mark the header, unlock.
struct Writer {
    LiveConnection& connection;
    uint32_t buffer;
    std::atomic<bool> stop{false};
    std::atomic<int> cycles{0};
    std::atomic<int> refusedRecords{0};
    std::thread thread{[this] { run(); }};

    void run() {
        while (!stop.load()) {
            if (connection.Lock(10000)) {
                if (RecordPrefix* record = connection.AddRecord(kTagSrfc)) {
                    connection.SetRecordFlags(record, kRecordChanged);
                    connection.RemoveRecord(load(record, record::kId));
                } else {
                    refusedRecords.fetch_add(1);  // the header reads zero once the channel broke
                }
                if (void* bytes = connection.MapBuffer(buffer))
                    std::memset(bytes, cycles.load() & 0xFF, connection.MappedBufferSize(buffer));
                connection.SetFlags(kHeaderChanged);
                connection.Unlock();
            }
            cycles.fetch_add(1);
        }
    }
    void finish() {
        stop.store(true);
        thread.join();
    }
};

TEST(ShrunkChannel, TruncatedBufferAndChannelUnderAWritingCreator) {
    vantro::test::TestEnvironment env;
    const std::u16string name = vantro::test::uniqueName("shrunk");
    LiveConnection connection;
    ASSERT_EQ(connection.Create(name, 64), 0);
    const uint32_t buffer = connection.CreateBuffer(1, 1 << 20);
    ASSERT_NE(buffer, 0u);
    const std::string channelPath = shmPath(mappingName(name));
    const std::string bufferPath = shmPath(bufferName(connection.OwnProcessId(), buffer));

    Writer writer{connection, buffer};
    ASSERT_TRUE(waitUntil([&] { return writer.cycles.load() > 20; }));
    EXPECT_FALSE(connection.IsBroken());
    truncateInAnotherProcess(bufferPath);
    ASSERT_TRUE(waitUntil([&] { return connection.IsBroken(); }));
    int cycles = writer.cycles.load();
    ASSERT_TRUE(waitUntil([&] { return writer.cycles.load() > cycles + 20; }));  // still writing
    EXPECT_EQ(writer.refusedRecords.load(), 0);

    truncateInAnotherProcess(channelPath);
    ASSERT_TRUE(waitUntil([&] { return writer.refusedRecords.load() > 0; }));
    cycles = writer.cycles.load();
    ASSERT_TRUE(waitUntil([&] { return writer.cycles.load() > cycles + 20; }));
    writer.finish();

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
