#include "platform/shared_memory.h"
#include "platform/utf.h"

#include "support/child_process.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vantro::platform {
namespace {

using test::ChildProcess;
using test::TestEnvironment;

std::string shmPath(std::u16string_view name) {
    return std::string(SharedMemory::kDirectory) + SharedMemory::posixName(name);
}

bool onDisk(std::u16string_view name) {
    struct stat info {};
    return ::stat(shmPath(name).c_str(), &info) == 0;
}

// A file the helper waits for before it lets go of what it holds.
struct ReleaseFile {
    explicit ReleaseFile(const TestEnvironment& env, const char* stem) : path(env.root() + "/" + stem) {}
    void release() const { ::close(::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600)); }
    std::string path;
};

// The helper process, once it has created name (size bytes of fill) and holds it until
// release appears.
std::unique_ptr<ChildProcess> startHolder(std::u16string_view name, size_t size, int fill, const ReleaseFile& release) {
    auto holder = std::make_unique<ChildProcess>(
        PLATFORM_TEST_HELPER,
        std::vector<std::string>{"shm-create", toUtf8(name), std::to_string(size), std::to_string(fill), release.path});
    EXPECT_NE(holder->waitForLine("ready"), "");
    return holder;
}

// Leaves name on disk with no holder: its only holder is killed with SIGKILL.
void abandon(std::u16string_view name, const ReleaseFile& never) {
    auto holder = startHolder(name, 4096, 255, never);
    holder->kill(9);
    EXPECT_EQ(holder->wait(), 128 + 9);
}

// ---- names ----------------------------------------------------------------------

// The encoding is fixed: peers in other languages compute the same names.
TEST(SharedMemoryNames, GoldenEncodings) {
    EXPECT_EQ(SharedMemory::posixName(u"D:/Work/house.dae"), "/vantro.D%3A%2FWork%2Fhouse.dae");
    EXPECT_EQ(SharedMemory::posixName(u"VantroAPI/1234/0000000A"), "/vantro.VantroAPI%2F1234%2F0000000A");
    EXPECT_EQ(SharedMemory::posixName(u"a\\b c"), "/vantro.a%5Cb%20c");
    EXPECT_EQ(SharedMemory::posixName(u"x%y~z"), "/vantro.x%25y%7Ez");
    EXPECT_EQ(SharedMemory::posixName(u"caf\u00e9 \u20ac"), "/vantro.caf%E9%20%u20AC");
    EXPECT_EQ(SharedMemory::posixName(u"\U0001F600"), "/vantro.%uD83D%uDE00");
    EXPECT_EQ(SharedMemory::posixName(std::u16string(u"a\0b", 3)), "/vantro.a%00b");
}

// Slashes, backslashes and text that looks like an escape never collide; case counts.
TEST(SharedMemoryNames, LookalikesStayDistinct) {
    std::vector<std::u16string> names = {u"a/b",      u"a\\b", u"a%2Fb", u"a%2fb", u"A/b", u"a:b",
                                         u"a%u002Fb", u"a/%",  u"a/",    u"a",     u"a~b", u"a.b"};
    std::set<std::string> seen;
    for (const auto& name : names)
        EXPECT_TRUE(seen.insert(SharedMemory::posixName(name)).second) << toUtf8(name);
}

// Injective over every name of up to four units from an alphabet of escape-prone units.
TEST(SharedMemoryNames, InjectiveOnAllShortNames) {
    const std::u16string alphabet = u"a/\\%2Fu~\u00e9\u20ac";
    std::set<std::string> seen;
    size_t total = 0;
    std::vector<std::u16string> level = {u""};
    for (int length = 1; length <= 4; ++length) {
        std::vector<std::u16string> next;
        for (const auto& prefix : level)
            for (char16_t unit : alphabet) {
                next.push_back(prefix + unit);
                seen.insert(SharedMemory::posixName(next.back()));
                ++total;
            }
        level = std::move(next);
    }
    EXPECT_EQ(seen.size(), total);
}

// Long names are hashed into a legal file name, keep a readable prefix, and names that
// differ only in their last unit (past the kept prefix) still differ.
TEST(SharedMemoryNames, LongNamesAreHashedAndDistinct) {
    std::u16string base(300, u'x');
    std::string first = SharedMemory::posixName(base + u"1");
    std::string second = SharedMemory::posixName(base + u"2");
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_LE(name.size(), 256u);
        EXPECT_EQ(name.rfind("/vantro.xxxxxxxx", 0), 0u);
        size_t tilde = name.find('~');
        ASSERT_NE(tilde, std::string::npos);
        EXPECT_EQ(name.size() - tilde - 1, 64u);  // SHA-256 in hex
    }
    // 260 units of non-ASCII text (6 characters each when escaped) also fit.
    std::u16string wide(260, u'\u4e2d');
    EXPECT_LE(SharedMemory::posixName(wide).size(), 256u);
    EXPECT_NE(SharedMemory::posixName(wide), SharedMemory::posixName(wide.substr(1) + u'\u4e2e'));
    // Exactly at the limit the name is used as it is; one more unit makes it hashed.
    std::u16string fits(255 - 7, u'y');
    EXPECT_EQ(SharedMemory::posixName(fits), "/vantro." + std::string(248, 'y'));
    EXPECT_NE(SharedMemory::posixName(fits + u"y").find('~'), std::string::npos);
}

// ---- one process ----------------------------------------------------------------

// A new mapping is zero-filled, private to the user, and shared by a second opener.
TEST(SharedMemoryLocal, CreateOpenShareAndRemoveOnLastClose) {
    std::u16string name = test::uniqueName("local");
    SharedMemory created;
    ASSERT_EQ(SharedMemory::create(name, 10000, created), ShmResult::ok);
    ASSERT_TRUE(created.isOpen());
    EXPECT_EQ(created.size(), 10000u);
    const auto* bytes = static_cast<const unsigned char*>(created.data());
    EXPECT_EQ(std::count(bytes, bytes + 10000, 0), 10000);
    struct stat info {};
    ASSERT_EQ(::stat(shmPath(name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    SharedMemory opened;
    ASSERT_EQ(SharedMemory::open(name, opened), ShmResult::ok);
    EXPECT_EQ(opened.size(), 10000u);
    std::memcpy(created.data(), "hello", 5);
    EXPECT_EQ(std::memcmp(opened.data(), "hello", 5), 0);

    // The creator leaving does not end the mapping while the opener holds it.
    created.close();
    EXPECT_FALSE(created.isOpen());
    EXPECT_TRUE(SharedMemory::exists(name));
    SharedMemory again;
    EXPECT_EQ(SharedMemory::create(name, 64, again), ShmResult::alreadyExists);
    EXPECT_FALSE(again.isOpen());
    EXPECT_EQ(std::memcmp(opened.data(), "hello", 5), 0);

    opened.close();
    EXPECT_FALSE(onDisk(name));
    EXPECT_FALSE(SharedMemory::exists(name));
    EXPECT_EQ(SharedMemory::open(name, opened), ShmResult::notFound);
}

// Bad requests fail cleanly and leave nothing behind; the target is closed first.
TEST(SharedMemoryLocal, BadRequestsFail) {
    std::u16string name = test::uniqueName("bad");
    SharedMemory memory;
    EXPECT_EQ(SharedMemory::create(name, 0, memory), ShmResult::failed);
    EXPECT_FALSE(onDisk(name));
    EXPECT_EQ(SharedMemory::create(u"", 16, memory), ShmResult::failed);
    EXPECT_EQ(SharedMemory::open(u"", memory), ShmResult::notFound);
    EXPECT_FALSE(SharedMemory::exists(u""));
    // Far more than tmpfs can give: refused at creation, not by SIGBUS on first touch.
    EXPECT_EQ(SharedMemory::create(name, size_t(1) << 50, memory), ShmResult::failed);
    EXPECT_FALSE(onDisk(name));

    ASSERT_EQ(SharedMemory::create(name, 16, memory), ShmResult::ok);
    SharedMemory other;
    ASSERT_EQ(SharedMemory::create(test::uniqueName("bad2"), 16, other), ShmResult::ok);
    // A failing create into an open object closes what it held (and removes it).
    EXPECT_EQ(SharedMemory::create(name, 0, other), ShmResult::failed);
    EXPECT_FALSE(other.isOpen());
    memory.close();
    memory.close();  // twice is harmless
    EXPECT_FALSE(onDisk(name));
}

// Moving hands the hold over; the moved-from object owns nothing.
TEST(SharedMemoryLocal, MoveTransfersTheHold) {
    std::u16string name = test::uniqueName("move");
    SharedMemory first;
    ASSERT_EQ(SharedMemory::create(name, 128, first), ShmResult::ok);
    void* data = first.data();
    SharedMemory second(std::move(first));
    EXPECT_FALSE(first.isOpen());
    EXPECT_EQ(second.data(), data);
    first.close();
    EXPECT_TRUE(SharedMemory::exists(name));
    SharedMemory third;
    third = std::move(second);
    EXPECT_TRUE(SharedMemory::exists(name));
    third = SharedMemory();
    EXPECT_FALSE(onDisk(name));
}

// Many threads creating, opening and closing the same few names never hold two
// objects of one name at once (each object counts its holders in its first word;
// per name, that count and the count of all holders move together under a mutex)
// and leave nothing behind.
TEST(SharedMemoryLocal, ConcurrentThreadsKeepOneMappingPerName) {
    constexpr int kNames = 3;
    std::vector<std::u16string> names;
    for (int i = 0; i < kNames; ++i)
        names.push_back(test::uniqueName("threads"));
    std::mutex mutexes[kNames];
    int holders[kNames] = {};  // guarded by mutexes[name]
    std::atomic<int> violations{0}, creates{0}, opens{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                int which = (i * 7 + t) % kNames;
                SharedMemory memory;
                bool create = (i + t) % 2 == 0;
                ShmResult result = create ? SharedMemory::create(names[which], 4096, memory)
                                          : SharedMemory::open(names[which], memory);
                if (result != ShmResult::ok)
                    continue;
                std::atomic_ref<int> objectHolders(*static_cast<int*>(memory.data()));
                {
                    std::lock_guard<std::mutex> guard(mutexes[which]);
                    violations += objectHolders.fetch_add(1) != holders[which]++;
                }
                (create ? creates : opens)++;
                std::this_thread::yield();
                {
                    std::lock_guard<std::mutex> guard(mutexes[which]);
                    violations += objectHolders.fetch_sub(1) != holders[which]--;
                }
            }
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(violations.load(), 0);
    EXPECT_GT(creates.load(), 0);
    EXPECT_GT(opens.load(), 0);
    for (const auto& name : names)
        EXPECT_FALSE(onDisk(name));
}

// ---- several processes ----------------------------------------------------------

// A mapping created in one process is seen, bytes and size, by another; a create of
// the live name from elsewhere reports alreadyExists and changes nothing.
TEST(SharedMemoryProcesses, CreateInOneProcessSeenByAnother) {
    TestEnvironment env;
    ReleaseFile release(env, "release");
    std::u16string name = test::uniqueName("cross");
    auto creator = startHolder(name, 8192, 171, release);

    auto reader = test::runProgram(PLATFORM_TEST_HELPER, {"shm-open", toUtf8(name), "100", "7"});
    EXPECT_NE(reader.output.find("result ok"), std::string::npos) << reader.output;
    EXPECT_NE(reader.output.find("size 8192 first 171 same 8192"), std::string::npos) << reader.output;

    SharedMemory mine;
    EXPECT_EQ(SharedMemory::create(name, 8192, mine), ShmResult::alreadyExists);
    ASSERT_EQ(SharedMemory::open(name, mine), ShmResult::ok);
    const auto* bytes = static_cast<const unsigned char*>(mine.data());
    EXPECT_EQ(bytes[100], 7);  // the reader's write
    EXPECT_EQ(bytes[0], 171);
    EXPECT_EQ(bytes[8191], 171);

    release.release();
    EXPECT_EQ(creator->wait(), 0);
    EXPECT_TRUE(SharedMemory::exists(name));  // we still hold it
    mine.close();
    EXPECT_FALSE(onDisk(name));
}

// A second process's create of our live name gives alreadyExists and our bytes stay.
TEST(SharedMemoryProcesses, CreateOfLiveNameFromAnotherProcess) {
    TestEnvironment env;
    ReleaseFile release(env, "release");
    std::u16string name = test::uniqueName("exists");
    SharedMemory mine;
    ASSERT_EQ(SharedMemory::create(name, 4096, mine), ShmResult::ok);
    std::memset(mine.data(), 0x5A, 4096);

    release.release();  // were the create to succeed, the helper should not linger
    auto second = test::runProgram(PLATFORM_TEST_HELPER, {"shm-create", toUtf8(name), "4096", "1", release.path});
    EXPECT_NE(second.output.find("result alreadyExists"), std::string::npos) << second.output;
    auto probe = test::runProgram(PLATFORM_TEST_HELPER, {"shm-exists", toUtf8(name)});
    EXPECT_NE(probe.output.find("exists 1"), std::string::npos);

    const auto* bytes = static_cast<const unsigned char*>(mine.data());
    EXPECT_EQ(std::count(bytes, bytes + 4096, 0x5A), 4096);
    mine.close();
    probe = test::runProgram(PLATFORM_TEST_HELPER, {"shm-exists", toUtf8(name)});
    EXPECT_NE(probe.output.find("exists 0"), std::string::npos);
}

// A sole holder killed with SIGKILL leaves a name on disk (the kernel does not remove
// it) that counts as absent: each of create (which then starts zero-filled), open and
// exists reclaims it.
TEST(SharedMemoryProcesses, KilledHolderDoesNotBlockCreate) {
    TestEnvironment env;
    ReleaseFile never(env, "never");
    std::u16string name = test::uniqueName("killed");
    for (const std::string how : {"create", "open", "exists"}) {
        abandon(name, never);
        ASSERT_TRUE(onDisk(name)) << how;
        SharedMemory fresh;
        if (how == "create") {
            ASSERT_EQ(SharedMemory::create(name, 4096, fresh), ShmResult::ok);
            const auto* bytes = static_cast<const unsigned char*>(fresh.data());
            EXPECT_EQ(std::count(bytes, bytes + 4096, 0), 4096);
            fresh.close();
        } else if (how == "open") {
            EXPECT_EQ(SharedMemory::open(name, fresh), ShmResult::notFound);
        } else {
            EXPECT_FALSE(SharedMemory::exists(name));
        }
        EXPECT_FALSE(onDisk(name)) << how;
    }
}

// An opener that outlives a killed creator keeps the mapping alive and intact.
TEST(SharedMemoryProcesses, SurvivingOpenerKeepsMappingAfterCreatorKilled) {
    TestEnvironment env;
    ReleaseFile release(env, "never");
    std::u16string name = test::uniqueName("survivor");
    SharedMemory mine;
    auto creator = startHolder(name, 4096, 66, release);
    ASSERT_EQ(SharedMemory::open(name, mine), ShmResult::ok);
    creator->kill(9);
    creator->wait();
    EXPECT_TRUE(SharedMemory::exists(name));
    SharedMemory other;
    EXPECT_EQ(SharedMemory::create(name, 4096, other), ShmResult::alreadyExists);
    auto reader = test::runProgram(PLATFORM_TEST_HELPER, {"shm-open", toUtf8(name), "0", "66"});
    EXPECT_NE(reader.output.find("size 4096 first 66 same 4096"), std::string::npos) << reader.output;
    mine.close();
    EXPECT_FALSE(onDisk(name));
}

// Our names in /dev/shm, for naming whatever an earlier test left there.
std::string ourNamesOnDisk() {
    std::string names;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm")) {
        std::string file = entry.path().filename().string();
        if (file.rfind(SharedMemory::kNamePrefix, 0) == 0)
            names += file + " ";
    }
    return names;
}

// The start-up sweep removes every abandoned name and leaves live ones alone; with
// VANTRO_KEEP_ABANDONED_SHM set it removes nothing. This binary runs alone (SERIAL):
// a name already there belongs to an earlier test that leaked it, and the sweep
// below would hide that leak from the suite's final check, so it is named here.
TEST(SharedMemoryProcesses, ReclaimAbandonedSweepsOnlyDeadNames) {
    EXPECT_EQ(ourNamesOnDisk(), "") << "left behind by an earlier test";
    TestEnvironment env;
    ReleaseFile release(env, "never");
    std::u16string dead = test::uniqueName("sweep-dead");
    std::u16string live = test::uniqueName("sweep-live");
    SharedMemory held;
    ASSERT_EQ(SharedMemory::create(live, 64, held), ShmResult::ok);
    abandon(dead, release);
    ASSERT_TRUE(onDisk(dead));
    {
        test::ScopedVariable keep("VANTRO_KEEP_ABANDONED_SHM", "1");
        EXPECT_EQ(SharedMemory::reclaimAbandoned(), 0u);
        EXPECT_TRUE(onDisk(dead));
    }
    test::ScopedVariable sweep("VANTRO_KEEP_ABANDONED_SHM", nullptr);
    EXPECT_EQ(SharedMemory::reclaimAbandoned(), 1u);
    EXPECT_FALSE(onDisk(dead));
    EXPECT_TRUE(onDisk(live));
    held.close();
}

// Another process truncates a live object to nothing. The next touch of a lost page
// does not end this process: the whole mapping turns into private zero pages that
// keep working as memory, it reports itself broken (also through the flag asked
// for), other mappings are untouched, and closing still removes the name.
TEST(SharedMemoryShrunk, TruncatedByAnotherProcessTurnsIntoPrivateZeroPages) {
    TestEnvironment env;
    std::u16string name = test::uniqueName("shrunk");
    SharedMemory memory, intact;
    ASSERT_EQ(SharedMemory::create(name, 3 * 4096, memory), ShmResult::ok);
    ASSERT_EQ(SharedMemory::create(test::uniqueName("intact"), 4096, intact), ShmResult::ok);
    std::memset(memory.data(), 0x5A, memory.size());
    std::memset(intact.data(), 0x33, intact.size());
    std::atomic<bool> broken{false};
    memory.notifyWhenBroken(&broken);

    auto truncate = test::runProgram("/usr/bin/truncate", {"-s", "0", shmPath(name)});
    ASSERT_EQ(truncate.exitCode, 0) << truncate.output;
    EXPECT_FALSE(memory.isBroken());  // nothing touched yet
    auto* bytes = static_cast<volatile unsigned char*>(memory.data());
    EXPECT_EQ(bytes[2 * 4096 + 5], 0);  // SIGBUS without the guard
    EXPECT_TRUE(memory.isBroken());
    EXPECT_TRUE(broken.load());
    EXPECT_EQ(bytes[0], 0);  // the first page too: the whole mapping was replaced
    bytes[100] = 9;
    EXPECT_EQ(bytes[100], 9);
    EXPECT_FALSE(intact.isBroken());
    EXPECT_EQ(static_cast<unsigned char*>(intact.data())[4095], 0x33);

    SharedMemory moved = std::move(memory);  // the mark travels with the mapping
    EXPECT_TRUE(moved.isBroken());
    moved.close();
    EXPECT_FALSE(onDisk(name));
}

// Only faults inside our mappings are ours: a shrunk file mapped by other code still
// reaches the handler installed before ours, or ends the process as SIGBUS does.
TEST(SharedMemoryShrunk, ForeignFaultsStillReachTheirHandler) {
    TestEnvironment env;
    std::u16string first = test::uniqueName("foreign-own");
    std::u16string second = test::uniqueName("foreign-none");
    auto chained = test::runProgram(PLATFORM_TEST_HELPER, {"sigbus-foreign", toUtf8(first), env.root() + "/a", "own"});
    EXPECT_EQ(chained.exitCode, 0) << chained.output;
    EXPECT_NE(chained.output.find("survived broken=1 value=7"), std::string::npos) << chained.output;
    EXPECT_NE(chained.output.find("own handler ran"), std::string::npos) << chained.output;

    auto unhandled =
        test::runProgram(PLATFORM_TEST_HELPER, {"sigbus-foreign", toUtf8(second), env.root() + "/b", "none"});
    EXPECT_NE(unhandled.output.find("touching foreign"), std::string::npos) << unhandled.output;
    EXPECT_EQ(unhandled.output.find("swallowed"), std::string::npos) << unhandled.output;
    EXPECT_NE(unhandled.exitCode, 0);
    // Both helpers ended without closing (one killed by the fault): their names have
    // no holder left, and looking them up reclaims them.
    EXPECT_FALSE(SharedMemory::exists(first));
    EXPECT_FALSE(SharedMemory::exists(second));
}

// Several processes hammering the same names never get a create of a held name.
TEST(SharedMemoryProcesses, ConcurrentProcessesKeepOneMappingPerName) {
    TestEnvironment env;
    std::u16string control = test::uniqueName("stress");
    SharedMemory counts;
    ASSERT_EQ(SharedMemory::create(control, 4096, counts), ShmResult::ok);
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int i = 0; i < 3; ++i)
        children.push_back(std::make_unique<ChildProcess>(
            PLATFORM_TEST_HELPER,
            std::vector<std::string>{"shm-stress", toUtf8(control), "3", "400", std::to_string(i + 1)}));
    for (auto& child : children) {
        EXPECT_EQ(child->wait(120000), 0) << child->output();
        EXPECT_NE(child->output().find("stress violations 0"), std::string::npos) << child->output();
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(onDisk(fromUtf8(toUtf8(control) + "/stress/" + std::to_string(i))));
    counts.close();
}

}  // namespace
}  // namespace vantro::platform
