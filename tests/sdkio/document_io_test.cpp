// Documents in the host's JSON format: refusals (which change nothing), warnings, the
// written golden and its round trip, and the binary companion's bounded references.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <cmath>
#include <string>

#include "sdk/io/document_parser.h"
#include "sdk/io/document_reader.h"
#include "sdk/io/document_writer.h"
#include "sdk/render/rdk_document.h"
#include "sdk/app/rhino_app_settings.h"
#include "sdk/document/rhino_doc.h"
#include "support/test_files.h"

namespace {

using vantro::docio::DocumentData;
using vantro::docio::DocumentLoadResult;
using vantro::docio::parseDocument;
using vantro::docio::readDocumentFile;
using vantro::docio::readDocumentJson;
using vantro::docio::writeDocumentJson;

const std::string& fullDocument() {
    static const std::string text = vantro::test::readFile(SDKIO_DATA_DIR "/full.json");
    return text;
}

// The full document with its first occurrence of `from` replaced by `to`.
std::string edited(std::string_view from, std::string_view to) {
    std::string text = fullDocument();
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "test text not found: " << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

bool isEmpty(CRhinoDoc& doc) {
    ON_SimpleArray<CRhinoView*> views;
    return doc.m_layer_table.LayerCount() == 0 && doc.m_material_table.MaterialCount() == 0 &&
           doc.m_texture_mapping_table.TextureMappingCount() == 0 && doc.m_bitmap_table.BitmapCount() == 0 &&
           doc.m_instance_definition_table.InstanceDefinitionCount() == 0 && doc.Objects().empty() &&
           doc.GetViewList(views) == 0 && doc.RdkDocument().ContentCount() == 0 &&
           doc.UnitSystem() == ON::LengthUnitSystem::Millimeters;
}

struct BadCase {
    std::string from, to, message;
};

// Reads the text, which must be refused with the document left empty; the error.
std::string refusal(std::string_view text, std::string_view name = "full.json") {
    CRhinoDoc doc;
    const DocumentLoadResult r = readDocumentJson(text, name, doc);
    EXPECT_FALSE(r.ok) << text.substr(0, 100);
    EXPECT_TRUE(isEmpty(doc)) << text.substr(0, 100);
    return r.error;
}

// Each case breaks one rule; the message names the entry and the field.
TEST(DocumentRead, RefusedInputLeavesDocumentEmpty) {
    const std::string quad = R"(object 0 "Quad and triangle" (88888888-8888-4888-8888-000000000001))";
    const std::vector<BadCase> cases = {
        {"[0, 1, 2, 3, 3, 2, 4, 4]", "[0, 1, 2, 3, 3, 2, 9001, 9001]",
         "full.json: object 0 \"Quad and triangle\" (88888888-8888-4888-8888-000000000001): mesh: face 1 refers to "
         "vertex 9001 of 5"},
        {"[0, 1, 2, 3, 3, 2, 4, 4]", "[0, 1, 2, 3, 3, 2, -1, -1]", "face 1 refers to vertex -1 of 5"},
        {"\"normals\": [0, 0, 1, ", "\"normals\": [",
         "mesh: normals: 12 numbers given, 3 per vertex (5 vertices) expected"},
        {"\"vertices\": [0, 0, 0, ", "\"vertices\": [0, 0, ",
         "object 0: mesh.vertices: 14 numbers, not a multiple of 3"},
        {"\"shine\": 127.5", "\"shine\": 300", "material 0: shine: 300 is not from 0 to 255"},
        {"\"inches\"", "\"furlongs\"", "units: length: \"furlongs\" is not one of none, angstroms"},
        {"\"materialIndex\": 0", "\"materialIndex\": 7",
         "attributes.materialIndex: 7 is not a material index (2 materials)"},
        {"88888888-8888-4888-8888-000000000003", "88888888-8888-4888-8888-000000000001",
         "id is also the id of object 0"},
        {"\"parentId\": \"11111111-1111-4111-8111-000000000002\"",
         "\"parentId\": \"11111111-1111-4111-8111-000000000009\"",
         "layer 0 \"Child\" (11111111-1111-4111-8111-000000000001): parentId: no layer has id "
         "11111111-1111-4111-8111-000000000009"},
        {"\"name\": \"Parent\",", "\"name\": \"Parent\", \"parentId\": \"11111111-1111-4111-8111-000000000001\",",
         "is its own ancestor"},
        {"\"definition\": \"77777777-7777-4777-8777-000000000001\"\n",
         "\"definition\": \"77777777-7777-4777-8777-000000000002\"\n", "places itself through its members"},
        {"\"mode\": \"instanceDefinition\",", "\"mode\": \"normal\",",
         "is a member but its mode is not \"instanceDefinition\""},
        {"\"mappingId\": \"55555555-5555-4555-8555-000000000001\"",
         "\"mappingId\": \"55555555-5555-4555-8555-000000000009\"",
         quad + ": attributes.mappings: channel 2 names mapping 55555555-5555-4555-8555-000000000009"},
        {"\"renderMeshes\": [", "\"mesh\": {\"vertices\": [], \"faces\": []}, \"renderMeshes\": [",
         "\"mesh\" is only for mesh objects"},
        {"\"instance\": {", "\"x\": {", "an instance reference needs \"instance\""},
        {"\"type\": \"bump\"", "\"type\": \"bitmap\"", "two textures of type \"bitmap\""},
        {"\"width\": 2", "\"width\": 3", "pixels: 16 bytes, 24 expected"},
        {"\"pixels\": \"", "\"pixels\": \"!", "bitmap 0: pixels: not valid base64"},
        {"[-0.5, 0.5, -0.3, 0.3, 1, 1000]", "[-0.5, 0.5, -0.3, 0.3, 0, 1000]",
         "view 1 \"Perspective\": frustum: needs left < right, bottom < top and 0 < near < far"},
        {"\"cameraUp\": [0, 0, 1]", "\"cameraUp\": [0, 2, 0]",
         "cameraUp: must not be zero or parallel to the direction"},
        {"\"typeId\": \"51b4af08-9dec-4744-86f9-546fbacb800d\"", "\"typeId\": \"00000000-0000-0000-0000-000000000000\"",
         "typeId: required and not nil"},
        {"\"version\": 1", "\"version\": 2", "version: version 2 was written by a newer program (this one reads 1)"},
        {"\"vantro-document\"", "\"something-else\"", "format: \"something-else\" is not a vantro document"},
        {"\"format\": \"vantro-document\",", "", "full.json: document: missing \"format\""},
        {"\"version\": 1,", "\"version\": 1", "full.json: line 4 column 2: expected ',' or '}' after an object member"},
        {"\"name\": \"Loose\"", "\"name\": \"\"", "layer 2: name: a layer name must not be empty"},
        {"\"name\": \"Loose\"", "\"name\": \"Lo\tose\"",
         "full.json: line 23 column 15: layer 2: name: control character inside a string (write it as an escape)"},
    };
    for (const BadCase& c : cases) {
        const std::string error = refusal(edited(c.from, c.to));
        EXPECT_NE(error.find(c.message), std::string::npos) << c.message << "\n  got: " << error;
    }
}

// A refused field is named in full: line and column of the value, the entry, and the
// field's path inside it (array elements by index).
TEST(DocumentRead, RefusedFieldsAreNamedInFull) {
    const std::vector<BadCase> cases = {
        {"[10, 20, 30]", "[10, 20, 300]",
         "line 15 column 13: layer 0: color: colour components must be integers from 0 to 255"},
        {"\"materialIndex\": 1,", "\"materialIndex\": -2,",
         "line 14 column 21: layer 0: materialIndex: -2 is outside -1 to 2147483647"},
        {"\"parentId\": \"11111111-1111-4111-8111-000000000002\"", "\"parentId\": \"x\"",
         "line 12 column 16: layer 0: parentId: expected an id (8-4-4-4-12 hexadecimal digits), found \"x\""},
        {"\"type\": \"bump\",", "", "line 52 column 5: material 0: textures.1: missing required field \"type\""},
        {"\"name\": \"Box\"", "\"name\": false",
         "line 69 column 12: texture mapping 0: name: expected a string, found true or false"},
        {"\"name\": \"tiny\"", "\"name\": {}", "line 80 column 12: bitmap 0: name: expected a string, found an object"},
        {"\"88888888-8888-4888-8888-000000000013\"]", "3]",
         "line 93 column 56: instance definition 0: objects: expected a string, found a number"},
        {"\"visible\": false,\n    \"mode\"", "\"visible\": 0,\n    \"mode\"",
         "line 137 column 16: object 1: attributes.visible: expected true or false, found a number"},
        {"\"objectTransform\": [1, 0, 0, 5",
         "\"objectTransform\": [1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1]}, "
         "{\"channel\": 2, \"mappingId\": \"55555555-5555-4555-8555-000000000001\", "
         "\"objectTransform\": [1, 0, 0, 5",
         "line 118 column 8: object 0: attributes.mappings.0.channels.1: channel 2 appears twice"},
        {"\"faces\": [0, 2, 1, 1]", "\"fices\": [0, 2, 1, 1]",
         "line 148 column 5: object 1: renderMeshes.1: missing required field \"faces\""},
    };
    for (const BadCase& c : cases)
        EXPECT_EQ(refusal(edited(c.from, c.to)), "full.json: " + c.message);
}

// Every prefix of a valid document is refused without touching the document (the
// sanitizer builds check the reads).
TEST(DocumentRead, EveryTruncationIsRefused) {
    const std::string& text = fullDocument();
    const size_t end = text.find_last_not_of(" \n") + 1;
    for (size_t n = 0; n < end; ++n) {
        CRhinoDoc doc;
        const DocumentLoadResult r = readDocumentJson(std::string_view(text).substr(0, n), "cut.json", doc);
        ASSERT_FALSE(r.ok) << "prefix of " << n << " bytes was accepted";
        ASSERT_TRUE(isEmpty(doc)) << n;
    }
}

// A target that already holds something is refused rather than mixed with the file;
// a missing file is reported by name.
TEST(DocumentRead, NonEmptyTargetAndMissingFileAreRefused) {
    CRhinoDoc doc;
    ON_Layer layer;
    layer.SetName(u"Mine");
    ASSERT_EQ(doc.m_layer_table.AddLayer(layer, true), 0);
    DocumentLoadResult r = readDocumentJson(fullDocument(), "full.json", doc);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "full.json: the target document is not empty");
    EXPECT_EQ(doc.m_layer_table.LayerCount(), 1);
    CRhinoDoc empty;
    r = readDocumentFile("/nonexistent/house.json", empty);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "house.json: cannot read: No such file or directory");
    EXPECT_TRUE(isEmpty(empty));
}

TEST(DocumentRead, WarningsNameTheirSource) {
    CRhinoDoc doc;
    const std::string text = edited("\"materialIndex\": 1,", "\"materialIndex\": 1, \"colour\": [1, 2, 3],");
    const DocumentLoadResult r = readDocumentJson(text, "full.json", doc);
    ASSERT_TRUE(r.ok) << r.error;
    auto has = [&](const std::string& w) {
        return std::find(r.warnings.begin(), r.warnings.end(), w) != r.warnings.end();
    };
    EXPECT_TRUE(has("full.json: written by hand"));
    EXPECT_TRUE(has("full.json: unknown field \"layer.colour\" ignored"));
    EXPECT_TRUE(
        has("full.json: material 0 \"Wood\" (22222222-2222-4222-8222-000000000001): texture file "
            "\"C:\\Maps\\oak.jpg\" not found"));
    EXPECT_EQ(r.warnings.size(), 3u);
}

// What the reader takes from a document and what the writer puts back, every field of
// every table, is pinned by the text written for the full document (full-written.json,
// checked by hand against full.json: layers parents first, defaults spelled out);
// reading that text and writing again gives it unchanged.
TEST(DocumentRoundTrip, FullDocumentIsWrittenAsTheGolden) {
    CRhinoDoc first;
    const DocumentLoadResult r = readDocumentJson(fullDocument(), "full.json", first);
    ASSERT_TRUE(r.ok) << r.error;
    CRhinoAppSettings settings;
    vantro::docio::applyAppSettings(r.appSettings, settings);
    vantro::docio::WriteOptions options;
    options.appSettings = &settings;
    const std::string written = writeDocumentJson(first, options);
    // The entries the file gives no id get a fresh one on every reading.
    std::string pinned = written;
    for (const ON_UUID& made : {first.m_layer_table[2].Id(), first.m_material_table[1].Id()}) {
        const std::string text = ON_UuidToString(made).ToUtf8();
        for (size_t at = pinned.find(text); at != std::string::npos; at = pinned.find(text))
            pinned.replace(at, text.size(), "(made on reading)");
    }
    EXPECT_EQ(pinned, vantro::test::readFile(SDKIO_DATA_DIR "/full-written.json"));
    CRhinoDoc second;
    const DocumentLoadResult back = readDocumentJson(written, "written.json", second);
    ASSERT_TRUE(back.ok) << back.error;
    CRhinoAppSettings settingsBack;
    vantro::docio::applyAppSettings(back.appSettings, settingsBack);
    options.appSettings = &settingsBack;
    EXPECT_EQ(writeDocumentJson(second, options), written);
    // A deleted material goes with the render content only it named, or reading back
    // and writing again would not give the same text.
    ASSERT_TRUE(second.m_material_table.DeleteMaterial(0));
    const std::string pruned = writeDocumentJson(second, options);
    CRhinoDoc third;
    ASSERT_TRUE(readDocumentJson(pruned, "pruned.json", third).ok);
    EXPECT_EQ(writeDocumentJson(third, options), pruned);
}

template <typename T>
void append(std::string& bytes, const std::vector<T>& values) {
    while (bytes.size() % 8)
        bytes.push_back('\0');
    bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

// A triangle whose vertices (float32) and face (int32) are in the companion.
std::string triangleDocument(const std::string& vertices, const std::string& faces, size_t bytes) {
    return R"({"format": "vantro-document", "version": 1, "binary": {"bytes": )" + std::to_string(bytes) +
           R"(}, "objects": [{"id": "3f2a9c1e-0b6a-4b2f-a481-518c6f9602e5", "type": "mesh", "mesh": {"vertices": )" +
           vertices + R"(, "faces": )" + faces + "}}]}";
}

std::string companion() {
    std::string bytes;
    append(bytes, std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0});
    append(bytes, std::vector<int32_t>{0, 1, 2, 2});
    return bytes;  // vertices at 0 (36 bytes), faces at 40
}

// Arrays read from the companion equal the numbers written there; out-of-range
// references, wrong sizes and non-finite numbers are refused by name.
TEST(BinaryCompanion, ArraysAreReadAndHostileReferencesRefused) {
    const std::string bytes = companion(), vertices = R"({"binary": [0, 9]})", faces = R"({"binary": [40, 4]})";
    DocumentData read;
    const auto accepted = parseDocument(triangleDocument(vertices, faces, bytes.size()), read, bytes);
    ASSERT_TRUE(accepted.ok) << accepted.error;
    ASSERT_EQ(read.objects.size(), 1u);
    const ON_Mesh& m = *read.objects[0].mesh;
    ASSERT_EQ(m.VertexCount(), 3);
    EXPECT_EQ(m.m_V[1], ON_3fPoint(1, 0, 0));
    EXPECT_EQ(m.m_V[2], ON_3fPoint(0, 1, 0));
    ASSERT_EQ(m.FaceCount(), 1);
    EXPECT_EQ(m.m_F[0].vi[2], 2);
    std::string nan = bytes, farIndex = bytes;
    const float notANumber = std::numeric_limits<float>::quiet_NaN();
    const int32_t far = 7;
    std::memcpy(nan.data() + 4, &notANumber, sizeof notANumber);
    std::memcpy(farIndex.data() + 40, &far, sizeof far);
    // Geometry from the companion is checked like the rest: a trim naming a missing edge.
    const std::string brep =
        R"({"format": "vantro-document", "version": 1, "objects": [{"id": "3f2a9c1e-0b6a-4b2f-a481-518c6f9602e5", "type": "brep",
        "brep": {"edges": [], "faces": [{"surface": {"degree": [1, 1], "count": [2, 2], "knotsU": [0, 1], "knotsV": [0, 1],
        "points": [0,0,0,1, 0,1,0,1, 1,0,0,1, 1,1,0,1]}, "loops": [{"outer": true, "trims": [3, 0]}]}]}}]})";
    const std::tuple<std::string, std::string, const char*> cases[] = {
        {triangleDocument(R"({"binary": [40, 9]})", faces, bytes.size()), bytes,
         "binary: 9 numbers at byte 40 run past the companion's 56 bytes"},
        {triangleDocument(R"({"binary": [18446744073709551615, 9]})", faces, bytes.size()), bytes,
         "offset and count must be integers"},
        {triangleDocument(vertices, faces, bytes.size()), "", "the binary companion has 0 bytes, the document says 56"},
        {triangleDocument(R"({"binary": [0, 8]})", faces, bytes.size()), bytes, "not a multiple of 3"},
        {triangleDocument(vertices, faces, bytes.size()), nan, "a number is not finite"},
        {triangleDocument(vertices, faces, bytes.size()), farIndex, "refers to vertex 7"},
        {brep, "", "brep: face 0: loop 0: trim 0 names edge 3 of 0"},
    };
    for (const auto& [text, companionBytes, expected] : cases) {
        DocumentData d;
        const auto r = parseDocument(text, d, companionBytes);
        EXPECT_FALSE(r.ok) << expected;
        EXPECT_NE(r.error.find(expected), std::string::npos) << r.error;
    }
}

}  // namespace
