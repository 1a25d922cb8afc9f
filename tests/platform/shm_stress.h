#pragma once
// Creates or opens a few names at random, from several threads and processes at
// once, and counts the times two objects of one name were held at the same time (a
// live name wrongly reclaimed or created over). Per name, a spin lock and a holder
// count live in a control mapping all stressing threads share, and each object
// counts its own holders in its first word; both counts change together under the
// spin lock, so they differ exactly then.

#include "platform/shared_memory.h"
#include "platform/utf.h"

#include <atomic>
#include <random>
#include <string>
#include <thread>

namespace vantro::platform {

struct StressCounts {
    int violations = 0, creates = 0, opens = 0;
};

inline StressCounts stressSharedMemory(const std::string& control, int nameCount, int iterations, unsigned seed) {
    StressCounts counts;
    SharedMemory controlMemory;
    if (SharedMemory::open(fromUtf8(control), controlMemory) != ShmResult::ok)
        return {1, 0, 0};
    auto* words = static_cast<uint32_t*>(controlMemory.data());
    std::mt19937 random(seed);
    for (int i = 0; i < iterations; ++i) {
        int which = static_cast<int>(random() % static_cast<unsigned>(nameCount));
        std::u16string name = fromUtf8(control + "/stress/" + std::to_string(which));
        SharedMemory memory;
        bool created = random() % 2 == 0;
        if ((created ? SharedMemory::create(name, 4096, memory) : SharedMemory::open(name, memory)) != ShmResult::ok)
            continue;
        std::atomic_ref<uint32_t> spin(words[2 * which]), holders(words[2 * which + 1]);
        std::atomic_ref<uint32_t> objectHolders(*static_cast<uint32_t*>(memory.data()));
        auto locked = [&](auto change) {
            for (uint32_t expected = 0; !spin.compare_exchange_weak(expected, 1); expected = 0)
                std::this_thread::yield();
            change();
            spin.store(0);
        };
        locked([&] { counts.violations += objectHolders.fetch_add(1) != holders.fetch_add(1); });
        (created ? counts.creates : counts.opens)++;
        if (random() % 4 == 0)
            std::this_thread::yield();
        locked([&] { counts.violations += objectHolders.fetch_sub(1) != holders.fetch_sub(1); });
    }
    return counts;
}

}  // namespace vantro::platform
