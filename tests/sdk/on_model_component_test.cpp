// ON_ModelComponent: serial numbers and ids are unique even when components are made
// on many threads at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "sdk/document/on_material.h"

TEST(OnModelComponent, ConcurrentCreationIsUnique) {
    constexpr int kThreads = 4, kEach = 2000;
    std::vector<uint64_t> serials(kThreads * kEach);
    std::vector<ON_UUID> ids(kThreads * kEach);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = t * kEach; i < (t + 1) * kEach; ++i) {
                ON_Material m;
                m.SetId();
                serials[size_t(i)] = m.RuntimeSerialNumber();
                ids[size_t(i)] = m.Id();
            }
        });
    for (std::thread& th : threads)
        th.join();
    std::sort(serials.begin(), serials.end());
    EXPECT_EQ(std::adjacent_find(serials.begin(), serials.end()), serials.end());
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
}
