#include "platform/window.h"

#include "platform/process.h"
#include "platform/utf.h"

#include "support/child_process.h"
#include "support/test_environment.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <unistd.h>

namespace vantro::platform {
namespace {

using test::ChildProcess;
using test::readFile;
using test::writeFile;
namespace fs = std::filesystem;

WindowHandle handleFromLine(const std::string& line) {
    return line.size() > 7 ? std::strtoull(line.c_str() + 7, nullptr, 10) : 0;
}

void expectMessage(Window& window, WindowMessage expected, int timeoutMs = 1000) {
    WindowMessage message;
    ASSERT_TRUE(window.receive(message, timeoutMs));
    EXPECT_EQ(message.message, expected.message);
    EXPECT_EQ(message.wParam, expected.wParam);
    EXPECT_EQ(message.lParam, expected.lParam);
}

class WindowTest : public ::testing::Test {
protected:
    test::TestEnvironment env;
    Window window;

    void publish(std::u16string className, std::u16string title = u"") {
        WindowInfo info;
        info.className = std::move(className);
        info.title = std::move(title);
        ASSERT_TRUE(Window::publish(info, window));
    }
    // The window's files, without extension.
    std::string base(WindowHandle handle) const {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llX", static_cast<unsigned long long>(handle));
        return env.runtimeDir() + "/window-" + hex;
    }
};

// A published window is listed with its description (the documented text: other
// processes read it), the newest first, and disappears with its files.
TEST_F(WindowTest, PublishEnumerateDescribeDestroy) {
    WindowInfo info;
    info.className = u"START_WINDOW";
    info.title = u"Velora \u2014 a\\b\nnext line\r";
    info.ownerWindow = 77;
    info.visible = false;
    info.ownerPid = 1;  // ignored: the publisher owns it
    Window first;
    ASSERT_TRUE(Window::publish(info, first));
    publish(u"OTHER");
    EXPECT_GT(window.handle(), first.handle());
    EXPECT_EQ(enumWindows(), (std::vector<WindowHandle>{window.handle(), first.handle()}));

    WindowInfo read;
    ASSERT_TRUE(getWindowInfo(first.handle(), read));
    EXPECT_EQ(std::tie(read.handle, read.ownerPid, read.ownerWindow, read.visible, read.className, read.title),
              std::tuple(first.handle(), currentProcessId(), WindowHandle{77}, false, u"START_WINDOW", info.title));
    const std::string files = base(first.handle());
    EXPECT_EQ(readFile(files + ".desc"), "vantro-window 1\nhandle " + std::to_string(first.handle()) + "\nownerPid " +
                                             std::to_string(::getpid()) +
                                             "\nownerWindow 77\nvisible 0\nclassName START_WINDOW\n"
                                             "title Velora \xE2\x80\x94 a\\\\b\\nnext line\\r\n");
    EXPECT_TRUE(fs::is_socket(files + ".sock"));

    WindowHandle gone = first.handle();
    first.destroy();
    EXPECT_FALSE(isWindow(gone));
    EXPECT_EQ(enumWindows(), std::vector<WindowHandle>{window.handle()});
    EXPECT_FALSE(fs::exists(files + ".desc"));
    EXPECT_FALSE(fs::exists(files + ".sock"));
    EXPECT_FALSE(getWindowInfo(gone, read));
}

// The 20-byte wire format is little-endian: u32 id, u64 wParam, u64 lParam.
TEST(WindowMessages, WireFormatGolden) {
    unsigned char bytes[kWindowMessageSize];
    encodeWindowMessage(WindowMessage{0x8729, 0x0102030405060708ull, 0x1112131415161718ull}, bytes);
    const unsigned char expected[kWindowMessageSize] = {0x29, 0x87, 0x00, 0x00, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03,
                                                        0x02, 0x01, 0x18, 0x17, 0x16, 0x15, 0x14, 0x13, 0x12, 0x11};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof bytes), 0);
}

// Messages arrive whole, in order, with all 64 bits; receive times out when idle, and
// posting never blocks: a full queue makes postMessage fail, draining it recovers.
TEST_F(WindowTest, PostAndReceiveInOrderWithoutBlocking) {
    publish(u"W", u"t");
    WindowMessage message;
    EXPECT_FALSE(window.receive(message, 20));
    EXPECT_FALSE(postMessage(0, 1, 1, 1));
    ASSERT_TRUE(postMessage(window.handle(), 0xFFFFFFFF, 0x0123456789ABCDEFull, 0xFEDCBA9876543210ull));
    expectMessage(window, {0xFFFFFFFF, 0x0123456789ABCDEFull, 0xFEDCBA9876543210ull}, -1);
    uint64_t accepted = 0;
    while (accepted < 100000 && postMessage(window.handle(), 1, accepted, 0))
        ++accepted;
    EXPECT_LT(accepted, 100000u);
    EXPECT_GT(accepted, 0u);
    for (uint64_t i = 0; i < accepted; ++i)
        expectMessage(window, {1, i, 0});
    EXPECT_FALSE(window.receive(message, 0));
    EXPECT_TRUE(postMessage(window.handle(), 1, 0, 0));
}

// Garbage description files are not windows and are left alone (one row per way the
// parser refuses; the fuzz target covers the rest).
TEST_F(WindowTest, HostileDescriptionsAreIgnored) {
    publish(u"REAL");
    const std::string good = "vantro-window 1\nhandle 4096\nownerPid " + std::to_string(::getpid()) +
                             "\nownerWindow 0\nvisible 1\nclassName X\ntitle T\n";
    const std::string bad[] = {
        good.substr(0, good.size() - 1),                      // cut before the last LF
        good.substr(0, good.find("visible")),                 // keys missing
        "vantro-window 1\nhandle 99999999999999999999999\n",  // overflow
        good.substr(0, good.find("title")) + "title bad\\escape\n",
    };
    const std::string desc = base(0x1000) + ".desc";
    for (const std::string& content : bad) {
        writeFile(desc, content);
        EXPECT_FALSE(isWindow(0x1000)) << content.substr(0, 80);
        EXPECT_EQ(enumWindows(), std::vector<WindowHandle>{window.handle()});
        EXPECT_TRUE(fs::exists(desc));
    }
    // A description naming another handle than its file name is not that window.
    writeFile(base(0x1001) + ".desc", good);
    EXPECT_FALSE(isWindow(0x1001));
    // Unknown keys parse (later versions may add some), but a live owner without the
    // socket bound is gone all the same.
    writeFile(desc, good.substr(0, good.find("title")) + "colour blue\ntitle T\n");
    EXPECT_FALSE(isWindow(0x1000));
    EXPECT_FALSE(fs::exists(desc));
}

// Windows published at once by several processes get distinct handles, are listed with
// their owner, and receive what is posted to them.
TEST_F(WindowTest, OtherProcessesWindowsReceiveWhatIsPosted) {
    std::vector<std::unique_ptr<ChildProcess>> owners;
    for (int i = 0; i < 4; ++i)
        owners.push_back(std::make_unique<ChildProcess>(
            PLATFORM_TEST_HELPER,
            std::vector<std::string>{"window-publish", "VELORA_START", std::to_string(i), "1", "-"}));
    std::vector<WindowHandle> handles;
    for (auto& owner : owners)
        handles.push_back(handleFromLine(owner->waitForLine("handle ")));
    std::vector<WindowHandle> sorted = handles;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
    EXPECT_EQ(enumWindows(), sorted);
    WindowInfo info;
    ASSERT_TRUE(getWindowInfo(handles[2], info));
    EXPECT_EQ(info.ownerPid, static_cast<uint32_t>(owners[2]->pid()));
    EXPECT_EQ(info.className, u"VELORA_START");
    EXPECT_EQ(info.title, u"2");
    for (size_t i = 0; i < owners.size(); ++i) {
        ASSERT_TRUE(postMessage(handles[i], 0x8729, i, 0xFFFF000000000000ull | i));
        EXPECT_EQ(owners[i]->wait(), 0);
        EXPECT_NE(owners[i]->output().find("msg 34601 " + std::to_string(i) + " " +
                                           std::to_string(0xFFFF000000000000ull | i) + "\nreceived 1\n"),
                  std::string::npos)
            << owners[i]->output();
    }
    EXPECT_TRUE(enumWindows().empty());  // the owners ended
}

// A killed owner's window is gone (files removed, posts refused) and the foreground it
// held reads as none; handles are not reused.
TEST_F(WindowTest, DeadOwnersWindowDisappears) {
    WindowHandle handle = 0;
    {
        ChildProcess owner(PLATFORM_TEST_HELPER, {"window-publish", "FOREGROUND", "", "0", env.root() + "/never"});
        handle = handleFromLine(owner.waitForLine("handle "));
        ASSERT_NE(handle, 0u);
        ASSERT_NE(owner.waitForLine("received 0"), "");
        EXPECT_EQ(enumWindows(), std::vector<WindowHandle>{handle});
        EXPECT_EQ(foregroundWindow(), handle);
        owner.kill(9);
        owner.wait();
    }
    EXPECT_TRUE(enumWindows().empty());
    EXPECT_FALSE(isWindow(handle));
    EXPECT_FALSE(postMessage(handle, 1, 2, 3));
    EXPECT_EQ(foregroundWindow(), 0u);
    EXPECT_FALSE(fs::exists(base(handle) + ".desc"));
    EXPECT_FALSE(fs::exists(base(handle) + ".sock"));

    publish(u"MINE");
    EXPECT_GT(window.handle(), handle);  // handles are not reused
}

}  // namespace
}  // namespace vantro::platform
