// Embedded bitmaps written as image files beside the export's texture copies.

#include "collada/embedded_bitmap_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "materials/material_manager.h"
#include "platform/utf.h"
#include "support/test_environment.h"
#include "support/test_files.h"

namespace vantro::collada {
namespace {

namespace fs = std::filesystem;
using test::readFile;

std::u16string hexName(int64_t id) {
    char text[32];
    std::snprintf(text, sizeof text, "%04llx.bmp", static_cast<unsigned long long>(id));
    return platform::fromUtf8(text);
}

class EmbeddedBitmapFile : public ::testing::Test {
protected:
    EmbeddedBitmapFile() : manager_(nullptr), root_(environment_.root()) {
        manager_.SetTextureFolder(platform::fromUtf8((root_ / "My Doc.dae").string()));
    }
    test::TestEnvironment environment_;
    MaterialManager manager_;
    fs::path root_;
};

// The image lands in the texture folder under the material's id; the returned path is
// relative to the exported file, and the bytes are the in-memory image, whole.
TEST_F(EmbeddedBitmapFile, WritesTheImageIntoTheTextureFolder) {
    MaterialInfo info;
    info.textureImage = {'B', 'M', 1, 2, 3, 0, 255};
    const std::u16string relative = ExportEmbeddedBitmap(manager_, info);
    EXPECT_EQ(relative, u"My Doc_Textures/" + hexName(info.id));
    const fs::path file = root_ / platform::toUtf8(relative);
    ASSERT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(readFile(file), std::string("BM\x01\x02\x03\x00\xff", 7));

    // A second export replaces the file, a shorter image leaving nothing of the longer.
    info.textureImage = {'B', 'M'};
    EXPECT_EQ(ExportEmbeddedBitmap(manager_, info), relative);
    EXPECT_EQ(readFile(file), "BM");
}

// Nothing to write, nowhere to write it, or a file in the way of the folder: no path,
// and nothing made or replaced.
TEST_F(EmbeddedBitmapFile, NoImageOrNoFolderGivesNoPath) {
    MaterialInfo noImage;
    noImage.texturePath = u"/somewhere/brick.png";
    EXPECT_EQ(ExportEmbeddedBitmap(manager_, noImage), u"");
    EXPECT_FALSE(fs::exists(root_ / "My Doc_Textures"));
    MaterialInfo info;
    info.textureImage = {'B', 'M'};
    MaterialManager withoutFolder(nullptr);
    EXPECT_EQ(ExportEmbeddedBitmap(withoutFolder, info), u"");
    std::ofstream(root_ / "My Doc_Textures") << "not a folder";
    EXPECT_EQ(ExportEmbeddedBitmap(manager_, info), u"");
    EXPECT_EQ(readFile(root_ / "My Doc_Textures"), "not a folder");
}

}  // namespace
}  // namespace vantro::collada
