// ON_ModelComponent: serial numbers identify objects, not contents; they are unique
// even when components are made on many threads at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "sdk/document/on_layer.h"
#include "sdk/document/on_material.h"

// Components made concurrently on several threads get distinct serial numbers and ids.
TEST(OnModelComponent, ConcurrentCreationIsUnique) {
    constexpr int kThreads = 4, kEach = 2000;
    std::vector<std::vector<uint64_t>> serials(kThreads);
    std::vector<std::vector<ON_UUID>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                ON_Material m;
                m.SetId();
                serials[t].push_back(m.RuntimeSerialNumber());
                ids[t].push_back(m.Id());
            }
        });
    }
    for (std::thread& th : threads)
        th.join();
    std::vector<uint64_t> all;
    std::vector<ON_UUID> allIds;
    for (int t = 0; t < kThreads; ++t) {
        all.insert(all.end(), serials[t].begin(), serials[t].end());
        allIds.insert(allIds.end(), ids[t].begin(), ids[t].end());
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    std::sort(allIds.begin(), allIds.end());
    EXPECT_EQ(std::adjacent_find(allIds.begin(), allIds.end()), allIds.end());
}
