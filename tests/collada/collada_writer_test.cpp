// The document text, byte for byte: golden documents with and without nodes, the
// status texts, escaping, and the file sink's refusal.

#include "collada/collada_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "collada/collada_escape.h"
#include "collada/document_output.h"
#include "support/test_environment.h"

namespace vantro::collada {
namespace {

std::string readGolden(const std::string& name) {
    std::ifstream in(std::string(VANTRO_SOURCE_DIR) + "/tests/collada/golden/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A calendar time; month 1 to 12, weekday 0 (Sunday) to 6.
std::tm tm(int day, int month, int year, int weekday, int hour, int minute, int second) {
    std::tm time{};
    time.tm_mday = day, time.tm_mon = month - 1, time.tm_year = year - 1900, time.tm_wday = weekday;
    time.tm_hour = hour, time.tm_min = minute, time.tm_sec = second;
    return time;
}

// The golden text with the document's CR LF line ends.
std::string withCrLf(const std::string& golden) {
    std::string text;
    for (const char c : golden)
        text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return text;
}

// Three materials (water with a white diffuse, a textured brick, glass with a library
// id), two geometries in an order unlike the materials', two placement nodes.
struct SampleDocument {
    SampleDocument() {
        // name, type, library id, diffuse, specular, shine, opacity, textured
        materials = {{"Material-Water", "water", "", 0xFFFFFFFF, 0xFF808080, 0.5f, 0.75f, false},
                     {"Material-Brick", "", "", 0x00FFFFFF, 0xFF000000, 1.0f, 1.0f, true},
                     {"Material-Glass", "glass", "lib&\"1\"", 0xFF112233, 0xFF10FF00, 0.0f, 0.25f, false}};
        imagePaths = {u"", u"House Textures\\001a.png", u""};

        brickGeometry = {"Material-Brick",
                         3,
                         3,
                         "0.000 0.000 0.000 1.000 0.000 0.000 0.000 1.000 0.000 ",
                         "0.000 0.000 1.000 0.000 0.000 1.000 0.000 0.000 1.000 ",
                         "0.000 0.000 1.000 0.000 0.000 1.000 ",
                         "0 1 2 "};
        waterGeometry = {"Material-Water",
                         4,
                         6,
                         "0.000 0.000 -1.000 2.000 0.000 -1.000 2.000 2.000 -1.000 0.000 2.000 -1.000 ",
                         "0.000 0.000 1.000 0.000 0.000 1.000 0.000 0.000 1.000 0.000 0.000 1.000 ",
                         "0.000 0.000 1.000 0.000 1.000 1.000 0.000 1.000 ",
                         "0 1 2 0 2 3 "};
        geometries = {&brickGeometry, &waterGeometry};
        first = {1, "ln-0001",
                 "1.000000 0.000000 0.000000 0.000000 0.000000 1.000000 0.000000 0.000000 "
                 "0.000000 0.000000 1.000000 0.000000 0.000000 0.000000 0.000000 1.000000"};
        second = {2, "ln-0002",
                  "1.000000 0.000000 0.000000 1.500000 0.000000 1.000000 0.000000 -2.000000 "
                  "0.000000 0.000000 1.000000 0.250000 0.000000 0.000000 0.000000 1.000000"};
        nodes = {&first, &second};
    }

    std::string write(bool exportNodes, std::vector<std::u16string>* statuses = nullptr,
                      std::size_t bufferSize = 1 << 16, DocumentForm form = DocumentForm::renderer) const {
        const DocumentInput input{createdText(tm(11, 6, 2024, 2, 9, 5, 3), form),
                                  exportNodes,
                                  materials,
                                  imagePaths,
                                  geometries,
                                  nodes,
                                  form};
        StringByteSink sink;
        DocumentOutput out(sink, bufferSize);
        writeDocument(out, input, [statuses](std::u16string_view text) {
            if (statuses != nullptr)
                statuses->emplace_back(text);
        });
        return sink.text;
    }

    std::vector<MaterialRow> materials;
    std::vector<std::u16string> imagePaths;
    GeometryText brickGeometry, waterGeometry;
    std::vector<const GeometryText*> geometries;
    NodeElement first, second;
    std::vector<const NodeElement*> nodes;
};

// With ExportNodes: the node blocks with their tabs, placement nodes, a water extra, an
// escaped library id, colours over 256; without, through a tiny buffer: no node parts.
TEST(ColladaWriter, GoldenDocuments) {
    const SampleDocument sample;
    EXPECT_EQ(sample.write(true), withCrLf(readGolden("three_materials_nodes.dae")));
    EXPECT_EQ(sample.write(false, nullptr, 7), withCrLf(readGolden("three_materials_no_nodes.dae")));
}

// Replaces every from in text by to.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The schema-valid form of the golden documents is the renderer's text with exactly the
// schema's fixes: the ISO date in <created> and <modified>, the surface's type, and the
// node block's names without blanks. Nothing else moves.
TEST(ColladaWriter, SchemaValidFormChangesOnlyTheSchemaFindings) {
    const SampleDocument sample;
    for (const bool nodes : {true, false}) {
        std::string expected = readGolden(nodes ? "three_materials_nodes.dae" : "three_materials_no_nodes.dae");
        expected = replaced(expected, "<created>Tue Jun 11 09:05:03 2024\n</created>\n",
                            "<created>2024-06-11T09:05:03</created>\n<modified>2024-06-11T09:05:03</modified>\n");
        expected = replaced(expected, "<surface>", "<surface type=\"2D\">");
        expected = replaced(expected, " name=\"Velora Node ", " name=\"Velora_Node_");
        EXPECT_EQ(sample.write(nodes, nullptr, 7, DocumentForm::schemaValid), withCrLf(expected)) << nodes;
    }
}

// A document without materials, geometries and nodes writes no empty library in the
// schema-valid form (the schema wants at least one child); the renderer's keeps them.
TEST(ColladaWriter, SchemaValidFormLeavesEmptyLibrariesOut) {
    for (const DocumentForm form : {DocumentForm::renderer, DocumentForm::schemaValid}) {
        const DocumentInput input{"2024-06-11T09:05:03", false, {}, {}, {}, {}, form};
        StringByteSink sink;
        DocumentOutput out(sink);
        writeDocument(out, input, {});
        for (const char* library :
             {"<library_images>", "<library_effects>", "<library_materials>", "<library_geometries>"})
            EXPECT_EQ(sink.text.find(library) == std::string::npos, form == DocumentForm::schemaValid) << library;
        EXPECT_NE(sink.text.find("<library_visual_scenes>"), std::string::npos);
    }
}

// Each stage shows its text when it begins, in document order.
TEST(ColladaWriter, StatusTexts) {
    const SampleDocument sample;
    std::vector<std::u16string> statuses;
    sample.write(true, &statuses);
    const std::vector<std::u16string> expected = {u"Velora Collada exporter: processing assets\u2026",
                                                  u"Velora Collada exporter: processing images\u2026",
                                                  u"Velora Collada exporter: processing effects\u2026",
                                                  u"Velora Collada exporter: processing materials\u2026",
                                                  u"Velora Collada exporter: processing geometries\u2026",
                                                  u"Velora Collada exporter: processing nodes\u2026",
                                                  u"Velora Collada exporter: export complete."};
    EXPECT_EQ(statuses, expected);
}

// Takes everything but, once, the bytes that hold needle: it throws a plain exception
// for them, or with fileFailure the file's own failure.
class RefusingSink final : public ByteSink {
public:
    RefusingSink(std::string needle, bool fileFailure) : needle_(std::move(needle)), fileFailure_(fileFailure) {}
    void write(std::string_view bytes) override {
        if (!refused_ && bytes.find(needle_) != std::string_view::npos) {
            refused_ = true;
            if (fileFailure_)
                throw FileWriteError("refused");
            throw std::runtime_error("refused");
        }
        text.append(bytes);
    }
    std::string text;

private:
    std::string needle_;
    bool fileFailure_;
    bool refused_ = false;
};

// An exception while one geometry is written ends the list there, whole or streamed one
// geometry at a time: the geometry before it is whole, none after it is written, and
// the node geometry, the closing tag and the rest of the document follow. The file's
// own failure goes on to the caller.
TEST(ColladaWriter, BrokenGeometryEndsTheList) {
    const SampleDocument sample;
    GeometryText glass = sample.brickGeometry;
    glass.id = "Material-Glass";
    const std::vector<const GeometryText*> geometries = {&sample.brickGeometry, &sample.waterGeometry, &glass};
    const std::string waterOnly = "2.000 2.000 -1.000";  // in the water's positions alone
    for (const bool streamed : {false, true}) {
        RefusingSink sink(waterOnly, false);
        DocumentOutput out(sink, 16);  // number lists reach the sink as they are
        ColladaWriter writer(out, true, nullptr);
        writer.planIds(sample.materials, geometries, sample.nodes);
        if (streamed) {
            writer.beginGeometries(geometries.size());
            EXPECT_TRUE(writer.writeGeometry(0, *geometries[0]));
            EXPECT_FALSE(writer.writeGeometry(1, *geometries[1]));
            EXPECT_FALSE(writer.writeGeometry(2, *geometries[2]));
            writer.endGeometries();
        } else {
            writer.writeGeometries(geometries);
        }
        writer.writeEnd();
        out.flush();
        const std::string& text = sink.text;
        const std::size_t brick = text.find("<geometry id=\"Material-Brick\"");
        const std::size_t water = text.find("<geometry id=\"Material-Water\"");
        const std::size_t node = text.find("<geometry id=\"veloraNode\"");
        const std::size_t closing = text.find("</library_geometries>");
        ASSERT_NE(brick, std::string::npos) << streamed;
        EXPECT_NE(text.find("</geometry>", brick), std::string::npos) << streamed;
        EXPECT_LT(brick, water) << streamed;
        EXPECT_LT(water, node) << streamed;
        EXPECT_LT(node, closing) << streamed;
        EXPECT_EQ(text.find("Material-Glass"), std::string::npos) << streamed;
        EXPECT_EQ(text.find("</library_geometries>", closing + 1), std::string::npos) << streamed;
        EXPECT_NE(text.find("</COLLADA>", closing), std::string::npos) << streamed;
    }
    for (const bool streamed : {false, true}) {
        RefusingSink sink(waterOnly, true);
        DocumentOutput out(sink, 16);
        ColladaWriter writer(out, true, nullptr);
        writer.planIds(sample.materials, geometries, sample.nodes);
        if (streamed) {
            writer.beginGeometries(geometries.size());
            EXPECT_TRUE(writer.writeGeometry(0, *geometries[0]));
            EXPECT_THROW(writer.writeGeometry(1, *geometries[1]), FileWriteError);
        } else {
            EXPECT_THROW(writer.writeGeometries(geometries), FileWriteError);
        }
    }
}

// The schema's form of the date: zero-padded, months from 1, four-digit years.
TEST(ColladaWriter, DateTimeText) {
    EXPECT_EQ(dateTimeText(tm(1, 1, 2000, 6, 0, 0, 0)), "2000-01-01T00:00:00");
    EXPECT_EQ(dateTimeText(tm(31, 12, 1999, 5, 23, 59, 58)), "1999-12-31T23:59:58");
    EXPECT_EQ(createdText(tm(1, 1, 2000, 6, 0, 0, 0), DocumentForm::renderer), "Sat Jan  1 00:00:00 2000\n");
}

// The created text is the C library's asctime form: day of month padded with a blank.
TEST(ColladaWriter, AsctimeText) {
    EXPECT_EQ(asctimeText(tm(1, 1, 2000, 6, 0, 0, 0)), "Sat Jan  1 00:00:00 2000\n");
    EXPECT_EQ(asctimeText(tm(31, 12, 2000, 0, 23, 59, 58)), "Sun Dec 31 23:59:58 2000\n");
}

// The kept punctuation characters pass; every other ASCII non-alphanumeric unit becomes
// a lower-case escape, brackets too, and a colon in the first segment (a URI scheme).
TEST(PercentEncode, AsciiRules) {
    EXPECT_EQ(percentEncodeImagePath(u"!$&'()+,-./:;=@[\\]_~"), "!$&'()+,-./:;=@%5b\\%5d_~");
    EXPECT_EQ(percentEncodeImagePath(u"a:b/c:d"), "a%3ab/c:d");
    EXPECT_EQ(percentEncodeImagePath(u"a\\b:c"), "a\\b:c");
    EXPECT_EQ(percentEncodeImagePath(u"*\"#%<>?^`{|} "), "%2a%22%23%25%3c%3e%3f%5e%60%7b%7c%7d%20");
    EXPECT_EQ(percentEncodeImagePath(std::u16string(u"\x01\x7f\t", 3)), "%01%7f%09");
    EXPECT_EQ(percentEncodeImagePath(std::u16string(1, u'\0')), "%00");
}

// Letters and digits of other scripts stay UTF-8; other units are escaped as their UTF-8
// bytes, a character beyond the BMP as four, an unpaired surrogate on its own.
TEST(PercentEncode, NonAsciiUnits) {
    EXPECT_EQ(percentEncodeImagePath(u"\u00e9t\u00e9"), "\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(percentEncodeImagePath(u"\u6c34"), "\xe6\xb0\xb4");
    EXPECT_EQ(percentEncodeImagePath(u"\u00a0"), "%c2%a0");
    EXPECT_EQ(percentEncodeImagePath(u"\u20ac"), "%e2%82%ac");
    EXPECT_EQ(percentEncodeImagePath(u"a\U0001F600\U00010348b"), "a%f0%9f%98%80%f0%90%8d%88b");
    EXPECT_EQ(percentEncodeImagePath(std::u16string{u'\xD83D', u'x', u'\xDE00'}), "%ed%a0%bdx%ed%b8%80");
}

// The five XML specials become entities, the three white-space controls character
// references, characters XML cannot carry U+FFFD; other text, non-ASCII included, stays.
TEST(EscapeXml, SpecialsAndUnrepresentableCharacters) {
    EXPECT_EQ(escapeXml("a\"b&c'd<e>f"), "a&quot;b&amp;c&apos;d&lt;e&gt;f");
    EXPECT_EQ(escapeXml("plain \xc3\xa9 text;#\xf0\x9f\x98\x80"), "plain \xc3\xa9 text;#\xf0\x9f\x98\x80");
    EXPECT_EQ(escapeXml(std::string("\t\n\r\x01\x1f\0", 6)), "&#9;&#10;&#13;\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
    EXPECT_EQ(escapeXml("\xef\xbf\xbe\xef\xbf\xbf\xef\xbf\xbd"), "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
}

// Ids keep what a "#id" reference carries as written and turn the rest into "_".
TEST(IdText, UriFragmentSafe) {
    EXPECT_EQ(idText("Material-Wood(1).v2_x"), "Material-Wood(1).v2_x");
    EXPECT_EQ(idText("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~ "), "!\"____'()*+,-.___________________");
    EXPECT_EQ(idText("\xc3\xa9\xf0\x9f\x98\x80\x01"), "\xc3\xa9\xf0\x9f\x98\x80_");
}

// XML names keep ASCII letters, digits, "-", "." and "_" and the Latin-1 letters; every
// other character (a whole UTF-8 sequence, a broken one too) becomes one "_", and a
// name that cannot begin an XML name gets a leading "_".
TEST(NcNameText, XmlNamesForAnyName) {
    EXPECT_EQ(ncNameText("Material-Wood(1).v2_x"), "Material-Wood_1_.v2_x");
    EXPECT_EQ(ncNameText("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~ "), "____________-.___________________");
    EXPECT_EQ(ncNameText("B\xc3\xa9ton \xc3\x97 \xe2\x82\xac\xf0\x9f\x98\x80"), "B\xc3\xa9ton_____");
    EXPECT_EQ(ncNameText("a\xc3\xb7"
                         "b\xc3\xbf\xc3\x80"),
              "a_b\xc3\xbf\xc3\x80");
    EXPECT_EQ(ncNameText("x\x80\x80y\xc3"), "x_y_");
    for (const char* leading : {"1st", "-a", ".a", ""})
        EXPECT_EQ(ncNameText(leading), "_" + std::string(leading)) << leading;
    EXPECT_EQ(ncNameText("_a"), "_a");
    EXPECT_EQ(ncNameText("\xc3\xa9"), "\xc3\xa9");
}

// A path that cannot be opened as a file reports false. (The bytes of files: every
// exporter test; short writes and full disks: tests/host/host_export_test.cpp.)
TEST(FileByteSink, OpenFailureIsReported) {
    const test::TestEnvironment environment;
    FileByteSink directory;
    EXPECT_FALSE(directory.open(environment.root()));
    EXPECT_FALSE(directory.isOpen());
}

}  // namespace
}  // namespace vantro::collada
