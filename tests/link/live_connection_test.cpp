// LiveConnection within one process: records, flags, header texts, buffers, the lock,
// the two records the class writes and the registry. The
// "other process" is simulated by a second mapping of the same name where needed;
// live_connection_process_test.cpp uses real processes.

#include "link/live_connection.h"
#include "platform/parallel.h"

#include <gtest/gtest.h>
#include <tbb/concurrent_vector.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "link_test_support.h"
#include "platform/shared_memory.h"
#include "support/test_environment.h"

namespace {

using namespace VantroAPI;
using vantro::platform::SharedMemory;
using vantro::platform::ShmResult;
using vantro::test::TestEnvironment;
using vantro::test::uniqueName;

// A second view of a connection's main mapping, standing in for the other process.
SharedMemory otherView(const std::u16string& name) {
    SharedMemory view;
    EXPECT_EQ(SharedMemory::open(mappingName(name), view), ShmResult::ok);
    return view;
}

uint32_t headerField(const LiveConnection& c, Field<uint32_t> field) { return load(c.HeaderBlock(), field); }

class LiveConnectionTest : public ::testing::Test {
protected:
    TestEnvironment env;
    std::u16string name = uniqueName("conn");
    LiveConnection connection;
};

// Every operation on a closed connection gives its empty result.
TEST_F(LiveConnectionTest, ClosedConnectionGivesEmptyResults) {
    std::vector<RecordPrefix*> records{nullptr};
    EXPECT_EQ(connection.AddRecord(kTagSrfc), nullptr);
    EXPECT_EQ(connection.RemoveRecord(1), -1);
    EXPECT_EQ(connection.CountRecords(kTagView, 0, 0), 0u);
    EXPECT_EQ(connection.FindRecord(1), nullptr);
    EXPECT_TRUE(connection.FindRecords(records, kTagView, 0, 0).empty());
    EXPECT_EQ(connection.TestFlags(~0u), 0u);
    EXPECT_EQ(connection.GetUpdateCount(), 0u);
    EXPECT_EQ(connection.GetLabel(), nullptr);
    EXPECT_EQ(connection.GetPath1(), nullptr);
    EXPECT_EQ(connection.GetPath2(), nullptr);
    EXPECT_EQ(connection.GetUserValue(), 0u);
    EXPECT_FALSE(connection.HasBothPaths());
    EXPECT_FALSE(connection.Lock(0));
    EXPECT_EQ(connection.CreateBuffer(1, 16), 0u);
    EXPECT_EQ(connection.MapBuffer(1), nullptr);
    EXPECT_FALSE(connection.IsActive());
    EXPECT_FALSE(connection.IsOwnerForeground());
    EXPECT_EQ(connection.Register(), -1);
    connection.SetFlags(1);
    connection.SetView(true, nullptr);
    connection.SetStatistics({});
    connection.Unlock();
    connection.Disconnect();
    connection.Close();
}

// A full channel refuses AddRecord; a freed slot is re-used; "HEAD" is refused.
TEST_F(LiveConnectionTest, AddRecordFillsSlotsAndReusesFreedOnes) {
    ASSERT_EQ(connection.Create(name, 5), 0);
    EXPECT_EQ(connection.AddRecord(kTagHead), nullptr);
    std::vector<RecordPrefix*> added;
    for (int i = 0; i < 3; ++i)
        added.push_back(connection.AddRecord(kTagSrfc));
    ASSERT_NE(added[2], nullptr);
    EXPECT_EQ(connection.AddRecord(kTagSrfc), nullptr);  // full
    EXPECT_EQ(headerField(connection, header::kRecordCount), 6u);
    EXPECT_EQ(headerField(connection, header::kHighestSlot), 4u);
    EXPECT_EQ(load(added[0], record::kSize), 1932u);

    const uint32_t idInSlot3 = load(added[1], record::kId);
    ASSERT_EQ(connection.SlotIndexOf(added[1]), 3u);
    EXPECT_EQ(connection.RemoveRecord(idInSlot3), 0);
    EXPECT_EQ(connection.FindRecord(idInSlot3), nullptr);
    EXPECT_EQ(headerField(connection, header::kRecordCount), 5u);
    RecordPrefix* again = connection.AddRecord(makeTag("MESH"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(connection.SlotIndexOf(again), 3u);
    EXPECT_EQ(load(again, record::kSize), 20u);
    EXPECT_GT(load(again, record::kId), load(added[2], record::kId));  // ids keep rising
    connection.Close();
}

// Removing the top record lowers highestSlot by exactly one, even over a free slot;
// record ids 0 and unknown ids remove nothing.
TEST_F(LiveConnectionTest, RemoveRecordHighestSlotRules) {
    ASSERT_EQ(connection.Create(name, 8), 0);
    RecordPrefix* a = connection.AddRecord(kTagSrfc);  // slot 2
    RecordPrefix* b = connection.AddRecord(kTagSrfc);  // slot 3
    ASSERT_TRUE(a && b);
    const uint32_t idA = load(a, record::kId), idB = load(b, record::kId);
    EXPECT_EQ(connection.RemoveRecord(idA), 0);
    EXPECT_EQ(headerField(connection, header::kHighestSlot), 3u);
    EXPECT_EQ(connection.RemoveRecord(idB), 0);
    EXPECT_EQ(headerField(connection, header::kHighestSlot), 2u);
    EXPECT_EQ(connection.RemoveRecord(0), 0);
    EXPECT_EQ(connection.RemoveRecord(12345), 0);
    EXPECT_EQ(headerField(connection, header::kRecordCount), 3u);
    // The removed slot is all zero again.
    std::vector<uint8_t> slot(kBlockSize);
    std::memcpy(slot.data(), b, kBlockSize);
    EXPECT_TRUE(std::all_of(slot.begin(), slot.end(), [](uint8_t v) { return v == 0; }));
    connection.Close();
}

// Records outside highestSlot are not searched; mask/value select by flags.
TEST_F(LiveConnectionTest, CountAndFindRecordsByTagAndFlags) {
    ASSERT_EQ(connection.Create(name, 16), 0);
    std::vector<RecordPrefix*> srfc;
    for (int i = 0; i < 4; ++i)
        srfc.push_back(connection.AddRecord(kTagSrfc));
    connection.SetRecordFlags(srfc[1], 0x101);
    connection.SetRecordFlags(srfc[3], 0x100);
    EXPECT_EQ(connection.CountRecords(kTagSrfc, 0, 0), 4u);
    EXPECT_EQ(connection.CountRecords(kTagSrfc, 0x100, 0x100), 2u);
    EXPECT_EQ(connection.CountRecords(kTagSrfc, 0x101, 0x101), 1u);
    EXPECT_EQ(connection.CountRecords(kTagSrfc, 0x100, 0), 2u);
    std::vector<RecordPrefix*> found;
    EXPECT_EQ(connection.FindRecords(found, kTagSrfc, 0x100, 0x100), (std::vector{srfc[1], srfc[3]}));
    EXPECT_EQ(connection.FindRecord(load(srfc[2], record::kId)), srfc[2]);
    // A record beyond the high-water mark (written by the other side) stays unseen.
    SharedMemory other = otherView(name);
    store(static_cast<std::byte*>(other.data()), header::kHighestSlot, uint32_t{3});
    EXPECT_EQ(connection.CountRecords(kTagSrfc, 0, 0), 2u);
    EXPECT_EQ(connection.FindRecord(load(srfc[3], record::kId)), nullptr);
    connection.Close();
}

// The lowest free slot is taken also when the other side freed it below every slot
// this process has handed out, whether or not this process holds the lock; while
// it holds the lock without a break the search resumes where it stopped.
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
    EXPECT_EQ(connection.SlotIndexOf(connection.AddRecord(kTagSrfc)), 3u);  // without the lock

    ASSERT_TRUE(peer.Lock(0));
    peer.RemoveRecord(ids[0]);  // slot 2
    peer.RemoveRecord(ids[4]);  // slot 6
    peer.Unlock();
    ASSERT_TRUE(connection.Lock(0));
    EXPECT_EQ(connection.SlotIndexOf(connection.AddRecord(kTagSrfc)), 2u);
    EXPECT_EQ(connection.SlotIndexOf(connection.AddRecord(kTagSrfc)), 6u);
    EXPECT_EQ(connection.SlotIndexOf(connection.AddRecord(kTagSrfc)), 8u);
    connection.Unlock();
    peer.Disconnect();
    connection.Close();
}

// Record flag operations need the open connection the record belongs to: a record
// pointer kept past Close, or one that is not the start of a slot, changes nothing
// (before, it wrote into memory that was no longer mapped).
TEST_F(LiveConnectionTest, RecordFlagsNeedTheRecordsOpenConnection) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    RecordPrefix* kept = connection.AddRecord(kTagSrfc);
    auto* inside = reinterpret_cast<RecordPrefix*>(reinterpret_cast<std::byte*>(kept) + 8);
    connection.SetRecordFlags(inside, 0x1);
    EXPECT_EQ(load(kept, Field<uint32_t>{8 + 12}), 0u);  // where that pointer's flags would be
    EXPECT_EQ(load(kept, Field<uint32_t>{8 + 16}), 0u);
    EXPECT_EQ(connection.TestRecordFlags(inside, ~0u), 0u);
    connection.Close();
    connection.SetRecordFlags(kept, 0x1);
    connection.ClearRecordFlags(kept, 0x1);
    EXPECT_EQ(connection.TestRecordFlags(kept, ~0u), 0u);
    ASSERT_EQ(connection.Create(uniqueName("other"), 1), 0);  // a smaller mapping elsewhere
    connection.SetRecordFlags(kept, 0x1);
    EXPECT_EQ(connection.TestRecordFlags(kept, ~0u), 0u);
    connection.Close();
}

// Record flags: bit 0x1 counts even when already set; other bits never count.
TEST_F(LiveConnectionTest, RecordAndHeaderFlags) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    RecordPrefix* r = connection.AddRecord(kTagSrfc);
    connection.SetRecordFlags(r, 0x100);
    EXPECT_EQ(load(r, record::kChangeCount), 0u);
    connection.SetRecordFlags(r, 0x101);
    connection.SetRecordFlags(r, 0x1);
    EXPECT_EQ(load(r, record::kChangeCount), 2u);
    EXPECT_EQ(connection.TestRecordFlags(r, 0xFFF), 0x101u);
    connection.ClearRecordFlags(r, 0x1);
    EXPECT_EQ(connection.TestRecordFlags(r, 0xFFF), 0x100u);
    connection.SetRecordFlags(nullptr, 1);
    EXPECT_EQ(connection.TestRecordFlags(nullptr, ~0u), 0u);

    connection.SetFlags(1);
    connection.SetFlags(1);
    EXPECT_EQ(headerField(connection, header::kChangeCount), 3u);
    EXPECT_EQ(connection.GetUpdateCount(), 3u);
    connection.SetFlags(kHeaderClosedByPeer);
    EXPECT_EQ(headerField(connection, header::kChangeCount), 3u);
    EXPECT_EQ(connection.TestFlags(~0u), 3u);
    EXPECT_FALSE(connection.IsActive());
    connection.ClearFlags(kHeaderClosedByPeer);
    EXPECT_TRUE(connection.IsActive());
    connection.SetUpdateCount(77);
    EXPECT_EQ(connection.GetUpdateCount(), 77u);
    connection.Close();
}

// Header texts are truncated to their field and read back; userValue round-trips.
TEST_F(LiveConnectionTest, HeaderTextsAndUserValue) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    EXPECT_FALSE(connection.HasBothPaths());
    connection.SetLabel(std::u16string(100, u'L').c_str());
    EXPECT_EQ(loadText(connection.HeaderBlock(), header::kLabel), std::u16string(63, u'L'));
    EXPECT_EQ(std::u16string(connection.GetLabel()), std::u16string(63, u'L'));
    connection.SetPath1(u"C:\\a\u00e9.3dm");
    EXPECT_FALSE(connection.HasBothPaths());
    connection.SetPath2(std::u16string(300, u'p').c_str());
    EXPECT_TRUE(connection.HasBothPaths());
    EXPECT_EQ(std::u16string(connection.GetPath1()), u"C:\\a\u00e9.3dm");
    EXPECT_EQ(std::u16string(connection.GetPath2()).size(), 259u);
    EXPECT_EQ(headerField(connection, header::kUserValue), 0u);  // path2 did not spill over
    connection.SetUserValue(0xDEADBEEF);
    EXPECT_EQ(connection.GetUserValue(), 0xDEADBEEFu);
    connection.Close();
}

// Buffer ids count from 1 on the creator; a buffer is mapped once and that mapping
// re-used; ids of nothing map to nothing. (An opener's ids, from 0x80000001, and each
// side mapping the other's buffers: BuffersCrossBothWays in
// live_connection_process_test.cpp.)
TEST_F(LiveConnectionTest, BufferIdsAndMappings) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    EXPECT_EQ(connection.CreateBuffer(5, 100), 1u);
    EXPECT_EQ(connection.CreateBuffer(5, 200), 2u);
    EXPECT_EQ(connection.CreateBuffer(6, 300), 3u);
    EXPECT_EQ(connection.MappedBufferSize(2), 200u);
    void* first = connection.MapBuffer(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(connection.MapBuffer(1), first);  // cached
    EXPECT_EQ(connection.MapBuffer(0), nullptr);
    EXPECT_EQ(connection.MapBuffer(99), nullptr);
    connection.Close();
}

// DestroyBuffer and RemoveRecord close buffers here; once nobody holds a buffer it is
// gone for good.
TEST_F(LiveConnectionTest, DestroyAndRemoveCloseBuffers) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    RecordPrefix* r = connection.AddRecord(kTagSrfc);
    const uint32_t owner = load(r, record::kId);
    const uint32_t a = connection.CreateBuffer(owner, 64);
    const uint32_t b = connection.CreateBuffer(owner, 64);
    connection.DestroyBuffer(a);
    EXPECT_EQ(connection.MappedBufferSize(a), 0u);
    EXPECT_EQ(connection.MapBuffer(a), nullptr);
    EXPECT_NE(connection.MapBuffer(b), nullptr);
    connection.RemoveRecord(owner);
    EXPECT_EQ(connection.MappedBufferSize(b), 0u);
    EXPECT_EQ(connection.MapBuffer(b), nullptr);
    connection.DestroyBuffer(0);
    connection.CloseBuffer(0);
    connection.Close();
}

// Buffers made and mapped from many threads at once get distinct ids and mappings.
TEST_F(LiveConnectionTest, ConcurrentBufferCreation) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    tbb::concurrent_vector<uint32_t> ids;
    vantro::platform::parallelFor(0, 64, [&](size_t i) {
        const uint32_t id = connection.CreateBuffer(static_cast<uint32_t>(i % 4), 4096);
        ids.push_back(id);
        if (auto* bytes = static_cast<uint8_t*>(connection.MapBuffer(id)))
            bytes[0] = static_cast<uint8_t>(id);
    });
    std::set<uint32_t> unique(ids.begin(), ids.end());
    EXPECT_EQ(unique.size(), 64u);
    EXPECT_EQ(*unique.begin(), 1u);
    EXPECT_EQ(*unique.rbegin(), 64u);
    for (uint32_t id : unique)
        EXPECT_EQ(static_cast<uint8_t*>(connection.MapBuffer(id))[0], static_cast<uint8_t>(id));
    connection.Close();
}

// The lock is per process: re-entrant, released by one Unlock and by Disconnect; a
// foreign owner makes Lock fail and is neither released by Unlock nor by Disconnect.
TEST_F(LiveConnectionTest, LockWord) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    EXPECT_TRUE(connection.Lock(0));
    EXPECT_TRUE(connection.Lock(0));
    EXPECT_EQ(headerField(connection, header::kLockOwner), connection.OwnProcessId());
    connection.Unlock();
    EXPECT_EQ(headerField(connection, header::kLockOwner), 0u);

    SharedMemory other = otherView(name);
    auto* otherHead = static_cast<std::byte*>(other.data());
    store(otherHead, header::kLockOwner, uint32_t{0x7FFFFFF0});
    EXPECT_FALSE(connection.Lock(0));
    EXPECT_FALSE(connection.Lock(10000));  // (that it waits first: live_connection_process_test.cpp)
    connection.Unlock();                   // not ours: unchanged
    EXPECT_EQ(load(otherHead, header::kLockOwner), 0x7FFFFFF0u);
    connection.Disconnect();
    EXPECT_EQ(load(otherHead, header::kLockOwner), 0x7FFFFFF0u);

    store(otherHead, header::kLockOwner, uint32_t{0});
    LiveConnection again;
    ASSERT_EQ(again.Open(name), 0);
    EXPECT_TRUE(again.Lock(0));
    again.Disconnect();
    EXPECT_EQ(load(otherHead, header::kLockOwner), 0u);  // released by Disconnect
}

// SetView: notify with data posts and sets applyNow; otherwise only marks changed.
TEST_F(LiveConnectionTest, SetViewWritesTheViewRecord) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    std::vector<RecordPrefix*> views;
    RecordPrefix* view = connection.FindRecords(views, kTagView, 0, 0).at(0);
    ViewData data{};
    data.cameraKind = kCameraPerspective;
    data.fieldOfView = 57.29578f;
    connection.SetView(true, &data);
    EXPECT_EQ(load(view, view_record::kApplyNow), 1u);
    EXPECT_EQ(load(view, record::kChangeCount), 1u);
    EXPECT_EQ(load(view, view_record::kView).fieldOfView, 57.29578f);

    connection.SetView(false, nullptr);
    EXPECT_EQ(load(view, view_record::kApplyNow), 0u);
    EXPECT_EQ(load(view, record::kChangeCount), 2u);
    EXPECT_EQ(load(view, view_record::kView).cameraKind, kCameraPerspective);  // last camera stays

    const ViewData zero{};
    connection.SetView(false, &zero);
    EXPECT_EQ(load(view, view_record::kView).cameraKind, kCameraNone);
    EXPECT_EQ(connection.TestRecordFlags(view, ~0u), 1u);
    connection.Close();
}

// SetStatistics re-uses its buffer while the text fits and replaces it by one of
// twice the text's byte length otherwise.
TEST_F(LiveConnectionTest, SetStatisticsBufferReuseAndGrowth) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    std::vector<RecordPrefix*> stats;
    RecordPrefix* stat = connection.FindRecords(stats, kTagStat, 0, 0).at(0);
    connection.SetStatistics({});
    EXPECT_EQ(load(stat, stat_record::kTextBuffer), 1u);
    EXPECT_EQ(load(stat, stat_record::kTextCapacity), 12u);  // "{}" + terminator, doubled
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(connection.MapBuffer(1))), u"{}");

    connection.SetStatistics({{u"k", {1, u"vvvvvvvvvv"}}});  // 18 units: does not fit in 12 bytes
    EXPECT_EQ(load(stat, stat_record::kTextBuffer), 2u);
    EXPECT_EQ(load(stat, stat_record::kTextCapacity), 76u);
    EXPECT_EQ(connection.MapBuffer(1), nullptr);  // the old buffer is gone
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(connection.MapBuffer(2))), u"{\"k\":\"vvvvvvvvvv\"}");

    connection.SetStatistics({{u"a", {0, u"x y"}}});  // 13 units fit: same buffer, old text wiped
    EXPECT_EQ(load(stat, stat_record::kTextBuffer), 2u);
    EXPECT_EQ(load(stat, stat_record::kTextCapacity), 76u);
    const auto* text = static_cast<const char16_t*>(connection.MapBuffer(2));
    EXPECT_EQ(std::u16string(text), u"{\"a\":\"x%20y\"}");
    EXPECT_TRUE(std::all_of(text + 13, text + 38, [](char16_t c) { return c == 0; }));
    EXPECT_EQ(load(stat, record::kChangeCount), 3u);
    connection.Close();
}

// RegisterName/UnregisterName refuse empty names; Register writes once per Create;
// Close removes the value.
TEST_F(LiveConnectionTest, RegistryAnnouncement) {
    EXPECT_EQ(connection.RegisterName(u""), -1);
    EXPECT_EQ(connection.UnregisterName(u""), -1);
    EXPECT_EQ(connection.UnregisterName(u"C:\\never.dae"), -1);
    ASSERT_EQ(connection.Create(name, 4), 0);
    EXPECT_FALSE(vantro::test::announcedValue(name));
    EXPECT_EQ(connection.Register(), 0);
    EXPECT_EQ(vantro::test::announcedValue(name), 1u);
    connection.UnregisterName(name);
    EXPECT_EQ(connection.Register(), 0);  // already registered: writes nothing
    EXPECT_FALSE(vantro::test::announcedValue(name));
    ASSERT_EQ(connection.Create(name, 4), 0);
    EXPECT_EQ(connection.Register(), 0);  // a new Create registers again
    EXPECT_EQ(vantro::test::announcedValue(name), 1u);
    connection.Close();
    EXPECT_FALSE(vantro::test::announcedValue(name));
}

// ListConnections reports live connections with backslashes, sweeps stale values,
// and with a filter skips (without checking) values of other data.
TEST_F(LiveConnectionTest, ListConnectionsSweepsStaleValues) {
    const std::u16string stale = u"C:\\gone\\away.dae";
    const std::u16string other = uniqueName("filtered");
    ASSERT_EQ(connection.Create(name, 4), 0);
    connection.Register();
    vantro::test::announce(stale, 1);
    vantro::test::announce(other, 2);
    std::vector<std::u16string> names;
    EXPECT_EQ(connection.ListConnections(names, 1), std::vector<std::u16string>{name});
    EXPECT_FALSE(vantro::test::announcedValue(stale));
    EXPECT_EQ(vantro::test::announcedValue(other), 2u);  // filtered out, not checked
    connection.ListConnections(names, 0);
    EXPECT_EQ(names, std::vector<std::u16string>{name});
    EXPECT_FALSE(vantro::test::announcedValue(other));  // no mapping: swept
    EXPECT_TRUE(connection.Exists(name));
    EXPECT_FALSE(connection.Exists(u""));
    connection.Close();
    EXPECT_FALSE(connection.Exists(name));
}

// Create and Open disconnect a previous connection first; the same object serves
// many connections and record ids keep rising across them.
TEST_F(LiveConnectionTest, ObjectIsReusedAcrossConnections) {
    ASSERT_EQ(connection.Create(name, 4), 0);
    const uint32_t firstId = load(connection.AddRecord(kTagSrfc), record::kId);
    const std::u16string second = uniqueName("second");
    ASSERT_EQ(connection.Create(second, 4), 0);
    EXPECT_FALSE(connection.Exists(name));  // the first mapping was released
    EXPECT_EQ(connection.GetName(), second);
    EXPECT_GT(load(connection.AddRecord(kTagSrfc), record::kId), firstId);
    EXPECT_EQ(connection.CreateBuffer(1, 8), 1u);  // buffer ids restart
    EXPECT_EQ(connection.Open(name), -1);
    EXPECT_FALSE(connection.IsOpen());
}

}  // namespace
