// FreeSlotSet against a plain ordered set of the same slots.

#include "link/free_slot_set.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace {

using VantroAPI::FreeSlotSet;

// Sizes at and around word and level boundaries: a new set is all free or all used,
// and the lowest free slot follows every mark.
TEST(FreeSlotSetTest, MatchesAnOrderedSetThroughRandomMarks) {
    std::mt19937 random(26);
    for (uint32_t size : {0u, 1u, 63u, 64u, 65u, 4095u, 4096u, 4097u, 262145u}) {
        FreeSlotSet set;
        set.reset(size, true);
        EXPECT_EQ(set.lowest(), 0u) << size;  // size itself when empty
        set.reset(size, false);
        EXPECT_EQ(set.lowest(), size) << size;
        set.reset(size, true);
        std::set<uint32_t> free;
        for (uint32_t i = 0; i < size; ++i)
            free.insert(i);
        for (int step = 0; step < 3000 && size > 0; ++step) {
            // Mostly taking the lowest, as AddRecord does, now and then freeing any slot.
            const uint32_t index = step % 3 == 0 ? static_cast<uint32_t>(random() % size) : set.lowest();
            if (step % 3 == 0) {
                set.markFree(index);
                free.insert(index);
            } else if (index < size) {
                set.markUsed(index);
                free.erase(index);
            }
            ASSERT_EQ(set.lowest(), free.empty() ? size : *free.begin()) << size << " step " << step;
        }
        for (uint32_t i = 0; i < size; i += 1 + size / 97)
            EXPECT_EQ(set.isFree(i), free.count(i) == 1) << size << " slot " << i;
    }
}

// Taking every slot in turn leaves none; marks outside the set change nothing.
TEST(FreeSlotSetTest, FillsCompletelyAndIgnoresIndicesOutside) {
    FreeSlotSet set;
    set.reset(5000, true);
    for (uint32_t i = 0; i < 5000; ++i) {
        ASSERT_EQ(set.lowest(), i);
        set.markUsed(i);
    }
    EXPECT_EQ(set.lowest(), 5000u);
    set.markFree(5000);
    set.markFree(~0u);
    EXPECT_EQ(set.lowest(), 5000u);
    EXPECT_FALSE(set.isFree(5000));
    set.markFree(4999);
    set.markFree(64);
    EXPECT_EQ(set.lowest(), 64u);
    set.markUsed(64);
    EXPECT_EQ(set.lowest(), 4999u);
}

}  // namespace
