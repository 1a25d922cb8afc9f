#include "platform/window.h"

#include "platform/process.h"
#include "platform/utf.h"

#include "support/child_process.h"
#include "support/test_environment.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vantro::platform {
namespace {

using test::ChildProcess;
using test::readFile;
using test::TestEnvironment;
namespace fs = std::filesystem;

bool contains(const std::vector<WindowHandle>& handles, WindowHandle handle) {
    return std::find(handles.begin(), handles.end(), handle) != handles.end();
}

std::string hex16(WindowHandle handle) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(handle));
    return text;
}

WindowHandle handleFromLine(const std::string& line) {
    return line.size() > 7 ? std::strtoull(line.c_str() + 7, nullptr, 10) : 0;
}

WindowInfo makeInfo(std::u16string className, std::u16string title) {
    WindowInfo info;
    info.className = std::move(className);
    info.title = std::move(title);
    return info;
}

// ---- one process ----------------------------------------------------------------

// A published window is listed with its description, in publication order, and
// disappears with its files when destroyed.
TEST(WindowLocal, PublishEnumerateDescribeDestroy) {
    TestEnvironment env;
    EXPECT_TRUE(enumWindows().empty());
    WindowInfo info = makeInfo(u"START_WINDOW", u"Velora \u2014 a\\b\nnext line\r");
    info.ownerWindow = 77;
    info.visible = false;
    info.ownerPid = 1;  // ignored: the publisher owns it
    Window first, second;
    ASSERT_TRUE(Window::publish(info, first));
    ASSERT_TRUE(Window::publish(makeInfo(u"OTHER", u""), second));
    EXPECT_GT(second.handle(), first.handle());
    EXPECT_EQ(enumWindows(), (std::vector<WindowHandle>{first.handle(), second.handle()}));

    WindowInfo read;
    ASSERT_TRUE(getWindowInfo(first.handle(), read));
    EXPECT_EQ(read.handle, first.handle());
    EXPECT_EQ(read.ownerPid, currentProcessId());
    EXPECT_EQ(read.ownerWindow, 77u);
    EXPECT_FALSE(read.visible);
    EXPECT_EQ(read.className, u"START_WINDOW");
    EXPECT_EQ(read.title, info.title);

    std::string desc = env.runtimeDir() + "/window-" + hex16(first.handle()) + ".desc";
    std::string sock = env.runtimeDir() + "/window-" + hex16(first.handle()) + ".sock";
    // The description is the documented text format, byte for byte.
    EXPECT_EQ(readFile(desc), "vantro-window 1\nhandle " + std::to_string(first.handle()) + "\nownerPid " +
                                  std::to_string(::getpid()) +
                                  "\nownerWindow 77\nvisible 0\nclassName START_WINDOW\n"
                                  "title Velora \xE2\x80\x94 a\\\\b\\nnext line\\r\n");
    struct stat info2 {};
    ASSERT_EQ(::stat(sock.c_str(), &info2), 0);
    EXPECT_TRUE(S_ISSOCK(info2.st_mode));

    WindowHandle gone = first.handle();
    first.destroy();
    EXPECT_FALSE(isWindow(gone));
    EXPECT_FALSE(postMessage(gone, 1, 2, 3));
    EXPECT_EQ(enumWindows(), std::vector<WindowHandle>{second.handle()});
    EXPECT_FALSE(fs::exists(desc));
    EXPECT_FALSE(fs::exists(sock));
    EXPECT_FALSE(getWindowInfo(gone, read));
    EXPECT_EQ(read.handle, gone);  // unchanged on failure
}

// Messages arrive whole, in order, with all 64 bits; receive times out when idle.
TEST(WindowLocal, PostAndReceiveInOrder) {
    TestEnvironment env;
    Window window;
    ASSERT_TRUE(Window::publish(makeInfo(u"W", u"t"), window));
    WindowMessage message;
    EXPECT_FALSE(window.receive(message, 0));
    EXPECT_FALSE(window.receive(message, 20));
    ASSERT_TRUE(postMessage(window.handle(), 0x8729, 0, 2));
    ASSERT_TRUE(postMessage(window.handle(), 0xFFFFFFFF, 0x0123456789ABCDEFull, 0xFEDCBA9876543210ull));
    ASSERT_TRUE(window.receive(message, 1000));
    EXPECT_EQ(message.message, 0x8729u);
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(message.lParam, 2u);
    ASSERT_TRUE(window.receive(message, -1));
    EXPECT_EQ(message.message, 0xFFFFFFFFu);
    EXPECT_EQ(message.wParam, 0x0123456789ABCDEFull);
    EXPECT_EQ(message.lParam, 0xFEDCBA9876543210ull);
    EXPECT_FALSE(window.receive(message, 0));
    EXPECT_FALSE(postMessage(0, 1, 1, 1));
}

// The 20-byte wire format is little-endian: u32 id, u64 wParam, u64 lParam.
TEST(WindowLocal, WireFormatGolden) {
    unsigned char bytes[kWindowMessageSize];
    encodeWindowMessage(WindowMessage{0x8729, 0x0102030405060708ull, 0x1112131415161718ull}, bytes);
    const unsigned char expected[kWindowMessageSize] = {0x29, 0x87, 0x00, 0x00, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03,
                                                        0x02, 0x01, 0x18, 0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
    WindowMessage back = decodeWindowMessage(expected);
    EXPECT_EQ(back.message, 0x8729u);
    EXPECT_EQ(back.wParam, 0x0102030405060708ull);
    EXPECT_EQ(back.lParam, 0x1112131415161718ull);
}

// A datagram of any other size is dropped; the next real message still arrives.
TEST(WindowLocal, MalformedDatagramsAreDropped) {
    TestEnvironment env;
    Window window;
    ASSERT_TRUE(Window::publish(makeInfo(u"W", u""), window));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::string path = env.runtimeDir() + "/window-" + hex16(window.handle()) + ".sock";
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int sock = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    unsigned char junk[64] = {1, 2, 3};
    for (size_t size : {size_t(0), size_t(7), size_t(19), size_t(21), size_t(64)})
        ASSERT_EQ(::sendto(sock, junk, size, 0, reinterpret_cast<sockaddr*>(&address), sizeof address),
                  static_cast<ssize_t>(size));
    ::close(sock);
    ASSERT_TRUE(postMessage(window.handle(), 5, 6, 7));
    WindowMessage message;
    ASSERT_TRUE(window.receive(message, 1000));
    EXPECT_EQ(message.message, 5u);
    EXPECT_EQ(message.wParam, 6u);
    EXPECT_FALSE(window.receive(message, 0));
}

// Posting never blocks: a full queue makes postMessage fail, draining it recovers.
TEST(WindowLocal, FullQueueFailsWithoutBlocking) {
    TestEnvironment env;
    Window window;
    ASSERT_TRUE(Window::publish(makeInfo(u"W", u""), window));
    int accepted = 0;
    while (accepted < 100000 && postMessage(window.handle(), 1, uint64_t(accepted), 0))
        ++accepted;
    EXPECT_LT(accepted, 100000);
    EXPECT_GT(accepted, 0);
    WindowMessage message;
    for (int i = 0; i < accepted; ++i) {
        ASSERT_TRUE(window.receive(message, 1000));
        EXPECT_EQ(message.wParam, uint64_t(i));
    }
    EXPECT_TRUE(postMessage(window.handle(), 1, 0, 0));
}

// A window whose socket nobody has bound any more is gone even though its owner
// process (here: this one) lives, and whoever notices removes its files.
TEST(WindowLocal, RefusingSocketMeansGone) {
    TestEnvironment env;
    WindowHandle handle = 0xABC;
    std::string base = env.runtimeDir() + "/window-" + hex16(handle);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, (base + ".sock").c_str(), base.size() + 6);
    int sock = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::ofstream(base + ".desc") << "vantro-window 1\nhandle " << handle << "\nownerPid " << ::getpid()
                                  << "\nownerWindow 0\nvisible 1\nclassName X\ntitle \n";
    EXPECT_TRUE(isWindow(handle));  // a hand-made window in the documented format counts
    ::close(sock);
    EXPECT_TRUE(fs::exists(base + ".desc"));
    EXPECT_FALSE(contains(enumWindows(), handle));
    EXPECT_FALSE(fs::exists(base + ".desc"));
    EXPECT_FALSE(fs::exists(base + ".sock"));
}

// Garbage description files are not windows, crash nothing, and are left alone.
TEST(WindowLocal, HostileDescriptionsAreIgnored) {
    TestEnvironment env;
    Window real;
    ASSERT_TRUE(Window::publish(makeInfo(u"REAL", u""), real));
    std::string good = "vantro-window 1\nhandle 4096\nownerPid " + std::to_string(::getpid()) +
                       "\nownerWindow 0\nvisible 1\nclassName X\ntitle T\n";
    const std::vector<std::string> bad = {
        "",
        "garbage",
        good.substr(0, good.size() - 1),                      // cut before the last LF
        "vantro-window 2\n" + good.substr(16),                // unknown version
        good.substr(0, good.find("visible")),                 // keys missing
        std::string(70000, 'x'),                              // far too long
        "vantro-window 1\nhandle 99999999999999999999999\n",  // overflow
        "vantro-window 1\nhandle 4096\nownerPid -1\n",        // negative
        good.substr(0, good.find("title")) + "title bad\\escape\n",
        good.substr(0, good.find("visible")) + "visible 2\nclassName X\ntitle T\n",
        std::string("vantro-window 1\nhandle 4096\0\n", 29),
    };
    for (const std::string& content : bad) {
        std::ofstream(env.runtimeDir() + "/window-0000000000001000.desc", std::ios::binary | std::ios::trunc)
            << content;
        EXPECT_FALSE(isWindow(0x1000)) << content.substr(0, 80);
        EXPECT_EQ(enumWindows(), std::vector<WindowHandle>{real.handle()});
        EXPECT_TRUE(fs::exists(env.runtimeDir() + "/window-0000000000001000.desc"));
    }
    // A description naming another handle than its file name is not that window.
    std::ofstream(env.runtimeDir() + "/window-0000000000001001.desc", std::ios::trunc) << good;
    EXPECT_FALSE(isWindow(0x1001));
    // Unknown extra keys are allowed (later versions may add some).
    std::string withExtra = good.substr(0, good.find("title")) + "colour blue\ntitle T\n";
    std::ofstream(env.runtimeDir() + "/window-0000000000001000.desc", std::ios::trunc) << withExtra;
    EXPECT_FALSE(isWindow(0x1000));  // parses, but it has no socket: refused, so gone
    EXPECT_FALSE(fs::exists(env.runtimeDir() + "/window-0000000000001000.desc"));
}

// A runtime directory path too long for a socket address still works.
TEST(WindowLocal, LongRuntimeDirectory) {
    TestEnvironment env;
    std::string deep = env.root() + "/" + std::string(60, 'd') + "/" + std::string(60, 'e');
    ASSERT_EQ(::setenv("VANTRO_RUNTIME_DIR", deep.c_str(), 1), 0);
    ASSERT_EQ(runtimeDirectory(), deep);
    Window window;
    ASSERT_TRUE(Window::publish(makeInfo(u"W", u""), window));
    EXPECT_TRUE(isWindow(window.handle()));
    ASSERT_TRUE(postMessage(window.handle(), 9, 8, 7));
    WindowMessage message;
    ASSERT_TRUE(window.receive(message, 1000));
    EXPECT_EQ(message.lParam, 7u);
    WindowHandle handle = window.handle();
    window.destroy();
    EXPECT_FALSE(postMessage(handle, 9, 8, 7));
}

// Without VANTRO_RUNTIME_DIR the directory is $XDG_RUNTIME_DIR/vantro, made private.
TEST(WindowLocal, RuntimeDirectoryFallbacks) {
    TestEnvironment env;
    test::ScopedEnv noRuntime("VANTRO_RUNTIME_DIR", nullptr);
    test::ScopedEnv xdg("XDG_RUNTIME_DIR", env.root().c_str());
    std::string dir = runtimeDirectory();
    EXPECT_EQ(dir, env.root() + "/vantro");
    struct stat info {};
    ASSERT_EQ(::stat(dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ::unsetenv("XDG_RUNTIME_DIR");
    dir = runtimeDirectory();
    EXPECT_EQ(dir, "/tmp/vantro-" + std::to_string(::getuid()));
    ASSERT_EQ(::lstat(dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);
}

// ---- several processes ----------------------------------------------------------

// Another process's window is found by enumeration and receives exactly the
// messages posted, in order.
TEST(WindowProcesses, PostToAnotherProcess) {
    TestEnvironment env;
    constexpr int kCount = 200;  // far more than the queue holds: the poster waits for room
    ChildProcess owner(PLATFORM_TEST_HELPER, {"window-publish", "VELORA_START", "Peer", std::to_string(kCount), "-"});
    WindowHandle handle = handleFromLine(owner.waitForLine("handle "));
    ASSERT_NE(handle, 0u);
    ASSERT_TRUE(contains(enumWindows(), handle));
    WindowInfo info;
    ASSERT_TRUE(getWindowInfo(handle, info));
    EXPECT_EQ(info.ownerPid, static_cast<uint32_t>(owner.pid()));
    EXPECT_EQ(info.className, u"VELORA_START");

    for (int i = 0; i < kCount; ++i) {
        while (!postMessage(handle, 0x8729, uint64_t(i), uint64_t(kCount - i))) {
            ASSERT_TRUE(isWindow(handle));
            std::this_thread::yield();
        }
    }
    ASSERT_EQ(owner.wait(), 0);
    std::istringstream lines(owner.output());
    std::string line;
    int next = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("msg ", 0) != 0)
            continue;
        EXPECT_EQ(line, "msg 34601 " + std::to_string(next) + " " + std::to_string(kCount - next));
        ++next;
    }
    EXPECT_EQ(next, kCount);
    EXPECT_FALSE(isWindow(handle));  // the owner ended
}

// Messages another process posts to our window arrive exactly once each, and no more.
TEST(WindowProcesses, ReceiveFromAnotherProcess) {
    TestEnvironment env;
    Window window;
    ASSERT_TRUE(Window::publish(makeInfo(u"MINE", u""), window));
    ChildProcess poster(PLATFORM_TEST_HELPER, {"window-post", std::to_string(window.handle()), "50", "0x8729"});
    for (int i = 0; i < 50; ++i) {
        WindowMessage message;
        ASSERT_TRUE(window.receive(message, 10000)) << i;
        EXPECT_EQ(message.message, 0x8729u);
        EXPECT_EQ(message.wParam, uint64_t(i));
        EXPECT_EQ(message.lParam, 0xFFFF000000000000ull | uint64_t(i));
    }
    EXPECT_EQ(poster.wait(), 0);
    EXPECT_NE(poster.output().find("posted 50"), std::string::npos);
    WindowMessage extra;
    EXPECT_FALSE(window.receive(extra, 100));
}

// A window whose owner was killed leaves enumWindows, refuses posts, and its files
// are removed; the foreground window it held reads as none.
TEST(WindowProcesses, DeadOwnersWindowDisappears) {
    TestEnvironment env;
    std::string release = env.root() + "/never";
    WindowHandle handle = 0;
    {
        ChildProcess owner(PLATFORM_TEST_HELPER, {"window-foreground", release});
        handle = handleFromLine(owner.waitForLine("handle "));
        ASSERT_NE(handle, 0u);
        EXPECT_TRUE(contains(enumWindows(), handle));
        EXPECT_EQ(foregroundWindow(), handle);
        owner.kill(9);
        owner.wait();
    }
    EXPECT_FALSE(contains(enumWindows(), handle));
    EXPECT_FALSE(isWindow(handle));
    EXPECT_FALSE(postMessage(handle, 1, 2, 3));
    EXPECT_EQ(foregroundWindow(), 0u);
    EXPECT_FALSE(fs::exists(env.runtimeDir() + "/window-" + hex16(handle) + ".desc"));
    EXPECT_FALSE(fs::exists(env.runtimeDir() + "/window-" + hex16(handle) + ".sock"));

    // Our own window can take the foreground afterwards.
    Window mine;
    ASSERT_TRUE(Window::publish(makeInfo(u"MINE", u""), mine));
    EXPECT_GT(mine.handle(), handle);  // handles are not reused
    ASSERT_TRUE(mine.setForeground());
    EXPECT_EQ(foregroundWindow(), mine.handle());
    mine.destroy();
    EXPECT_EQ(foregroundWindow(), 0u);
}

// Windows published concurrently by several processes get distinct handles.
TEST(WindowProcesses, ConcurrentPublishersGetDistinctHandles) {
    TestEnvironment env;
    std::vector<std::unique_ptr<ChildProcess>> owners;
    for (int i = 0; i < 4; ++i)
        owners.push_back(std::make_unique<ChildProcess>(
            PLATFORM_TEST_HELPER, std::vector<std::string>{"window-publish", "C", std::to_string(i), "1", "-"}));
    std::vector<WindowHandle> handles;
    for (auto& owner : owners)
        handles.push_back(handleFromLine(owner->waitForLine("handle ")));
    std::vector<WindowHandle> sorted = handles;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_EQ(enumWindows(), sorted);
    for (size_t i = 0; i < owners.size(); ++i) {
        ASSERT_TRUE(postMessage(handles[i], 1, 0, 0));
        EXPECT_EQ(owners[i]->wait(), 0);
    }
    EXPECT_TRUE(enumWindows().empty());
}

}  // namespace
}  // namespace vantro::platform
