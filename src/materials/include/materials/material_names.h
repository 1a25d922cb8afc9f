#pragma once
// Names and keys of materials: the display name the renderer shows, the name key that
// identifies a material across edits, and the bookkeeping that keeps display names
// unique without searching all names for every new material.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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
    UniqueNames();
    ~UniqueNames();
    UniqueNames(const UniqueNames&) = delete;
    UniqueNames& operator=(const UniqueNames&) = delete;

    // The first of base, base(1), base(2), ... that is not in use; reserves it.
    std::u16string MakeUnique(const std::u16string& base);
    // The same, written into out (whose memory it reuses).
    void MakeUnique(const std::u16string& base, std::u16string& out);
    // Gives a reserved name back so that it can be handed out again.
    void Release(const std::u16string& name);
    // Sizes the set for count names at once (a load knows how many it adds).
    void Reserve(size_t count);
    bool Contains(const std::u16string& name) const;
    size_t Size() const;
    // Forgets every name and gives the tables' memory back.
    void Clear();
    // Forgets every name but keeps the tables' memory for as many names again.
    void Forget();

private:
    // The names in use and, per base, the hint: every n below it is taken. Defined
    // with the implementation, so that the tables' library stays out of this header.
    struct Tables;
    // base for n = 0, else base(n), in t's buffer for candidates.
    static const std::u16string& Candidate(Tables& t, const std::u16string& base, uint64_t n);
    std::unique_ptr<Tables> tables_;
};

}  // namespace vantro::materials
