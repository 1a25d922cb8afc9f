#include "text_index.h"

#include <stdexcept>

namespace vantro::materials {

namespace {

// Below this many characters removed texts are left where they are: moving them
// together would cost more than the memory it gives back.
constexpr size_t kReclaimFloor = 4096;

}  // namespace

TextIndex::TextIndex() : table_(0, Hash{this}, Equal{this}) {}

std::u16string_view TextIndex::At(uint32_t position) const {
    const Span span = spans_[position];
    return std::u16string_view(characters_).substr(span.offset, span.length);
}

uint32_t TextIndex::Find(std::u16string_view text) const {
    const auto found = table_.find(text, HashOf(text));
    return found != table_.end() ? *found : kNone;
}

void TextIndex::Place(uint32_t position, std::u16string_view text) {
    if (characters_.size() + text.size() > UINT32_MAX)
        throw std::length_error("more than 4 G characters of names");
    spans_[position] = Span{uint32_t(characters_.size()), uint32_t(text.size())};
    characters_.append(text);
}

std::pair<uint32_t, bool> TextIndex::Insert(std::u16string_view text) {
    const uint32_t hash = HashOf(text);
    if (const auto found = table_.find(text, hash); found != table_.end())
        return {*found, false};
    uint32_t position;
    if (!free_.empty()) {
        position = free_.back();
        free_.pop_back();
        hashes_[position] = hash;
    } else {
        position = uint32_t(spans_.size());
        spans_.push_back(Span{kRemoved, 0});
        hashes_.push_back(hash);
    }
    Place(position, text);
    table_.insert(position);  // hashed from hashes_, not the text again
    return {position, true};
}

bool TextIndex::Erase(std::u16string_view text) {
    const auto found = table_.find(text, HashOf(text));
    if (found == table_.end())
        return false;
    const uint32_t position = *found;
    table_.erase(found);
    removedCharacters_ += spans_[position].length;
    spans_[position] = Span{kRemoved, 0};
    free_.push_back(position);
    ReclaimRemoved();
    return true;
}

void TextIndex::ReclaimRemoved() {
    if (removedCharacters_ < kReclaimFloor || removedCharacters_ * 2 < characters_.size())
        return;
    // Positions and hashes stay, so the table is left as it is.
    std::u16string live;
    live.reserve(characters_.size() - removedCharacters_);
    for (Span& span : spans_) {
        if (span.offset == kRemoved)
            continue;
        const uint32_t offset = uint32_t(live.size());
        live.append(characters_, span.offset, span.length);
        span.offset = offset;
    }
    characters_ = std::move(live);
    removedCharacters_ = 0;
}

void TextIndex::Clear() {
    table_.clear();
    characters_.clear();
    spans_.clear();
    hashes_.clear();
    free_.clear();
    removedCharacters_ = 0;
}

void TextIndex::Reserve(size_t count, size_t characters) {
    spans_.reserve(count);
    hashes_.reserve(count);
    characters_.reserve(characters);
    table_.reserve(count);
}

}  // namespace vantro::materials
