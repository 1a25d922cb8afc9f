#include "materials/texture_paths.h"

#include <gtest/gtest.h>

using namespace vantro::materials;

// Both slashes become the platform's separator.
TEST(TexturePaths, NativeSeparators) {
    std::u16string s(1, kPathSeparator);
    EXPECT_EQ(NativeSeparators(u"C:/maps\\wood.jpg"), u"C:" + s + u"maps" + s + u"wood.jpg");
    EXPECT_EQ(NativeSeparators(u""), u"");
}

// The folder sits beside the saved file and is named after its stem.
TEST(TexturePaths, TextureFolder) {
    std::u16string s(1, kPathSeparator);
    if (kPathSeparator == u'\\') {
        TextureFolder doc = TextureFolderFor(u"C:\\Projects\\House.3dm");
        EXPECT_EQ(doc.name, u"House_Textures");
        EXPECT_EQ(doc.path, u"C:" + s + u"Projects" + s + u"House_Textures");
    }  // (POSIX names with a backslash or a dotted folder: the host's export test.)
    TextureFolder out = TextureFolderFor(u"/out/House.dae");
    EXPECT_EQ(out.name, u"House_Textures");
    EXPECT_EQ(out.path, s + u"out" + s + u"House_Textures");
    TextureFolder bare = TextureFolderFor(u"House");  // no directory: both are the stem
    EXPECT_EQ(bare.name, u"House_Textures");
    EXPECT_EQ(bare.path, u"House" + s + u"House_Textures");
    TextureFolder twoDots = TextureFolderFor(u"/a/b.c.dae");
    EXPECT_EQ(twoDots.path, s + u"a" + s + u"b.c_Textures");
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
