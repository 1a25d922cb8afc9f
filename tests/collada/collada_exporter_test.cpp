// The whole export on documents built in code: units, merging, nodes, the dialog, status
// texts, precision, embedded bitmaps, and what happens to the file when something fails.

#include "collada/collada_exporter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "collada/embedded_bitmap_file.h"
#include "sdk/app/save_file_dialog.h"
#include "materials/material_info.h"
#include "materials/material_manager.h"
#include "materials/texture_paths.h"
#include "platform/registry.h"
#include "platform/utf.h"
#include "scene/mesh_info.h"
#include "sdk/rhino_sdk.h"
#include "sdk/sdk_test_support.h"
#include "support/test_environment.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using vantro::collada::ExportEmbeddedBitmap;
using vantro::platform::fromUtf8;
using vantro::sdk::SaveFileRequest;
using vantro::sdk::SetSaveFileHandler;
using vantro::test::readFile;

// A closed box from lo to hi: 8 vertices, 6 quads facing out, vertex normals.
ON_Mesh boxMesh(const ON_3dPoint& lo, const ON_3dPoint& hi) {
    ON_Mesh mesh;
    for (int i = 0; i < 8; ++i)
        mesh.AppendVertex(ON_3dPoint(i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z));
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (int f = 0; f < 6; ++f)
        mesh.SetQuad(f, quads[f][0], quads[f][1], quads[f][2], quads[f][3]);
    for (int i = 0; i < 8; ++i)
        mesh.SetVertexNormal(i, ON_3dVector(i & 1 ? 1 : -1, i & 2 ? 1 : -1, i & 4 ? 1 : -1));
    return mesh;
}

// One open quad (two triangles) without normals, with texture coordinates.
ON_Mesh openQuad(double size) {
    ON_Mesh mesh;
    for (const auto& [u, v] : {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 1}}) {
        mesh.SetTextureCoord(mesh.VertexCount(), u, v);
        mesh.AppendVertex(ON_3dPoint(u * size, v * size, 0));
    }
    mesh.SetQuad(0, 0, 1, 2, 3);
    return mesh;
}

// The text between an element's opening tag (found by unique text in it) and the closing
// tag, CR LF removed.
std::string elementText(const std::string& document, const std::string& opening, const std::string& closing) {
    const std::size_t start = document.find(opening);
    if (start == std::string::npos)
        return "<missing>";
    const std::size_t from = document.find('>', start) + 1;
    std::string text = document.substr(from, document.find(closing, from) - from);
    std::erase(text, '\r');
    std::erase(text, '\n');
    return text;
}

std::vector<double> numbers(const std::string& text) {
    std::istringstream in(text);
    std::vector<double> values;
    for (double v = 0; in >> v;)
        values.push_back(v);
    return values;
}

class ColladaExporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = environment_.root();
        doc_ = RhinoApp().NewDocument();
        doc_->SetPathName(ON_wString(fromUtf8((root_ / "House.3dm").string())));
        setExportNodes(false);
        SetSaveFileHandler([this](const SaveFileRequest& request) -> std::optional<std::u16string> {
            requests_.push_back(request);
            return answer_;
        });
    }
    void TearDown() override {
        SetSaveFileHandler(nullptr);
        RhinoApp().CloseDocument();
    }

    void setExportNodes(bool on) {
        PluginSettings settings;
        settings.SetExportNodes(on);
    }
    CRhinoObject* addMesh(const ON_Mesh& mesh, int materialIndex) {
        const ON_3dmObjectAttributes attributes = vantro::sdktest::withMaterial(materialIndex);
        return doc_->AddMeshObject(mesh, &attributes);
    }
    int addMaterial(const char16_t* name, ON_Color diffuse) {
        ON_Material material;
        material.SetName(name);
        material.SetDiffuse(diffuse);
        return doc_->m_material_table.AddMaterial(material);
    }
    void addBlock(const ON_Mesh& mesh, int material, const ON_Xform& placement) {
        CRhinoInstanceDefinitionTable::Geometry parts;
        parts.push_back(std::make_unique<CRhinoMeshObject>(mesh, vantro::sdktest::withMaterial(material)));
        ON_InstanceDefinition definition;
        definition.SetName(u"Crate");
        const int index = doc_->m_instance_definition_table.AddInstanceDefinition(definition, std::move(parts));
        ASSERT_NE(doc_->AddInstanceObject(index, placement), nullptr);
    }
    // Runs an export the dialog answers with fileName under the test directory.
    int exportAs(const std::string& fileName, ColladaExporter* exporter = nullptr) {
        answer_ = fromUtf8((root_ / fileName).string());
        ColladaExporter own;
        return (exporter ? *exporter : own).Export();
    }

    vantro::test::TestEnvironment environment_;
    fs::path root_;
    CRhinoDoc* doc_ = nullptr;
    std::optional<std::u16string> answer_;
    std::vector<SaveFileRequest> requests_;
};

// An open mesh is written twice: the copy has negated normals (zero normals become
// "-0.000") and reversed triangles; the document's materials appear in id order.
TEST_F(ColladaExporterTest, OpenMeshIsTwoSided) {
    ASSERT_TRUE(doc_->SetUnitSystem(ON::LengthUnitSystem::Meters, false));
    const int glass = addMaterial(u"Pane", ON_Color(0, 0, 255));
    const int water = addMaterial(u"Water", ON_Color(0, 64, 255));
    addMesh(openQuad(2), glass);
    addMesh(openQuad(1), water);
    ASSERT_EQ(exportAs("Open.dae"), 0);

    const std::string document = readFile(root_ / "Open.dae");
    EXPECT_EQ(elementText(document, "id=\"Material-Pane-normals-array\"", "</float_array>"),
              "0.000 0.000 0.000 0.000 0.000 0.000 0.000 0.000 0.000 0.000 0.000 0.000 "
              "-0.000 -0.000 -0.000 -0.000 -0.000 -0.000 -0.000 -0.000 -0.000 -0.000 -0.000 -0.000 ");
    const std::size_t triangles = document.find("<triangles count=\"4\" material=\"material-Material-Pane\"");
    ASSERT_NE(triangles, std::string::npos);
    const std::vector<double> indices = numbers(elementText(document.substr(triangles), "<p>", "</p>"));
    ASSERT_EQ(indices.size(), 12u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(indices[6 + i], indices[5 - i] + 4) << i;  // reversed, offset
    EXPECT_EQ(document.find("<texture "), std::string::npos);
    EXPECT_LT(document.find("<effect id=\"effect-Material-Pane\""),
              document.find("<effect id=\"effect-Material-Water\""));
    EXPECT_LT(document.find("<geometry id=\"Material-Pane\""), document.find("<geometry id=\"Material-Water\""));
}

// The dialog: its texts, the proposal from the document's path, ".dae" appended to a
// name without any dot; cancelling returns -1 and leaves no file and no folder.
TEST_F(ColladaExporterTest, SaveDialog) {
    addMaterial(u"Brick", ON_Color(1, 2, 3));
    addMesh(boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1)), 0);
    ASSERT_EQ(exportAs("Plain"), 0);
    EXPECT_TRUE(fs::is_regular_file(root_ / "Plain.dae"));
    ASSERT_EQ(requests_.size(), 1u);
    const SaveFileRequest& request = requests_[0];
    EXPECT_EQ(request.title, u"Export collada file");
    EXPECT_EQ(request.filters, (std::vector<std::pair<std::u16string, std::u16string>>{{u"Collada files", u"*.dae"},
                                                                                       {u"All files", u"*.*"}}));
    EXPECT_EQ(request.initialFile, fromUtf8((root_ / "House.dae").string()));
    EXPECT_EQ(request.bufferSize, 260u);
    EXPECT_TRUE(request.overwritePrompt);

    answer_.reset();
    ColladaExporter exporter;
    EXPECT_EQ(exporter.Export(), -1);
    EXPECT_FALSE(fs::exists(root_ / "House.dae"));
    EXPECT_FALSE(fs::exists(root_ / "Plain_Textures"));

    // An unsaved document proposes nothing.
    doc_->SetPathName(ON_wString());
    EXPECT_EQ(exporter.SaveDialog(), u"");
    EXPECT_EQ(requests_.back().initialFile, u"");
}

class FailingImages : public ColladaExporter {
protected:
    std::u16string ExportImage(MaterialInfo&) override { throw std::runtime_error("injected"); }
};

class FailingSerialisation : public ColladaExporter {
public:
    void SerializeGeometry(GeometryInfo&, vantro::collada::ScratchMemory) override { throw std::bad_alloc(); }
};

// An exception while writing (the image step) deletes the partly written file; one while
// a geometry is formatted (its text is made while the geometries are written) deletes
// the file being replaced; both give -1.
TEST_F(ColladaExporterTest, ExceptionsDeleteTheFile) {
    const int brick = addMaterial(u"Brick", ON_Color(1, 2, 3));
    addMesh(boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1)), brick);

    FailingImages failingImages;
    EXPECT_EQ(exportAs("Broken.dae", &failingImages), -1);
    EXPECT_FALSE(fs::exists(root_ / "Broken.dae"));

    std::ofstream(root_ / "Old.dae") << "previous export";
    FailingSerialisation failingSerialisation;
    EXPECT_EQ(exportAs("Old.dae", &failingSerialisation), -1);
    EXPECT_FALSE(fs::exists(root_ / "Old.dae"));

    // The exporter is clean again: the next export on it runs.
    ColladaExporter healthy;
    EXPECT_EQ(exportAs("Again.dae", &healthy), 0);
    EXPECT_TRUE(fs::is_regular_file(root_ / "Again.dae"));
}

// Fails to format one material's geometry, and only that one.
class FailingLateGeometry : public ColladaExporter {
public:
    void SerializeGeometry(GeometryInfo& info, vantro::collada::ScratchMemory memory) override {
        if (info.text.id == "Material-Late")
            throw std::bad_alloc();
        ColladaExporter::SerializeGeometry(info, memory);
    }
};

// A geometry whose formatting fails in a later batch (formatted while an earlier one is
// written) still ends the export: -1, and the partly written file is deleted.
TEST_F(ColladaExporterTest, LateFormattingFailureDeletesTheFile) {
    addMesh(boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1)), addMaterial(u"Early", ON_Color(1, 2, 3)));
    addMesh(boxMesh(ON_3dPoint(2, 0, 0), ON_3dPoint(3, 1, 1)), addMaterial(u"Late", ON_Color(3, 2, 1)));
    FailingLateGeometry exporter;
    exporter.SetBatchNumbers(1);  // one geometry a batch
    EXPECT_EQ(exportAs("Late.dae", &exporter), -1);
    EXPECT_FALSE(fs::exists(root_ / "Late.dae"));
    EXPECT_FALSE(exporter.LastSummary().written);
}

// The effect of each material carries that material's own values: diffuse with the
// opacity as alpha, specular, shine and opacity, each in its own place.
TEST_F(ColladaExporterTest, MaterialsReachTheirEffects) {
    ON_Material lacquer;
    lacquer.SetName(u"Lacquer");
    lacquer.SetDiffuse(ON_Color(10, 20, 30));
    lacquer.SetSpecular(ON_Color(200, 100, 50));
    lacquer.SetShine(0.25 * ON_Material::MaxShine);
    lacquer.SetTransparency(0.4);
    ON_Material matte;
    matte.SetName(u"Matte");
    matte.SetDiffuse(ON_Color(255, 255, 255));
    matte.SetSpecular(ON_Color(0, 64, 128));
    matte.SetShine(0.75 * ON_Material::MaxShine);
    addMesh(boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1)), doc_->m_material_table.AddMaterial(lacquer));
    addMesh(boxMesh(ON_3dPoint(2, 0, 0), ON_3dPoint(3, 1, 1)), doc_->m_material_table.AddMaterial(matte));
    ASSERT_EQ(exportAs("Effects.dae"), 0);

    const std::string document = readFile(root_ / "Effects.dae");
    struct Expected {
        std::string name, diffuse, specular, shininess, transparent;
    };
    for (const Expected& e : {Expected{"Material-Lacquer", "0.039 0.078 0.117 0.600", "0.781 0.391 0.195 1.000",
                                       "0.250", "0.600 0.600 0.600 0.600"},
                              Expected{"Material-Matte", "0.996 0.996 0.996 1.000", "0.000 0.250 0.500 1.000", "0.750",
                                       "1.000 1.000 1.000 1.000"}}) {
        const std::string effect =
            elementText(document, "<effect id=\"effect-" + e.name + "\" name=\"" + e.name + "\">", "</effect>");
        EXPECT_EQ(elementText(effect, "<diffuse>", "</diffuse>"), "<color>" + e.diffuse + "</color>") << e.name;
        EXPECT_EQ(elementText(effect, "<specular>", "</specular>"), "<color>" + e.specular + "</color>") << e.name;
        EXPECT_EQ(elementText(effect, "<shininess>", "</shininess>"), "<float>" + e.shininess + "</float>") << e.name;
        EXPECT_EQ(elementText(effect, "<transparent opaque=\"RGB_ZERO\">", "</transparent>"),
                  "<color>" + e.transparent + "</color>")
            << e.name;
    }
}

// A block rotated a quarter turn about z, scaled twice and moved, in millimetres: the
// node's matrix is that placement in metres (column vectors, row by row).
TEST_F(ColladaExporterTest, RotatedScaledPlacementReachesTheNode) {
    setExportNodes(true);
    const ON_Xform placement = ON_Xform::TranslationTransformation(1000, 2000, 3000) *
                               ON_Xform::RotationTransformation(M_PI / 2, ON_3dVector(0, 0, 1), ON_3dPoint(0, 0, 0)) *
                               ON_Xform::ScaleTransformation(ON_3dPoint(0, 0, 0), 2);
    addBlock(boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(100, 200, 300)), addMaterial(u"Brick", ON_Color(200, 0, 0)),
             placement);
    ASSERT_EQ(exportAs("Placed.dae"), 0);

    const std::string document = readFile(root_ / "Placed.dae");
    const std::regex node("<matrix>([^<]*)</matrix>");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(document, match, node));
    const std::vector<double> matrix = numbers(match[1]);
    const std::vector<double> expected = {0, -2, 0, 1, 2, 0, 0, 2, 0, 0, 2, 3, 0, 0, 0, 1};
    ASSERT_EQ(matrix.size(), 16u);
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_NEAR(matrix[i], expected[i], 1e-6) << i;
}

// An exporter that notes the status pane whenever one of its stages does its work.
class StatusWatcher : public ColladaExporter {
public:
    void MergeGeometry(GeometryInfo& info, vantro::collada::ScratchMemory memory) override {
        note();
        ColladaExporter::MergeGeometry(info, memory);
    }
    void SerializeGeometry(GeometryInfo& info, vantro::collada::ScratchMemory memory) override {
        note();
        ColladaExporter::SerializeGeometry(info, memory);
    }
    void CreateNode(const NodeInfo& node) override {
        note();
        ColladaExporter::CreateNode(node);
    }
    std::vector<std::u16string> seen;

protected:
    std::u16string ExportImage(MaterialInfo& material) override {
        note();
        return ColladaExporter::ExportImage(material);
    }

private:
    void note() {
        const std::lock_guard<std::mutex> lock(lock_);
        std::u16string text = RhinoApp().StatusBarMessagePane().str();
        if (seen.empty() || seen.back() != text)
            seen.push_back(std::move(text));
    }
    std::mutex lock_;
};

// Each stage shows its text while it works, in order (the geometries are merged and
// formatted while they are written); the closing text says how many triangles the
// precision collapses, and nothing when none do.
TEST_F(ColladaExporterTest, StageTextsAndTheClosingReport) {
    setExportNodes(true);
    const int brick = addMaterial(u"Brick", ON_Color(1, 2, 3));
    addMesh(boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(1000, 1000, 1000)), brick);
    addMesh(boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(0.4, 0.4, 0.4)), brick);  // 12 triangles below a millimetre
    addBlock(boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1)), brick, ON_Xform::TranslationTransformation(5000, 0, 0));
    StatusWatcher watcher;
    ASSERT_EQ(exportAs("Stages.dae", &watcher), 0);
    EXPECT_EQ(watcher.seen, (std::vector<std::u16string>{u"Velora Collada exporter: create nodes\u2026",
                                                         u"Velora Collada exporter: processing images\u2026",
                                                         u"Velora Collada exporter: processing geometries\u2026"}));
    EXPECT_EQ(RhinoApp().StatusBarMessagePane().str(),
              u"Velora Collada exporter: export complete; 12 of 36 triangles collapse at 1 mm.");
    watcher.SetPrecision(4);  // 0.1 mm: nothing collapses, the usual closing text
    ASSERT_EQ(exportAs("Stages.dae", &watcher), 0);
    EXPECT_EQ(RhinoApp().StatusBarMessagePane().str(), u"Velora Collada exporter: export complete.");
}

// The ExportPrecision setting chooses the decimals of every number list; a precision
// given to the exporter wins; an unusable stored value falls back to 3.
TEST_F(ColladaExporterTest, PrecisionSetting) {
    addMesh(openQuad(1234.5678), addMaterial(u"Brick", ON_Color(1, 2, 3)));
    PluginSettings settings;
    settings.SetExportPrecision(6);
    ASSERT_EQ(exportAs("Six.dae"), 0);
    const std::string six = readFile(root_ / "Six.dae");
    EXPECT_NE(six.find("1.234568 1.234568 0.000000 "), std::string::npos);
    EXPECT_NE(six.find("<float_array id=\"Material-Brick-uv-array\" count=\"16\">\r\n0.000000 "), std::string::npos);
    EXPECT_NE(six.find("<color>0.004 0.008 0.012 1.000</color>"), std::string::npos);  // colours keep 3
    ColladaExporter two;
    two.SetPrecision(2);
    ASSERT_EQ(exportAs("Two.dae", &two), 0);
    EXPECT_NE(readFile(root_ / "Two.dae").find("1.23 1.23 0.00 "), std::string::npos);
    two.SetPrecision(9);
    EXPECT_EQ(exportAs("Nine.dae", &two), -1);
    EXPECT_FALSE(fs::exists(root_ / "Nine.dae"));

    vantro::platform::RegistryKey key;
    ASSERT_EQ(vantro::platform::RegistryKey::create(vantro::platform::RegHive::currentUser, kSettingsKeyPath, key), 0);
    ASSERT_EQ(key.setDword(u"ExportPrecision", 77), 0);
    ASSERT_EQ(exportAs("Default.dae"), 0);
    EXPECT_NE(readFile(root_ / "Default.dae").find("1.235 1.235 0.000 "), std::string::npos);
}

// A document whose only material is the default one: one effect, one material and one
// geometry, all named after the default material's display name.
TEST_F(ColladaExporterTest, DefaultMaterialOnly) {
    addMesh(boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1)), -1);
    ASSERT_EQ(exportAs("Default.dae"), 0);
    const std::string document = readFile(root_ / "Default.dae");
    const std::regex ids("<(effect|material|geometry) id=\"([^\"]+)\"");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(document.begin(), document.end(), ids); it != std::sregex_iterator(); ++it)
        found.push_back((*it)[0]);
    EXPECT_EQ(found, (std::vector<std::string>{"<effect id=\"effect-Material-Default\"",
                                               "<material id=\"material-Material-Default\"",
                                               "<geometry id=\"Material-Default\""}));
}

// The geometry stream's batches change nothing in the file: the same document exported
// with every geometry a batch of its own, with a few per batch and all in one gives the
// same bytes (apart from <created>), each geometry holding its own material's meshes in
// material order, and the same triangle and collapse counts.
TEST_F(ColladaExporterTest, BatchesKeepTheDocument) {
    ASSERT_TRUE(doc_->SetUnitSystem(ON::LengthUnitSystem::Meters, false));
    constexpr int kMaterials = 7;
    for (int m = 0; m < kMaterials; ++m) {
        const int material = addMaterial(fromUtf8("M" + std::to_string(m)).c_str(), ON_Color(m, 0, 0));
        // Material m: m + 1 boxes at x = 10 m, so that the geometries differ in size.
        for (int k = 0; k <= m; ++k)
            addMesh(boxMesh(ON_3dPoint(10 * m, k, 0), ON_3dPoint(10 * m + 1, k + 1, 1)), material);
    }
    // Below a millimetre: collapses at the default precision.
    addMesh(boxMesh(ON_3dPoint(0, 0, 5), ON_3dPoint(0.0004, 0.0004, 5.0004)), addMaterial(u"Tiny", ON_Color(1, 1, 1)));

    auto exported = [&](std::size_t batchNumbers, std::string name, vantro::collada::ExportSummary& summary) {
        ColladaExporter exporter;
        exporter.SetBatchNumbers(batchNumbers);
        EXPECT_EQ(exportAs(name, &exporter), 0);
        summary = exporter.LastSummary();
        std::string document = readFile(root_ / name);
        const std::size_t created = document.find("<created>");
        document.erase(created, document.find("</created>") - created);
        return document;
    };
    vantro::collada::ExportSummary whole, single, few;
    const std::string reference = exported(ColladaExporter::kBatchNumbers, "Whole.dae", whole);
    EXPECT_EQ(exported(1, "Single.dae", single), reference);
    EXPECT_EQ(exported(700, "Few.dae", few), reference);  // three materials in the first batch, then one each
    EXPECT_EQ(whole.triangles, 12u * (kMaterials * (kMaterials + 1) / 2 + 1));
    EXPECT_EQ(whole.collapsedTriangles, 12u);
    for (const auto* summary : {&single, &few}) {
        EXPECT_EQ(summary->triangles, whole.triangles);
        EXPECT_EQ(summary->collapsedTriangles, whole.collapsedTriangles);
    }

    std::size_t at = 0;
    for (int m = 0; m < kMaterials; ++m) {
        const std::string id = "Material-M" + std::to_string(m);
        const std::size_t geometry = reference.find("<geometry id=\"" + id + "\"");
        ASSERT_NE(geometry, std::string::npos) << id;
        EXPECT_GT(geometry, at) << id;
        at = geometry;
        const std::vector<double> positions =
            numbers(elementText(reference.substr(geometry), "-positions-array\"", "</float_array>"));
        ASSERT_EQ(positions.size(), 24u * (m + 1)) << id;
        for (std::size_t p = 0; p < positions.size(); p += 3)
            EXPECT_NEAR(positions[p], 10 * m + (positions[p] > 10 * m + 0.5 ? 1 : 0), 1e-9) << id;
    }
}

// An embedded bitmap lands whole in the texture folder under the material's id; a shorter
// one replaces it entirely. No image, or a file where the folder goes: no path, no change.
TEST_F(ColladaExporterTest, EmbeddedBitmapFiles) {
    MaterialManager manager(nullptr);
    manager.SetTextureFolder(fromUtf8((root_ / "My Doc.dae").string()));
    MaterialInfo noImage;
    noImage.texturePath = u"/somewhere/brick.png";
    EXPECT_EQ(ExportEmbeddedBitmap(manager, noImage), u"");
    EXPECT_FALSE(fs::exists(root_ / "My Doc_Textures"));

    MaterialInfo info;
    info.textureImage = {'B', 'M', 1, 2, 3, 0, 255};
    const std::u16string relative = ExportEmbeddedBitmap(manager, info);
    EXPECT_EQ(relative, u"My Doc_Textures/" + vantro::materials::TextureCopyName(info.id, u"bmp"));
    const fs::path file = root_ / vantro::platform::toUtf8(relative);
    EXPECT_EQ(readFile(file), std::string("BM\x01\x02\x03\x00\xff", 7));
    info.textureImage = {'B', 'M'};
    EXPECT_EQ(ExportEmbeddedBitmap(manager, info), relative);
    EXPECT_EQ(readFile(file), "BM");

    fs::remove_all(root_ / "My Doc_Textures");
    std::ofstream(root_ / "My Doc_Textures") << "not a folder";
    EXPECT_EQ(ExportEmbeddedBitmap(manager, info), u"");
    EXPECT_EQ(readFile(root_ / "My Doc_Textures"), "not a folder");
}

}  // namespace
