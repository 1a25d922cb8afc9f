#pragma once
// FreeSlotSet: which record slots this process believes free, with the lowest one
// found in a few word reads however many slots a channel has.
//
// A bit per slot, and above it levels of summary bits (a bit set when any bit of the
// 64 below it is set) up to a single word: finding the lowest set bit, setting and
// clearing one take one step per level (four levels cover 16 million slots).
//
// The set is this process's own knowledge, never read from shared memory; the
// connection checks a slot's tag in the mapping before it hands the slot out (see
// LiveConnection::AddRecord). Not thread-safe.

#include <cstdint>
#include <vector>

namespace VantroAPI {

class FreeSlotSet {
public:
    // Slots 0 .. size - 1, every one free when allFree, else every one used.
    void reset(uint32_t size, bool allFree);
    uint32_t size() const { return size_; }

    // Index out of range: nothing.
    void markFree(uint32_t index);
    void markUsed(uint32_t index);
    bool isFree(uint32_t index) const;

    // The lowest free slot, or size() when none is.
    uint32_t lowest() const;

private:
    void set(uint32_t index, bool free);

    uint32_t size_ = 0;
    // levels_[0] holds a bit per slot; levels_[k + 1] a bit per word of levels_[k].
    std::vector<std::vector<uint64_t>> levels_;
};

}  // namespace VantroAPI
