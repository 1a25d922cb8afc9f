#pragma once
// Names and keys of materials: the display name the renderer shows, the name key that
// identifies a material across edits, and the bookkeeping that keeps display names
// unique without searching all names for every new material.

#include <cstdint>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace vantro::materials {

// FNV-1a, 64 bits, over the UTF-16 little-endian bytes of text. Pure; any thread.
uint64_t NameKeyOfText(std::u16string_view text);

// The display name for a material's raw name: "Material-" and the name with the blank
// and ASCII punctuation other than "-", "." and "_" replaced by "_". An empty raw name
// gives idText (the material's UUID text) instead, with a leading decimal digit
// replaced by "a". Pure; any thread.
std::u16string DisplayNameOfText(std::u16string_view rawName, std::u16string_view idText);

// The set of display names in use, with the rule that hands out "base", "base(1)",
// "base(2)", ... Each name is reserved at most once; names are compared code unit by
// code unit, case-sensitively.
//
// Cost: a per-base hint remembers up to where all suffixes are taken, so handing out
// the k-th duplicate of a base takes constant time on average instead of k probes.
// Not thread-safe: the owner serialises access (the material manager's callers hold
// the scene).
class UniqueNames {
public:
    // The first of base, base(1), base(2), ... that is not in use; reserves it.
    std::u16string MakeUnique(const std::u16string& base);
    // Gives a reserved name back so that it can be handed out again.
    void Release(const std::u16string& name);
    // Sizes the set for count names at once (a load knows how many it adds).
    void Reserve(size_t count);
    bool Contains(const std::u16string& name) const { return inUse_.count(name) != 0; }
    size_t Size() const { return inUse_.size(); }
    void Clear();

private:
    // base for n = 0, else base(n).
    static std::u16string Candidate(const std::u16string& base, uint64_t n);

    // Nodes from a pool of this set's own, for the manager's reason: tens of thousands
    // of names freed and reserved again on every reload.
    std::pmr::unsynchronized_pool_resource nodes_;
    std::pmr::unordered_set<std::u16string> inUse_{&nodes_};
    std::pmr::unordered_map<std::u16string, uint64_t> firstFree_{&nodes_};  // base -> every n below is taken
};

}  // namespace vantro::materials
