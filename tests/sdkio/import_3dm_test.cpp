// .3dm files read through the converter (tools/3dm-to-json.mjs), against figures that
// do not depend on it: ../shared/testdata/3dm/SOURCES.md, and rhino3dm's own meshes
// through a separate probe script.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "sdk/io/document_reader.h"
#include "sdk/io/import_3dm.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object.h"
#include "support/child_process.h"
#include "support/test_files.h"

namespace {

using vantro::docio::DocumentLoadResult;

// Figures of one file, from SOURCES.md. `types` counts top-level objects by type
// ("brep 2 dot 8"), grouped the way the document types them.
struct Expected {
    const char* file;
    ON::LengthUnitSystem units;
    const char* types;
    int blockMembers;
    int triangles;  // quads count twice, block members included
    int layers, hiddenLayers, materials, texturedMaterials, definitions, mappings;
    int bitmaps;  // bitmap-table records plus embedded image files
};

constexpr unsigned kPoint = ON::point_object, kCloud = ON::pointset_object, kCurve = ON::curve_object,
                   kBrep = ON::brep_object, kMesh = ON::mesh_object, kLight = ON::light_object,
                   kAnnotation = ON::annotation_object, kReference = ON::instance_reference, kDot = ON::text_dot,
                   kDetail = 0x8000, kHatch = 0x10000, kSubD = ON::subd_object, kClip = 0x20000000,
                   kExtrusion = ON::extrusion_object;
using U = ON::LengthUnitSystem;

std::map<unsigned int, int> typeCounts(const char* text) {
    const std::map<std::string, unsigned> kinds = {
        {"point", kPoint}, {"cloud", kCloud},    {"curve", kCurve},   {"brep", kBrep},    {"mesh", kMesh},
        {"light", kLight}, {"ann", kAnnotation}, {"ref", kReference}, {"dot", kDot},      {"detail", kDetail},
        {"hatch", kHatch}, {"subd", kSubD},      {"clip", kClip},     {"ext", kExtrusion}};
    std::map<unsigned int, int> out;
    std::istringstream in(text);
    std::string kind;
    int count = 0;
    while (in >> kind >> count)
        out[kinds.at(kind)] = count;
    return out;
}

const Expected kFiles[] = {
    {"opennurbs_v3_Speeder.3dm", U::Millimeters, "brep 2 dot 8 curve 15", 0, 11068, 1, 0, 9, 7, 0, 0, 0},
    {"opennurbs_v3_Soccer.3dm", U::Millimeters, "point 28 curve 117 mesh 1202 brep 22 light 2", 0, 96564, 21, 19, 1202,
     0, 0, 0, 0},
    {"opennurbs_v4_example_file.3dm", U::Millimeters,
     "ref 2 hatch 1 curve 7 ann 6 mesh 2 brep 3 point 3 cloud 1 light 2", 3, 17780 + 196, 9, 0, 3, 1, 2, 1, 1},
    {"opennurbs_v4_TreeFrog.3dm", U::Inches, "brep 1", 0, 116070, 1, 0, 1, 0, 0, 0, 0},
    {"opennurbs_v4_DinerMug.3dm", U::Millimeters, "brep 1", 0, 48586, 1, 0, 2, 0, 0, 0, 0},
    {"opennurbs_v5_example_file.3dm", U::Millimeters, "ann 7 detail 1 curve 11 mesh 7 brep 4 ext 3 cloud 1 point 1", 0,
     1188, 8, 0, 0, 0, 0, 0, 0},
    {"opennurbs_v5_extrusions.3dm", U::Millimeters, "curve 10 ext 7", 0, 0, 2, 0, 13, 7, 0, 0, 0},
    {"opennurbs_v5_dril.3dm", U::Millimeters, "mesh 23", 0, 142626, 8, 0, 23, 0, 0, 0, 0},
    {"opennurbs_v6_rhino_subd_logo.3dm", U::Millimeters, "mesh 6 subd 6", 0, 1538, 3, 1, 0, 0, 0, 0, 0},
    {"opennurbs_v7_rhino_logo_subd.3dm", U::Millimeters, "subd 6", 0, 0, 1, 0, 6, 6, 0, 0, 1},
    {"opennurbs_v8_selective_clipping.3dm", U::Millimeters,
     "brep 3 curve 3 mesh 3 ext 3 hatch 3 ann 3 subd 3 cloud 3 point 3 clip 2", 0, 56256 + 36 + 540, 3, 0, 0, 0, 0, 0,
     0},
    {"rhino3dm_file3dm_stuff.3dm", U::Millimeters, "ext 2 curve 3 brep 3 point 8 cloud 1 ref 2", 3, 2, 6, 0, 2, 1, 1, 0,
     1},
    {"rhino3dm_light.3dm", U::Millimeters, "light 1", 0, 0, 6, 0, 0, 0, 0, 0, 0},
    {"import3dm_nested_blocks.3dm", U::Millimeters, "ref 4 ext 1", 3, 0, 1, 0, 0, 0, 2, 0, 0},
    {"import3dm_boxes_in_in.3dm", U::Inches, "ext 2", 0, 24, 6, 0, 0, 0, 0, 0, 0},
    {"import3dm_boxes_in_cm.3dm", U::Centimeters, "ext 2", 0, 24, 6, 0, 0, 0, 0, 0, 0},
    {"devsamples_MockingBirdTest.3dm", U::Millimeters, "brep 2", 0, 18092, 1, 0, 4, 1, 0, 0, 0},
    {"devsamples_hello_mesh.3dm", U::Millimeters, "mesh 6", 0, 27434, 4, 1, 6, 0, 0, 0, 0},
    {"devsamples_decal_r8.3dm", U::Millimeters, "mesh 1", 0, 180, 6, 0, 0, 0, 0, 1, 1},
    {"rhinoinside_rhino_office.3dm", U::Inches, "curve 39 point 7 ext 3 brep 1", 0, 28 + 300, 6, 0, 0, 0, 0, 0, 0},
    {"devsamples_unassignedmaterials.3dm", U::Millimeters, "", 0, 0, 6, 0, 0, 0, 0, 0, 0},
};

std::string dataPath(const char* file) { return std::string(SDKIO_TESTDATA_3DM) + "/" + file; }

int triangles(const ON_Mesh& m) { return m.TriangleCount() + 2 * m.QuadCount(); }

// Each file is converted once per run; the tests share the documents.
struct Loaded {
    std::unique_ptr<CRhinoDoc> doc = std::make_unique<CRhinoDoc>();
    DocumentLoadResult result;
};

class Import3dm : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ::setenv("VANTRO_3DM_CONVERTER", SDKIO_CONVERTER, 1); }
    void SetUp() override {
        if (!std::filesystem::is_directory(SDKIO_TESTDATA_3DM)) {
            GTEST_SKIP() << "needs " << SDKIO_TESTDATA_3DM << " (the shared .3dm test files)";
        }
    }
    static const Loaded& load(const char* file) {
        static std::map<std::string, Loaded> cache;
        auto [it, added] = cache.try_emplace(file);
        if (added)
            it->second.result = vantro::docio::readDocumentFile(dataPath(file), *it->second.doc);
        return it->second;
    }
};

// Every file loads with the figures the data set lists, every reference resolved and
// every surface with something to render.
TEST_F(Import3dm, EveryFileMatchesItsFigures) {
    int meshedByHost = 0, nested = 0;
    for (const Expected& e : kFiles) {
        SCOPED_TRACE(e.file);
        const Loaded& loaded = load(e.file);
        ASSERT_TRUE(loaded.result.ok) << loaded.result.error;
        const CRhinoDoc& doc = *loaded.doc;
        EXPECT_EQ(doc.UnitSystem(), e.units);
        std::map<unsigned int, int> types;
        int members = 0, tris = 0;
        for (const CRhinoObject* o : doc.Objects()) {
            const auto type = static_cast<unsigned int>(o->ObjectType());
            if (o->IsInstanceDefinitionGeometry())
                ++members;
            else
                ++types[type];
            // References, nested ones too, point at definitions of the file.
            if (const auto* ref = CRhinoInstanceObject::Cast(o)) {
                EXPECT_NE(ref->InstanceDefinition(), nullptr);
                nested += o->IsInstanceDefinitionGeometry();
            }
            // Surfaces have render meshes: the file's, or else the host's.
            if (type == kBrep || type == kExtrusion || type == kSubD || type == kMesh) {
                EXPECT_TRUE(CRhinoMeshObject::Cast(o) || !o->RenderMeshes().empty())
                    << ON_UuidToString(o->Attributes().m_uuid).ToUtf8() << " has nothing to render";
                meshedByHost += !o->RenderMeshesCached();
            }
            // Meshes the host made are not the file's.
            if (const auto* meshObject = CRhinoMeshObject::Cast(o)) {
                tris += triangles(*meshObject->Mesh());
            } else if (o->RenderMeshesCached()) {
                for (const auto& m : o->RenderMeshes())
                    tris += triangles(*m);
            }
        }
        EXPECT_EQ(types, typeCounts(e.types));
        EXPECT_EQ(members, e.blockMembers);
        EXPECT_EQ(tris, e.triangles);
        EXPECT_EQ(doc.m_layer_table.LayerCount(), e.layers);
        int hidden = 0;
        for (int i = 0; i < doc.m_layer_table.LayerCount(); ++i)
            hidden += doc.m_layer_table[i].IsVisible() ? 0 : 1;
        EXPECT_EQ(hidden, e.hiddenLayers);
        EXPECT_EQ(doc.m_material_table.MaterialCount(), e.materials);
        int textured = 0;
        for (int i = 0; i < doc.m_material_table.MaterialCount(); ++i) {
            const ON_Material& m = doc.m_material_table[i];
            bool hasFile = false;
            for (const ON_Texture& t : m.m_textures)
                hasFile |= t.m_image_file_reference.FullPath().IsNotEmpty();
            textured += hasFile ? 1 : 0;
        }
        EXPECT_EQ(textured, e.texturedMaterials);
        EXPECT_EQ(doc.m_instance_definition_table.InstanceDefinitionCount(), e.definitions);
        EXPECT_EQ(doc.m_texture_mapping_table.TextureMappingCount(), e.mappings);
        EXPECT_EQ(doc.m_bitmap_table.BitmapCount(), e.bitmaps);
        EXPECT_EQ(doc.GetPathName(), ON_wString::FromUtf8(dataPath(e.file)));
        for (const std::string& w : loaded.result.warnings)
            for (const char* unexpected : {"unknown field", "not meshed", "listed without geometry"})
                EXPECT_EQ(w.find(unexpected), std::string::npos) << w;
    }
    // SOURCES.md: 41 brep, extrusion and SubD objects carry no cached mesh. Kinds never
    // rendered are counted in one warning per file.
    EXPECT_GE(meshedByHost, 30);
    EXPECT_EQ(nested, 2);  // one in the nested blocks' file, one in the v4 example
    const auto& warnings = load("opennurbs_v5_extrusions.3dm").result.warnings;
    EXPECT_NE(std::find(warnings.begin(), warnings.end(),
                        "opennurbs_v5_extrusions.3dm: not rendered (kinds without surfaces): 10 curve"),
              warnings.end());
}

// What rhino3dm reports for a file's first mesh; no id when it has none.
struct Probe {
    std::string id;
    int vertexCount = 0, faceCount = 0, normalCount = 0;
    std::vector<double> vertices;
};

Probe probe(const char* file) {
    const vantro::test::RunResult run = vantro::test::runProgram("/usr/bin/env", {"node", SDKIO_PROBE, dataPath(file)});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    Probe p;
    std::istringstream in(run.output);
    in >> p.id >> p.vertexCount >> p.faceCount >> p.normalCount;
    for (double x; in >> x;)
        p.vertices.push_back(x);
    return p;
}

// The first mesh of every file arrives intact: counts and leading vertices equal
// rhino3dm's own (vertices are single precision in the document).
TEST_F(Import3dm, MeshesArriveIntact) {
    int compared = 0;
    for (const Expected& e : kFiles) {
        SCOPED_TRACE(e.file);
        const Probe p = probe(e.file);
        if (p.id.empty())
            continue;
        const Loaded& loaded = load(e.file);
        ASSERT_TRUE(loaded.result.ok) << loaded.result.error;
        const CRhinoObject* o = loaded.doc->LookupObject(ON_UuidFromString(std::string_view(p.id)));
        ASSERT_NE(o, nullptr);
        const ON_Mesh* mesh = nullptr;
        if (const auto* m = CRhinoMeshObject::Cast(o))
            mesh = m->Mesh();
        else if (!o->RenderMeshes().empty())
            mesh = o->RenderMeshes()[0].get();
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->VertexCount(), p.vertexCount);
        EXPECT_EQ(mesh->FaceCount(), p.faceCount);
        EXPECT_EQ(mesh->m_N.Count(), p.normalCount);
        ASSERT_EQ(p.vertices.size() % 3, 0u);
        for (size_t k = 0; k < p.vertices.size() / 3; ++k) {
            const ON_3fPoint& v = mesh->m_V[static_cast<int>(k)];
            EXPECT_EQ(v.x, static_cast<float>(p.vertices[3 * k]));
            EXPECT_EQ(v.y, static_cast<float>(p.vertices[3 * k + 1]));
            EXPECT_EQ(v.z, static_cast<float>(p.vertices[3 * k + 2]));
        }
        ++compared;
    }
    EXPECT_EQ(compared, 16);  // the files with any mesh
}

// Texture files of other machines are reported missing (the speeder's map1.bmp);
// images that travel in the file are not (the logo's AtoZ.bmp).
TEST_F(Import3dm, WarningsNameMissingTextures) {
    const auto& logo = load("opennurbs_v7_rhino_logo_subd.3dm").result.warnings;
    const auto& speeder = load("opennurbs_v3_Speeder.3dm").result.warnings;
    auto count = [](const std::vector<std::string>& warnings, const char* text) {
        return std::count_if(warnings.begin(), warnings.end(),
                             [&](const std::string& w) { return w.find(text) != std::string::npos; });
    };
    EXPECT_EQ(count(logo, "not found"), 0);
    EXPECT_EQ(count(speeder, "map1.bmp\" not found"), 7);
}

// Failures come back as messages naming the file (whole, or its start where the
// rest is the converter's), and leave the document empty.
TEST_F(Import3dm, FailuresAreReported) {
    auto fails = [](const std::string& path, const std::string& expected, bool whole = true) {
        CRhinoDoc doc;
        const DocumentLoadResult r = vantro::docio::readDocumentFile(path, doc);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(whole ? r.error : r.error.substr(0, expected.size()), expected);
        EXPECT_TRUE(doc.Objects().empty());
        EXPECT_EQ(doc.m_layer_table.LayerCount(), 0);
    };
    fails("/nonexistent/house.3dm", "house.3dm: cannot read: no such file");
    const auto notModel = std::filesystem::temp_directory_path() / "sdkio-not-a-model.3dm";
    std::ofstream(notModel) << "{\"format\": \"vantro-document\"}";
    fails(notModel.string(), "sdkio-not-a-model.3dm: cannot convert: not a readable .3dm file");
    std::filesystem::remove(notModel);
    ::setenv("VANTRO_NODE", "/nonexistent/node", 1);
    fails(dataPath("rhino3dm_light.3dm"), "rhino3dm_light.3dm: cannot convert: ", false);
    ::unsetenv("VANTRO_NODE");
    ::setenv("VANTRO_3DM_CONVERTER", "/nonexistent/3dm-to-json.mjs", 1);
    fails(dataPath("rhino3dm_light.3dm"),
          "rhino3dm_light.3dm: cannot convert: Error: Cannot find module '/nonexistent/3dm-to-json.mjs'");
    ::setenv("VANTRO_3DM_CONVERTER", SDKIO_CONVERTER, 1);
    // A real file cut short.
    const std::string bytes = vantro::test::readFile(dataPath("opennurbs_v5_extrusions.3dm"));
    const auto cut = std::filesystem::temp_directory_path() / "sdkio-cut short.3dm";
    vantro::test::writeFile(cut, bytes.substr(0, bytes.size() - 100));
    fails(cut.string(), "sdkio-cut short.3dm: cannot convert: ", false);
    std::filesystem::remove(cut);
}

}  // namespace
