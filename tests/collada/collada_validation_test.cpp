// Documents built from plain mesh arrays through merge, serialisation and the writer are
// checked by outside tools: the strict COLLADA 1.4.1 schema (xmllint), the reference
// and unique-id checks (DAEValidator) and a read-back by an importer (assimp).
//
// The schema findings that the document's required text causes are listed in
// docs/collada.md; each is matched here by its own pattern, and any other finding fails.

#include <gtest/gtest.h>

#if VANTRO_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#endif

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "collada/collada_exporter.h"
#include "collada/collada_writer.h"
#include "collada/save_file_dialog.h"
#include "collada/geometry_text.h"
#include "collada/merged_geometry.h"
#include "collada/node_element.h"
#include "support/child_process.h"
#include "platform/utf.h"
#include "sdk/rhino_sdk.h"
#include "sdk/sdk_test_support.h"
#include "support/required_tool.h"
#include "support/test_environment.h"

namespace vantro::collada {
namespace {

// The buffers and texts of every case, freed when the program ends.
vantro::platform::PageArena arena;

namespace fs = std::filesystem;

const std::string kSchema = std::string(VANTRO_TESTDATA_DIR) + "/collada/collada_schema_1_4_1.xsd";
const std::string kDaeValidator = "/usr/lib/opencollada/DAEValidator";

// A mesh in the renderer's storage: positions and normals as (x, z, y) of the model.
struct Mesh {
    std::vector<float> positions, normals, uvs;
    std::vector<std::uint32_t> indices;
    bool twoSided = false;
    MeshView view() const {
        return {static_cast<std::uint32_t>(positions.size() / 3),
                static_cast<std::uint32_t>(indices.size()),
                twoSided,
                positions.data(),
                normals.data(),
                uvs.data(),
                indices.data()};
    }
};

Mesh quad(float x0, float height, bool twoSided) {
    Mesh m;
    // Model points (x, y, z) stored as (x, z, y).
    const std::array<std::array<float, 3>, 4> model = {
        {{x0, 0, height}, {x0 + 1, 0, height}, {x0 + 1, 1, height}, {x0, 1, height}}};
    for (const auto& p : model) {
        m.positions.insert(m.positions.end(), {p[0], p[2], p[1]});
        m.normals.insert(m.normals.end(), {0.0f, 1.0f, 0.0f});  // model +z
    }
    m.uvs = {0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f};  // stored v already flipped
    m.indices = {0, 1, 2, 0, 2, 3};
    m.twoSided = twoSided;
    return m;
}

struct Material {
    MaterialRow row;
    std::u16string imagePath;
    std::vector<Mesh> meshes;
};

// Runs the plain pipeline into file; returns the serialised geometries for checks.
std::vector<GeometryText> writeFile(const fs::path& file, const std::vector<Material>& materials, bool exportNodes,
                                    const std::vector<std::array<float, 16>>& placements) {
    std::vector<GeometryText> texts;
    for (const Material& material : materials) {
        std::vector<MeshView> views;
        for (const Mesh& mesh : material.meshes)
            views.push_back(mesh.view());
        const auto merged = mergeMeshes(views, arena);
        if (merged == nullptr)
            continue;
        GeometryText text;
        text.id = material.row.name;
        serializeGeometry(*merged, text, arena);
        texts.push_back(std::move(text));
    }
    std::vector<NodeElement> nodes;
    for (std::size_t i = 0; i < placements.size(); ++i)
        nodes.push_back(createNodeElement(i + 1, placements[i]));
    std::vector<MaterialRow> rows;
    std::vector<std::u16string> images;
    for (const Material& material : materials) {
        rows.push_back(material.row);
        images.push_back(material.imagePath);
    }
    std::vector<const GeometryText*> geometryPointers;
    for (const GeometryText& text : texts)
        geometryPointers.push_back(&text);
    std::vector<const NodeElement*> nodePointers;
    for (const NodeElement& node : nodes)
        nodePointers.push_back(&node);
    DocumentInput input;
    input.createdText = "Tue Jun 11 09:05:03 2024\n";
    input.exportNodes = exportNodes;
    input.materials = rows;
    input.imagePaths = images;
    input.geometries = geometryPointers;
    input.nodes = nodePointers;
    FileByteSink sink;
    EXPECT_TRUE(sink.open(file));
    DocumentOutput out(sink);
    writeDocument(out, input, {});
    sink.close();
    return texts;
}

bool toolsPresent() {
    return fs::exists("/usr/bin/xmllint") && fs::exists(kDaeValidator) && fs::exists("/usr/bin/opencolladavalidator");
}

#if VANTRO_HAVE_ASSIMP
constexpr bool kImporterPresent = true;
#else
constexpr bool kImporterPresent = false;
#endif

// text as one word of the shell.
std::string quoted(const std::string& text) {
    std::string word = "'";
    for (const char c : text)
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

// The strict schema's findings, one entry per finding.
std::vector<std::string> schemaFindings(const fs::path& file) {
    const test::RunResult result = test::runProgram(
        "/bin/sh", {"-c", "xmllint --noout --schema " + quoted(kSchema) + " " + quoted(file.string()) + " 2>&1"});
    std::vector<std::string> findings;
    const std::string marker = "Schemas validity error : ";
    for (std::size_t at = result.output.find(marker); at != std::string::npos;) {
        const std::size_t start = at + marker.size();
        const std::size_t next = result.output.find(marker, start);
        // A finding ends where the line of the next one begins (values may span lines).
        const std::size_t end = next == std::string::npos ? result.output.size() : result.output.rfind('\n', next);
        findings.push_back(result.output.substr(start, end - start));
        at = next;
    }
    if (findings.empty()) {
        EXPECT_NE(result.output.find("validates"), std::string::npos) << result.output;
    }
    return findings;
}

// The findings the required text causes, by the rule that causes them.
const std::vector<std::pair<std::string, std::regex>>& dictatedFindings() {
    static const std::vector<std::pair<std::string, std::regex>> rules = {
        {"created is asctime text",
         std::regex("created': '[\\s\\S]*' is not a valid value of the atomic type 'xs:dateTime'")},
        {"asset has no modified", std::regex("unit': This element is not expected. Expected is one of \\( "
                                             "\\{[^}]*\\}keywords, \\{[^}]*\\}modified \\)")},
        {"surface has no type", std::regex("surface': The attribute 'type' is required but missing")},
        {"node block names have blanks", std::regex("attribute 'name': 'Velora Node (Material|Geometry)' is not a "
                                                    "valid value of the atomic type 'xs:NCName'")},
        {"empty library", std::regex("library_(images|effects|materials|geometries)': Missing child element\\(s\\)")},
        {"unique-name suffix",
         std::regex(
             "attribute '[a-z]+': '[^']*\\([0-9]+\\)[^']*' is not a valid value of the atomic type 'xs:(ID|NCName)'")},
        {"names beyond XML names",
         std::regex("(attribute '[a-z]+'|Element '\\{[^}]*\\}(init_from|source)'): '[\\s\\S]*' is not a valid value of "
                    "the atomic type 'xs:(ID|IDREF|NCName)'")},
    };
    return rules;
}

// Returns the rule names that matched; fails on a finding no rule explains.
std::vector<std::string> classify(const std::vector<std::string>& findings) {
    std::vector<std::string> matched;
    for (const std::string& finding : findings) {
        bool known = false;
        for (const auto& [name, pattern] : dictatedFindings()) {
            if (std::regex_search(finding, pattern)) {
                known = true;
                if (std::find(matched.begin(), matched.end(), name) == matched.end())
                    matched.push_back(name);
                break;
            }
        }
        EXPECT_TRUE(known) << "schema finding not caused by the required text: " << finding;
    }
    return matched;
}

test::RunResult daeValidator(const fs::path& file, const std::string& check) {
    return test::runProgram("/bin/sh", {"-c", kDaeValidator + " " + quoted(file.string()) + " " + check + " 2>&1"});
}

class ColladaValidation : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kSchema))
            GTEST_SKIP() << "the COLLADA schema is missing: " << kSchema;
        VANTRO_REQUIRE_TOOL(toolsPresent(), "xmllint, DAEValidator or opencolladavalidator");
        dir_ = environment_.root();
    }
    test::TestEnvironment environment_;
    fs::path dir_;
};

std::array<float, 16> translation(float x, float y, float z) {
    // Renderer matrix: row vectors, translation in the fourth row in renderer axes (x, z, y).
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, z, y, 1};
}

std::vector<Material> texturedAndWater() {
    Material brick;
    brick.row.name = "Material-Brick";
    brick.row.textured = true;
    // As the export's texture copy gives it: folder, the platform's separator, file.
    brick.imagePath = u"Doc_Textures/001a.png";
    brick.meshes = {quad(0, 0, true), quad(2, 0, false)};
    Material water;
    water.row.name = "Material-Water";
    water.row.typeName = "water";
    water.row.opacity = 0.5f;
    water.meshes = {quad(0, 3, false)};
    Material unused;  // used by a mesh without vertices: effect and material, no geometry
    unused.row.name = "Material-Empty";
    return {brick, water, unused};
}

// A textured material, a water material, a material without geometry and two placement
// nodes: only the findings of the required text, all ids unique, every link resolved
// (the internal ones and the copied image file).
TEST_F(ColladaValidation, TexturedDocumentWithNodes) {
    const fs::path file = dir_ / "Doc.dae";
    fs::create_directories(dir_ / "Doc_Textures");
    std::ofstream(dir_ / "Doc_Textures" / "001a.png") << "png";
    writeFile(file, texturedAndWater(), true, {translation(1, 2, 3), translation(-4, 0.5f, 0)});

    const std::vector<std::string> matched = classify(schemaFindings(file));
    EXPECT_EQ(matched, (std::vector<std::string>{"created is asctime text", "asset has no modified",
                                                 "surface has no type", "node block names have blanks"}));

    const test::RunResult ids = daeValidator(file, "--check-unique-ids");
    EXPECT_EQ(ids.exitCode, 0) << ids.output;
    const test::RunResult links = daeValidator(file, "--check-links");
    EXPECT_EQ(links.exitCode, 0) << links.output;  // the image file included

    // The lenient validator stops at the bare <surface>, and only there.
    const test::RunResult lenient =
        test::runProgram("/bin/sh", {"-c", "opencolladavalidator '" + file.string() + "' 2>&1"});
    EXPECT_NE(lenient.exitCode, 0);
    EXPECT_NE(lenient.output.find("ERROR_REQUIRED_ATTRIBUTE_MISSING Element: surface, Attribute: type"),
              std::string::npos)
        << lenient.output;
}

// The same content without nodes and without texture validates apart from the
// asset's findings, and the reference checks pass outright.
TEST_F(ColladaValidation, PlainDocumentWithoutNodes) {
    std::vector<Material> materials = texturedAndWater();
    materials[0].row.textured = false;
    materials[0].imagePath.clear();
    const fs::path file = dir_ / "Plain.dae";
    writeFile(file, materials, false, {});
    EXPECT_EQ(classify(schemaFindings(file)),
              (std::vector<std::string>{"created is asctime text", "asset has no modified", "empty library"}));
    const test::RunResult result = daeValidator(file, "--check-links --check-unique-ids");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    const test::RunResult lenient =
        test::runProgram("/bin/sh", {"-c", "opencolladavalidator '" + file.string() + "' 2>&1"});
    EXPECT_EQ(lenient.exitCode, 0) << lenient.output;
}

// A document with nothing in it: every library is empty, which the schema refuses.
TEST_F(ColladaValidation, EmptyDocument) {
    const fs::path file = dir_ / "Empty.dae";
    writeFile(file, {}, false, {});
    EXPECT_EQ(classify(schemaFindings(file)),
              (std::vector<std::string>{"created is asctime text", "asset has no modified", "empty library"}));
    const test::RunResult result = daeValidator(file, "--check-links --check-unique-ids");
    EXPECT_EQ(result.exitCode, 0) << result.output;
}

// A name made unique with a "(1)" suffix is no XML name: the schema says so, nothing else.
TEST_F(ColladaValidation, UniqueNameSuffix) {
    std::vector<Material> materials(1);
    materials[0].row.name = "Material-Wood(1)";
    materials[0].meshes = {quad(0, 0, false)};
    const fs::path file = dir_ / "Wood.dae";
    writeFile(file, materials, false, {});
    EXPECT_EQ(classify(schemaFindings(file)),
              (std::vector<std::string>{"created is asctime text", "asset has no modified", "empty library",
                                        "unique-name suffix"}));
}

// xmllint's verdict without the schema: whether the file is well-formed XML.
test::RunResult wellFormed(const fs::path& file) {
    return test::runProgram("/bin/sh", {"-c", "xmllint --noout " + quoted(file.string()) + " 2>&1"});
}

// Names made of every ASCII punctuation character, of characters beyond the BMP, names
// that meet in one id form, and a name equal to another's source id, with an image
// folder named the same way: the file is well-formed, every id unique, every link
// (the image file included) resolves, the schema finds nothing but names that are no
// XML names, and each name comes back as written.
TEST_F(ColladaValidation, AnyNamesAndPaths) {
    const std::string punctuation = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
    std::vector<Material> materials;
    const std::vector<std::string> names = {punctuation,     "Stone \xF0\x9F\x98\x80\xF0\x9D\x84\x9E",
                                            "a&b",           "a#b",
                                            "a_b",           "X",
                                            "X-positions",   "X-positions-array",
                                            "Rhino_project", "veloraNode",
                                            "tab\there"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        Material m;
        m.row.name = names[i];
        m.row.typeName = i == 0 ? "water" : "";
        m.row.libraryId = i == 0 ? punctuation : "";
        m.meshes = {quad(static_cast<float>(i), 0, false)};
        materials.push_back(m);
    }
    // A folder name with every punctuation character a POSIX name may hold, and more.
    const std::u16string folder = u" !\"#$%&'()*+,-.:;<=>?@[\\]^_`{|}~\U0001F600\u00e9_Textures";
    fs::create_directories(dir_ / platform::toUtf8(folder));
    std::ofstream(dir_ / platform::toUtf8(folder) / "0001.png") << "png";
    materials[0].row.textured = true;
    materials[0].imagePath = folder + u"/0001.png";
    materials[1].row.textured = true;
    materials[1].imagePath = folder + u"/0001.png";

    const fs::path file = dir_ / "Names.dae";
    writeFile(file, materials, true, {translation(1, 2, 3)});
    const test::RunResult parsed = wellFormed(file);
    EXPECT_EQ(parsed.exitCode, 0) << parsed.output;
    const std::vector<std::string> matched = classify(schemaFindings(file));
    EXPECT_NE(std::find(matched.begin(), matched.end(), "names beyond XML names"), matched.end());
    const test::RunResult checks = daeValidator(file, "--check-links --check-unique-ids");
    EXPECT_EQ(checks.exitCode, 0) << checks.output;

    // Each name is in its effect's, material's and geometry's name attribute, escaped.
    const std::string document = [&] {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    for (const std::string& name : names) {
        std::string escaped;
        for (const char c : name) {
            switch (c) {
                case '&': escaped += "&amp;"; break;
                case '<': escaped += "&lt;"; break;
                case '>': escaped += "&gt;"; break;
                case '"': escaped += "&quot;"; break;
                case '\'': escaped += "&apos;"; break;
                case '\t': escaped += "&#9;"; break;
                default: escaped += c;
            }
        }
        const std::string attribute = " name=\"" + escaped + "\">";
        int found = 0;
        for (std::size_t at = document.find(attribute); at != std::string::npos; at = document.find(attribute, at + 1))
            ++found;
        EXPECT_EQ(found, 3) << name;
    }
    // Names without anything to change keep their ids; the later of two that meet moves.
    EXPECT_NE(document.find("<geometry id=\"X\" name=\"X\">"), std::string::npos);
    EXPECT_NE(document.find("<geometry id=\"X-positions.1\" name=\"X-positions\">"), std::string::npos);
    EXPECT_NE(document.find("<instance_material target=\"#material-X-positions\""), std::string::npos);
    EXPECT_NE(document.find("<geometry id=\"Rhino_project.1\""), std::string::npos);
}

// A real export to a file whose name needs escaping in a URI and in XML, of materials
// whose ids would meet: well-formed, unique ids, the image link resolves.
TEST_F(ColladaValidation, ExportedDocumentWithAwkwardNames) {
    CRhinoDoc* doc = RhinoApp().NewDocument();
    const fs::path map = dir_ / "maps" / "stone.png";
    fs::create_directories(map.parent_path());
    std::ofstream(map, std::ios::binary) << "png";
    const int x = sdktest::addFileTextureMaterial(*doc, u"X", platform::fromUtf8(map.string()));
    ON_Material positions;
    positions.SetName(u"X-positions");
    const int xPositions = doc->m_material_table.AddMaterial(positions);
    for (const int material : {x, xPositions}) {
        ON_Mesh mesh;
        for (const ON_3dPoint& p :
             {ON_3dPoint(material, 0, 0), ON_3dPoint(material + 1, 0, 0), ON_3dPoint(material, 1, 0)})
            mesh.AppendVertex(p);
        mesh.SetTriangle(0, 0, 1, 2);
        ON_3dmObjectAttributes a;
        a.m_layer_index = 0;
        a.SetMaterialSource(ON::material_from_object);
        a.m_material_index = material;
        doc->AddMeshObject(mesh, &a);
    }
    // (No "#" and nothing beyond ASCII here: the checker garbles them in the document's
    // own name; the writer's case has both in an image folder.)
    const fs::path exported = dir_ / "Room & Co's [1] 2:3.dae";
    SetSaveFileHandler(
        [&](const SaveFileRequest&) { return std::optional<std::u16string>(platform::fromUtf8(exported.string())); });
    ColladaExporter exporter;
    const int result = exporter.Export();
    SetSaveFileHandler(nullptr);
    RhinoApp().CloseDocument();
    ASSERT_EQ(result, 0);

    const test::RunResult parsed = wellFormed(exported);
    EXPECT_EQ(parsed.exitCode, 0) << parsed.output;
    classify(schemaFindings(exported));
    const test::RunResult checks = daeValidator(exported, "--check-links --check-unique-ids");
    EXPECT_EQ(checks.exitCode, 0) << checks.output;
    std::ifstream in(exported, std::ios::binary);
    const std::string document(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(document.find("<init_from>Room%20&amp;%20Co&apos;s%20%5b1%5d%202%3a3_Textures/"), std::string::npos);
    EXPECT_NE(document.find("<geometry id=\"Material-X-positions.1\" name=\"Material-X-positions\">"),
              std::string::npos);
}

#if VANTRO_HAVE_ASSIMP
const aiMesh* meshOfMaterial(const aiScene& scene, const std::string& name) {
    for (unsigned i = 0; i < scene.mNumMeshes; ++i) {
        const aiMesh* mesh = scene.mMeshes[i];
        if (scene.mMaterials[mesh->mMaterialIndex]->GetName().C_Str() == name)
            return mesh;
    }
    return nullptr;
}
#endif

// An importer reads back what went in: per material one mesh with the merged vertices
// in model axes (a two-sided quad twice, the back facing down), the texture reference,
// and the placement nodes with their translations in metres.
TEST_F(ColladaValidation, ImporterReadsBackGeometryAndNodes) {
    VANTRO_REQUIRE_TOOL(kImporterPresent, "assimp (libassimp-dev, when the tests are built)");
#if VANTRO_HAVE_ASSIMP
    const fs::path file = dir_ / "Doc.dae";
    const std::vector<Material> materials = texturedAndWater();
    writeFile(file, materials, true, {translation(1, 2, 3)});

    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(file.string(), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();

    // The importer expands the shared index into one vertex per triangle corner.
    const aiMesh* brick = meshOfMaterial(*scene, "Material-Brick");
    ASSERT_NE(brick, nullptr);
    ASSERT_EQ(brick->mNumFaces, 6u);  // the two-sided quad twice, the other once
    ASSERT_EQ(brick->mNumVertices, 18u);
    const Mesh& first = materials[0].meshes[0];
    const std::array<std::uint32_t, 18> corners = {0, 1, 2, 0, 2, 3, 3, 2, 0, 2, 1, 0, 0, 1, 2, 0, 2, 3};
    for (unsigned k = 0; k < 18; ++k) {
        const std::uint32_t v = corners[k];
        const float shift = k >= 12 ? 2.0f : 0.0f;  // the second quad lies 2 m further in x
        EXPECT_NEAR(brick->mVertices[k].x, first.positions[3 * v + 0] + shift, 5e-4) << k;
        EXPECT_NEAR(brick->mVertices[k].y, first.positions[3 * v + 2], 5e-4) << k;
        EXPECT_NEAR(brick->mVertices[k].z, first.positions[3 * v + 1], 5e-4) << k;
        EXPECT_NEAR(brick->mNormals[k].z, k >= 6 && k < 12 ? -1.0f : 1.0f, 1e-6) << k;  // back side faces down
        EXPECT_NEAR(brick->mTextureCoords[0][k].y, 1.0f - first.uvs[2 * v + 1], 5e-4) << k;
    }
    aiString texture;
    ASSERT_EQ(scene->mMaterials[brick->mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &texture), AI_SUCCESS);
    EXPECT_EQ(std::string(texture.C_Str()), "Doc_Textures/001a.png");

    const aiMesh* water = meshOfMaterial(*scene, "Material-Water");
    ASSERT_NE(water, nullptr);
    EXPECT_EQ(water->mNumFaces, 2u);
    EXPECT_NEAR(water->mVertices[0].z, 3.0f, 5e-4);
    EXPECT_EQ(meshOfMaterial(*scene, "Material-Empty"), nullptr);

    const aiNode* placement = scene->mRootNode->FindNode("node-ln-0001");
    ASSERT_NE(placement, nullptr);
    EXPECT_FLOAT_EQ(placement->mTransformation.a4, 1.0f);
    EXPECT_FLOAT_EQ(placement->mTransformation.b4, 2.0f);
    EXPECT_FLOAT_EQ(placement->mTransformation.c4, 3.0f);
    ASSERT_EQ(placement->mNumMeshes, 1u);
    EXPECT_STREQ(scene->mMaterials[scene->mMeshes[placement->mMeshes[0]]->mMaterialIndex]->GetName().C_Str(),
                 "Velora Node Material");
#endif
}

// A real export of a document with a texture file, an embedded bitmap, a water
// material and a block placement: the same findings only, every link resolved (both
// image files included), and the importer reads it.
TEST_F(ColladaValidation, ExportedDocument) {
    CRhinoDoc* doc = RhinoApp().NewDocument();
    doc->SetPathName(ON_wString(platform::fromUtf8((dir_ / "Site.3dm").string())));
    ASSERT_TRUE(doc->SetUnitSystem(ON::LengthUnitSystem::Meters, false));
    PluginSettings settings;
    settings.SetExportNodes(true);

    const fs::path map = dir_ / "maps" / "stone.png";
    fs::create_directories(map.parent_path());
    std::ofstream(map, std::ios::binary) << "png";
    const int stoneIndex = sdktest::addFileTextureMaterial(*doc, u"Stone", platform::fromUtf8(map.string()));
    const int signIndex = sdktest::addEmbeddedTextureMaterial(*doc, u"Sign", 9);
    ASSERT_GE(signIndex, 0);
    ON_Material pond;
    pond.SetName(u"Pond water");
    const int pondIndex = doc->m_material_table.AddMaterial(pond);

    auto quadMesh = [](double x0) {
        ON_Mesh mesh;
        mesh.AppendVertex(ON_3dPoint(x0, 0, 0));
        mesh.AppendVertex(ON_3dPoint(x0 + 1, 0, 0));
        mesh.AppendVertex(ON_3dPoint(x0 + 1, 1, 0));
        mesh.AppendVertex(ON_3dPoint(x0, 1, 0));
        mesh.SetQuad(0, 0, 1, 2, 3);
        return mesh;
    };
    auto attributes = [](int material) {
        ON_3dmObjectAttributes a;
        a.m_layer_index = 0;
        a.SetMaterialSource(ON::material_from_object);
        a.m_material_index = material;
        return a;
    };
    const ON_3dmObjectAttributes stoneAttributes = attributes(stoneIndex);
    const ON_3dmObjectAttributes signAttributes = attributes(signIndex);
    doc->AddMeshObject(quadMesh(0), &stoneAttributes);
    doc->AddMeshObject(quadMesh(2), &signAttributes);
    CRhinoInstanceDefinitionTable::Geometry parts;
    parts.push_back(std::make_unique<CRhinoMeshObject>(quadMesh(4), attributes(pondIndex)));
    ON_InstanceDefinition definition;
    definition.SetName(u"Pond");
    const int block = doc->m_instance_definition_table.AddInstanceDefinition(definition, std::move(parts));
    ASSERT_NE(doc->AddInstanceObject(block, ON_Xform::TranslationTransformation(0, 5, 0)), nullptr);

    const fs::path exported = dir_ / "Site.dae";
    SetSaveFileHandler(
        [&](const SaveFileRequest&) { return std::optional<std::u16string>(platform::fromUtf8(exported.string())); });
    ColladaExporter exporter;
    const int result = exporter.Export();
    SetSaveFileHandler(nullptr);
    RhinoApp().CloseDocument();
    ASSERT_EQ(result, 0);

    EXPECT_EQ(classify(schemaFindings(exported)),
              (std::vector<std::string>{"created is asctime text", "asset has no modified", "surface has no type",
                                        "node block names have blanks"}));
    const test::RunResult checks = daeValidator(exported, "--check-links --check-unique-ids");
    EXPECT_EQ(checks.exitCode, 0) << checks.output;

    VANTRO_REQUIRE_TOOL(kImporterPresent, "assimp (libassimp-dev, when the tests are built)");
#if VANTRO_HAVE_ASSIMP
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(exported.string(), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    for (const char* name : {"Material-Stone", "Material-Sign", "Material-Pond_water"}) {
        EXPECT_NE(meshOfMaterial(*scene, name), nullptr) << name;
    }
    aiString texture;
    const aiMesh* signMesh = meshOfMaterial(*scene, "Material-Sign");
    ASSERT_NE(signMesh, nullptr);
    ASSERT_EQ(scene->mMaterials[signMesh->mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &texture), AI_SUCCESS);
    EXPECT_TRUE(std::string(texture.C_Str()).starts_with("Site_Textures/")) << texture.C_Str();
    EXPECT_TRUE(std::string(texture.C_Str()).ends_with(".bmp")) << texture.C_Str();
#endif
}

}  // namespace
}  // namespace vantro::collada
