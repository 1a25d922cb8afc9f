#pragma once
// TextIndex: a set of texts kept back to back in one array of characters, in the order
// they were added, and found through a flat table of their positions. A bucket of the
// table holds a position and 32 bits of the text's hash, not the text itself: the table
// of 50,000 names then stays within a core's cache where a table of strings did not,
// and a probe reads the characters of another text only when the hashes agree. Texts
// have no heap block each, so that forgetting 50,000 names is one clear, not 50,000
// frees, and the hash of every text is kept, so that the table never hashes a text
// twice. Positions of removed texts are handed out again; their characters are
// reclaimed when they outnumber the live ones.
//
// Not copyable or movable: the table's hash and comparison read this object's arrays.
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
    // The text at a position in use; valid until the next Insert.
    std::u16string_view At(uint32_t position) const;
    size_t Size() const { return table_.size(); }
    void Reserve(size_t count, size_t characters);
    // Removes every text; the arrays and the table keep their memory.
    void Clear();

private:
    struct Span {
        uint32_t offset;
        uint32_t length;
    };
    static constexpr uint32_t kRemoved = UINT32_MAX;  // offset of a removed text's span

    // The hash the table sees: 32 bits, kept per position.
    static uint32_t HashOf(std::u16string_view text) { return uint32_t(std::hash<std::u16string_view>()(text)); }
    struct Hash {
        using is_transparent = void;
        const TextIndex* index;
        size_t operator()(uint32_t position) const { return index->hashes_[position]; }
        size_t operator()(std::u16string_view text) const { return HashOf(text); }
    };
    struct Equal {
        using is_transparent = void;
        const TextIndex* index;
        bool operator()(uint32_t a, uint32_t b) const { return index->At(a) == index->At(b); }
        bool operator()(uint32_t a, std::u16string_view b) const { return index->At(a) == b; }
        bool operator()(std::u16string_view a, uint32_t b) const { return a == index->At(b); }
    };

    // Copies text to the end of the characters and points position's span at it.
    void Place(uint32_t position, std::u16string_view text);
    // Moves the live texts together when removed ones hold most of the characters.
    void ReclaimRemoved();

    std::u16string characters_;
    std::vector<Span> spans_;       // by position
    std::vector<uint32_t> hashes_;  // by position
    std::vector<uint32_t> free_;    // positions of removed texts
    size_t removedCharacters_ = 0;  // characters no live span covers
    tsl::hopscotch_set<uint32_t, Hash, Equal, std::allocator<uint32_t>, 30, true> table_;
};

}  // namespace vantro::materials
