#include "materials/material_type.h"

#include <array>

#include "caseless_text.h"

using namespace vantro::materials;

std::u16string MaterialTypeName(MaterialType type, std::u16string_view fallback) {
    static constexpr std::array<std::u16string_view, 10> kWords = {
        u"",      u"water",     u"glass",     u"landscape", u"standard",
        u"color", u"billboard", u"invisible", u"lightmap",  u"waterfall",
    };
    const auto index = static_cast<int32_t>(type);
    if (index < 1 || index >= int32_t(kWords.size()))
        return std::u16string(fallback);
    return std::u16string(kWords[size_t(index)]);
}

namespace {

// Tried in this order; "eau" is handled by the word rule.
constexpr std::array<std::u16string_view, 11> kWaterKeywords = {
    u"water",  u"agua",      u"wasser", u"acqua", u"vatten", u"\u0432\u043e\u0434\u0430",
    u"\u6c34", u"\u00e1gua", u"\ubb3c", u"mizu",  u"woda",
};

// Upper-cased once, on first use; the static's initialisation is thread-safe.
const std::array<std::u16string, kWaterKeywords.size()>& upperKeywords() {
    static const auto keywords = [] {
        std::array<std::u16string, kWaterKeywords.size()> result;
        for (size_t i = 0; i < kWaterKeywords.size(); ++i)
            result[i] = UpperCaseText(kWaterKeywords[i]);
        return result;
    }();
    return keywords;
}

}  // namespace

bool IsWaterName(std::u16string_view name) {
    const std::u16string upper = UpperCaseText(name);
    for (const std::u16string& keyword : upperKeywords())
        if (upper.find(keyword) != std::u16string::npos)
            return true;
    if (upper.find(u"EAU") == std::u16string::npos)
        return false;
    for (std::u16string_view word : SplitWords(name))
        if (word.size() == 3 && EqualsIgnoringCase(word, u"eau"))
            return true;
    return false;
}
