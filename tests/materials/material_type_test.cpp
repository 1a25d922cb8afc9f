#include "materials/material_type.h"

#include <gtest/gtest.h>

// Each keyword is found anywhere in the name, in any letter case and script.
TEST(MaterialType, WaterKeywords) {
    for (const char16_t* name :
         {u"Material-Seawater", u"Material-WATER_1", u"Material-Wasserfall", u"AGUA", u"acqua_di_mare", u"Vatten",
          u"\u0412\u041e\u0414\u0410", u"\u041c\u0430\u0442\u0435\u0440\u0438\u0430\u043b-\u0432\u043e\u0434\u0430",
          u"\u6c34\u9762", u"\u00c1GUA", u"\ubb3c\uac10", u"MIZU", u"Woda-1"})
        EXPECT_TRUE(IsWaterName(name)) << std::string(name, name + std::char_traits<char16_t>::length(name));
    for (const char16_t* name : {u"Material-Wood", u"", u"wate", u"AGU A", u"Material-Stone"})
        EXPECT_FALSE(IsWaterName(name));
}

// "eau" counts only as a whole word; letters of any script and underscores join words.
TEST(MaterialType, EauWordRule) {
    EXPECT_TRUE(IsWaterName(u"Material-Eau"));
    EXPECT_TRUE(IsWaterName(u"EAU"));
    EXPECT_TRUE(IsWaterName(u"Material eau 2"));
    EXPECT_TRUE(IsWaterName(u"\u00abEau\u00bb"));
    EXPECT_FALSE(IsWaterName(u"Material-eau_bleue"));
    EXPECT_FALSE(IsWaterName(u"Material-Plateau"));
    EXPECT_FALSE(IsWaterName(u"Material-Beauty"));
    EXPECT_FALSE(IsWaterName(u"Ch\u00e2teau"));
    EXPECT_FALSE(IsWaterName(u"\u043c\u0430\u0442eau"));  // Cyrillic letters belong to the word
    EXPECT_FALSE(IsWaterName(u"eau2"));
    EXPECT_FALSE(IsWaterName(u"Eaux"));
}
