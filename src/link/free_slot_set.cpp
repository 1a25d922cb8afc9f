#include "link/free_slot_set.h"

#include <algorithm>
#include <bit>

namespace VantroAPI {

namespace {

constexpr uint32_t kBits = 64;

size_t wordsFor(size_t bits) { return (bits + kBits - 1) / kBits; }

}  // namespace

void FreeSlotSet::reset(uint32_t size, bool allFree) {
    size_ = size;
    levels_.clear();
    size_t bits = size;
    do {
        bits = std::max<size_t>(1, wordsFor(bits));
        levels_.emplace_back(bits, 0);
    } while (bits > 1);
    if (!allFree)
        return;
    // Whole words at once: a slot-by-slot fill would cost a step per level per slot.
    size_t count = size;
    for (std::vector<uint64_t>& level : levels_) {
        for (size_t w = 0; w < level.size(); ++w) {
            const size_t inWord = count - w * kBits;
            level[w] = inWord >= kBits ? ~uint64_t{0} : (uint64_t{1} << inWord) - 1;
        }
        count = level.size();
    }
}

void FreeSlotSet::set(uint32_t index, bool free) {
    if (index >= size_)
        return;
    size_t position = index;
    for (std::vector<uint64_t>& level : levels_) {
        uint64_t& word = level[position / kBits];
        const uint64_t bit = uint64_t{1} << (position % kBits);
        const bool wasEmpty = word == 0;
        word = free ? word | bit : word & ~bit;
        // A summary bit changes only when its word turns empty or stops being empty.
        if (wasEmpty == (word == 0))
            return;
        position /= kBits;
    }
}

void FreeSlotSet::markFree(uint32_t index) { set(index, true); }

void FreeSlotSet::markUsed(uint32_t index) { set(index, false); }

bool FreeSlotSet::isFree(uint32_t index) const {
    return index < size_ && (levels_[0][index / kBits] >> (index % kBits) & 1) != 0;
}

uint32_t FreeSlotSet::lowest() const {
    if (levels_.empty() || levels_.back()[0] == 0)
        return size_;
    size_t position = 0;
    for (size_t k = levels_.size(); k-- > 0;)
        position = position * kBits + static_cast<size_t>(std::countr_zero(levels_[k][position]));
    return static_cast<uint32_t>(position);
}

}  // namespace VantroAPI
