// A real second process (srfc_reader) opens the connection and reads every material
// record of a loaded document, as the renderer would.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "image_decode.h"
#include "material_test_support.h"
#include "platform/utf.h"
#include "sdk/io/document_reader.h"
#include "support/child_process.h"
#include "support/test_files.h"

using namespace vantro::test;
namespace fs = std::filesystem;
using vantro::platform::fromUtf8;
using vantro::platform::toUtf8;

namespace {

// The value of key in a reader line ("key=value", blank separated); empty when absent.
std::string valueOf(const std::string& line, const std::string& key) {
    const size_t at = line.find(" " + key + "=");
    const size_t begin = at + key.size() + 2;
    return at == std::string::npos ? std::string() : line.substr(begin, line.find(' ', begin) - begin);
}

// Expects each "key=value" of pairs (blank separated) in a reader line.
void expectValues(const std::string& line, const std::string& pairs) {
    std::istringstream in(pairs);
    for (std::string pair; in >> pair;)
        EXPECT_EQ(valueOf(line, pair.substr(0, pair.find('='))), pair.substr(pair.find('=') + 1)) << line;
}

uint64_t numberOf(const std::string& line, const std::string& key) {
    return std::stoull(valueOf(line, key), nullptr, 0);
}

// Record lines of one reader run, by material name.
struct ReaderRun {
    std::string output;
    std::map<std::string, std::string> byName;
    size_t records = 0;
};

class MaterialPeerTest : public MaterialLinkTest {
protected:
    void SetUp() override {
        MaterialLinkTest::SetUp();
        project = env.root() + "/project";
        fs::create_directories(project);
        fs::copy_file(std::string(VANTRO_SOURCE_DIR) + "/tests/materials/data/peer_materials.json",
                      project + "/house.json");
        fs::create_directories(project + "/Maps");
        brick = project + "/Maps/brick.bmp";
        writeFile(brick, "BM brick");
        fs::last_write_time(brick, newYear2020());
        auto result = vantro::docio::readDocumentFile(project + "/house.json", doc);
        ASSERT_TRUE(result.ok) << result.error;
    }

    // Runs the reader to its end; a failed run fails the test.
    ReaderRun read(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {toUtf8(name), "--save-buffers", env.root()};
        args.insert(args.end(), extra.begin(), extra.end());
        const RunResult result = runProgram(SRFC_READER_PATH, args, 30000);
        EXPECT_EQ(result.exitCode, 0) << result.output;
        ReaderRun run;
        run.output = result.output;
        std::istringstream lines(result.output);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("srfc ", 0) == 0)
                run.byName[valueOf(line, "name")] = line;
            if (line.rfind("done ", 0) == 0)
                run.records = numberOf(line, "records");
        }
        return run;
    }

    // Points the material at index to the embedded bitmap with that id and gives it
    // that colour.
    void useBitmap(int index, const ON_UUID& bitmap, ON_Color diffuse) {
        ON_Material m = material(index);
        m.m_textures.Empty();
        ON_Texture t;
        t.m_texture_id = bitmap;
        m.AddTexture(t);
        m.SetDiffuse(diffuse);
        ASSERT_TRUE(doc.m_material_table.ModifyMaterial(m, index));
    }

    // Adds a size x size 24-bit bitmap of one colour to the document; returns its id.
    ON_UUID addSolidBitmap(uint8_t red, uint8_t green, uint8_t blue, int size = 2) {
        ON_Bitmap bitmap;
        EXPECT_TRUE(bitmap.Create(size, size, 24));
        for (int row = 0; row < size; ++row)
            for (int x = 0; x < size; ++x) {
                unsigned char* bgr = bitmap.Bits(row) + 3 * x;
                bgr[0] = blue;
                bgr[1] = green;
                bgr[2] = red;
            }
        bitmap.SetId();
        EXPECT_GE(doc.m_bitmap_table.AddBitmap(bitmap), 0);
        return bitmap.Id();
    }

    // The image in the buffer the reader saved for a record line, decoded.
    DecodedImage imageOf(const std::string& line) {
        const std::string bytes = readFile(env.root() + "/" + std::to_string(numberOf(line, "buffer")) + ".bmp");
        return DecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    // Its first pixel (RGBA); empty when it does not decode.
    std::vector<uint8_t> firstPixelOf(const std::string& line) {
        const DecodedImage image = imageOf(line);
        return image.rgba.empty() ? image.rgba : std::vector<uint8_t>(image.rgba.begin(), image.rgba.begin() + 4);
    }

    std::string project;
    std::string brick;
};

}  // namespace

// One record per distinct material with the fields the document implies; edits show as
// new revisions and buffers, while a deleted material's record stays as it was.
TEST_F(MaterialPeerTest, PeerReadsEveryMaterialRecord) {
    ASSERT_EQ(doc.m_material_table.MaterialCount(), 10);
    const ON_UUID decalBitmap = doc.m_bitmap_table.Bitmap(0)->Id();
    useBitmap(9, decalBitmap, ON_Color(255, 255, 0));
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    send(manager);

    ReaderRun first = read();
    EXPECT_EQ(first.records, 10u);  // the default material and nine distinct ones
    ASSERT_EQ(first.byName.size(), 10u) << first.output;

    expectValues(first.byName["Material-Wood"],
                 "diffuse=0xff785028 shine=0.200000003 opacity=0.75 type=0 revision=1 changeCount=1 path= stamp=0");
    // The default material's texture state is never rebuilt, so it lacks 0x200.
    for (const auto& [n, line] : first.byName)
        expectValues(line,
                     std::string("constantsOk=1 library= flags=") + (n == "Material-Default" ? "0x101" : "0x301"));
    expectValues(first.byName["Material-Wood(1)"], "diffuse=0xffc80000");
    expectValues(first.byName["Material-Seawater"], "type=1 opacity=0.5");
    expectValues(first.byName["Material-Stone"], "type=2");
    expectValues(first.byName["Material-\xd0\x92\xd0\x9e\xd0\x94\xd0\x90"], "type=1");
    EXPECT_EQ(first.byName.count("af2504e0-4f89-41d3-9a0c-0305e82c3301"), 1u);
    expectValues(first.byName["Material-Default"], "diffuse=0xfffafafa");

    // The moved texture is found under its relative path beside the document; the lost
    // one is not sent.
    const std::string brickLine = first.byName["Material-Brick_wall"];
    EXPECT_EQ(valueOf(brickLine, "path"), brick);
    expectValues(brickLine, "diffuse=0x00ffffff stamp=" + std::to_string(uint32_t(kNewYear2020FileTime)));
    expectValues(first.byName["Material-Lost"], "path= stamp=0 diffuse=0xff010203");

    // The embedded bitmap's buffer, as the other process mapped it, decodes to its pixels.
    const std::string decal = first.byName["Material-Decal"];
    const uint32_t oldBuffer = uint32_t(numberOf(decal, "buffer"));
    ASSERT_NE(oldBuffer, 0u);
    expectValues(decal, "capacity=78 path=");  // 2 rows of 12 bytes and the headers
    EXPECT_GE(numberOf(decal, "mapped"), 78u);
    const DecodedImage image = imageOf(decal);
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    const ON_Bitmap* bitmap = doc.m_bitmap_table.Bitmap(0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const unsigned char* bgr = bitmap->Bits(y) + x * 3;
            const uint8_t* rgba = image.rgba.data() + (size_t(1 - y) * 3 + size_t(x)) * 4;
            EXPECT_EQ(rgba[0], bgr[2]);
            EXPECT_EQ(rgba[1], bgr[1]);
            EXPECT_EQ(rgba[2], bgr[0]);
        }

    // Edits: Wood gets shinier, the decal's bitmap grows, Stone is deleted.
    ON_Material shinier = material(0);
    shinier.SetShine(102);
    ASSERT_TRUE(doc.m_material_table.ModifyMaterial(shinier, 0));
    manager.UpdateMaterial(material(0).RuntimeSerialNumber());
    useBitmap(9, addSolidBitmap(0, 0, 0, 8), ON_Color(0, 255, 255));
    manager.UpdateMaterial(material(9).RuntimeSerialNumber());
    ASSERT_TRUE(doc.m_material_table.DeleteMaterial(4));
    EXPECT_TRUE(manager.RemoveMaterial(material(4).RuntimeSerialNumber()));
    send(manager);

    ReaderRun second = read({"--probe-buffer", std::to_string(oldBuffer)});
    EXPECT_EQ(second.records, 10u);
    expectValues(second.byName["Material-Wood"], "revision=2 changeCount=2 shine=0.400000006 flags=0x301");
    const std::string decal2 = second.byName["Material-Decal"];
    EXPECT_EQ(valueOf(decal2, "id"), valueOf(decal, "id"));
    EXPECT_NE(numberOf(decal2, "buffer"), oldBuffer);
    expectValues(decal2, "capacity=246 diffuse=0x00ffffff");
    EXPECT_NE(second.output.find("buffer id=" + std::to_string(oldBuffer) + " exists=0"), std::string::npos)
        << second.output;
    EXPECT_EQ(second.byName["Material-Stone"], first.byName["Material-Stone"]);
    EXPECT_EQ(second.byName["Material-Lost"], first.byName["Material-Lost"]);
}

// Materials differing only in their embedded image get a record each, and a new image
// alone reaches the other process as a new revision with the new pixels.
TEST_F(MaterialPeerTest, EmbeddedImageIsPartOfAMaterialsIdentity) {
    const ON_Color grey(90, 90, 90);
    const int red = addMaterial(u"Poster", grey);
    const int blue = addMaterial(u"Poster", grey);
    useBitmap(red, addSolidBitmap(255, 0, 0), grey);
    useBitmap(blue, addSolidBitmap(0, 0, 255), grey);
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    send(manager);

    ReaderRun first = read();
    const std::string redLine = first.byName["Material-Poster"];
    const std::string blueLine = first.byName["Material-Poster(1)"];
    EXPECT_NE(valueOf(redLine, "id"), valueOf(blueLine, "id"));
    EXPECT_EQ(firstPixelOf(redLine), (std::vector<uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(firstPixelOf(blueLine), (std::vector<uint8_t>{0, 0, 255, 255}));

    useBitmap(red, addSolidBitmap(0, 255, 0), grey);
    manager.UpdateMaterial(material(red).RuntimeSerialNumber());
    send(manager);

    ReaderRun second = read();
    const std::string greenLine = second.byName["Material-Poster"];
    EXPECT_EQ(valueOf(greenLine, "id"), valueOf(redLine, "id"));
    EXPECT_EQ(valueOf(greenLine, "flags"), "0x301");
    EXPECT_EQ(numberOf(greenLine, "revision"), numberOf(redLine, "revision") + 1);
    EXPECT_NE(valueOf(greenLine, "stamp"), valueOf(redLine, "stamp"));
    EXPECT_EQ(firstPixelOf(greenLine), (std::vector<uint8_t>{0, 255, 0, 255}));
    EXPECT_EQ(second.byName["Material-Poster(1)"], blueLine);
}

// The "lost" texture is found once its file name sits in one of the application's
// search folders (the last place the host looks), and the record names that copy.
TEST_F(MaterialPeerTest, TextureInASearchFolderIsFound) {
    const std::string library = env.root() + "/library";
    fs::create_directories(env.root() + "/elsewhere");
    fs::create_directories(library);
    writeFile(library + "/gone.png", "PNG gone");
    CRhinoAppFileSettings& files = RhinoApp().AppSettings().FileSettings();
    const std::vector<ON_wString> before = files.SearchPaths();
    files.SetSearchPaths({ON_wString(fromUtf8(env.root() + "/elsewhere")), ON_wString(fromUtf8(library))});
    MaterialManager manager(&link);
    manager.LoadMaterials(&doc);
    send(manager);
    files.SetSearchPaths(before);

    ReaderRun run = read();
    const std::string lost = run.byName["Material-Lost"];
    EXPECT_EQ(valueOf(lost, "path"), library + "/gone.png") << run.output;
    EXPECT_NE(valueOf(lost, "stamp"), "0");
}
