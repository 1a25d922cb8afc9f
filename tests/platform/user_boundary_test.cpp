// Between users: another local user can neither see, squat nor lock our named
// mappings, a runtime folder another user planted in /tmp is refused for a private
// one, and a lock held too long by one of our own processes fails a call instead of
// hanging it. The second user is played through setpriv; tests that need root (and,
// for /tmp, a mount namespace) skip saying so where they cannot have it.

#include "platform/debug_output.h"
#include "platform/shared_memory.h"
#include "platform/utf.h"

#include "support/child_process.h"
#include "support/test_environment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vantro::platform {
namespace {

constexpr const char* kSetpriv = "/usr/bin/setpriv";
constexpr const char* kUnshare = "/usr/bin/unshare";

bool canActAsAnotherUser() { return ::geteuid() == 0 && ::access(kSetpriv, X_OK) == 0; }

// A command line that runs the rest as uid (and gid) without any capability.
std::vector<std::string> asUser(unsigned uid, std::vector<std::string> command) {
    std::vector<std::string> args{"--reuid=" + std::to_string(uid), "--regid=" + std::to_string(uid), "--clear-groups",
                                  "--inh-caps=-all"};
    args.insert(args.end(), command.begin(), command.end());
    return args;
}

// Collects what the platform layer writes to the debug output meanwhile.
class DebugCapture {
public:
    DebugCapture() {
        setDebugSink([this](std::u16string_view text) {
            std::lock_guard<std::mutex> lock(mutex_);
            text_ += toUtf8(text);
        });
    }
    ~DebugCapture() { setDebugSink(nullptr); }
    std::string text() {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

private:
    std::mutex mutex_;
    std::string text_;
};

class UserBoundary : public ::testing::Test {
protected:
    test::TestEnvironment env;
    std::string never = env.root() + "/never";  // a release file nobody creates
};

// The attacks of a second user on a live link: list the names (document paths),
// put a file at the name the owner is about to create, and hold the decision lock.
TEST_F(UserBoundary, AnotherUserCannotListSquatOrLockOurNames) {
    if (!canActAsAnotherUser())
        GTEST_SKIP() << "needs root and setpriv to play a second user";
    const std::u16string visible = test::uniqueName("secret-document");
    const std::u16string target = test::uniqueName("squatted");
    SharedMemory live;
    ASSERT_EQ(SharedMemory::create(visible, 64, live), ShmResult::ok);
    const std::string folder = SharedMemory::directory();
    ASSERT_FALSE(folder.empty());

    const std::string attack =
        "ls \"$1\" 2>/dev/null; (: > \"$1/$2\") 2>/dev/null && echo squatted; "
        "flock -n \"$1\" true 2>/dev/null && echo locked; exit 0";
    test::RunResult attacker = test::runProgram(
        kSetpriv, asUser(65534, {"sh", "-c", attack, "sh", folder, SharedMemory::posixName(target).substr(1)}));
    EXPECT_EQ(attacker.exitCode, 0);
    EXPECT_EQ(attacker.output.find("vantro."), std::string::npos) << attacker.output;
    EXPECT_EQ(attacker.output.find("squatted"), std::string::npos) << attacker.output;
    EXPECT_EQ(attacker.output.find("locked"), std::string::npos) << attacker.output;

    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::geteuid());
    SharedMemory mine;
    EXPECT_EQ(SharedMemory::create(target, 64, mine), ShmResult::ok);
}

// The runtime folder's /tmp default pre-created by another user (a folder open to
// all, or a symbolic link into a folder of theirs): the victim says why it refuses
// it and settles on the same private alternative in every process, where mappings
// and windows work. Runs on a private /tmp of a mount namespace of its own.
TEST_F(UserBoundary, PlantedTmpRuntimeFolderIsRefusedForAPrivateAlternative) {
    if (!canActAsAnotherUser() || ::access(kUnshare, X_OK) != 0)
        GTEST_SKIP() << "needs root, setpriv and unshare to play a second user on a private /tmp";
    const std::string script = R"(
        mount -t tmpfs tmpfs /tmp 2>/dev/null || { echo "no-mount"; exit 0; }
        as() { u=$1; shift; env -u XDG_RUNTIME_DIR -u VANTRO_RUNTIME_DIR \
               setpriv --reuid=$u --regid=$u --clear-groups --inh-caps=-all "$@"; }
        as 65534 mkdir -m 777 /tmp/vantro-65533
        as 65534 mkdir -m 777 /tmp/elsewhere
        as 65534 ln -s /tmp/elsewhere /tmp/vantro-65532
        echo "== folder"; as 65533 "$1" runtime-probe 2>&1
        echo "== again"; as 65533 "$1" runtime-probe 2>&1
        echo "== link"; as 65532 "$1" runtime-probe 2>&1
        echo "== planted"; ls -A /tmp/vantro-65533 /tmp/elsewhere
    )";
    test::RunResult run = test::runProgram(
        kUnshare, {"--mount", "--propagation", "private", "sh", "-c", script, "sh", PLATFORM_TEST_HELPER});
    if (run.exitCode != 0 || run.output.find("no-mount") != std::string::npos)
        GTEST_SKIP() << "no mount namespace here: " << run.output;
    const std::string& out = run.output;
    auto section = [&](const std::string& from, const std::string& to) {
        size_t start = out.find(from), end = out.find(to);
        return start == std::string::npos ? std::string() : out.substr(start, end - start);
    };
    const std::string folder = section("== folder", "== again");
    EXPECT_NE(folder.find("/tmp/vantro-65533 is not used: it belongs to user 65534"), std::string::npos) << out;
    EXPECT_NE(folder.find("runtime /tmp/vantro-65533-1\n"), std::string::npos) << out;
    EXPECT_NE(folder.find("shm /tmp/vantro-65533-1/shm\n"), std::string::npos) << out;
    EXPECT_NE(folder.find("create ok"), std::string::npos) << out;
    EXPECT_NE(folder.find("window ok"), std::string::npos) << out;
    EXPECT_NE(section("== again", "== link").find("runtime /tmp/vantro-65533-1\n"), std::string::npos) << out;
    const std::string link = section("== link", "== planted");
    EXPECT_NE(link.find("/tmp/vantro-65532 is not used: it is a symbolic link"), std::string::npos) << out;
    EXPECT_NE(link.find("runtime /tmp/vantro-65532-1\n"), std::string::npos) << out;
    EXPECT_NE(link.find("window ok"), std::string::npos) << out;
    // Nothing of the victims' went into the planted folders.
    EXPECT_EQ(out.substr(out.find("== planted")).find("window-"), std::string::npos) << out;
    EXPECT_EQ(out.substr(out.find("== planted")).find("shm"), std::string::npos) << out;
}

// One of our own processes keeps the decision lock: create fails after a few seconds
// with a line saying so, and works once the lock is free again.
TEST_F(UserBoundary, HeldDecisionLockFailsTheCallInsteadOfHanging) {
    const std::string folder = SharedMemory::directory();
    ASSERT_FALSE(folder.empty());
    auto holder = std::make_unique<test::ChildProcess>(PLATFORM_TEST_HELPER,
                                                       std::vector<std::string>{"flock-hold", folder, never});
    ASSERT_NE(holder->waitForLine("ready"), "");
    DebugCapture debug;
    const std::u16string name = test::uniqueName("held-lock");
    auto attempt = std::async(std::launch::async, [&] {
        SharedMemory memory;
        return SharedMemory::create(name, 64, memory);
    });
    const bool returned = attempt.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    holder.reset();  // frees a call that hangs, so that the test can end
    ASSERT_TRUE(returned) << "create waited for the lock for a minute";
    EXPECT_EQ(attempt.get(), ShmResult::failed);
    EXPECT_NE(debug.text().find("stayed locked"), std::string::npos) << debug.text();
    SharedMemory memory;
    EXPECT_EQ(SharedMemory::create(name, 64, memory), ShmResult::ok);
}

}  // namespace
}  // namespace vantro::platform
