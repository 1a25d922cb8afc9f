// A channel whose other side writes nonsense. Neither the connection (creator or
// opener) nor the peer's reader may leave its mappings: the lies point gigabytes past
// small mappings, so an unclamped scan faults at once (sanitizer builds check the rest).

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>

#include "channel_summary.h"
#include "link/live_connection.h"
#include "link_test_support.h"
#include "platform/shared_memory.h"
#include "support/child_process.h"
#include "support/test_environment.h"

namespace {

using namespace VantroAPI;
using vantro::platform::SharedMemory;
using vantro::platform::ShmResult;

// A main mapping made by hand, as a hostile creator would.
struct RawChannel {
    std::u16string name;
    SharedMemory memory;

    RawChannel(std::u16string channelName, size_t size) : name(std::move(channelName)) {
        EXPECT_EQ(SharedMemory::create(mappingName(name), size, memory), ShmResult::ok);
    }
    std::byte* bytes() { return static_cast<std::byte*>(memory.data()); }
    void putHeader(const ConnectionHeader& h) { std::memcpy(bytes(), &h, sizeof h); }
    std::byte* slot(uint32_t i) { return bytes() + kFirstSlotOffset + size_t{i} * kBlockSize; }
    void putRecord(uint32_t i, uint32_t tag, uint32_t size, uint32_t id, uint32_t flags) {
        store(slot(i), Field<RecordPrefix>{0}, RecordPrefix{tag, size, id, flags, 0});
    }
};

// Every query and update of the message set, on whatever the channel holds.
void exerciseEveryOperation(LiveConnection& c, uint32_t seed) {
    std::vector<RecordPrefix*> records;
    (void)(c.CountRecords(kTagSrfc, 0, 0) + c.CountRecords(kTagView, 1, 1) + c.TestFlags(~0u) + c.IsActive() +
           c.GetUpdateCount() + c.GetUserValue() + c.HasBothPaths() + c.IsOwnerForeground());
    c.FindRecord(seed | 1);
    c.MapBuffer(seed);
    c.MapBuffer(0x80000000u | seed);
    c.FindRecords(records, kTagStat, 0, 0);
    for (RecordPrefix* r : c.AllRecords(records)) {
        c.TestRecordFlags(r, ~0u);
        c.SetRecordFlags(r, 1);
        c.ClearRecordFlags(r, 1);
    }
    for (TextField field : {header::kLabel, header::kPath1, header::kPath2})
        loadText(c.HeaderBlock(), field);
    if (c.Lock(0))
        c.Unlock();
    if (RecordPrefix* added = c.AddRecord(kTagSrfc))
        c.RemoveRecord(load(added, record::kId));
    c.RemoveRecord(seed);
    c.SetView(false, nullptr);
    c.SetStatistics({{u"k", {0, u"v w"}}});
    vantro::peer::JsonWriter json;
    vantro::peer::writeChannelSummary(c, json);
    EXPECT_TRUE(nlohmann::json::accept(json.text())) << json.text();
}

class HostileChannelTest : public ::testing::Test {
protected:
    vantro::test::TestEnvironment env;
    std::u16string name = vantro::test::uniqueName("hostile");
    LiveConnection creator;
    SharedMemory other;

    // The creator's header as the other side sees it, for writing lies into.
    std::byte* createWithOtherView(uint32_t slots) {
        EXPECT_EQ(creator.Create(name, slots), 0);
        EXPECT_EQ(SharedMemory::open(mappingName(name), other), ShmResult::ok);
        return static_cast<std::byte*>(other.data());
    }
    void TearDown() override { creator.Close(); }
};

// A header claiming two billion slots and a high-water mark at the end of the range:
// every scan stays within the three slots that exist, in the peer's process as here.
TEST_F(HostileChannelTest, HugeSlotCountIsClampedToTheMapping) {
    RawChannel raw(name, 4 * kBlockSize);
    ConnectionHeader h = makeInitialHeader(0x7FFFFFFF, 1);
    h.highestSlot = 0xFFFFFFFF;
    h.totalSize = 0xFFFFFFFF;
    for (char16_t& c : h.label)
        c = u'X';  // no terminator
    raw.putHeader(h);
    raw.putRecord(0, kTagStat, 0xFFFFFFFF, 1, 1);
    store(raw.slot(0), stat_record::kTextBuffer, uint32_t{0x1234});
    store(raw.slot(0), stat_record::kTextCapacity, uint32_t{0xFFFFFFFF});
    raw.putRecord(2, kTagSrfc, 0xFFFFFFFF, 5, 1);  // size far past its slot

    auto result = vantro::test::runProgram(
        vantro::test::peerPath(), {"--connection", vantro::test::utf8(name), "--dump", "--read-buffer", "0x1234"});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    auto json = vantro::test::linesWith(result.output, "{\"connection\"");
    ASSERT_EQ(json.size(), 1u) << result.output;
    const nlohmann::json summary = nlohmann::json::parse(json[0]);
    EXPECT_EQ(summary["header"]["label"].get<std::string>(), std::string(64, 'X'));
    EXPECT_EQ(summary["usableSlots"].get<uint64_t>(), 3u);
    EXPECT_FALSE(summary["records"].at(0)["stat"]["bufferMapped"].get<bool>());
    EXPECT_EQ(vantro::test::linesWith(result.output, "READ-BUFFER id=0x00001234 missing").size(), 1u);

    store(raw.bytes(), header::kLockOwner, uint32_t{0xFFFFFFFF});
    LiveConnection opener;
    ASSERT_EQ(opener.Open(name), 0);
    EXPECT_EQ(opener.UsableSlotCount(), 3u);
    EXPECT_EQ(opener.CountRecords(kTagSrfc, 0, 0), 1u);
    EXPECT_EQ(opener.SlotIndexOf(opener.FindRecord(5)), 2u);
    EXPECT_EQ(opener.FindRecord(6), nullptr);
    EXPECT_FALSE(opener.Lock(0));  // garbage owner
    EXPECT_NE(opener.AddRecord(kTagSrfc), nullptr);
    EXPECT_EQ(opener.AddRecord(kTagSrfc), nullptr);  // the mapping is full, whatever slotCount says
    EXPECT_EQ(opener.MapBuffer(0x1234), nullptr);    // a buffer id of nothing
    exerciseEveryOperation(opener, 77);
    opener.Disconnect();
}

// firstSlotOffset past the end, in the header, misaligned or leaving part of a slot: no slots.
// A header without its tag, or a mapping too small for it, is not a channel.
TEST_F(HostileChannelTest, LyingFirstSlotOffsetLeavesNoSlots) {
    // The offsets are placed against the size an opener sees (whole pages on Windows).
    const size_t granule = SharedMemory::openedSizeGranularity();
    const auto size = static_cast<uint32_t>((3 * kBlockSize + granule - 1) / granule * granule);
    RawChannel raw(name, size);
    for (uint32_t offset : {0u, 100u, 2049u, size - kBlockSize + 8, size + 4, 0xFFFFFFF0u}) {
        ConnectionHeader h = makeInitialHeader(2, 1);
        h.firstSlotOffset = offset;
        raw.putHeader(h);
        LiveConnection opener;
        ASSERT_EQ(opener.Open(name), 0);
        EXPECT_EQ(opener.UsableSlotCount(), 0u) << offset;
        EXPECT_EQ(opener.AddRecord(kTagSrfc), nullptr);
        exerciseEveryOperation(opener, offset);
    }
    ConnectionHeader unfinished = makeInitialHeader(2, 1);
    unfinished.prefix.tag = 0;  // a creator still writing its header
    raw.putHeader(unfinished);
    EXPECT_EQ(LiveConnection().Open(name), -1);
    raw.memory.close();
    RawChannel tiny(name, kHeaderSize - 4);
    LiveConnection opener;
    EXPECT_EQ(opener.Open(name), -1);
    EXPECT_FALSE(opener.IsOpen());
}

// Buffer ids the creator owns, of nothing, and huge sizes written into each field it
// reads back: its statistics stay in its own text buffer, geometry buffers untouched.
TEST_F(HostileChannelTest, RewrittenFieldsCannotRedirectTheCreator) {
    std::byte* head = createWithOtherView(8);
    std::byte* stat = head + kFirstSlotOffset + kBlockSize;
    const uint32_t material = load(creator.AddRecord(kTagSrfc), record::kId);
    const uint32_t geometry[] = {creator.CreateBuffer(material, 4096), creator.CreateBuffer(material, 64)};
    for (uint32_t id : geometry)
        std::memset(creator.MapBuffer(id), 0xA5, creator.MappedBufferSize(id));
    const uint32_t realPid = creator.OwnProcessId();
    store(head, header::kSlotCount, uint32_t{0xFFFFFFFF});
    store(head, header::kHighestSlot, uint32_t{0xFFFFFFFE});
    store(head, header::kFirstSlotOffset, uint32_t{16});
    EXPECT_EQ(creator.UsableSlotCount(), 8u);
    EXPECT_EQ(creator.CountRecords(kTagStat, 0, 0), 1u);

    std::u16string text = u"x";
    creator.SetStatistics({{u"k", {1, text}}});
    const std::pair<const char*, std::byte*> fields[] = {{"textBuffer", stat + stat_record::kTextBuffer.offset},
                                                         {"textCapacity", stat + stat_record::kTextCapacity.offset},
                                                         {"record id", stat + record::kId.offset},
                                                         {"creatorPid", head + header::kCreatorPid.offset}};
    for (const auto& [field, where] : fields) {
        for (int pick = 0; pick < 5; ++pick) {
            const uint32_t lie = pick < 2    ? geometry[pick]
                                 : pick == 2 ? load(stat, stat_record::kTextBuffer)
                                             : (pick == 3 ? 0xDEADu : 0xFFFFFFFFu);
            SCOPED_TRACE(std::string(field) + " = " + std::to_string(lie));
            std::memcpy(where, &lie, 4);
            if (where == stat + stat_record::kTextBuffer.offset)
                store(stat, stat_record::kTextCapacity, uint32_t{0});  // "too small": replace it
            text = text.size() > 1000 ? u"x" : text + text;            // every other round outgrows the buffer
            creator.SetStatistics({{u"k", {1, text}}});
            store(head, header::kCreatorPid, realPid);
            store(stat, record::kId, uint32_t{2});

            for (uint32_t id : geometry) {
                ASSERT_NE(creator.MapBuffer(id), nullptr);
                const auto* bytes = static_cast<const uint8_t*>(creator.MapBuffer(id));
                const size_t size = creator.MappedBufferSize(id);
                EXPECT_EQ(size, id == geometry[0] ? 4096u : 64u);
                EXPECT_EQ(std::count(bytes, bytes + size, 0xA5), static_cast<long>(size));
            }
            const uint32_t published = load(stat, stat_record::kTextBuffer);
            EXPECT_NE(published, geometry[0]);
            EXPECT_NE(published, geometry[1]);
            EXPECT_GE(load(stat, stat_record::kTextCapacity), (text.size() + 9) * 2);
            LiveConnection reader;  // the other side finds the text under the published id
            ASSERT_EQ(reader.Open(name), 0);
            const auto* shown = static_cast<const char16_t*>(reader.MapBuffer(published));
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(std::u16string(shown), u"{\"k\":\"" + text + u"\"}");
            reader.Disconnect();
        }
    }
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(creator.AddRecord(kTagSrfc), nullptr);
    EXPECT_EQ(creator.AddRecord(kTagSrfc), nullptr);  // the real slots are full, whatever the header says
    exerciseEveryOperation(creator, 3);
}

// Header texts left without terminator: the getters hand out at most the field.
TEST_F(HostileChannelTest, TextGettersStayInsideTheirFields) {
    std::byte* head = createWithOtherView(2);
    // Everything from the label to the end of the header block is non-zero.
    for (uint32_t offset = header::kLabel.offset; offset + 2 <= kBlockSize; offset += 2)
        store(head, Field<char16_t>{offset}, offset < header::kPath1.offset ? u'L' : u'P');
    EXPECT_EQ(std::u16string(creator.GetLabel()), std::u16string(63, u'L'));
    EXPECT_EQ(std::u16string(creator.GetPath1()), std::u16string(259, u'P'));
    EXPECT_EQ(std::u16string(creator.GetPath2()), std::u16string(259, u'P'));
    EXPECT_TRUE(creator.HasBothPaths());
}

}  // namespace
