// LiveConnection within one process; where the other side matters it is a second
// mapping or connection of the same name. Real processes: live_connection_process_test.cpp.

#include "link/live_connection.h"
#include "platform/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "link_test_support.h"
#include "platform/shared_memory.h"
#include "support/test_environment.h"

namespace {

using namespace VantroAPI;
using vantro::platform::SharedMemory;
using vantro::platform::ShmResult;
using vantro::test::announcedValue;
using vantro::test::uniqueName;

class LiveConnectionTest : public ::testing::Test {
protected:
    vantro::test::TestEnvironment env;
    std::u16string name = uniqueName("conn");
    LiveConnection connection;

    void TearDown() override { connection.Close(); }
    uint32_t headerField(Field<uint32_t> field) const { return load(connection.HeaderBlock(), field); }
    std::pair<uint32_t, uint32_t> counts() const {
        return {headerField(header::kRecordCount), headerField(header::kHighestSlot)};
    }
    uint32_t slotOfNewRecord() { return connection.SlotIndexOf(connection.AddRecord(kTagSrfc)); }
    // A second view of the main mapping, standing in for the other process.
    std::byte* otherView(SharedMemory& view) {
        EXPECT_EQ(SharedMemory::open(mappingName(name), view), ShmResult::ok);
        return static_cast<std::byte*>(view.data());
    }
    RecordPrefix* only(uint32_t tag) {
        std::vector<RecordPrefix*> records;
        return connection.FindRecords(records, tag, 0, 0).at(0);
    }
};

// Every operation on a closed connection gives its empty result.
TEST_F(LiveConnectionTest, ClosedConnectionGivesEmptyResults) {
    std::vector<RecordPrefix*> records{nullptr};
    EXPECT_EQ(connection.CountRecords(kTagView, 0, 0) + connection.TestFlags(~0u) + connection.GetUpdateCount() +
                  connection.GetUserValue() + connection.CreateBuffer(1, 16),
              0u);
    EXPECT_EQ(connection.RemoveRecord(1), -1);
    EXPECT_EQ(connection.Register(), -1);
    EXPECT_EQ(connection.AddRecord(kTagSrfc), nullptr);
    EXPECT_EQ(connection.FindRecord(1), nullptr);
    EXPECT_EQ(connection.MapBuffer(1), nullptr);
    for (const char16_t* text : {connection.GetLabel(), connection.GetPath1(), connection.GetPath2()})
        EXPECT_EQ(text, nullptr);
    EXPECT_TRUE(connection.FindRecords(records, kTagView, 0, 0).empty());
    EXPECT_FALSE(connection.HasBothPaths() || connection.Lock(0) || connection.IsActive() ||
                 connection.IsOwnerForeground());
    connection.SetFlags(1);
    connection.SetView(true, nullptr);
    connection.SetStatistics({});
    connection.Unlock();
    connection.Disconnect();
}

// A full channel refuses AddRecord and "HEAD"; freed slots are taken again lowest first,
// ids keep rising; removing the top record lowers highestSlot by one and zeroes the slot.
TEST_F(LiveConnectionTest, RecordSlots) {
    ASSERT_EQ(connection.Create(name, 5), 0);
    EXPECT_EQ(connection.AddRecord(kTagHead), nullptr);
    std::vector<RecordPrefix*> added;
    for (int i = 0; i < 3; ++i)
        added.push_back(connection.AddRecord(kTagSrfc));
    ASSERT_NE(added[2], nullptr);
    EXPECT_EQ(connection.AddRecord(kTagSrfc), nullptr);  // full
    EXPECT_EQ(counts(), std::pair(6u, 4u));

    const uint32_t ids[] = {load(added[0], record::kId), load(added[1], record::kId), load(added[2], record::kId)};
    ASSERT_EQ(connection.SlotIndexOf(added[1]), 3u);
    EXPECT_EQ(connection.RemoveRecord(ids[1]), 0);
    EXPECT_EQ(connection.FindRecord(ids[1]), nullptr);
    EXPECT_EQ(counts(), std::pair(5u, 4u));
    RecordPrefix* again = connection.AddRecord(makeTag("MESH"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(std::tuple(connection.SlotIndexOf(again), load(again, record::kSize)), std::tuple(3u, 20u));
    EXPECT_GT(load(again, record::kId), ids[2]);

    EXPECT_EQ(connection.RemoveRecord(load(again, record::kId)), 0);
    EXPECT_EQ(counts(), std::pair(5u, 4u));
    EXPECT_EQ(connection.RemoveRecord(ids[2]) + connection.RemoveRecord(0) + connection.RemoveRecord(12345), 0);
    EXPECT_EQ(counts(), std::pair(4u, 3u));  // slot 3 is free, but only one step
    const auto* slot = reinterpret_cast<const uint8_t*>(added[2]);
    EXPECT_TRUE(std::all_of(slot, slot + kBlockSize, [](uint8_t v) { return v == 0; }));
}

// The lowest free slot is taken also when the other side freed it below every slot
// handed out here, with or without the lock held across the adds.
TEST_F(LiveConnectionTest, AddRecordTakesASlotThePeerFreed) {
    ASSERT_EQ(connection.Create(name, 16), 0);
    std::vector<uint32_t> ids;
    ASSERT_TRUE(connection.Lock(0));
    for (int i = 0; i < 6; ++i)
        ids.push_back(load(connection.AddRecord(kTagSrfc), record::kId));  // slots 2..7
    connection.Unlock();

    LiveConnection peer;  // the other side, honouring the lock
    ASSERT_EQ(peer.Open(name), 0);
    ASSERT_TRUE(peer.Lock(0));
    peer.RemoveRecord(ids[1]);  // slot 3
    peer.Unlock();
    EXPECT_EQ(slotOfNewRecord(), 3u);  // without the lock

    ASSERT_TRUE(peer.Lock(0));
    peer.RemoveRecord(ids[0]);  // slot 2
    peer.RemoveRecord(ids[4]);  // slot 6
    peer.Unlock();
    ASSERT_TRUE(connection.Lock(0));
    EXPECT_EQ(slotOfNewRecord(), 2u);
    EXPECT_EQ(slotOfNewRecord(), 6u);
    EXPECT_EQ(slotOfNewRecord(), 8u);
    connection.Unlock();
    peer.Disconnect();
}

// A slot the other side took while this process held the lock throughout (it should
// not have, but may) is skipped, never overwritten; a slot freed here is taken again
// first, also far into a large channel.
TEST_F(LiveConnectionTest, AddRecordSkipsASlotTheOtherSideTookMeanwhile) {
    ASSERT_EQ(connection.Create(name, 6000), 0);
    ASSERT_TRUE(connection.Lock(0));
    std::vector<uint32_t> ids;
    for (int i = 0; i < 5000; ++i)
        ids.push_back(load(connection.AddRecord(kTagSrfc), record::kId));  // slots 2..5001

    SharedMemory view;
    std::byte* other = otherView(view);
    std::byte* slot5002 = other + kFirstSlotOffset + size_t{5002} * kBlockSize;
    store(slot5002, record::kTag, makeTag("PEER"));
    store(slot5002, record::kId, 0xFEEDu);
    EXPECT_EQ(slotOfNewRecord(), 5003u);
    EXPECT_EQ(load(slot5002, record::kId), 0xFEEDu);

    ASSERT_EQ(connection.RemoveRecord(ids[4000]), 0);  // slot 4002
    ASSERT_EQ(connection.RemoveRecord(ids[10]), 0);    // slot 12
    EXPECT_EQ(slotOfNewRecord(), 12u);
    EXPECT_EQ(slotOfNewRecord(), 4002u);
    EXPECT_EQ(slotOfNewRecord(), 5004u);
    connection.Unlock();
}

// Records outside highestSlot are not searched; mask/value select by flags.
TEST_F(LiveConnectionTest, CountAndFindRecordsByTagAndFlags) {
    ASSERT_EQ(connection.Create(name, 16), 0);
    std::vector<RecordPrefix*> srfc;
    for (int i = 0; i < 4; ++i)
        srfc.push_back(connection.AddRecord(kTagSrfc));
    connection.SetRecordFlags(srfc[1], 0x101);
    connection.SetRecordFlags(srfc[3], 0x100);
    EXPECT_EQ(std::tuple(connection.CountRecords(kTagSrfc, 0, 0), connection.CountRecords(kTagSrfc, 0x100, 0x100),
                         connection.CountRecords(kTagSrfc, 0x101, 0x101), connection.CountRecords(kTagSrfc, 0x100, 0)),
              std::tuple(4u, 2u, 1u, 2u));
    std::vector<RecordPrefix*> found;
    EXPECT_EQ(connection.FindRecords(found, kTagSrfc, 0x100, 0x100), (std::vector{srfc[1], srfc[3]}));
    EXPECT_EQ(connection.FindRecord(load(srfc[2], record::kId)), srfc[2]);
    // A record beyond the high-water mark (written by the other side) stays unseen.
    SharedMemory other;
    store(otherView(other), header::kHighestSlot, uint32_t{3});
    EXPECT_EQ(connection.CountRecords(kTagSrfc, 0, 0), 2u);
    EXPECT_EQ(connection.FindRecord(load(srfc[3], record::kId)), nullptr);
}

// Only record bit 0x1 counts a change, header flag 0x1 each time; a record pointer kept
// past Close, into another mapping or inside a slot changes nothing.
TEST_F(LiveConnectionTest, RecordAndHeaderFlags) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    RecordPrefix* r = connection.AddRecord(kTagSrfc);
    connection.SetRecordFlags(r, 0x100);
    EXPECT_EQ(load(r, record::kChangeCount), 0u);
    connection.SetRecordFlags(r, 0x1);
    EXPECT_EQ(connection.TestRecordFlags(r, 0xFFF), 0x101u);
    connection.ClearRecordFlags(r, 0x1);
    EXPECT_EQ(connection.TestRecordFlags(r, 0xFFF), 0x100u);
    connection.SetRecordFlags(nullptr, 1);
    EXPECT_EQ(connection.TestRecordFlags(nullptr, ~0u), 0u);

    connection.SetFlags(1);
    connection.SetFlags(1);
    connection.SetFlags(kHeaderClosedByPeer);
    EXPECT_EQ(std::tuple(headerField(header::kChangeCount), connection.GetUpdateCount(), connection.TestFlags(~0u)),
              std::tuple(3u, 3u, 3u));
    EXPECT_FALSE(connection.IsActive());
    connection.ClearFlags(kHeaderClosedByPeer);
    EXPECT_TRUE(connection.IsActive());
    connection.SetUpdateCount(77);
    EXPECT_EQ(connection.GetUpdateCount(), 77u);

    auto* inside = reinterpret_cast<RecordPrefix*>(reinterpret_cast<std::byte*>(r) + 8);
    connection.SetRecordFlags(inside, 0x1);
    EXPECT_EQ(load(r, Field<uint64_t>{8 + 12}), 0u);  // where that pointer's flags and count would be
    EXPECT_EQ(connection.TestRecordFlags(inside, ~0u), 0u);
    auto expectIgnored = [&] {
        connection.SetRecordFlags(r, 0x1);
        connection.ClearRecordFlags(r, 0x1);
        EXPECT_EQ(connection.TestRecordFlags(r, ~0u), 0u);
    };
    connection.Close();
    expectIgnored();
    ASSERT_EQ(connection.Create(uniqueName("other"), 1), 0);  // a smaller mapping elsewhere
    expectIgnored();
}

// Buffers made from many threads at once get distinct ids from 1, each mapped once;
// DestroyBuffer and RemoveRecord of the owning record close them.
TEST_F(LiveConnectionTest, Buffers) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    std::vector<uint32_t> ids(64);
    vantro::platform::parallelFor(0, 64, [&](size_t i) {
        const uint32_t id = connection.CreateBuffer(static_cast<uint32_t>(i % 4), 100 + static_cast<uint32_t>(i));
        ids[i] = id;
        if (auto* bytes = static_cast<uint8_t*>(connection.MapBuffer(id)))
            bytes[0] = static_cast<uint8_t>(id);
    });
    std::set<uint32_t> unique(ids.begin(), ids.end());
    ASSERT_EQ(unique.size(), 64u);
    EXPECT_EQ(*unique.begin(), 1u);
    EXPECT_EQ(*unique.rbegin(), 64u);
    for (uint32_t id : unique) {
        auto* bytes = static_cast<uint8_t*>(connection.MapBuffer(id));
        EXPECT_EQ(bytes[0], static_cast<uint8_t>(id));
        EXPECT_EQ(connection.MapBuffer(id), bytes);
    }
    EXPECT_EQ(connection.MapBuffer(0), nullptr);
    EXPECT_EQ(connection.MapBuffer(99), nullptr);

    const uint32_t owner = load(connection.AddRecord(kTagSrfc), record::kId);
    const uint32_t a = connection.CreateBuffer(owner, 64);
    const uint32_t b = connection.CreateBuffer(owner, 200);
    EXPECT_EQ(connection.MappedBufferSize(b), 200u);
    connection.DestroyBuffer(a);
    EXPECT_EQ(connection.MappedBufferSize(a), 0u);
    EXPECT_EQ(connection.MapBuffer(a), nullptr);
    EXPECT_NE(connection.MapBuffer(b), nullptr);
    connection.RemoveRecord(owner);
    EXPECT_EQ(connection.MappedBufferSize(b), 0u);
    EXPECT_EQ(connection.MapBuffer(b), nullptr);
    connection.DestroyBuffer(0);
    connection.CloseBuffer(0);
}

// Header texts are truncated to their field; SetView sets applyNow only to notify and
// keeps the last camera; SetStatistics re-uses its buffer while the text fits.
TEST_F(LiveConnectionTest, HeaderTextsViewAndStatistics) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    connection.SetUserValue(0xDEADBEEF);
    connection.SetPath2(std::u16string(300, u'p').c_str());
    EXPECT_FALSE(connection.HasBothPaths());
    connection.SetPath1(u"C:\\a\u00e9.3dm");  // each field written before the one in front of it
    connection.SetLabel(std::u16string(100, u'L').c_str());
    EXPECT_EQ(loadText(connection.HeaderBlock(), header::kLabel), std::u16string(63, u'L'));
    EXPECT_TRUE(connection.HasBothPaths());
    EXPECT_EQ(std::u16string(connection.GetPath1()), u"C:\\a\u00e9.3dm");
    EXPECT_EQ(std::u16string(connection.GetPath2()), std::u16string(259, u'p'));
    EXPECT_EQ(connection.GetUserValue(), 0xDEADBEEFu);

    RecordPrefix* view = only(kTagView);
    ViewData data{};
    data.cameraKind = kCameraPerspective;
    connection.SetView(true, &data);
    EXPECT_EQ(load(view, view_record::kApplyNow), 1u);
    connection.SetView(false, nullptr);
    EXPECT_EQ(std::tuple(load(view, view_record::kApplyNow), load(view, record::kChangeCount),
                         load(view, view_record::kView).cameraKind, connection.TestRecordFlags(view, ~0u)),
              std::tuple(0u, 2u, kCameraPerspective, 1u));

    RecordPrefix* stat = only(kTagStat);
    auto expectText = [&](uint32_t buffer, uint32_t capacity, std::u16string_view text) {
        EXPECT_EQ(std::tuple(load(stat, stat_record::kTextBuffer), load(stat, stat_record::kTextCapacity)),
                  std::tuple(buffer, capacity));
        const auto* shown = static_cast<const char16_t*>(connection.MapBuffer(buffer));
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(std::u16string_view(shown), text);
        EXPECT_TRUE(std::all_of(shown + text.size(), shown + capacity / 2, [](char16_t c) { return c == 0; }));
    };
    connection.SetStatistics({});
    expectText(1, 12, u"{}");                                // "{}" + terminator, doubled
    connection.SetStatistics({{u"k", {1, u"vvvvvvvvvv"}}});  // 18 units: does not fit in 12 bytes
    expectText(2, 76, u"{\"k\":\"vvvvvvvvvv\"}");
    EXPECT_EQ(connection.MapBuffer(1), nullptr);      // the old buffer is gone
    connection.SetStatistics({{u"a", {0, u"x y"}}});  // 13 units fit
    expectText(2, 76, u"{\"a\":\"x%20y\"}");
    EXPECT_EQ(load(stat, record::kChangeCount), 3u);
}

// Register writes once per Create and Close removes it; ListConnections sweeps stale
// values and, with a filter, skips values of other data without checking them.
TEST_F(LiveConnectionTest, RegistryAnnouncementAndListing) {
    EXPECT_EQ(connection.RegisterName(u"") + connection.UnregisterName(u"") + connection.UnregisterName(u"C:\\x.dae"),
              -3);
    ASSERT_EQ(connection.Create(name, 4), 0);
    EXPECT_FALSE(announcedValue(name));
    EXPECT_EQ(connection.Register(), 0);
    EXPECT_EQ(announcedValue(name), 1u);
    connection.UnregisterName(name);
    EXPECT_EQ(connection.Register(), 0);  // already registered: writes nothing
    EXPECT_FALSE(announcedValue(name));
    ASSERT_EQ(connection.Create(name, 4), 0);
    EXPECT_EQ(connection.Register(), 0);  // a new Create registers again
    EXPECT_EQ(announcedValue(name), 1u);

    const std::u16string stale = u"C:\\gone\\away.dae", other = uniqueName("filtered");
    vantro::test::announce(stale, 1);
    vantro::test::announce(other, 2);
    std::vector<std::u16string> names;
    EXPECT_EQ(connection.ListConnections(names, 1), std::vector<std::u16string>{name});
    EXPECT_FALSE(announcedValue(stale));
    EXPECT_EQ(announcedValue(other), 2u);  // filtered out, not checked
    EXPECT_EQ(connection.ListConnections(names, 0), std::vector<std::u16string>{name});
    EXPECT_FALSE(announcedValue(other));  // no mapping: swept
    EXPECT_TRUE(connection.Exists(name));
    EXPECT_FALSE(connection.Exists(u""));
    connection.Close();
    EXPECT_FALSE(announcedValue(name));
    EXPECT_FALSE(connection.Exists(name));
}

}  // namespace
