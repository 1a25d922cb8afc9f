#include "platform/debug_output.h"

#include "platform/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vantro::platform {
namespace {

// Without a sink the text reaches stderr as UTF-8, whole.
TEST(DebugOutput, WritesUtf8ToStderr) {
    std::fflush(stderr);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    int saved = ::dup(2);
    ::dup2(pipeFds[1], 2);
    outputDebugString(u"\n --- Can't lock mutex! ---\n");
    outputDebugString(u"\u00e9\U0001F600");
    ::dup2(saved, 2);
    ::close(saved);
    ::close(pipeFds[1]);
    char buffer[256];
    ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
    ::close(pipeFds[0]);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(n)), "\n --- Can't lock mutex! ---\n\xC3\xA9\xF0\x9F\x98\x80");
}

// An installed sink gets every message from every thread, whole; once it has been
// replaced it is never called again, even while other threads keep writing.
TEST(DebugOutput, SinkReceivesAllThreadsAndIsReplacedCleanly) {
    std::mutex mutex;
    std::vector<std::u16string> seen;
    std::atomic<bool> replaced{false}, stop{false};
    std::atomic<int> callsAfterReplacement{0}, secondCalls{0};
    setDebugSink([&](std::u16string_view text) {
        if (replaced)
            ++callsAfterReplacement;
        std::lock_guard<std::mutex> guard(mutex);
        seen.emplace_back(text);
    });
    std::atomic<int> written{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            while (!stop) {
                outputDebugString(u"message");
                ++written;
            }
        });
    while (written < 400)
        yieldThread();
    setDebugSink([&](std::u16string_view) { ++secondCalls; });
    replaced = true;
    while (secondCalls < 100)
        yieldThread();
    stop = true;
    for (auto& thread : threads)
        thread.join();
    setDebugSink(nullptr);
    EXPECT_EQ(callsAfterReplacement.load(), 0);
    EXPECT_EQ(static_cast<int>(seen.size()) + secondCalls.load(), written.load());
    for (const auto& text : seen)
        ASSERT_EQ(text, u"message");
}

}  // namespace
}  // namespace vantro::platform
