// The texts derived from a material: name keys, display and unique names, the water
// type's keywords, texture folders and copy names.

#include "materials/material_names.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "materials/material_type.h"
#include "materials/texture_paths.h"

using namespace vantro::materials;

// The key is FNV-1a 64 over the UTF-16LE bytes: golden values for ASCII and non-BMP text.
TEST(MaterialNames, NameKeyGolden) {
    EXPECT_EQ(NameKeyOfText(u""), 0xcbf29ce484222325ull);
    EXPECT_EQ(NameKeyOfText(u"a"), 0x089be207b544f1e4ull);  // bytes 61 00
    EXPECT_NE(NameKeyOfText(u"Wood"), NameKeyOfText(u"wood"));
    EXPECT_NE(NameKeyOfText(u"\u0100"), NameKeyOfText(u"\u0001"));  // byte order matters
}

// Blank and ASCII punctuation except - . _ become "_"; other scripts are kept.
TEST(MaterialNames, DisplayName) {
    EXPECT_EQ(DisplayNameOfText(u" !\"#$%&'()*+,/:;<=>?@[\\]^`{|}~", u"x"), u"Material-" + std::u16string(30, u'_'));
    EXPECT_EQ(DisplayNameOfText(u"a-b.c_d9", u"x"), u"Material-a-b.c_d9");
    EXPECT_EQ(DisplayNameOfText(u"\u0412\u043e\u0434\u0430\u00e9\u6c34", u"x"),
              u"Material-\u0412\u043e\u0434\u0430\u00e9\u6c34");
    EXPECT_EQ(DisplayNameOfText(u"", u"3f2504e0-4f89-11d3-9a0c-0305e82c3301"), u"af2504e0-4f89-11d3-9a0c-0305e82c3301");
    EXPECT_EQ(DisplayNameOfText(u"", u"f2504e03-4f89-11d3-9a0c-0305e82c3301"), u"f2504e03-4f89-11d3-9a0c-0305e82c3301");
}

// Duplicates get (1), (2), ... appended to the base; freed names are handed out again
// first, as a search from (1) upwards would.
TEST(MaterialNames, UniqueNamesSuffixes) {
    UniqueNames names;
    EXPECT_EQ(names.MakeUnique(u"Material-Wood"), u"Material-Wood");
    EXPECT_EQ(names.MakeUnique(u"Material-Wood"), u"Material-Wood(1)");
    EXPECT_EQ(names.MakeUnique(u"Material-Wood"), u"Material-Wood(2)");
    EXPECT_EQ(names.MakeUnique(u"Material-Stone"), u"Material-Stone");
    EXPECT_EQ(names.MakeUnique(u"material-wood"), u"material-wood");  // case-sensitive
    names.Release(u"Material-Wood(1)");
    EXPECT_FALSE(names.Contains(u"Material-Wood(1)"));
    EXPECT_EQ(names.MakeUnique(u"Material-Wood"), u"Material-Wood(1)");
    EXPECT_EQ(names.MakeUnique(u"Material-Wood"), u"Material-Wood(3)");
    names.Release(u"Material-Wood");
    EXPECT_EQ(names.MakeUnique(u"Material-Wood"), u"Material-Wood");
    names.Release(u"never-reserved");
    EXPECT_EQ(names.Size(), 6u);
}

// A base that itself looks suffixed still finds its own free slot after a release.
TEST(MaterialNames, UniqueNamesSuffixLikeBase) {
    UniqueNames names;
    EXPECT_EQ(names.MakeUnique(u"A"), u"A");
    EXPECT_EQ(names.MakeUnique(u"A(1)"), u"A(1)");
    EXPECT_EQ(names.MakeUnique(u"A"), u"A(2)");  // A(1) is taken by the other base
    EXPECT_EQ(names.MakeUnique(u"A(1)"), u"A(1)(1)");
    names.Release(u"A(1)");
    EXPECT_EQ(names.MakeUnique(u"A(1)"), u"A(1)");
    names.Release(u"A(1)");
    EXPECT_EQ(names.MakeUnique(u"A"), u"A(1)");
    names.Clear();
    EXPECT_EQ(names.MakeUnique(u"A"), u"A");
}

// Against the plain rule (the first of base, base(1), ... not in use, searched from the
// start every time) over bases that look suffixed, collide with each other's suffixes,
// carry leading zeros or odd brackets, with names given back in between.
TEST(MaterialNames, UniqueNamesMatchAPlainSearch) {
    const std::vector<std::u16string> bases = {u"A",   u"A(1)", u"A(2)",    u"A(01)",
                                               u"A(",  u"A()",  u"A(1)(1)", u"",
                                               u"(1)", u"B",    u"A(x)",    u"A(18446744073709551615)"};
    std::mt19937 random(26);
    UniqueNames names;
    std::set<std::u16string> reference;
    std::vector<std::u16string> handedOut;
    for (int step = 0; step < 20000; ++step) {
        if (!handedOut.empty() && random() % 3 == 0) {
            const size_t at = random() % handedOut.size();
            names.Release(handedOut[at]);
            reference.erase(handedOut[at]);
            handedOut.erase(handedOut.begin() + std::ptrdiff_t(at));
            continue;
        }
        const std::u16string& base = bases[random() % bases.size()];
        std::u16string expected = base;
        for (uint64_t n = 1; reference.count(expected) != 0; ++n) {
            const std::string digits = std::to_string(n);
            expected = base + u"(" + std::u16string(digits.begin(), digits.end()) + u")";
        }
        const std::u16string got = names.MakeUnique(base);
        ASSERT_EQ(got, expected) << "step " << step;
        reference.insert(got);
        handedOut.push_back(got);
    }
    EXPECT_EQ(names.Size(), reference.size());
}

// Names given back in bulk: the names still in use are found again after the given-back
// ones' characters are reclaimed, freed names are handed out again lowest first, and a
// forgotten set starts over.
TEST(MaterialNames, UniqueNamesAfterManyReleases) {
    UniqueNames names;
    std::vector<std::u16string> handedOut;
    for (int i = 0; i < 3000; ++i)
        handedOut.push_back(names.MakeUnique(u"Stone"));
    for (size_t i = 0; i < handedOut.size(); ++i)
        if (i % 3 != 0)
            names.Release(handedOut[i]);
    for (size_t i = 0; i < handedOut.size(); ++i)
        ASSERT_EQ(names.Contains(handedOut[i]), i % 3 == 0) << i;
    EXPECT_EQ(names.MakeUnique(u"Stone"), u"Stone(1)");
    EXPECT_EQ(names.MakeUnique(u"Stone"), u"Stone(2)");
    EXPECT_EQ(names.MakeUnique(u"Stone(2)"), u"Stone(2)(1)");
    EXPECT_EQ(names.MakeUnique(u"Stone"), u"Stone(4)");
    EXPECT_EQ(names.Size(), 1000u + 4u);

    names.Forget();
    EXPECT_EQ(names.Size(), 0u);
    EXPECT_FALSE(names.Contains(u"Stone(1)"));
    EXPECT_EQ(names.MakeUnique(u"Stone"), u"Stone");
    EXPECT_EQ(names.MakeUnique(u"Stone"), u"Stone(1)");
}

// Each keyword is found anywhere in the name, in any letter case and script, also after
// a letter beyond the BMP or a lone surrogate.
TEST(MaterialType, WaterKeywords) {
    for (const char16_t* name :
         {u"Material-Seawater", u"Material-WATER_1", u"Material-Wasserfall", u"AGUA", u"acqua_di_mare", u"Vatten",
          u"\u0412\u041e\u0414\u0410", u"\u041c\u0430\u0442\u0435\u0440\u0438\u0430\u043b-\u0432\u043e\u0434\u0430",
          u"\u6c34\u9762", u"\u00c1GUA", u"\ubb3c\uac10", u"MIZU", u"Woda-1", u"\U00010428water", u"a\xd800wAtEr"})
        EXPECT_TRUE(IsWaterName(name));
    for (const char16_t* name : {u"Material-Wood", u"", u"wate", u"AGU A", u"Material-Stone"})
        EXPECT_FALSE(IsWaterName(name));
}

// "eau" counts only as a whole word; letters of any script, combining marks and
// underscores join words; punctuation of any script separates them.
TEST(MaterialType, EauWordRule) {
    for (const char16_t* name : {u"Material-Eau", u"EAU", u"Material eau 2", u"\u00abEau\u00bb", u"\u3001eau"})
        EXPECT_TRUE(IsWaterName(name));
    for (const char16_t* name : {u"Material-eau_bleue", u"Material-Plateau", u"Material-Beauty", u"Ch\u00e2teau",
                                 u"\u043c\u0430\u0442eau", u"eau2", u"Eaux", u"e\u0301au", u"eau\u0301"})
        EXPECT_FALSE(IsWaterName(name));
}

// Both slashes become the platform's separator.
TEST(TexturePaths, NativeSeparators) {
    std::u16string s(1, kPathSeparator);
    EXPECT_EQ(NativeSeparators(u"C:/maps\\wood.jpg"), u"C:" + s + u"maps" + s + u"wood.jpg");
    EXPECT_EQ(NativeSeparators(u""), u"");
}

// The folder sits beside the saved file and is named after its stem. (POSIX names with a
// backslash or a dotted folder: the host's export test.)
TEST(TexturePaths, TextureFolder) {
    std::u16string s(1, kPathSeparator);
    TextureFolder out = TextureFolderFor(u"/out/House.dae");
    EXPECT_EQ(out.name, u"House_Textures");
    EXPECT_EQ(out.path, s + u"out" + s + u"House_Textures");
    TextureFolder bare = TextureFolderFor(u"House");  // no directory: both are the stem
    EXPECT_EQ(bare.name, u"House_Textures");
    EXPECT_EQ(bare.path, u"House" + s + u"House_Textures");
    EXPECT_EQ(TextureFolderFor(u"/a/b.c.dae").path, s + u"a" + s + u"b.c_Textures");
}

// Copies are named by the record id in at least four hex digits.
TEST(TexturePaths, CopyNames) {
    EXPECT_EQ(TextureCopyName(26, u"png"), u"001a.png");
    EXPECT_EQ(TextureCopyName(-1, u"jpg"), u"ffffffffffffffff.jpg");
    EXPECT_EQ(TextureCopyName(0x12345, u"bmp"), u"12345.bmp");
    EXPECT_EQ(ExtensionOf(u"/t/wood.JPG"), u"JPG");
    EXPECT_EQ(ExtensionOf(u"/t/wood"), u"/t/wood");
    EXPECT_EQ(ExtensionOf(u"/t/a.b/wood"), u"b/wood");
}
