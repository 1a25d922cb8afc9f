// Documents from mesh arrays through the pipeline, and real exports, checked by the strict
// COLLADA 1.4.1 schema (xmllint: only the findings tests/host/schema_findings.cpp explains,
// and names that are no XML names), DAEValidator's reference checks and assimp's read-back.

#include <gtest/gtest.h>

#if VANTRO_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "../host/schema_findings.h"
#include "collada/collada_exporter.h"
#include "collada/collada_writer.h"
#include "sdk/app/save_file_dialog.h"
#include "collada/geometry_text.h"
#include "collada/merged_geometry.h"
#include "collada/node_element.h"
#include "support/child_process.h"
#include "platform/utf.h"
#include "sdk/rhino_sdk.h"
#include "sdk/sdk_test_support.h"
#include "support/required_tool.h"
#include "support/test_environment.h"
#include "support/test_files.h"

namespace vantro::collada {
namespace {

// The buffers and texts of every case, freed when the program ends.
vantro::platform::PageArena arena;

namespace fs = std::filesystem;
using Rules = std::vector<std::string>;
using sdk::SaveFileRequest;
using sdk::SetSaveFileHandler;

const std::string kDaeValidator = "/usr/lib/opencollada/DAEValidator";
const std::string kCreated = "created is asctime text", kModified = "asset has no modified";

#if VANTRO_HAVE_ASSIMP
constexpr bool kImporterPresent = true;
#else
constexpr bool kImporterPresent = false;
#endif

// A mesh in the renderer's storage: positions and normals as (x, z, y) of the model.
struct Mesh {
    std::vector<float> positions, normals, uvs;
    std::vector<std::uint32_t> indices;
    bool twoSided = false;
    MeshView view() const {
        const auto count = [](const auto& list, std::size_t per) { return std::uint32_t(list.size() / per); };
        return {count(positions, 3), count(indices, 1), twoSided,      positions.data(),
                normals.data(),      uvs.data(),        indices.data()};
    }
};

// A unit quad facing model +z at the given height.
Mesh quad(float x0, float height, bool twoSided) {
    Mesh m;
    for (const auto& [x, y] : {std::pair{x0, 0.0f}, {x0 + 1, 0.0f}, {x0 + 1, 1.0f}, {x0, 1.0f}}) {
        m.positions.insert(m.positions.end(), {x, height, y});
        m.normals.insert(m.normals.end(), {0.0f, 1.0f, 0.0f});
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

// A material of that name; textured when it has an image path.
Material material(const std::string& name, std::vector<Mesh> meshes = {}, const std::u16string& imagePath = u"") {
    Material m;
    m.row.name = name;
    m.row.textured = !imagePath.empty();
    m.imagePath = imagePath;
    m.meshes = std::move(meshes);
    return m;
}

// Runs the plain pipeline into file.
void writeFile(const fs::path& file, const std::vector<Material>& materials, bool exportNodes,
               const std::vector<std::array<float, 16>>& placements, DocumentForm form = DocumentForm::renderer) {
    std::vector<GeometryText> texts;
    std::vector<NodeElement> nodes;
    std::vector<MaterialRow> rows;
    std::vector<std::u16string> images;
    texts.reserve(materials.size());
    std::vector<const GeometryText*> geometries;
    for (const Material& material : materials) {
        rows.push_back(material.row);
        images.push_back(material.imagePath);
        std::vector<MeshView> views;
        for (const Mesh& mesh : material.meshes)
            views.push_back(mesh.view());
        if (const auto merged = mergeMeshes(views, arena)) {
            texts.emplace_back().id = material.row.name;
            serializeGeometry(*merged, texts.back(), arena);
            geometries.push_back(&texts.back());
        }
    }
    std::vector<const NodeElement*> nodePointers;
    nodes.reserve(placements.size());
    for (std::size_t i = 0; i < placements.size(); ++i)
        nodePointers.push_back(&nodes.emplace_back(createNodeElement(i + 1, placements[i])));
    const std::string created =
        form == DocumentForm::schemaValid ? "2024-06-11T09:05:03" : "Tue Jun 11 09:05:03 2024\n";
    const DocumentInput input{created, exportNodes, rows, images, geometries, nodePointers, form};
    FileByteSink sink;
    ASSERT_TRUE(sink.open(file));
    DocumentOutput out(sink);
    writeDocument(out, input, {});
    sink.close();
}

// Runs program with its standard error joined to the output.
test::RunResult joined(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> all = {"-c", "exec \"$0\" \"$@\" 2>&1", program};
    all.insert(all.end(), args.begin(), args.end());
    return test::runProgram("/bin/sh", all);
}

// Fails unless file is well-formed with unique ids and resolved links (image files too);
// returns the rules that explain the schema's findings, failing on any other finding.
Rules check(const fs::path& file) {
    const test::SchemaVerdict verdict = test::checkSchema(file.string());
    EXPECT_TRUE(verdict.validates || !verdict.findings.empty()) << verdict.output;
    EXPECT_EQ(verdict.output.find("parser error"), std::string::npos) << verdict.output;
    test::ClassifiedFindings sorted = test::classifyFindings(verdict.findings);
    // Met only by documents whose names keep characters XML names do not allow.
    static const std::regex beyondXmlNames(
        "(attribute '[a-z]+'|Element '\\{[^}]*\\}(init_from|source)'): '[\\s\\S]*' is not a valid value of the "
        "atomic type 'xs:(ID|IDREF|NCName)'");
    for (const std::string& finding : sorted.unexplained) {
        if (!std::regex_search(finding, beyondXmlNames))
            ADD_FAILURE() << "schema finding not caused by the required text: " << finding;
        else if (std::count(sorted.rules.begin(), sorted.rules.end(), "names beyond XML names") == 0)
            sorted.rules.push_back("names beyond XML names");
    }
    const test::RunResult references = joined(kDaeValidator, {file, "--check-links", "--check-unique-ids"});
    EXPECT_EQ(references.exitCode, 0) << references.output;
    return sorted.rules;
}

test::RunResult lenient(const fs::path& file) { return joined("/usr/bin/opencolladavalidator", {file}); }

// Fails unless the strict schema accepts file without a single finding, ids are unique
// and links resolve, and the lenient validator (the importers' own check) accepts it.
void expectSchemaValid(const fs::path& file) {
    const test::SchemaVerdict verdict = test::checkSchema(file.string());
    EXPECT_TRUE(verdict.validates) << file << ":\n" << verdict.output;
    EXPECT_TRUE(verdict.findings.empty()) << file << ":\n" << verdict.output;
    const test::RunResult references = joined(kDaeValidator, {file, "--check-links", "--check-unique-ids"});
    EXPECT_EQ(references.exitCode, 0) << references.output;
    const test::RunResult result = lenient(file);
    EXPECT_EQ(result.exitCode, 0) << result.output;
}

class ColladaValidation : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(test::colladaSchemaPath()))
            GTEST_SKIP() << "the COLLADA schema is missing: " << test::colladaSchemaPath();
        VANTRO_REQUIRE_TOOL(
            fs::exists("/usr/bin/xmllint") && fs::exists(kDaeValidator) && fs::exists("/usr/bin/opencolladavalidator"),
            "xmllint, DAEValidator or opencolladavalidator");
        dir_ = environment_.root();
    }
    fs::path imageFile(const fs::path& relative) const {
        fs::create_directories((dir_ / relative).parent_path());
        std::ofstream(dir_ / relative, std::ios::binary) << "png";
        return dir_ / relative;
    }
    static int exportTo(const fs::path& file, std::optional<bool> schemaValid = std::nullopt) {
        SetSaveFileHandler(
            [&](const SaveFileRequest&) { return std::optional<std::u16string>(platform::fromUtf8(file.string())); });
        ColladaExporter exporter;
        exporter.SetSchemaValid(schemaValid);
        const int result = exporter.Export();
        SetSaveFileHandler(nullptr);
        RhinoApp().CloseDocument();
        return result;
    }
    void openSite();
    test::TestEnvironment environment_;
    fs::path dir_;
};

ON_Mesh quadMesh(double x0) {
    ON_Mesh mesh;
    for (const auto& [x, y] : {std::pair{x0, 0.0}, {x0 + 1, 0.0}, {x0 + 1, 1.0}, {x0, 1.0}})
        mesh.AppendVertex(ON_3dPoint(x, y, 0));
    mesh.SetQuad(0, 0, 1, 2, 3);
    return mesh;
}

// A renderer matrix: row vectors, translation in the fourth row in renderer axes (x, z, y).
std::array<float, 16> translation(float x, float y, float z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, z, y, 1};
}

std::vector<Material> texturedAndWater() {
    Material water = material("Material-Water", {quad(0, 3, false)});
    water.row.typeName = "water";
    water.row.opacity = 0.5f;
    // The empty one is used by a mesh without vertices: effect and material, no geometry.
    return {material("Material-Brick", {quad(0, 0, true), quad(2, 0, false)}, u"Doc_Textures/001a.png"), water,
            material("Material-Empty")};
}

#if VANTRO_HAVE_ASSIMP
const aiMesh* meshOfMaterial(const aiScene& scene, const std::string& name) {
    for (unsigned i = 0; i < scene.mNumMeshes; ++i)
        if (scene.mMaterials[scene.mMeshes[i]->mMaterialIndex]->GetName().C_Str() == name)
            return scene.mMeshes[i];
    return nullptr;
}

std::string diffuseTexture(const aiScene& scene, const aiMesh& mesh) {
    aiString texture;
    EXPECT_EQ(scene.mMaterials[mesh.mMaterialIndex]->GetTexture(aiTextureType_DIFFUSE, 0, &texture), AI_SUCCESS);
    return texture.C_Str();
}
#endif

// Textured, water and geometry-less materials and two placement nodes: only the required
// text's findings (the lenient validator stops at the bare <surface> alone). The importer
// reads back per material one mesh of the merged vertices in model axes (a two-sided quad
// twice, the back facing down), the texture, and the nodes' translations.
TEST_F(ColladaValidation, TexturedDocumentWithNodes) {
    const fs::path file = dir_ / "Doc.dae";
    imageFile("Doc_Textures/001a.png");
    const std::vector<Material> materials = texturedAndWater();
    writeFile(file, materials, true, {translation(1, 2, 3), translation(-4, 0.5f, 0)});
    EXPECT_EQ(check(file), (Rules{kCreated, kModified, "surface has no type", "node block names have blanks"}));
    const test::RunResult result = lenient(file);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.output.find("ERROR_REQUIRED_ATTRIBUTE_MISSING Element: surface, Attribute: type"),
              std::string::npos)
        << result.output;

    VANTRO_REQUIRE_TOOL(kImporterPresent, "assimp (libassimp-dev, when the tests are built)");
#if VANTRO_HAVE_ASSIMP
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
    EXPECT_EQ(diffuseTexture(*scene, *brick), "Doc_Textures/001a.png");
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

// Without texture and nodes only the asset's findings, empty libraries (a document with
// nothing in it has only those) and a name made unique with a "(1)" suffix remain.
TEST_F(ColladaValidation, UntexturedDocuments) {
    std::vector<Material> plain = texturedAndWater();
    plain[0].row.textured = false;
    plain[0].imagePath.clear();
    const std::vector<Material> wood = {material("Material-Wood(1)", {quad(0, 0, false)})};
    const std::vector<std::pair<std::vector<Material>, Rules>> cases = {
        {plain, {kCreated, kModified, "empty library"}},
        {{}, {kCreated, kModified, "empty library"}},
        {wood, {kCreated, kModified, "empty library", "unique-name suffix"}}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const fs::path file = dir_ / ("Plain" + std::to_string(i) + ".dae");
        writeFile(file, cases[i].first, false, {});
        EXPECT_EQ(check(file), cases[i].second) << i;
    }
    const test::RunResult result = lenient(dir_ / "Plain0.dae");
    EXPECT_EQ(result.exitCode, 0) << result.output;
}

// Names of ASCII punctuation or beyond the BMP, names meeting in one id form or equal to
// another's source id, and such an image folder: only "no XML name" findings; names return.
TEST_F(ColladaValidation, AnyNamesAndPaths) {
    const std::string punctuation = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
    const std::vector<std::string> names = {punctuation,     "Stone \xF0\x9F\x98\x80\xF0\x9D\x84\x9E",
                                            "a&b",           "a#b",
                                            "a_b",           "X",
                                            "X-positions",   "X-positions-array",
                                            "Rhino_project", "veloraNode",
                                            "tab\there"};
    // A folder name with every punctuation character a POSIX name may hold, and more.
    const std::u16string folder = u" !\"#$%&'()*+,-.:;<=>?@[\\]^_`{|}~\U0001F600\u00e9_Textures";
    imageFile(fs::path(platform::toUtf8(folder)) / "0001.png");
    std::vector<Material> materials;
    for (std::size_t i = 0; i < names.size(); ++i)
        materials.push_back(material(names[i], {quad(float(i), 0, false)}, i < 2 ? folder + u"/0001.png" : u""));
    materials[0].row.typeName = "water";
    materials[0].row.libraryId = punctuation;

    const fs::path file = dir_ / "Names.dae";
    writeFile(file, materials, true, {translation(1, 2, 3)});
    const Rules matched = check(file);
    EXPECT_NE(std::find(matched.begin(), matched.end(), "names beyond XML names"), matched.end());

    // Each name is in its effect's, material's and geometry's name attribute, escaped.
    const std::string document = test::readFile(file);
    const std::map<char, std::string> entities = {{'&', "&amp;"},  {'<', "&lt;"},    {'>', "&gt;"},
                                                  {'"', "&quot;"}, {'\'', "&apos;"}, {'\t', "&#9;"}};
    for (const std::string& name : names) {
        std::string attribute = " name=\"";
        for (const char c : name)
            attribute += entities.contains(c) ? entities.at(c) : std::string(1, c);
        attribute += "\">";
        int found = 0;
        for (std::size_t at = document.find(attribute); at != std::string::npos; at = document.find(attribute, at + 1))
            ++found;
        EXPECT_EQ(found, 3) << name;
    }
    // Names without anything to change keep their ids; the later of two that meet moves.
    for (const char* text : {"<geometry id=\"X\" name=\"X\">", "<geometry id=\"X-positions.1\" name=\"X-positions\">",
                             "<instance_material target=\"#material-X-positions\"", "<geometry id=\"Rhino_project.1\""})
        EXPECT_NE(document.find(text), std::string::npos) << text;
}

// A document with a texture file, an embedded bitmap, a water material and a block
// placement, opened as the active one.
void ColladaValidation::openSite() {
    CRhinoDoc* doc = RhinoApp().NewDocument();
    doc->SetPathName(ON_wString(platform::fromUtf8((dir_ / "Site.3dm").string())));
    ASSERT_TRUE(doc->SetUnitSystem(ON::LengthUnitSystem::Meters, false));
    PluginSettings settings;
    settings.SetExportNodes(true);
    const fs::path map = imageFile("maps/stone.png");
    const int stone = sdktest::addFileTextureMaterial(*doc, u"Stone", platform::fromUtf8(map.string()));
    const int sign = sdktest::addEmbeddedTextureMaterial(*doc, u"Sign", 9);
    ASSERT_GE(sign, 0);
    ON_Material pond;
    pond.SetName(u"Pond water");
    const int pondIndex = doc->m_material_table.AddMaterial(pond);
    for (const int material : {stone, sign}) {
        const ON_3dmObjectAttributes a = sdktest::withMaterial(material);
        doc->AddMeshObject(quadMesh(2 * material), &a);
    }
    CRhinoInstanceDefinitionTable::Geometry parts;
    parts.push_back(std::make_unique<CRhinoMeshObject>(quadMesh(4), sdktest::withMaterial(pondIndex)));
    ON_InstanceDefinition definition;
    definition.SetName(u"Pond");
    const int block = doc->m_instance_definition_table.AddInstanceDefinition(definition, std::move(parts));
    ASSERT_NE(doc->AddInstanceObject(block, ON_Xform::TranslationTransformation(0, 5, 0)), nullptr);
}

// A real export of that document: the same findings only, every link resolved, and the
// importer reads it.
TEST_F(ColladaValidation, ExportedDocument) {
    ASSERT_NO_FATAL_FAILURE(openSite());
    const fs::path exported = dir_ / "Site.dae";
    ASSERT_EQ(exportTo(exported), 0);
    EXPECT_EQ(check(exported), (Rules{kCreated, kModified, "surface has no type", "node block names have blanks"}));

    VANTRO_REQUIRE_TOOL(kImporterPresent, "assimp (libassimp-dev, when the tests are built)");
#if VANTRO_HAVE_ASSIMP
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(exported.string(), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    for (const char* name : {"Material-Stone", "Material-Sign", "Material-Pond_water"})
        EXPECT_NE(meshOfMaterial(*scene, name), nullptr) << name;
    const aiMesh* signMesh = meshOfMaterial(*scene, "Material-Sign");
    ASSERT_NE(signMesh, nullptr);
    const std::string texture = diffuseTexture(*scene, *signMesh);
    EXPECT_TRUE(texture.starts_with("Site_Textures/") && texture.ends_with(".bmp")) << texture;
#endif
}

// The schema-valid form of the documents above, textures, nodes, no materials at all,
// "(1)" suffixes and names of any characters: the strict schema finds nothing, ids stay
// unique and links resolve, the lenient validator accepts the textured effect, and the
// importer reads the textured document back as it reads the renderer's form.
TEST_F(ColladaValidation, SchemaValidForm) {
    const std::vector<Material> textured = texturedAndWater();
    imageFile("Doc_Textures/001a.png");
    std::vector<Material> plain = texturedAndWater();
    plain[0].row.textured = false;
    plain[0].imagePath.clear();
    std::vector<Material> named;
    const std::u16string folder = u"\u00e9 #[x]_Textures";
    imageFile(fs::path(platform::toUtf8(folder)) / "0001.png");
    for (const std::string name : {"!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~", "Stone \xF0\x9F\x98\x80\xC3\x97\xE2\x82\xAC",
                                   "a&b", "a#b", "a_b", "1st", "X", "X-positions", "Rhino_project", "veloraNode"})
        named.push_back(
            material(name, {quad(float(named.size()), 0, false)}, named.empty() ? folder + u"/0001.png" : u""));
    const std::vector<std::pair<std::string, std::vector<Material>>> documents = {
        {"Doc.dae", textured},
        {"Plain.dae", plain},
        {"Nothing.dae", {}},
        {"Wood.dae", {material("Material-Wood(1)", {quad(0, 0, false)})}},
        {"Names.dae", named}};
    for (const auto& [name, materials] : documents) {
        SCOPED_TRACE(name);
        // Nodes everywhere but in the plain and empty documents, which then have no
        // effect, material or geometry library to write at all.
        const bool nodes = name != "Plain.dae" && name != "Nothing.dae";
        writeFile(dir_ / name, materials, nodes, {translation(1, 2, 3)}, DocumentForm::schemaValid);
        expectSchemaValid(dir_ / name);
    }

    VANTRO_REQUIRE_TOOL(kImporterPresent, "assimp (libassimp-dev, when the tests are built)");
#if VANTRO_HAVE_ASSIMP
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile((dir_ / "Doc.dae").string(), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    const aiMesh* brick = meshOfMaterial(*scene, "Material-Brick");
    ASSERT_NE(brick, nullptr);
    EXPECT_EQ(brick->mNumFaces, 6u);
    EXPECT_EQ(diffuseTexture(*scene, *brick), "Doc_Textures/001a.png");
    const aiMesh* water = meshOfMaterial(*scene, "Material-Water");
    ASSERT_NE(water, nullptr);
    EXPECT_EQ(water->mNumFaces, 2u);
    EXPECT_NE(meshOfMaterial(*scene, "Velora_Node_Material"), nullptr);
#endif
}

// The triangles file's geometries declare, but the node marker's.
unsigned writtenTriangles(const fs::path& file) {
    const std::string document = test::readFile(file);
    const std::regex triangles("<triangles count=\"([0-9]+)\" material=\"material-([^\"]+)\">");
    unsigned count = 0;
    for (auto it = std::sregex_iterator(document.begin(), document.end(), triangles); it != std::sregex_iterator();
         ++it)
        count += (*it)[2] == "veloraNode" ? 0 : static_cast<unsigned>(std::stoul((*it)[1]));
    return count;
}

#if VANTRO_HAVE_ASSIMP
// The triangles of every mesh but the node marker's, as the importer reads them.
unsigned importedTriangles(const fs::path& file) {
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(file.string(), 0);
    EXPECT_NE(scene, nullptr) << importer.GetErrorString();
    unsigned triangles = 0;
    for (unsigned i = 0; scene != nullptr && i < scene->mNumMeshes; ++i) {
        const std::string material = scene->mMaterials[scene->mMeshes[i]->mMaterialIndex]->GetName().C_Str();
        if (material != "Velora Node Material" && material != "Velora_Node_Material")
            triangles += scene->mMeshes[i]->mNumFaces;
    }
    return triangles;
}
#endif

// The form of a real export comes from the ExportSchemaValid setting, and the exporter's
// own choice wins over it. The schema-valid export validates without a finding and the
// importer reads as many triangles from it as from the renderer's form.
TEST_F(ColladaValidation, ExportedDocumentInTheSchemaValidForm) {
    ASSERT_NO_FATAL_FAILURE(openSite());
    ASSERT_EQ(exportTo(dir_ / "Default.dae"), 0);
    PluginSettings().SetExportSchemaValid(true);
    ASSERT_NO_FATAL_FAILURE(openSite());
    ASSERT_EQ(exportTo(dir_ / "Setting.dae"), 0);
    ASSERT_NO_FATAL_FAILURE(openSite());
    ASSERT_EQ(exportTo(dir_ / "Overridden.dae", false), 0);

    expectSchemaValid(dir_ / "Setting.dae");
    for (const char* renderers : {"Default.dae", "Overridden.dae"}) {
        const Rules rules = check(dir_ / renderers);
        EXPECT_NE(std::find(rules.begin(), rules.end(), "surface has no type"), rules.end()) << renderers;
    }

    // Three open quads (stone, sign and the placed pond), each written from both sides.
    const unsigned triangles = writtenTriangles(dir_ / "Default.dae");
    EXPECT_EQ(triangles, 12u);
    EXPECT_EQ(writtenTriangles(dir_ / "Setting.dae"), triangles);

    VANTRO_REQUIRE_TOOL(kImporterPresent, "assimp (libassimp-dev, when the tests are built)");
#if VANTRO_HAVE_ASSIMP
    EXPECT_EQ(importedTriangles(dir_ / "Default.dae"), triangles);
    EXPECT_EQ(importedTriangles(dir_ / "Setting.dae"), triangles);
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile((dir_ / "Setting.dae").string(), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    const aiMesh* signMesh = meshOfMaterial(*scene, "Material-Sign");
    ASSERT_NE(signMesh, nullptr);
    const std::string texture = diffuseTexture(*scene, *signMesh);
    EXPECT_TRUE(texture.starts_with("Setting_Textures/") && texture.ends_with(".bmp")) << texture;
#endif
}

}  // namespace
}  // namespace vantro::collada
