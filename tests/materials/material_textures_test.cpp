// Textures of materials: files sent by path, embedded bitmaps sent as images in buffers
// the record owns, and the texture copies of an export.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "image_decode.h"
#include "material_test_support.h"
#include "materials/texture_paths.h"
#include "platform/utf.h"
#include "support/test_files.h"

using namespace vantro::materials;
using namespace vantro::test;
namespace fs = std::filesystem;
using vantro::platform::fromUtf8;
using vantro::platform::toUtf8;

namespace {

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

    // What a reader of the record's buffer decodes, bottom row first as stored.
    DecodedImage decodeBuffer(const MaterialInfo& info) {
        const std::byte* r = recordOf(info);
        uint32_t id = field(r, srfc::kTextureBuffer);
        uint32_t size = field(r, srfc::kTextureCapacity);
        EXPECT_LE(size, link.MappedBufferSize(id));
        const auto* bytes = static_cast<const uint8_t*>(link.MapBuffer(id));
        if (!bytes)
            return {};
        return DecodeImage(bytes, size);
    }

    MaterialManager linked{&link};
};

}  // namespace

// A texture file is sent by path with platform separators, and the texture's transform
// and channel are kept for the export until the texture is dropped. (Path, stamp, colour and flags as a renderer reads
// them: material_peer_test.cpp.)
TEST_F(MaterialTexturesTest, FileTextureByPath) {
    std::string file = writeTextureFile("maps/oak.jpg");
    std::u16string windowsStyle = fromUtf8(file);
    std::replace(windowsStyle.begin(), windowsStyle.end(), u'/', u'\\');
    const int index = addTextured(u"Oak", windowsStyle);
    loadAndSend();
    const MaterialInfo& info = linked.FindByIndex(index);
    EXPECT_EQ(text(recordOf(info), srfc::kTexturePath), fromUtf8(file));
    EXPECT_EQ(info.textureChannel, 3u);
    EXPECT_EQ(info.textureTransform[0], 2.0);
    EXPECT_EQ(info.textureTransform[5], 3.0);
    ON_Material plain;
    plain.SetName(u"Oak");
    modifyAndSend(plain, index);
    EXPECT_TRUE(linked.FindByIndex(index).texturePath.empty());
    EXPECT_EQ(linked.FindByIndex(index).textureTransform, kIdentityTransform);  // dropped with the texture
}

// A texture file whose path does not fit the record's 260-unit path field is sent by
// a short alias of the same file (a cut path would name no file while the material
// turns white): what the record names decodes to the picture. The export still copies
// the file by its own path.
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
    MaterialInfo& exported = exporter.FindByIndex(wall);
    EXPECT_EQ(exported.texturePath, fromUtf8(picture));
    const std::u16string copy = exporter.ExportTextureFile(&exported);
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(readFile(dir() + "/out/" + toUtf8(copy)), std::string(png.begin(), png.end()));
}

// A texture that is switched off counts as none, even with its file in place: no path,
// stamp 0, the material's own colour. (A moved file found beside the document and one
// found nowhere: material_peer_test.cpp.)
TEST_F(MaterialTexturesTest, TextureSwitchedOffCountsAsNone) {
    const int off = addTextured(u"Off", fromUtf8(writeTextureFile("project/brick.png")), false);
    loadAndSend();
    const MaterialInfo& info = linked.FindByIndex(off);
    EXPECT_TRUE(info.texturePath.empty());
    EXPECT_EQ(info.textureStamp, 0u);
    const std::byte* r = recordOf(info);
    EXPECT_EQ(field(r, srfc::kTextureStamp), 0u);
    EXPECT_EQ(field(r, srfc::kDiffuse), 0xFFFFFFFFu & PackColor(128, 128, 128, 1.0));
    EXPECT_TRUE(allBytesAre(r, srfc::kTexturePath.offset, 520, 0));
}

// An embedded bitmap travels as a BMP image in a buffer owned by the record, stamped
// with a revision that starts above 0. A re-sent image re-uses a buffer that is large
// enough; dropping the texture releases the buffer. (A grown image's new buffer, pixels
// and capacities as another process reads them: material_peer_test.cpp.)
TEST_F(MaterialTexturesTest, BufferReuseReplaceRelease) {
    ON_UUID small = addBitmap(4, 4, 1);
    ON_UUID smaller = addBitmap(2, 2, 2);
    int index = doc.m_material_table.AddMaterial(embedded(u"Decal", small));
    loadAndSend();
    MaterialInfo& info = linked.FindByIndex(index);
    const std::byte* r = recordOf(info);
    const uint32_t first = field(r, srfc::kTextureBuffer);
    const uint64_t firstStamp = info.textureStamp;
    ASSERT_NE(first, 0u);
    EXPECT_GT(firstStamp, 0u);
    EXPECT_EQ(field(r, srfc::kTextureStamp), uint32_t(firstStamp));
    EXPECT_TRUE(allBytesAre(r, srfc::kTexturePath.offset, 520, 0));

    // Keys change with the colour, so the update re-reads the texture.
    modifyAndSend(embedded(u"Decal", smaller, ON_Color(2, 2, 2)), index);
    EXPECT_EQ(field(r, srfc::kTextureBuffer), first);
    EXPECT_EQ(field(r, srfc::kTextureCapacity), 12u * 4 + 54);  // capacity is kept
    EXPECT_EQ(info.textureStamp, firstStamp + 1);
    EXPECT_EQ(decodeBuffer(info).width, 2);

    ON_Material plain;
    plain.SetName(u"Decal");
    modifyAndSend(plain, index);
    EXPECT_EQ(field(r, srfc::kTextureBuffer), 0u);
    EXPECT_EQ(field(r, srfc::kTextureCapacity), 0u);
    EXPECT_EQ(field(r, srfc::kTextureStamp), 0u);
    EXPECT_EQ(link.MappedBufferSize(first), 0u);
}

// Export: texture files are copied beside the exported file under the record's id and
// the relative path is returned; re-exports overwrite; embedded bitmaps and missing
// files give no path.
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
    EXPECT_TRUE(manager.ExportTextureFile(nullptr).empty());
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

// Without a path the folder follows the document; an unsaved document gives none.
TEST_F(MaterialTexturesTest, TextureFolderFromDocument) {
    std::string oak = writeTextureFile("maps/oak.jpg");
    int wood = addTextured(u"Wood", fromUtf8(oak));
    MaterialManager manager(nullptr);
    manager.LoadMaterials(&doc);
    ASSERT_EQ(RhinoApp().ActiveDoc(), nullptr);  // the manager's document stands in
    EXPECT_TRUE(manager.ExportTextureFile(&manager.FindByIndex(wood)).empty());
    doc.SetPathName(fromUtf8(dir() + "/Projects/House.3dm"));
    manager.SetTextureFolder(u"");
    EXPECT_EQ(manager.TextureFolderPath(), fromUtf8(dir() + "/Projects/House_Textures"));
    fs::create_directories(dir() + "/Projects");
    EXPECT_FALSE(manager.ExportTextureFile(&manager.FindByIndex(wood)).empty());
    EXPECT_TRUE(fs::is_directory(dir() + "/Projects/House_Textures"));
}

// What the other process writes into a record is never read back: a scribbled buffer
// id, capacity or revision neither redirects the image copy nor the counters.
TEST_F(MaterialTexturesTest, PeerWritesAreNotTrusted) {
    ON_UUID bitmap = addBitmap(4, 4, 5);
    int index = doc.m_material_table.AddMaterial(embedded(u"Decal", bitmap));
    loadAndSend();
    MaterialInfo& info = linked.FindByIndex(index);
    auto* r = reinterpret_cast<std::byte*>(info.record);
    const uint32_t buffer = field(r, srfc::kTextureBuffer);
    VantroAPI::store(r, srfc::kTextureBuffer, 0xDEADu);
    VantroAPI::store(r, srfc::kTextureCapacity, 0xFFFFFFFFu);
    VantroAPI::store(r, srfc::kRevision, 999u);

    modifyAndSend(embedded(u"Decal", bitmap, ON_Color(9, 9, 9)), index);
    EXPECT_EQ(field(r, srfc::kTextureBuffer), buffer);
    EXPECT_EQ(field(r, srfc::kTextureCapacity), 12u * 4 + 54);
    EXPECT_EQ(field(r, srfc::kRevision), 2u);
    EXPECT_EQ(decodeBuffer(info).width, 4);
}
