#include "materials/caseless_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vantro::materials;

namespace {

std::vector<std::u16string> words(std::u16string_view text) {
    std::vector<std::u16string> out;
    for (auto w : SplitWords(text))
        out.emplace_back(w);
    return out;
}

}  // namespace

// Letter case is ignored in Latin, Greek and Cyrillic, including accented letters.
TEST(CaselessText, ContainsAcrossScripts) {
    EXPECT_TRUE(ContainsIgnoringCase(u"Material-SEAWATER", u"water"));
    EXPECT_TRUE(ContainsIgnoringCase(u"\u0412\u041e\u0414\u0410", u"\u0432\u043e\u0434\u0430"));  // ВОДА / вода
    EXPECT_TRUE(ContainsIgnoringCase(u"x\u00ff", u"\u0178"));  // ÿ / Ÿ lie in different blocks
    EXPECT_FALSE(ContainsIgnoringCase(u"AGU", u"agua"));
    EXPECT_FALSE(ContainsIgnoringCase(u"\u00c1GUA", u"agua"));  // accents are not dropped
    EXPECT_TRUE(ContainsIgnoringCase(u"", u""));
    EXPECT_TRUE(ContainsIgnoringCase(u"abc", u""));
    EXPECT_FALSE(ContainsIgnoringCase(u"", u"a"));
}

// Mappings keep text lengths, supplementary letters fold, lone surrogates survive.
TEST(CaselessText, UpperCaseEdgeCases) {
    EXPECT_EQ(UpperCaseText(u"stra\u00dfe"), u"STRA\u00dfE");  // ß has no one-to-one upper
    EXPECT_EQ(UpperCaseText(u"\U00010428"), u"\U00010400");    // Deseret
    EXPECT_EQ(UpperCaseText(std::u16string(u"a\xd800z", 3)), std::u16string(u"A\xd800Z", 3));
    EXPECT_TRUE(EqualsIgnoringCase(u"Eau", u"eAU"));
    EXPECT_FALSE(EqualsIgnoringCase(u"Eau", u"eaux"));
}

// Words are runs of letters of any script, marks, digits and underscores.
TEST(CaselessText, SplitWords) {
    EXPECT_EQ(words(u"Material-eau_bleue 2x"), (std::vector<std::u16string>{u"Material", u"eau_bleue", u"2x"}));
    EXPECT_EQ(words(u"\u043c\u0430\u0442eau"), (std::vector<std::u16string>{u"\u043c\u0430\u0442eau"}));
    EXPECT_EQ(words(u"e\u0301au"), (std::vector<std::u16string>{u"e\u0301au"}));             // combining accent
    EXPECT_EQ(words(u"\u6c34\u3001eau"), (std::vector<std::u16string>{u"\u6c34", u"eau"}));  // ideographic comma
    EXPECT_EQ(words(u"\u00abeau\u00bb"), (std::vector<std::u16string>{u"eau"}));             // guillemets
    EXPECT_TRUE(words(u" -./ ").empty());
}
