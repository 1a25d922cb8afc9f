// LiveConnection between real processes: the test process against velora-peer and
// against a second creator (link_creator_child).

#include "link/live_connection.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "link_test_support.h"
#include "platform/window.h"
#include "support/child_process.h"
#include "support/test_environment.h"
#include "velora_peer.h"

namespace {

using namespace VantroAPI;
using vantro::platform::SharedMemory;
using vantro::test::announcedValue;
using vantro::test::ChildProcess;
using vantro::test::fieldOf;
using vantro::test::linesWith;
using vantro::test::numberOf;
using vantro::test::peerPath;
using vantro::test::utf8;

// The size an opener learns of a mapping: exact on POSIX, whole pages on Windows.
void expectOpenedSize(uint64_t opened, uint64_t created) {
    EXPECT_GE(opened, created);
    EXPECT_LT(opened, created + SharedMemory::openedSizeGranularity());
}

class ProcessTest : public ::testing::Test {
protected:
    vantro::test::TestEnvironment env;
    std::u16string name = vantro::test::uniqueName("proc");
    LiveConnection connection;

    void TearDown() override { connection.Close(); }
    // A running peer, once it is ready.
    std::unique_ptr<ChildProcess> startPeer(std::vector<std::string> args, const std::string& path = peerPath()) {
        auto peer = std::make_unique<ChildProcess>(path, args);
        EXPECT_NE(peer->waitForLine("READY"), "");
        return peer;
    }
    // Options that make the peer open this test's connection.
    std::vector<std::string> openArgs(std::vector<std::string> more = {}) {
        more.insert(more.begin(), {"--connection", utf8(name)});
        return more;
    }
    uint32_t headerField(Field<uint32_t> field) const { return load(connection.HeaderBlock(), field); }
};

// A second creator of a live name gets -2; a creator killed holding the lock blocks
// nothing, and the next listing sweeps its stale announcement.
TEST_F(ProcessTest, SecondCreatorGetsMinusTwoAndAKilledOneBlocksNothing) {
    ChildProcess child(vantro::test::creatorChildPath(), {utf8(name), "8", "--lock", "--register"});
    ASSERT_NE(child.waitForLine("REGISTERED"), "") << child.output();
    EXPECT_EQ(connection.Create(name, 8), -2);
    ASSERT_EQ(connection.Open(name), 0);
    const auto pid = static_cast<uint32_t>(child.pid());
    EXPECT_EQ(std::tuple(headerField(header::kTag), headerField(header::kCreatorPid), headerField(header::kLockOwner),
                         headerField(header::kRecordCount)),
              std::tuple(kTagHead, pid, pid, 3u));
    connection.Disconnect();
    EXPECT_EQ(announcedValue(name), 1u);
    child.kill(9);
    EXPECT_EQ(child.wait(), 128 + 9);

    std::vector<std::u16string> names;
    EXPECT_TRUE(connection.ListConnections(names, 0).empty());
    EXPECT_FALSE(announcedValue(name));  // stale value swept
    ASSERT_EQ(connection.Create(name, 8), 0);
    EXPECT_TRUE(connection.Lock(0));
    EXPECT_EQ(headerField(header::kCreatorPid), connection.OwnProcessId());
}

// The lock is per process: while the peer holds it, Lock fails (after the timeout) and
// Unlock or Disconnect leave it; ours is re-entrant, released by one Unlock or Disconnect.
TEST_F(ProcessTest, LockHeldByThePeer) {
    ASSERT_EQ(connection.Create(name, 8), 0);
    auto peer = startPeer(openArgs({"--hold-lock", "2000"}));
    ASSERT_NE(peer->waitForLine("LOCKED"), "") << peer->output();
    EXPECT_EQ(headerField(header::kLockOwner), static_cast<uint32_t>(peer->pid()));
    EXPECT_FALSE(connection.Lock(0));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connection.Lock(10000));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::microseconds(9000));
    connection.Unlock();
    LiveConnection opener;
    ASSERT_EQ(opener.Open(name), 0);
    opener.Disconnect();
    EXPECT_EQ(headerField(header::kLockOwner), static_cast<uint32_t>(peer->pid()));

    ASSERT_NE(peer->waitForLine("UNLOCKED"), "");
    EXPECT_TRUE(connection.Lock(0) && connection.Lock(0));  // re-entrant
    EXPECT_EQ(headerField(header::kLockOwner), connection.OwnProcessId());
    connection.Unlock();
    EXPECT_EQ(headerField(header::kLockOwner), 0u);
    ASSERT_EQ(opener.Open(name), 0);
    ASSERT_TRUE(opener.Lock(0));
    opener.Disconnect();
    EXPECT_EQ(headerField(header::kLockOwner), 0u);
    EXPECT_EQ(peer->wait(), 0);
}

// A peer killed with SIGKILL while it holds the lock: the next Lock that times out
// finds the owner gone and takes the lock over, so the link delivers again. The same
// for an id that now belongs to a live process with nothing of the link mapped (an
// id reused); a live peer that holds the lock keeps it.
TEST_F(ProcessTest, LockOfAKilledPeerOrAReusedIdIsTakenOver) {
    ASSERT_EQ(connection.Create(name, 8), 0);
    auto peer = startPeer(openArgs({"--hold-lock", "600000"}));
    ASSERT_NE(peer->waitForLine("LOCKED"), "") << peer->output();
    const auto peerPid = static_cast<uint32_t>(peer->pid());
    EXPECT_FALSE(connection.Lock(10000));
    EXPECT_EQ(headerField(header::kLockOwner), peerPid);
    peer->kill(9);
    EXPECT_EQ(peer->wait(), 128 + 9);
    EXPECT_EQ(headerField(header::kLockOwner), peerPid);
    EXPECT_FALSE(connection.Lock(0));  // no waiting, no examining
    EXPECT_TRUE(connection.Lock(10000));
    EXPECT_EQ(headerField(header::kLockOwner), connection.OwnProcessId());
    connection.Unlock();

#ifndef _WIN32
    // A live process that never mapped the channel, given the dead owner's id. Windows
    // cannot tell from outside whether a live process maps a page-file section, so
    // there only a gone owner is taken over.
    ChildProcess stranger("/bin/sleep", {"600"});
    vantro::platform::SharedMemory raw;
    ASSERT_EQ(vantro::platform::SharedMemory::open(mappingName(name), raw), vantro::platform::ShmResult::ok);
    const auto strangerPid = static_cast<uint32_t>(stranger.pid());
    std::memcpy(static_cast<std::byte*>(raw.data()) + header::kLockOwner.offset, &strangerPid, 4);
    EXPECT_EQ(headerField(header::kLockOwner), strangerPid);
    EXPECT_TRUE(connection.Lock(10000));
    EXPECT_EQ(headerField(header::kLockOwner), connection.OwnProcessId());
    connection.Unlock();
    raw.close();
#endif

    // A live peer with the channel mapped is an owner, however long it holds the lock.
    auto holder = startPeer(openArgs({"--hold-lock", "600000"}));
    ASSERT_NE(holder->waitForLine("LOCKED"), "") << holder->output();
    EXPECT_FALSE(connection.Lock(10000));
    EXPECT_EQ(headerField(header::kLockOwner), static_cast<uint32_t>(holder->pid()));
}

// Buffers made on either side are opened by the other, with the bytes written there.
TEST_F(ProcessTest, BuffersCrossBothWays) {
    ASSERT_EQ(connection.Create(name, 8), 0);
    for (uint32_t id = 1; id <= 3; ++id) {
        ASSERT_EQ(connection.CreateBuffer(7, 1000 * id), id);
        auto* bytes = static_cast<uint8_t*>(connection.MapBuffer(id));
        for (uint32_t i = 0; i < 1000 * id; ++i)
            bytes[i] = static_cast<uint8_t>(3 * i + id);
    }
    auto peer = startPeer(openArgs({"--read-buffer", "1", "--read-buffer", "2", "--read-buffer", "3", "--read-buffer",
                                    "9", "--create-buffer", "7:4096", "--create-buffer", "7:10", "--listen", "20000",
                                    "--exit-after-messages", "1"}));
    ASSERT_NE(peer->waitForLine("CREATED-BUFFER id=0x80000002"), "") << peer->output();
    for (uint32_t id = 1; id <= 3; ++id) {
        char prefix[40], head[8];
        std::snprintf(prefix, sizeof prefix, "READ-BUFFER id=0x%08X", id);
        std::snprintf(head, sizeof head, "%02x%02x", id, (3 + id) & 0xFF);
        auto lines = linesWith(peer->output(), prefix);
        ASSERT_EQ(lines.size(), 1u);
        expectOpenedSize(numberOf(lines[0], "size"), 1000u * id);
        EXPECT_EQ(fieldOf(lines[0], "head").substr(0, 4), head);
    }
    EXPECT_EQ(linesWith(peer->output(), "READ-BUFFER id=0x00000009 missing").size(), 1u);

    auto* first = static_cast<const uint8_t*>(connection.MapBuffer(0x80000001u));
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(connection.MappedBufferSize(0x80000001u), 4096u);
    for (size_t i = 0; i < 4096; ++i)
        ASSERT_EQ(first[i], vantro::peer::peerBufferByte(0x80000001u, i)) << i;
    EXPECT_NE(connection.MapBuffer(0x80000002u), nullptr);
    expectOpenedSize(connection.MappedBufferSize(0x80000002u), 10u);

    EXPECT_EQ(connection.NotifyPeer(2, 0), 0);
    EXPECT_EQ(peer->wait(), 0);
    // The peer is gone; what it made lives on while we hold it.
    EXPECT_EQ(first[4095], vantro::peer::peerBufferByte(0x80000001u, 4095));
}

// NotifyPeer posts once to each visible main window of the wanted class ("PENDRAX
// EDITOR" for a "PENDRAX" image), -1 when none; a dead window makes the list rebuild.
TEST_F(ProcessTest, NotifyPeerPostsOnceToEachPeerWindow) {
    ASSERT_EQ(connection.Create(name, 8), 0);
    // The image path decides which class is wanted: a copy named after the older engine.
    const std::string copy = env.root() + "/pendrax-engine" + std::filesystem::path(peerPath()).extension().string();
    std::filesystem::copy_file(peerPath(), copy);
    {
        auto hidden = startPeer({"--hidden", "--listen", "30000"});
        auto other = startPeer({"--class", "VELORA TOOLBOX", "--listen", "30000"});
        auto wrongClass = startPeer({"--listen", "30000"}, copy);  // "VELORA START" is not an editor window
        EXPECT_EQ(connection.NotifyPeer(2, 0), -1);
    }
    auto pendrax =
        startPeer({"--class", "Pendrax Editor Main", "--listen", "30000", "--exit-after-messages", "2"}, copy);
    auto velora = startPeer({"--listen", "30000", "--exit-after-messages", "2"});
    EXPECT_EQ(connection.NotifyPeer(7, 9), 0);
    for (auto* peer : {pendrax.get(), velora.get()})
        ASSERT_NE(peer->waitForLine("MESSAGE n=1"), "") << peer->output();
    EXPECT_EQ(connection.NotifyPeer(1, 1), 0);  // had the first posted twice, this would be n=3
    for (auto* peer : {pendrax.get(), velora.get()}) {
        EXPECT_EQ(peer->wait(), 0);
        auto messages = linesWith(peer->output(), "MESSAGE");
        ASSERT_EQ(messages.size(), 2u) << peer->output();
        EXPECT_EQ(fieldOf(messages[0], "id"), "0x8729");
        EXPECT_EQ(std::tuple(numberOf(messages[0], "wParam"), numberOf(messages[0], "lParam"),
                             numberOf(messages[1], "wParam")),
                  std::tuple(9u, 7u, 1u));
    }
    // Both windows died: the next call rebuilds the list and finds the new peer.
    auto again = startPeer({"--listen", "5000", "--exit-after-messages", "1"});
    EXPECT_EQ(connection.NotifyPeer(2, 0), 0);
    EXPECT_EQ(again->wait(), 0);
}

// The renderer's main window is its first visible unowned window whose class holds
// "START": a splash and a tool window in front of it, and a hidden START window, do
// not hide it, and the wake-up goes to it alone.
TEST_F(ProcessTest, WakeUpReachesTheStartWindowBehindASplash) {
    ASSERT_EQ(connection.Create(name, 8), 0);
    ChildProcess renderer(vantro::test::windowsChildPath(),
                          {"1", "VELORA SPLASH=Velora 8.4.0 loading", "VELORA START=Velora 8.4.0=hidden",
                           "Velora Tools=Tools", "Velora Start Window=Velora 8.4.0", "VELORA START=Velora second"});
    const std::string ready = renderer.waitForLine("READY");
    ASSERT_NE(ready, "") << renderer.output();
    std::istringstream handles(ready.substr(5));
    std::vector<WindowHandle> published{std::istream_iterator<WindowHandle>(handles), {}};
    ASSERT_EQ(published.size(), 5u) << ready;

    const WindowList found = LiveConnection::FindPeerWindows();
    EXPECT_EQ(std::vector<WindowHandle>(found.begin(), found.end()), std::vector<WindowHandle>{published[3]});
    EXPECT_EQ(connection.NotifyPeer(2, 0), 0);
    EXPECT_EQ(renderer.wait(), 0);
    const auto messages = linesWith(renderer.output(), "MESSAGE");
    ASSERT_EQ(messages.size(), 1u) << renderer.output();
    EXPECT_EQ(std::tuple(fieldOf(messages[0], "window"), fieldOf(messages[0], "id"), numberOf(messages[0], "lParam")),
              std::tuple(std::string("3"), std::string("0x8729"), uint64_t{2}));
}

// The link stops and starts while the peer runs: it lets go once the announcement goes
// and each wake-up makes it open the announced name and sync; a camera wakes it too.
TEST_F(ProcessTest, WakeUpsDriveAPeerThatKeepsRunningAcrossRestarts) {
    auto peer = startPeer({"--listen", "30000", "--exit-after-messages", "4"});
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(connection.Create(name, 8), 0);
        connection.SetFlags(1);
        connection.Register();
        ASSERT_EQ(connection.NotifyPeer(2, 0), 0);
        ASSERT_NE(peer->waitForLine("SYNC records=2"), "") << peer->output();
        const auto opened = linesWith(peer->output(), "OPENED");
        ASSERT_EQ(opened.size(), static_cast<size_t>(round));
        EXPECT_EQ(fieldOf(opened.back(), "name"), utf8(name));
        if (round < 3) {
            connection.Close();
            const std::string released = peer->waitForLine("RELEASED");
            ASSERT_NE(released, "") << peer->output();
            EXPECT_EQ(fieldOf(released, "reason"), "unannounced");
            EXPECT_EQ(fieldOf(released, "name"), utf8(name));
        }
    }
    ViewData camera{};
    camera.cameraKind = kCameraPerspective;
    connection.SetView(true, &camera);
    EXPECT_EQ(peer->wait(), 0);
    auto syncs = linesWith(peer->output(), "SYNC");
    ASSERT_EQ(syncs.size(), 4u) << peer->output();
    EXPECT_EQ(numberOf(syncs[3], "changed"), 1u);  // the VIEW record
    auto messages = linesWith(peer->output(), "MESSAGE");
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(numberOf(messages[3], "lParam"), 2u);
    EXPECT_EQ(numberOf(messages[3], "wParam"), 0u);
}

// A creator that dies without closing: the peer lets go and, as the last holder, takes
// the channel's and its buffers' names with it.
TEST_F(ProcessTest, PeerReleasesTheChannelOfADeadCreator) {
    ChildProcess child(vantro::test::creatorChildPath(), {utf8(name), "8", "--buffers", "2"});
    ASSERT_NE(child.waitForLine("BUFFERS"), "") << child.output();
    auto peer = startPeer(openArgs({"--read-buffer", "1", "--read-buffer", "2", "--listen", "20000"}));
    ASSERT_NE(peer->waitForLine("READ-BUFFER id=0x00000002"), "") << peer->output();
    const std::u16string buffer = bufferName(static_cast<uint32_t>(child.pid()), 2);
    const std::u16string channel = mappingName(name);
    ASSERT_TRUE(SharedMemory::namePresent(channel));
    ASSERT_TRUE(SharedMemory::namePresent(buffer));
    child.kill(9);
    EXPECT_EQ(child.wait(), 128 + 9);
    const std::string released = peer->waitForLine("RELEASED");
    ASSERT_NE(released, "") << peer->output();
    EXPECT_EQ(fieldOf(released, "reason"), "creator-gone");
    EXPECT_FALSE(SharedMemory::namePresent(channel));
    EXPECT_FALSE(SharedMemory::namePresent(buffer));
}

// SIGTERM ends the peer as closing the renderer would: it disconnects first, as the
// last holder would otherwise leave the names behind.
TEST_F(ProcessTest, PeerEndedBySigtermDisconnectsFirst) {
    ASSERT_EQ(connection.Create(name, 8), 0);
    auto peer = startPeer(openArgs({"--listen", "60000"}));
    ASSERT_NE(peer->waitForLine("SYNC"), "") << peer->output();
    peer->kill(SIGTERM);
    EXPECT_EQ(peer->wait(5000), 0) << peer->output();
    EXPECT_NE(peer->output().find("SIGNALLED signal=15\nEXIT messages=0\n"), std::string::npos) << peer->output();
}

// The peer ends the link with the header flag 0x2 and the creator sees it inactive; a
// peer killed outright takes the names only it held with it, and leaves the channel
// usable (it held no lock).
TEST_F(ProcessTest, PeerClosingTheLinkAndAKilledPeer) {
    ASSERT_EQ(connection.Create(name, 8), 0);
    ASSERT_TRUE(connection.IsActive());
    auto closing = vantro::test::runProgram(peerPath(), openArgs({"--close-link"}));
    ASSERT_EQ(closing.exitCode, 0) << closing.output;
    EXPECT_EQ(connection.TestFlags(~0u), kHeaderClosedByPeer);
    EXPECT_FALSE(connection.IsActive());
    connection.ClearFlags(kHeaderClosedByPeer);
    EXPECT_TRUE(connection.IsActive());

    auto peer = startPeer(openArgs({"--create-buffer", "7:4096", "--listen", "20000"}));
    ASSERT_NE(peer->waitForLine("CREATED-BUFFER id=0x80000001"), "") << peer->output();
    const std::u16string made = bufferName(connection.OwnProcessId(), 0x80000001u);
    EXPECT_TRUE(SharedMemory::exists(made));
    peer->kill(9);
    EXPECT_EQ(peer->wait(), 128 + 9);
    EXPECT_FALSE(SharedMemory::exists(made));
    EXPECT_EQ(connection.MapBuffer(0x80000001u), nullptr);
    EXPECT_TRUE(connection.Lock(0));
    connection.Unlock();
    EXPECT_TRUE(connection.IsActive());
}

// IsOwnerForeground: true on the opener while the creator's window is in front,
// never on the creator itself.
TEST_F(ProcessTest, IsOwnerForegroundOnTheOpenerSide) {
    ASSERT_EQ(connection.Create(name, 8), 0);
    vantro::platform::WindowInfo info;
    info.className = u"HOST MAIN";
    vantro::platform::Window window;
    ASSERT_TRUE(vantro::platform::Window::publish(info, window));
    ASSERT_TRUE(window.setForeground());
    EXPECT_FALSE(connection.IsOwnerForeground());
    for (uint64_t inFront : {1, 0}) {
        auto run = vantro::test::runProgram(peerPath(), openArgs());
        EXPECT_EQ(numberOf(linesWith(run.output, "OPENED").at(0), "ownerForeground"), inFront);
        window.destroy();
    }
}

// The peer reads what the creator wrote in a batch and clears the changed bits it read.
TEST_F(ProcessTest, PeerSeesABatchAndClearsChangedBits) {
    ASSERT_EQ(connection.Create(name, 16), 0);
    ASSERT_TRUE(connection.Lock(10000));
    RecordPrefix* material = connection.AddRecord(kTagSrfc);
    const uint32_t materialId = load(material, record::kId);
    const uint32_t geometry = connection.CreateBuffer(materialId, 4096);
    store(material, srfc_record::kGeometryChangeCount, uint32_t{3});
    store(material, srfc_record::kGeometryBuffer, geometry);
    store(material, srfc_record::kGeometryCapacity, uint32_t{4096});
    connection.SetRecordFlags(material, 0x301);
    connection.SetFlags(1);
    connection.Unlock();
    connection.SetStatistics({{u"name", {0, u"a b/\u00e9"}}, {u"size", {1, u"12"}}});
    ViewData view{};
    view.cameraKind = kCameraPerspective;
    connection.SetView(false, &view);

    auto result = vantro::test::runProgram(peerPath(), openArgs({"--dump"}));
    ASSERT_EQ(result.exitCode, 0) << result.output;
    auto json = linesWith(result.output, "{\"connection\"");
    ASSERT_EQ(json.size(), 1u) << result.output;
    const nlohmann::json summary = nlohmann::json::parse(json[0]);
    const std::string connectionName = utf8(name);
    const std::pair<const char*, std::string_view> texts[] = {
        {"/connection", connectionName},
        {"/records/2/tag", "SRFC"},
        {"/records/1/stat/text", "{\"name\":\"a%20b%2f%c3%a9\",\"size\":\"12\"}"}};
    for (const auto& [pointer, text] : texts)
        EXPECT_EQ(summary.at(nlohmann::json::json_pointer(pointer)).get<std::string>(), text) << pointer;
    // The numbers as "pointer=value", in one comparison.
    const std::string expected =
        "/header/flags=1 /header/changeCount=2 /header/recordCount=4 /header/highestSlot=2 "
        "/records/0/flags=1 /records/0/view/applyNow=0 /records/0/view/cameraKind=6 "
        "/records/1/changeCount=1 /records/2/size=1932 /records/2/flags=769 "
        "/records/2/srfc/geometryChangeCount=3 /records/2/srfc/geometryBufferSize=4096 "
        "/header/creatorPid=" +
        std::to_string(connection.OwnProcessId()) + " /records/2/id=" + std::to_string(materialId) +
        " /records/2/srfc/geometryBuffer=" + std::to_string(geometry);
    std::string numbers;
    std::istringstream fields(expected);
    for (std::string field; fields >> field;) {
        const std::string pointer = field.substr(0, field.find('='));
        numbers +=
            (numbers.empty() ? "" : " ") + pointer + "=" + summary.at(nlohmann::json::json_pointer(pointer)).dump();
    }
    EXPECT_EQ(numbers, expected);

    EXPECT_EQ(numberOf(linesWith(result.output, "SYNC").at(0), "changed"), 3u);
    EXPECT_EQ(connection.TestRecordFlags(material, ~0u), 0x300u);  // the peer cleared only 0x1
    EXPECT_EQ(connection.TestFlags(~0u), 0u);
    EXPECT_EQ(headerField(header::kLockOwner), 0u);
}

}  // namespace
