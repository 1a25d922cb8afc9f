#include "materials/material_names.h"

#include <algorithm>
#include <string>

#include "flat_tables.h"

namespace vantro::materials {

uint64_t NameKeyOfText(std::u16string_view text) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (char16_t unit : text) {
        for (uint8_t byte : {uint8_t(unit & 0xFF), uint8_t(unit >> 8)}) {
            hash ^= byte;
            hash *= 0x100000001b3ull;
        }
    }
    return hash;
}

namespace {

// The blank and the ASCII punctuation a display name may not carry.
bool isReplaced(char16_t c) {
    if (c == u'-' || c == u'.' || c == u'_')
        return false;
    return (c >= 0x20 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

}  // namespace

std::u16string DisplayNameOfText(std::u16string_view rawName, std::u16string_view idText) {
    if (rawName.empty()) {
        std::u16string name(idText);
        if (!name.empty() && name[0] >= u'0' && name[0] <= u'9')
            name[0] = u'a';
        return name;
    }
    std::u16string name = u"Material-";
    name.reserve(name.size() + rawName.size());
    for (char16_t c : rawName)
        name.push_back(isReplaced(c) ? u'_' : c);
    return name;
}

struct UniqueNames::Tables {
    TextSet inUse;
    TextMap<uint64_t> firstFree;  // base -> every n below is taken
};

UniqueNames::UniqueNames() : tables_(std::make_unique<Tables>()) {}

UniqueNames::~UniqueNames() = default;

std::u16string UniqueNames::Candidate(const std::u16string& base, uint64_t n) {
    if (n == 0)
        return base;
    std::string digits = std::to_string(n);
    std::u16string name = base;
    name.push_back(u'(');
    name.append(digits.begin(), digits.end());
    name.push_back(u')');
    return name;
}

std::u16string UniqueNames::MakeUnique(const std::u16string& base) {
    // A reference into the hint table stays valid here: only the other table grows.
    uint64_t& firstFree = tables_->firstFree[base];
    uint64_t n = firstFree;
    // Inserting is the probe: a name already in use costs one look-up, not two.
    auto placed = tables_->inUse.insert(Candidate(base, n));
    while (!placed.second)
        placed = tables_->inUse.insert(Candidate(base, ++n));
    firstFree = n + 1;
    return *placed.first;
}

void UniqueNames::Release(const std::u16string& name) {
    if (tables_->inUse.erase(name) == 0)
        return;
    // A hint may always be lowered safely. The name may have been handed out as a
    // bare base or, ending in "(digits)", as a suffixed one: lower both hints.
    auto own = tables_->firstFree.find(name);
    if (own != tables_->firstFree.end())
        own.value() = 0;
    uint64_t n = 0;
    std::u16string base = name;
    size_t open = name.rfind(u'(');
    if (open != std::u16string::npos && name.size() > open + 2 && name.back() == u')') {
        std::u16string_view digits(name.data() + open + 1, name.size() - open - 2);
        if (std::all_of(digits.begin(), digits.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }) &&
            digits.size() <= 18) {
            for (char16_t c : digits)
                n = n * 10 + uint64_t(c - u'0');
            base = name.substr(0, open);
        }
    }
    if (n == 0)
        return;
    auto hint = tables_->firstFree.find(base);
    if (hint != tables_->firstFree.end())
        hint.value() = std::min(hint->second, n);
}

void UniqueNames::Reserve(size_t count) { tables_->inUse.reserve(count); }

bool UniqueNames::Contains(const std::u16string& name) const { return tables_->inUse.count(name) != 0; }

size_t UniqueNames::Size() const { return tables_->inUse.size(); }

void UniqueNames::Clear() { tables_ = std::make_unique<Tables>(); }

}  // namespace vantro::materials
