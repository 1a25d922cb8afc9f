// Golden bytes of the channel: what a fresh connection, the "VIEW" record and the
// "STAT" record look like in shared memory, byte for byte, plus the names.

#include "link/channel_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "link/live_connection.h"
#include "support/test_environment.h"

namespace {

using namespace VantroAPI;
using Bytes = std::vector<uint8_t>;

Bytes copyOut(const void* block, size_t size) {
    Bytes bytes(size);
    std::memcpy(bytes.data(), block, size);
    return bytes;
}

void put(Bytes& bytes, size_t offset, std::initializer_list<uint8_t> values) {
    std::copy(values.begin(), values.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void put32(Bytes& bytes, size_t offset, uint32_t v) {
    put(bytes, offset, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}

// A fresh 4-slot connection, with VIEW and STAT made.
class ChannelLayout : public ::testing::Test {
protected:
    vantro::test::TestEnvironment env;
    LiveConnection connection;

    void SetUp() override { ASSERT_EQ(connection.Create(vantro::test::uniqueName("golden"), 4), 0); }
    void TearDown() override { connection.Close(); }
};

// The header block of the fresh connection.
TEST_F(ChannelLayout, FreshHeaderGoldenBytes) {
    Bytes expected(kBlockSize, 0);
    put(expected, 0, {'H',  'E',  'A', 'D', 0xDC, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // tag, 1244, id 0, flags 0
                      1,    0,    0,   0,   1,    0,    0, 0, 0, 0, 0, 0,  // changeCount 1, unnamed 1, lock 0
                      0x00, 0x28, 0,   0,   0x00, 0x08, 0, 0, 4, 0, 0, 0,  // totalSize 10240, 2048, 4 slots
                      3,    0,    0,   0,   1,    0,    0, 0});            // recordCount 3, highestSlot 1
    put32(expected, 48, connection.OwnProcessId());
    put(expected, 196, {1, 0, 0, 0});  // updateCount
    EXPECT_EQ(copyOut(connection.HeaderBlock(), kBlockSize), expected);
}

// "VIEW" in slot 0 after SetView(false, data): prefix, applyNow 0, payload at 24.
TEST_F(ChannelLayout, ViewRecordGoldenBytes) {
    ViewData data{};
    for (int i = 0; i < 4; ++i)
        data.viewMatrix[i * 5] = 1.0f;
    data.cameraKind = kCameraPerspective;
    data.fieldOfView = 45.0f;
    data.position[0] = 1.0f;
    data.position[1] = 2.0f;
    data.position[2] = 0.5f;
    data.direction[2] = -1.0f;
    data.up[1] = 1.0f;
    connection.SetView(false, &data);

    std::vector<RecordPrefix*> views;
    ASSERT_EQ(connection.FindRecords(views, kTagView, 0, 0).size(), 1u);
    ASSERT_EQ(connection.SlotIndexOf(views[0]), 0u);

    Bytes expected(kBlockSize, 0);
    put(expected, 0, {'V', 'I', 'E', 'W', 0x8C, 0x02, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
    constexpr uint8_t kOne[] = {0x00, 0x00, 0x80, 0x3F};
    for (int i = 0; i < 4; ++i)
        put(expected, 24 + 4 * (i * 5), {kOne[0], kOne[1], kOne[2], kOne[3]});
    put(expected, 24 + 584, {6, 0, 0, 0, 0x00, 0x00, 0x34, 0x42});              // cameraKind 6, fieldOfView 45
    put(expected, 24 + 592, {0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0, 0x3F});  // position 1, 2, 0.5
    put(expected, 24 + 604, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xBF});        // direction 0, 0, -1
    put(expected, 24 + 616, {0, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0, 0});        // up 0, 1, 0
    EXPECT_EQ(copyOut(views[0], kBlockSize), expected);
}

// "STAT" in slot 1 and its text buffer after the example statistics.
TEST_F(ChannelLayout, StatRecordAndTextGoldenBytes) {
    connection.SetStatistics({{u"size", {1, u"12"}}, {u"name", {0, u"a b"}}});

    std::vector<RecordPrefix*> stats;
    ASSERT_EQ(connection.FindRecords(stats, kTagStat, 0, 0).size(), 1u);
    EXPECT_EQ(connection.SlotIndexOf(stats[0]), 1u);
    const std::u16string text = u"{\"name\":\"a%20b\",\"size\":\"12\"}";
    const uint32_t byteLength = static_cast<uint32_t>((text.size() + 1) * 2);

    Bytes expected(kBlockSize, 0);
    put(expected, 0, {'S', 'T', 'A', 'T', 28, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0});
    put32(expected, 24, 2 * byteLength);
    EXPECT_EQ(copyOut(stats[0], kBlockSize), expected);

    Bytes text16(2 * byteLength, 0);
    std::memcpy(text16.data(), text.data(), text.size() * 2);
    const void* buffer = connection.MapBuffer(1);
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(connection.MappedBufferSize(1), 2u * byteLength);
    EXPECT_EQ(copyOut(buffer, 2 * byteLength), text16);
}

// Kernel names: only backslashes change; buffer names use the creator's pid.
TEST(ChannelNames, Names) {
    EXPECT_EQ(mappingName(u"D:\\Work\\house.dae"), u"D:/Work/house.dae");
    EXPECT_EQ(mappingName(u"a/b\\c d\u00e9.DAE"), u"a/b/c d\u00e9.DAE");
    EXPECT_EQ(bufferName(1234, 1), u"VantroAPI/1234/00000001");
    EXPECT_EQ(bufferName(77, 0x80000001u), u"VantroAPI/77/80000001");
    EXPECT_EQ(bufferName(0xFFFFFFFFu, 0xABCDEFu), u"VantroAPI/-1/00ABCDEF");
}

}  // namespace
