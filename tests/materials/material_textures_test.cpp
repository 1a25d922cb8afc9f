// Textures of materials: files sent by path, embedded bitmaps built as BMP images and
// sent in buffers the record owns, and the texture copies of an export.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "image_decode.h"
#include "material_test_support.h"
#include "materials/bmp_image.h"
#include "materials/texture_paths.h"
#include "platform/utf.h"
#include "support/test_files.h"

using namespace vantro::materials;
using namespace vantro::test;
namespace fs = std::filesystem;
using vantro::platform::fromUtf8;
using vantro::platform::toUtf8;

namespace {

uint32_t u32At(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// A 3 x 2 bitmap of 24-bit BGR rows padded to 12 bytes.
struct Rows {
    std::vector<std::vector<uint8_t>> rows;
    BmpSource source(int32_t height) const {
        BmpSource s;
        s.width = 3;
        s.height = height;
        s.bitsPerPixel = 24;
        s.scanSize = 12;
        s.imageSize = 24;
        s.row = [this](uint32_t i) { return i < rows.size() ? rows[i].data() : nullptr; };
        return s;
    }
};

Rows sampleRows() {
    // Row 0: red, green, blue; row 1: white, black, grey (BGR order, 3 pad bytes).
    return Rows{{{0, 0, 255, 0, 255, 0, 255, 0, 0, 9, 9, 9}, {255, 255, 255, 0, 0, 0, 128, 128, 128, 9, 9, 9}}};
}

class MaterialTexturesTest : public MaterialLinkTest {
protected:
    std::string dir() const { return env.root(); }

    // Writes a file under the test's directory and returns its full path.
    std::string writeTextureFile(const std::string& relative, const std::string& content = "image bytes") {
        fs::path path = fs::path(dir()) / relative;
        fs::create_directories(path.parent_path());
        vantro::test::writeFile(path, content);
        fs::last_write_time(path, newYear2020());
        return path.string();
    }

    int addTextured(const char16_t* materialName, const std::u16string& filePath, bool on = true) {
        ON_Texture t;
        t.m_image_file_reference = ON_FileReference::CreateFromFullPath(filePath);
        t.m_bOn = on;
        t.m_mapping_channel_id = 3;
        t.m_uvw = ON_Xform::DiagonalTransformation(2, 3, 1);
        ON_Material m;
        m.SetName(materialName);
        m.AddTexture(t);
        return doc.m_material_table.AddMaterial(m);
    }

    // A bitmap of width x height 24-bit pixels, every byte seed.
    ON_UUID addBitmap(int width, int height, uint8_t seed) {
        ON_Bitmap bitmap;
        EXPECT_TRUE(bitmap.Create(width, height, 24));
        EXPECT_TRUE(bitmap.SetBits(std::vector<uint8_t>(bitmap.SizeofImage(), seed)));
        bitmap.SetId();
        EXPECT_GE(doc.m_bitmap_table.AddBitmap(bitmap), 0);
        return bitmap.Id();
    }

    ON_Material embedded(const char16_t* materialName, const ON_UUID& bitmap, ON_Color diffuse = ON_Color(1, 1, 1)) {
        ON_Texture t;
        t.m_texture_id = bitmap;
        ON_Material m;
        m.SetName(materialName);
        m.SetDiffuse(diffuse);
        m.AddTexture(t);
        return m;
    }

    // Loads the document's materials into the linked manager and sends them.
    void loadAndSend() {
        linked.LoadMaterials(&doc);
        send(linked);
    }

    // Replaces the material at index in the document, then updates and sends it.
    void modifyAndSend(const ON_Material& m, int index) {
        ASSERT_TRUE(doc.m_material_table.ModifyMaterial(m, index));
        linked.UpdateMaterial(&material(index));
        send(linked);
    }

    // The width a reader of the record's buffer decodes (0: none).
    int decodedWidth(const MaterialInfo& info) {
        const std::byte* r = recordOf(info);
        const uint32_t id = field(r, srfc::kTextureBuffer), size = field(r, srfc::kTextureCapacity);
        EXPECT_LE(size, link.MappedBufferSize(id));
        const auto* bytes = static_cast<const uint8_t*>(link.MapBuffer(id));
        return bytes ? DecodeImage(bytes, size).width : 0;
    }

    MaterialManager linked{&link};
};

}  // namespace

// A texture file is sent by path with platform separators, its transform and channel
// kept until it is dropped; one switched off counts as none though its file is there.
TEST_F(MaterialTexturesTest, FileTextureByPath) {
    std::string file = writeTextureFile("maps/oak.jpg");
    std::u16string windowsStyle = fromUtf8(file);
    std::replace(windowsStyle.begin(), windowsStyle.end(), u'/', u'\\');
    const int index = addTextured(u"Oak", windowsStyle);
    const int off = addTextured(u"Off", fromUtf8(file), false);
    loadAndSend();
    const MaterialInfo& info = linked.FindByIndex(index);
    EXPECT_EQ(text(recordOf(info), srfc::kTexturePath), fromUtf8(file));
    EXPECT_EQ(info.textureChannel, 3u);
    EXPECT_EQ(info.textureTransform[0], 2.0);
    EXPECT_EQ(info.textureTransform[5], 3.0);

    EXPECT_TRUE(linked.FindByIndex(off).texturePath.empty());
    const std::byte* r = recordOf(linked.FindByIndex(off));
    EXPECT_EQ(field(r, srfc::kTextureStamp), 0u);
    EXPECT_EQ(field(r, srfc::kDiffuse), 0xFFFFFFFFu & PackColor(128, 128, 128, 1.0));
    EXPECT_TRUE(allBytesAre(r, srfc::kTexturePath.offset, 520, 0));

    ON_Material plain;
    plain.SetName(u"Oak");
    modifyAndSend(plain, index);
    EXPECT_TRUE(linked.FindByIndex(index).texturePath.empty());
    EXPECT_EQ(linked.FindByIndex(index).textureTransform, kIdentityTransform);
}

// A path too long for the record's field is sent as a short alias of the file (a cut one
// would name none): it decodes to the picture. The export copies the file itself.
TEST_F(MaterialTexturesTest, PathTooLongForTheRecordIsSentByAShortAlias) {
    std::string deep = "maps";
    while (deep.size() < 300)
        deep += "/" + std::string(60, 'd');
    const std::vector<uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 128, 9, 9, 9, 255};
    const std::vector<uint8_t> png = EncodePng(2, 2, rgba);
    ASSERT_FALSE(png.empty());
    const std::string picture = writeTextureFile(deep + "/wall.png", std::string(png.begin(), png.end()));
    ASSERT_GT(fromUtf8(picture).size(), size_t(srfc::kTexturePath.units));
    const int wall = addTextured(u"Wall", fromUtf8(picture));
    loadAndSend();

    const std::byte* r = recordOf(linked.FindByIndex(wall));
    const std::u16string named = text(r, srfc::kTexturePath);
    ASSERT_FALSE(named.empty());
    EXPECT_LT(named.size(), size_t(srfc::kTexturePath.units));  // terminated: a whole path
    EXPECT_EQ(fs::path(toUtf8(named)).extension(), ".png");
    const std::string bytes = readFile(toUtf8(named));
    DecodedImage image = DecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ASSERT_EQ(image.width, 2);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(image.rgba, rgba);
    EXPECT_EQ(field(r, srfc::kDiffuse), 0x00FFFFFFu);
    EXPECT_EQ(field(r, srfc::kTextureStamp), uint32_t(kNewYear2020FileTime));

    fs::create_directories(dir() + "/out");
    MaterialManager exporter(nullptr);
    exporter.LoadMaterials(&doc);
    exporter.SetTextureFolder(fromUtf8(dir() + "/out/House.dae"));
    const std::u16string copy = exporter.ExportTextureFile(&exporter.FindByIndex(wall));
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(readFile(dir() + "/out/" + toUtf8(copy)), std::string(png.begin(), png.end()));
}

// An embedded bitmap travels as a BMP in a buffer the record owns. The other process's
// writes are never read back: after a scribbled buffer id, capacity and revision, a smaller
// image re-uses the buffer and capacity, counters stepping on; dropping it frees the buffer.
TEST_F(MaterialTexturesTest, EmbeddedImageBuffer) {
    const int index = doc.m_material_table.AddMaterial(embedded(u"Decal", addBitmap(4, 4, 1)));
    loadAndSend();
    MaterialInfo& info = linked.FindByIndex(index);
    auto* r = reinterpret_cast<std::byte*>(info.record);
    const uint32_t first = field(r, srfc::kTextureBuffer);
    const uint32_t firstStamp = field(r, srfc::kTextureStamp);
    ASSERT_NE(first, 0u);
    EXPECT_GT(firstStamp, 0u);
    EXPECT_TRUE(allBytesAre(r, srfc::kTexturePath.offset, 520, 0));
    EXPECT_EQ(decodedWidth(info), 4);

    VantroAPI::store(r, srfc::kTextureBuffer, 0xDEADu);
    VantroAPI::store(r, srfc::kTextureCapacity, 0xFFFFFFFFu);
    VantroAPI::store(r, srfc::kRevision, 999u);
    modifyAndSend(embedded(u"Decal", addBitmap(2, 2, 2), ON_Color(2, 2, 2)), index);
    EXPECT_EQ(field(r, srfc::kTextureBuffer), first);
    EXPECT_EQ(field(r, srfc::kTextureCapacity), 12u * 4 + 54);
    EXPECT_EQ(field(r, srfc::kRevision), 2u);
    EXPECT_EQ(field(r, srfc::kTextureStamp), firstStamp + 1);
    EXPECT_EQ(decodedWidth(info), 2);

    ON_Material plain;
    plain.SetName(u"Decal");
    modifyAndSend(plain, index);
    EXPECT_EQ(field(r, srfc::kTextureBuffer), 0u);
    EXPECT_EQ(field(r, srfc::kTextureCapacity), 0u);
    EXPECT_EQ(field(r, srfc::kTextureStamp), 0u);
    EXPECT_EQ(link.MappedBufferSize(first), 0u);
}

// Export: texture files are copied beside the exported file under the record's id, the
// relative path returned; re-exports overwrite; embedded bitmaps, missing files: no path.
TEST_F(MaterialTexturesTest, ExportTextureFiles) {
    const std::string oak = writeTextureFile("maps/oak.jpg", "oak v1");
    const int wood = addTextured(u"Wood", fromUtf8(oak));
    const int bare = addTextured(u"Bare", fromUtf8(writeTextureFile("maps/nodot", "x")));
    const int decal = doc.m_material_table.AddMaterial(embedded(u"Decal", addBitmap(2, 2, 9)));
    const int plainIndex = addMaterial(u"Plain");
    MaterialManager manager(nullptr);
    manager.LoadMaterials(&doc);
    const std::string out = dir() + "/out/House.dae";
    fs::create_directories(dir() + "/out");

    // No texture at all: no folder is made.
    manager.SetTextureFolder(fromUtf8(out));
    EXPECT_EQ(manager.TextureFolderName(), u"House_Textures");
    EXPECT_TRUE(manager.ExportTextureFile(&manager.FindByIndex(plainIndex)).empty());
    EXPECT_FALSE(fs::exists(dir() + "/out/House_Textures"));

    // An embedded bitmap makes the folder but copies nothing.
    EXPECT_TRUE(manager.ExportTextureFile(&manager.FindByIndex(decal)).empty());
    EXPECT_TRUE(fs::is_directory(dir() + "/out/House_Textures"));
    EXPECT_TRUE(fs::is_empty(dir() + "/out/House_Textures"));

    MaterialInfo& info = manager.FindByIndex(wood);
    const std::u16string copyName = TextureCopyName(info.id, u"jpg");
    const std::u16string relative = manager.ExportTextureFile(&info);
    EXPECT_EQ(relative, u"House_Textures" + std::u16string(1, kPathSeparator) + copyName);
    const std::string copy = dir() + "/out/House_Textures/" + toUtf8(copyName);
    EXPECT_EQ(info.texturePath, fromUtf8(copy));
    EXPECT_EQ(readFile(copy), "oak v1");
    EXPECT_EQ(manager.ExportTextureFile(&info), relative);  // the same export keeps its copy

    // A new export re-reads the source and overwrites the copy.
    writeTextureFile("maps/oak.jpg", "oak v2");
    MaterialManager reexport(nullptr);
    reexport.LoadMaterials(&doc);
    reexport.SetTextureFolder(fromUtf8(out));
    const std::u16string again = reexport.ExportTextureFile(&reexport.FindByIndex(wood));
    ASSERT_FALSE(again.empty());
    EXPECT_EQ(readFile(dir() + "/out/" + toUtf8(again)), "oak v2");

    // A path without "." gives the whole path as extension: the copy fails.
    MaterialInfo& bareInfo = manager.FindByIndex(bare);
    EXPECT_TRUE(manager.ExportTextureFile(&bareInfo).empty());
    EXPECT_TRUE(bareInfo.texturePath.empty());

    // A file that vanished since it was read gives no path.
    fs::remove(oak);
    MaterialInfo& vanished = reexport.FindByIndex(wood);
    vanished.texturePath = fromUtf8(oak);
    EXPECT_TRUE(reexport.ExportTextureFile(&vanished).empty());
    EXPECT_TRUE(vanished.texturePath.empty());
}

// A decoder reads the pixels back; a positive height means the first row is the bottom.
// The sizes a decoder may skip are right too.
TEST(BmpImage, DecodesToTheBitmapPixels) {
    Rows rows = sampleRows();
    const std::vector<uint8_t> topDown = BuildBmpImage(rows.source(-2));
    ASSERT_EQ(topDown.size(), 24u + 54u);
    EXPECT_EQ(u32At(topDown, 2), 78u);   // file size
    EXPECT_EQ(u32At(topDown, 34), 24u);  // image size
    DecodedImage top = DecodeImage(topDown.data(), topDown.size());
    ASSERT_EQ(top.width, 3);
    ASSERT_EQ(top.height, 2);
    const std::vector<uint8_t> expectTop = {255, 0,   0,   255, 0, 255, 0, 255, 0,   0,   255, 255,
                                            255, 255, 255, 255, 0, 0,   0, 255, 128, 128, 128, 255};
    EXPECT_EQ(top.rgba, expectTop);

    auto bytes = BuildBmpImage(rows.source(2));
    DecodedImage bottomUp = DecodeImage(bytes.data(), bytes.size());
    ASSERT_EQ(bottomUp.rgba.size(), 24u);
    EXPECT_EQ(std::vector<uint8_t>(bottomUp.rgba.begin(), bottomUp.rgba.begin() + 12),
              std::vector<uint8_t>(expectTop.begin() + 12, expectTop.end()));
}

// Indexed rows decode, with a real decoder, as grey levels from black at index 0 to
// white at the highest index, for every depth a document's bitmap can have.
TEST(BmpImage, IndexedRowsDecodeAsGreyLevels) {
    struct Case {
        uint16_t bits;
        std::vector<uint8_t> row;           // one 4-pixel row, padded to 4 bytes
        std::vector<uint8_t> expectedGrey;  // the 4 pixels
    };
    const Case cases[] = {
        {1, {0b1010'0000, 0, 0, 0}, {255, 0, 255, 0}},
        {4, {0x0F, 0x37, 0, 0}, {0, 255, 51, 119}},
        {8, {0, 255, 128, 7}, {0, 255, 128, 7}},
    };
    for (const Case& c : cases) {
        BmpSource s;
        s.width = 4;
        s.height = 1;
        s.bitsPerPixel = c.bits;
        s.scanSize = 4;
        s.imageSize = 4;
        s.row = [&c](uint32_t) { return c.row.data(); };
        std::vector<uint8_t> bytes = BuildBmpImage(s);
        ASSERT_EQ(bytes.size(), 54u + (4u << c.bits) + 4u) << c.bits;
        EXPECT_EQ(u32At(bytes, 10), 54u + (4u << c.bits)) << c.bits;
        DecodedImage image = DecodeImage(bytes.data(), bytes.size());
        ASSERT_EQ(image.width, 4) << c.bits << " bits per pixel refused by the decoder";
        for (size_t x = 0; x < 4; ++x)
            for (size_t channel = 0; channel < 3; ++channel)
                EXPECT_EQ(image.rgba[4 * x + channel], c.expectedGrey[x]) << c.bits << " bits, pixel " << x;
    }
}

// Numbers that do not describe an image in its own size give no image at all.
TEST(BmpImage, RefusesInconsistentNumbers) {
    Rows rows = sampleRows();
    BmpSource s = rows.source(2);
    const std::vector<std::function<void(BmpSource&)>> faults = {
        [](BmpSource& b) { b.imageSize = 23; },           // rows do not fit
        [](BmpSource& b) { b.height = 0; },               // no pixels
        [](BmpSource& b) { b.imageSize = 0xFFFFFFF0u; },  // + 54 overflows 32 bits
        [](BmpSource& b) { b.bitsPerPixel = 12; },        // no such BMP depth
        [](BmpSource& b) { b.width = 5; }};               // 15 bytes of pixels in a 12-byte row
    for (std::size_t i = 0; i < faults.size(); ++i) {
        s = rows.source(2);
        faults[i](s);
        EXPECT_TRUE(BuildBmpImage(s).empty()) << i;
    }
    s = rows.source(3);  // a third row the bitmap does not have stays zero
    s.imageSize = 36;
    auto image = BuildBmpImage(s);
    ASSERT_EQ(image.size(), 90u);
    for (size_t i = 78; i < 90; ++i)
        EXPECT_EQ(image[i], 0);
}
