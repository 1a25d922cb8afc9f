#include "materials/material_names.h"

#include <algorithm>
#include <string>
#include <vector>

#include "text_index.h"

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
    TextIndex inUse;
    TextIndex bases;              // every base asked for; never shrinks until Clear
    std::vector<uint64_t> hints;  // by position in bases: every n below it is taken
    std::u16string candidate;     // reused for every name tried
};

UniqueNames::UniqueNames() : tables_(std::make_unique<Tables>()) {}

UniqueNames::~UniqueNames() = default;

const std::u16string& UniqueNames::Candidate(Tables& t, const std::u16string& base, uint64_t n) {
    t.candidate.assign(base);
    if (n == 0)
        return t.candidate;
    const std::string digits = std::to_string(n);
    t.candidate.push_back(u'(');
    t.candidate.append(digits.begin(), digits.end());
    t.candidate.push_back(u')');
    return t.candidate;
}

std::u16string UniqueNames::MakeUnique(const std::u16string& base) {
    std::u16string name;
    MakeUnique(base, name);
    return name;
}

void UniqueNames::MakeUnique(const std::u16string& base, std::u16string& out) {
    Tables& t = *tables_;
    const auto [hint, isNewBase] = t.bases.Insert(base);
    if (isNewBase)
        t.hints.push_back(0);  // bases never lose a text, so positions follow on
    uint64_t n = t.hints[hint];
    // Inserting is the probe: a name already in use costs one look-up, not two.
    auto placed = t.inUse.Insert(Candidate(t, base, n));
    while (!placed.second)
        placed = t.inUse.Insert(Candidate(t, base, ++n));
    t.hints[hint] = n + 1;
    out.assign(t.inUse.At(placed.first));
}

void UniqueNames::Release(const std::u16string& name) {
    Tables& t = *tables_;
    if (!t.inUse.Erase(name))
        return;
    // A hint may always be lowered safely. The name may have been handed out as a
    // bare base or, ending in "(digits)", as a suffixed one: lower both hints.
    if (const uint32_t own = t.bases.Find(name); own != TextIndex::kNone)
        t.hints[own] = 0;
    uint64_t n = 0;
    std::u16string_view base = name;
    size_t open = name.rfind(u'(');
    if (open != std::u16string::npos && name.size() > open + 2 && name.back() == u')') {
        std::u16string_view digits(name.data() + open + 1, name.size() - open - 2);
        if (std::all_of(digits.begin(), digits.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }) &&
            digits.size() <= 18) {
            for (char16_t c : digits)
                n = n * 10 + uint64_t(c - u'0');
            base = base.substr(0, open);
        }
    }
    if (n == 0)
        return;
    if (const uint32_t hint = t.bases.Find(base); hint != TextIndex::kNone)
        t.hints[hint] = std::min(t.hints[hint], n);
}

void UniqueNames::Reserve(size_t count) {
    // Room for names of 24 characters on average, "Material-" and a suffix included.
    tables_->inUse.Reserve(count, count * 24);
}

bool UniqueNames::Contains(const std::u16string& name) const { return tables_->inUse.Find(name) != TextIndex::kNone; }

size_t UniqueNames::Size() const { return tables_->inUse.Size(); }

void UniqueNames::Clear() { tables_ = std::make_unique<Tables>(); }

void UniqueNames::Forget() {
    Tables& t = *tables_;
    t.inUse.Clear();
    t.bases.Clear();
    t.hints.clear();
}

}  // namespace vantro::materials
