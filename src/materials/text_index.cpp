#include "text_index.h"

namespace vantro::materials {

TextIndex::TextIndex() : table_(0, Hash{&texts_}, Equal{&texts_}) {}

uint32_t TextIndex::Find(std::u16string_view text) const {
    const auto found = table_.find(text);
    return found != table_.end() ? *found : kNone;
}

std::pair<uint32_t, bool> TextIndex::Insert(std::u16string_view text) {
    const size_t hash = Hash{&texts_}(text);
    if (const auto found = table_.find(text, hash); found != table_.end())
        return {*found, false};
    uint32_t position;
    if (!free_.empty()) {
        position = free_.back();
        free_.pop_back();
        texts_[position].assign(text);
    } else {
        position = uint32_t(texts_.size());
        texts_.emplace_back(text);
    }
    table_.insert(position);
    return {position, true};
}

bool TextIndex::Erase(std::u16string_view text) {
    const auto found = table_.find(text);
    if (found == table_.end())
        return false;
    const uint32_t position = *found;
    table_.erase(found);
    // The text stays until its position is reused: its characters are overwritten then.
    free_.push_back(position);
    return true;
}

void TextIndex::Reserve(size_t count) {
    texts_.reserve(count);
    table_.reserve(count);
}

}  // namespace vantro::materials
