#pragma once
// TextIndex: a set of texts kept in one array, in the order they were added, and found
// through a flat table of their positions. A bucket of the table holds a position and
// 32 bits of the text's hash (12 bytes), not the text itself (a 32-byte string whose
// characters live in a heap block of their own): the table of 50,000 names then stays
// within a core's cache where a table of strings did not, and a probe reads the
// characters of another text only when the hashes agree. Positions of removed texts
// are handed out again.
//
// Not copyable or movable: the table's hash and comparison read the array of texts.
// Private to src/materials.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <tsl/hopscotch_set.h>

namespace vantro::materials {

class TextIndex {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    TextIndex();
    TextIndex(const TextIndex&) = delete;
    TextIndex& operator=(const TextIndex&) = delete;

    // The position of text, or kNone.
    uint32_t Find(std::u16string_view text) const;
    // Adds a copy of text unless it is there; its position, and whether it was added.
    std::pair<uint32_t, bool> Insert(std::u16string_view text);
    // Removes text; false when it was not there.
    bool Erase(std::u16string_view text);
    const std::u16string& At(uint32_t position) const { return texts_[position]; }
    size_t Size() const { return table_.size(); }
    void Reserve(size_t count);

private:
    using Texts = std::vector<std::u16string>;
    struct Hash {
        using is_transparent = void;
        const Texts* texts;
        size_t operator()(uint32_t position) const { return (*this)((*texts)[position]); }
        size_t operator()(std::u16string_view text) const { return std::hash<std::u16string_view>()(text); }
    };
    struct Equal {
        using is_transparent = void;
        const Texts* texts;
        bool operator()(uint32_t a, uint32_t b) const { return (*texts)[a] == (*texts)[b]; }
        bool operator()(uint32_t a, std::u16string_view b) const { return (*texts)[a] == b; }
        bool operator()(std::u16string_view a, uint32_t b) const { return a == (*texts)[b]; }
    };

    Texts texts_;
    std::vector<uint32_t> free_;  // positions of removed texts
    tsl::hopscotch_set<uint32_t, Hash, Equal, std::allocator<uint32_t>, 30, true> table_;
};

}  // namespace vantro::materials
