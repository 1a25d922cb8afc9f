#include "materials/material_names.h"

#include <gtest/gtest.h>

#include <string>

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
    EXPECT_EQ(DisplayNameOfText(u"a/b c", u"x"), u"Material-a_b_c");
    EXPECT_EQ(DisplayNameOfText(u"Wood", u"x"), u"Material-Wood");
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
