// The document text, byte for byte: golden documents with and without nodes, the
// status texts, and a file failure that ends the document.

#include "collada/collada_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace vantro::collada {
namespace {

std::string readGolden(const std::string& name) {
    std::ifstream in(std::string(VANTRO_SOURCE_DIR) + "/tests/collada/golden/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Checks that every line feed of text is preceded by CR and no other CR occurs, and
// returns the text with CR LF turned back into LF.
std::string withoutCrLf(const std::string& text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "stray CR at " << i;
            continue;
        }
        if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
        }
        plain += text[i];
    }
    return plain;
}

// Three materials (water with a white diffuse, a textured brick, glass with a library
// id), two geometries in an order unlike the materials', two placement nodes.
struct SampleDocument {
    SampleDocument() {
        MaterialRow water;
        water.name = "Material-Water";
        water.typeName = "water";
        water.diffuse = 0xFFFFFFFF;
        water.specular = 0xFF808080;
        water.shine = 0.5f;
        water.opacity = 0.75f;
        MaterialRow brick;
        brick.name = "Material-Brick";
        brick.textured = true;
        brick.diffuse = 0x00FFFFFF;
        brick.specular = 0xFF000000;
        MaterialRow glass;
        glass.name = "Material-Glass";
        glass.typeName = "glass";
        glass.libraryId = "lib&\"1\"";
        glass.diffuse = 0xFF112233;
        glass.specular = 0xFF10FF00;
        glass.shine = 0.0f;
        glass.opacity = 0.25f;
        materials = {water, brick, glass};
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
                      std::size_t bufferSize = 1 << 16) const {
        std::tm time{};
        time.tm_year = 124;
        time.tm_mon = 5;
        time.tm_mday = 11;
        time.tm_wday = 2;
        time.tm_hour = 9;
        time.tm_min = 5;
        time.tm_sec = 3;
        DocumentInput input;
        input.createdText = asctimeText(time);
        input.exportNodes = exportNodes;
        input.materials = materials;
        input.imagePaths = imagePaths;
        input.geometries = geometries;
        input.nodes = nodes;
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

// With ExportNodes: the node effect, material and geometry blocks with their tabs, one
// placement node per element, a water extra, a library id escaped, colours over 256.
TEST(ColladaWriter, GoldenDocumentWithNodes) {
    const SampleDocument sample;
    const std::string document = sample.write(true);
    EXPECT_EQ(withoutCrLf(document), readGolden("three_materials_nodes.dae"));
}

// Without ExportNodes: no veloraNode anything, no placement nodes, the extra says 0.
TEST(ColladaWriter, GoldenDocumentWithoutNodes) {
    const SampleDocument sample;
    const std::string document = sample.write(false, nullptr, 7);  // a tiny buffer changes nothing
    EXPECT_EQ(withoutCrLf(document), readGolden("three_materials_no_nodes.dae"));
    EXPECT_EQ(document.find("veloraNode\""), std::string::npos);
    EXPECT_EQ(document.find("ln-000"), std::string::npos);
    EXPECT_NE(document.find("\t\t\t<export_nodes>0</export_nodes>\r\n"), std::string::npos);
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

// The created text is the C library's asctime form: day of month padded with a blank.
TEST(ColladaWriter, AsctimeText) {
    std::tm time{};
    time.tm_year = 100;
    time.tm_mon = 0;
    time.tm_mday = 1;
    time.tm_wday = 6;
    EXPECT_EQ(asctimeText(time), "Sat Jan  1 00:00:00 2000\n");
    time.tm_mday = 31;
    time.tm_mon = 11;
    time.tm_hour = 23;
    time.tm_min = 59;
    time.tm_sec = 58;
    EXPECT_EQ(asctimeText(time), "Sat Dec 31 23:59:58 2000\n");
}

// A file that fails while the geometries are written ends the document there: the
// failure reaches the caller and nothing after it is written (the geometry list keeps
// going only past faults of a geometry, never of the file). The real short write is
// injected in tests/host/host_export_test.cpp.
TEST(ColladaWriter, FileFailureEndsTheDocument) {
    struct FailOnceSink : ByteSink {
        void write(std::string_view bytes) override {
            if (!failed && previous == "<geometry id=\"" && bytes == "Material-Water") {
                failed = true;
                throw FileWriteError("injected");
            }
            previous = std::string(bytes);
            text.append(bytes);
        }
        bool failed = false;
        std::string previous;
        std::string text;
    } sink;
    const SampleDocument sample;
    DocumentInput input;
    input.exportNodes = true;
    input.materials = sample.materials;
    input.geometries = sample.geometries;
    input.nodes = sample.nodes;
    DocumentOutput out(sink, 1);  // every piece reaches the sink on its own
    EXPECT_THROW(writeDocument(out, input, {}), FileWriteError);
    ASSERT_TRUE(sink.failed);
    EXPECT_TRUE(sink.text.ends_with("<geometry id=\""));
    EXPECT_EQ(sink.text.find("veloraNode\" name=\"Velora Node Geometry"), std::string::npos);
}

}  // namespace
}  // namespace vantro::collada
