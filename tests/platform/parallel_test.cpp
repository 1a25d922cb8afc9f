#include "platform/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <list>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

namespace vantro::platform {
namespace {

// Every index is visited exactly once, and all bodies have run when the loop returns,
// whatever the range: empty, one element, more elements than threads.
TEST(Parallel, EveryIndexOnceAndAllDoneOnReturn) {
    for (size_t count : {size_t{0}, size_t{1}, size_t{7}, size_t{10000}}) {
        std::vector<std::atomic<int>> visits(count + 10);
        parallelFor(10, 10 + count, [&](size_t i) { visits[i].fetch_add(1); });
        for (size_t i = 0; i < visits.size(); ++i)
            ASSERT_EQ(visits[i].load(), i < 10 ? 0 : 1) << "count " << count << " index " << i;
    }
    std::vector<std::atomic<int>> none(4);
    parallelFor(3, 1, [&](size_t i) { none[i].fetch_add(1); });  // an inverted range is empty
    for (const auto& visit : none)
        EXPECT_EQ(visit.load(), 0);
}

// Elements of random-access and of forward-only containers, each once, by reference.
TEST(Parallel, ForEachVisitsEveryElementByReference) {
    std::vector<int> vector(1000, 1);
    parallelForEach(vector.begin(), vector.end(), [](int& value) { value *= 3; });
    for (int value : vector)
        ASSERT_EQ(value, 3);
    std::list<int> list(500, 2);
    parallelForEach(list.begin(), list.end(), [](int& value) { value += 5; });
    for (int value : list)
        ASSERT_EQ(value, 7);
    const std::set<int> set = {1, 2, 3, 40, 500};
    std::atomic<int> sum{0};
    parallelForEach(set.begin(), set.end(), [&](const int& value) { sum += value; });
    EXPECT_EQ(sum.load(), 546);
}

// Loops nest without waiting on each other, and the bodies really share the work
// between threads when the machine has more than one.
TEST(Parallel, NestedLoopsFinishAndUseThreads) {
    std::atomic<int> inner{0};
    std::mutex lock;
    std::set<std::thread::id> threads;
    parallelFor(0, 16, [&](size_t) {
        parallelFor(0, 64, [&](size_t) { inner.fetch_add(1); });
        std::lock_guard<std::mutex> guard(lock);
        threads.insert(std::this_thread::get_id());
    });
    EXPECT_EQ(inner.load(), 16 * 64);
    runInParallelArena([&] { parallelFor(0, 8, [&](size_t) { inner.fetch_add(1); }); });
    EXPECT_EQ(inner.load(), 16 * 64 + 8);
    EXPECT_GE(threads.size(), 1u);
}

// A body that throws: the loop throws the exception, and only after no body runs any more.
TEST(Parallel, ExceptionReachesTheCallerAfterTheBodiesEnd) {
    std::atomic<int> running{0};
    std::atomic<int> afterwards{0};
    try {
        parallelFor(0, 200, [&](size_t i) {
            running.fetch_add(1);
            if (i == 37) {
                running.fetch_sub(1);
                throw std::runtime_error("body 37");
            }
            std::this_thread::yield();
            running.fetch_sub(1);
        });
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        afterwards = running.load();
        EXPECT_STREQ(error.what(), "body 37");
    }
    EXPECT_EQ(afterwards.load(), 0);
}

}  // namespace
}  // namespace vantro::platform
