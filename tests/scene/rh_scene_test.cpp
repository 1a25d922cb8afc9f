// The scene model and its conversion pieces where the end-to-end comparison with the
// oracle (scene_sync_process_test.cpp) cannot reach.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "materials/material_info.h"
#include "materials/material_manager.h"
#include "scene/geometry_buffer.h"
#include "scene/mesh_conversion.h"
#include "scene/mesh_info.h"
#include "scene/renderer_matrix.h"
#include "scene/rh_scene.h"
#include "scene/tex_coord_context.h"
#include "scene_test_support.h"
#include "settings/plugin_settings.h"
#include "sdk/app/rhino_app.h"
#include "sdk/render/rdk_texture.h"

using namespace vantro::scene;
using namespace vantro::test;

// A singular placement zeroes the normals; m[3][3] = 2 divides every entry (before
// the translation is scaled).
TEST(MeshConversion, SingularPlacementsAndHomogeneousWeights) {
    MeshInfo mi;
    MeshProblems problems;
    ASSERT_TRUE(ConvertMesh(boxMesh({0, 0, 0}, {1, 2, 3}), 1.0f, nullptr, mi, problems));
    const ON_Xform flat = ON_Xform::DiagonalTransformation(1, 1, 0);
    const RendererMatrix f = ToRendererMatrix(&flat, 1.0f);
    EXPECT_FALSE(TransformMeshInfo(&mi, &f));
    EXPECT_EQ(mi.normals, std::vector<float>(24, 0.0f));
    EXPECT_EQ(mi.positions[3 * 7 + 1], 0.0f);  // document z, flattened, is renderer y

    ON_Xform x = ON_Xform::TranslationTransformation(4, 6, 8);
    x.m_xform[3][3] = 2.0;
    const RendererMatrix r = ToRendererMatrix(&x, 0.5f);
    EXPECT_EQ(r.at(0, 0), 0.5f);
    EXPECT_EQ(r.at(3, 0), 4.0f / 2.0f * 0.5f);
    EXPECT_EQ(r.at(3, 1), 8.0f / 2.0f * 0.5f);  // document z becomes renderer y
    EXPECT_EQ(r.at(3, 2), 6.0f / 2.0f * 0.5f);
    EXPECT_EQ(r.at(3, 3), 1.0f);
}

// Counts that do not fit the mapped size, meshes past the end and short arrays write
// nothing at all, in the buffer or beside it; sizes past 32 bits do not wrap.
TEST(GeometryBuffer, RefusesEveryWriteOutsideTheBuffer) {
    EXPECT_EQ(GeometryBufferBytes(1u << 31, 1u << 31), 4ull * ((1ull << 31) + 3 * ((1ull << 32) + 1) + (1ull << 32)));
    MeshInfo mi;  // one quad: 4 vertices, 6 indices
    MeshProblems problems;
    ASSERT_TRUE(ConvertMesh(gridMesh(1, 1, 0), 1.0f, nullptr, mi, problems));
    ASSERT_EQ(mi.vertexCount * 10 + mi.indexCount, 46u);
    const uint64_t bytes = GeometryBufferBytes(4, 6);
    constexpr uint32_t kPattern = 0xDEADBEEF;
    std::vector<uint32_t> words(bytes / 4 + 32, kPattern);  // 16 guard words each side
    std::byte* base = reinterpret_cast<std::byte*>(words.data() + 16);
    const GeometryBufferView small{base, bytes - 4, 4, 6, 1};
    EXPECT_FALSE(WriteGeometryHeader(small));
    EXPECT_FALSE(WriteMeshGeometry(small, mi, false, 0, 0));
    const GeometryBufferView view{base, bytes, 4, 6, 1};
    EXPECT_FALSE(WriteMeshGeometry(view, mi, false, 1, 0));  // vertices past V
    EXPECT_FALSE(WriteMeshGeometry(view, mi, false, 0, 1));  // indices past I
    MeshInfo shortArrays = mi;
    shortArrays.normals.resize(5);
    EXPECT_FALSE(WriteMeshGeometry(view, shortArrays, false, 0, 0));
    EXPECT_EQ(words, std::vector<uint32_t>(bytes / 4 + 32, kPattern));
}

namespace {

class TexCoordTest : public ::testing::Test {
protected:
    TexCoordTest() {
        addLayer(doc, u"Default");
        mesh = gridMesh(1, 2.0, 0.5);  // 4 vertices, own coordinates (i, j)
        textured.texturePath = u"/textures/wood.png";
        textured.textureTransform = {2, 0, 0, 0, 0, 1, 0, 0.25, 0, 0, 1, 0, 0, 0, 0, 1};  // u * 2, v + 0.25
    }
    ON_2fPoint at(const TexCoordContext& ctx, int i) {
        const ON_3fPoint p = i < mesh.VertexCount() ? mesh.m_V[i] : ON_3fPoint();
        const ON_3fVector n(0, 0, 1);
        return ctx.TexCoordAt(i, &p, &n);
    }
    void prepare(TexCoordContext& ctx, const CRhinoObject* object, MaterialInfo& material, int channel) {
        material.textureChannel = uint32_t(channel);
        ctx.SetMaterial(object, &material);
        ctx.PrepareMesh(&mesh);
    }

    CRhinoDoc doc;
    ON_Mesh mesh;
    MaterialInfo textured;
};

}  // namespace

// Channel 0: the mesh's own coordinates, v flipped, the transform ignored. -14 projects
// the document position through the transform; -13 the world box mapping.
TEST_F(TexCoordTest, OwnCoordinatesAndWorldProjections) {
    CRhinoObject* object = addMeshObject(doc, mesh, attributesOn(0));
    TexCoordContext ctx(&doc);
    prepare(ctx, object, textured, 0);
    EXPECT_TRUE(ctx.UsesOwnCoordinates());
    EXPECT_EQ(at(ctx, 3), ON_2fPoint(1.0f, 0.0f));
    EXPECT_EQ(at(ctx, 1), ON_2fPoint(1.0f, 1.0f));
    prepare(ctx, object, textured, TexCoordContext::kWorldProjection);
    EXPECT_EQ(at(ctx, 3), ON_2fPoint(2.0f * 2.0f, float(1.0 - (2.0 + 0.25))));  // vertex (2, 2, 0.5)
    prepare(ctx, object, textured, TexCoordContext::kWorldBoxProjection);
    const ON_2dPoint box = CRhRdkTexture::WcsBoxMapping(ON_3dPoint(2, 0, 0.5), ON_3dVector(0, 0, 1));
    EXPECT_EQ(at(ctx, 1), ON_2fPoint(float(box.x * 2.0), float(1.0 - (box.y + 0.25))));
}

// A mapped channel uses the coordinates the document caches for the object's mapping;
// an object without that channel falls back to the mesh's own, through the transform.
// A material without texture has no mapping and no transform; a vertex beyond the
// coordinates gets (0, 1).
TEST_F(TexCoordTest, MappedChannelsAndUntexturedMaterials) {
    ON_TextureMapping mapping;  // on the object's channel 3
    mapping.SetPlaneMapping(ON_Plane(), ON_Interval(0, 4), ON_Interval(0, 4), ON_Interval(-1, 1));
    ON_3dmObjectAttributes a = attributesOn(0);
    a.m_rendering_attributes.AddMappingChannel(
        RhinoApp().GetDefaultRenderApp(), 3,
        doc.m_texture_mapping_table[doc.m_texture_mapping_table.AddTextureMapping(mapping)].Id());
    CRhinoObject* object = addMeshObject(doc, mesh, a);
    TexCoordContext ctx(&doc);
    prepare(ctx, object, textured, 3);
    ON_SimpleArray<ON_3fPoint> expected;
    ASSERT_TRUE(doc.m_texture_mapping_table[0].GetTextureCoordinates(mesh, expected));
    for (int i = 0; i < 4; ++i) {
        const ON_3dPoint q = ctx.transform * ON_3dPoint(expected[i]);
        EXPECT_EQ(at(ctx, i), ON_2fPoint(float(q.x), float(1.0 - q.y))) << i;
    }
    prepare(ctx, addMeshObject(doc, mesh, attributesOn(0)), textured, 3);
    EXPECT_EQ(at(ctx, 1), ON_2fPoint(2.0f, float(1.0 - 0.25)));  // own (1, 0) through the transform

    MaterialInfo plain;
    prepare(ctx, object, plain, 3);
    EXPECT_EQ(at(ctx, 2), ON_2fPoint(0.0f, 0.0f));  // own (0, 1), identity
    EXPECT_EQ(at(ctx, 99), ON_2fPoint(0.0f, 1.0f));
    ctx.PrepareMesh(nullptr);
    EXPECT_FALSE(ctx.enabled);
}

namespace {

class SceneTest : public ::testing::Test {
protected:
    SceneTest() { base = addLayer(doc, u"Base", addMaterial(doc, u"Wood", 200, 100, 50)); }
    ~SceneTest() override { scene.Clear(); }

    void load(bool forExport = false, const PluginSettings* settings = nullptr) {
        materials.LoadMaterials(&doc);
        ASSERT_TRUE(scene.Load(&doc, settings, forExport));
        EXPECT_EQ(scene.CheckInvariants(), std::vector<std::string>());
    }

    CRhinoDoc doc;
    MaterialManager materials{nullptr};
    RHScene scene{nullptr, &materials};
    int base = -1;
};

}  // namespace

// An object whose layer lies outside the table (never added: the document would
// refuse it) has no material.
TEST_F(SceneTest, LayerOutsideTheTableGivesNoMaterial) {
    auto odd = std::make_unique<CRhinoObject>(ON::mesh_object, attributesOn(base));
    ASSERT_TRUE(odd->SetAttributes(attributesOn(57)));
    EXPECT_EQ(scene.MaterialIndexOf(odd.get(), nullptr), -1);
}

// Export mode records a node for every object reached through an instance, also for a
// point that yields no mesh (the collada tests check the placements); the live link
// records none.
TEST_F(SceneTest, ExportModeRecordsNodes) {
    CRhinoInstanceDefinitionTable::Geometry parts;
    parts.push_back(std::make_unique<CRhinoMeshObject>(boxMesh({0, 0, 0}, {1, 1, 1}), attributesOn(base)));
    parts.push_back(std::make_unique<CRhinoObject>(ON::point_object, attributesOn(base)));
    const int block = addDefinition(doc, u"WithPoint", std::move(parts));
    doc.AddInstanceObject(block, ON_Xform::TranslationTransformation(1, 2, 3));
    load();
    EXPECT_TRUE(scene.nodes.empty());
    PluginSettings settings;
    settings.exportNodes = 1;
    load(true, &settings);
    ASSERT_EQ(scene.nodes.size(), 2u);
    EXPECT_EQ(scene.nodes[1]->objectId, doc.m_instance_definition_table[block].Object(1)->Id());
    EXPECT_LT(scene.nodes[0]->id, scene.nodes[1]->id);
}

// Bad geometry is left out, non-finite numbers never reach the renderer, and every kind
// is counted in one report per object, however often it is re-added.
TEST_F(SceneTest, BadGeometryIsLeftOutAndReportedOncePerObject) {
    ON_Mesh broken = triangleMesh();
    broken.AppendVertex(ON_3dPoint(2, 2, 0));
    broken.m_V.Append(ON_3fPoint(std::numeric_limits<float>::quiet_NaN(), 0, 0));  // vertex 4
    broken.SetTriangle(1, 1, 3, 2);
    broken.SetTriangle(2, 0, 1, 9);  // out of range
    broken.SetQuad(3, 0, -1, 2, 3);  // negative index
    broken.SetTriangle(4, 4, 1, 2);  // on the NaN vertex
    for (int i = 0; i < 5; ++i)
        broken.SetVertexNormal(i, ON_3dVector(0, 0, i == 1 ? NAN : 0));
    ON_Mesh allBad = triangleMesh();
    allBad.SetTriangle(0, 0, 1, 7);
    CRhinoObject* object = doc.AddObject(std::make_unique<CRhinoObject>(ON::brep_object, attributesOn(base)));
    object->SetRenderMeshes(
        {std::make_shared<ON_Mesh>(broken), std::make_shared<ON_Mesh>(), std::make_shared<ON_Mesh>(allBad)});
    RhinoApp().ClearCommandHistoryWindow();
    load();
    const auto& ids = scene.objects.at(object->RuntimeSerialNumber()).meshIds;
    ASSERT_EQ(ids.size(), 1u);
    const MeshInfo& kept = *scene.meshes.at(ids[0]);
    EXPECT_EQ(kept.indexCount, 6u);
    for (const std::vector<float>* numbers : {&kept.positions, &kept.normals})
        for (float v : *numbers)
            EXPECT_TRUE(std::isfinite(v));
    scene.RemoveObject(object->RuntimeSerialNumber());
    const RendererMatrix identity;
    scene.AddObject(object, nullptr, &identity);
    const std::string history = RhinoApp().CommandHistoryWindowText().ToUtf8();
    EXPECT_NE(history.find("3 faces with vertex indices out of range left out, 1 face on non-finite vertices left "
                           "out, 1 vertex with non-finite coordinates sent as 0, 1 non-finite normal sent as zero, "
                           "2 empty meshes left out"),
              std::string::npos)
        << history;
    EXPECT_EQ(history.find("Velora Vantro: object"), history.rfind("Velora Vantro: object"));
    EXPECT_EQ(scene.CheckInvariants(), std::vector<std::string>());
}

// Finite document coordinates that pass the largest float once in metres (a mesh in
// parsecs, 3.1e16 m each) or once placed (a block scaled by 1e20) never reach the renderer as
// infinities: the mesh is left out and the object's report says so; its ordinary
// neighbour stays.
TEST_F(SceneTest, CoordinatesBeyondAFloatInMetresAreLeftOutAndReported) {
    ON_Mesh far = triangleMesh();
    far.m_V[1] = ON_3fPoint(1e30f, 0, 0);  // 3e46 m
    CRhinoObject* huge = addMeshObject(doc, far, attributesOn(base));
    CRhinoObject* plain = addMeshObject(doc, triangleMesh(), attributesOn(base));
    ON_Mesh wide = triangleMesh();
    wide.m_V[2] = ON_3fPoint(0, 1e20f, 0);
    const int block = addBlock(doc, u"Scaled", {{wide, attributesOn(base)}, {triangleMesh(), attributesOn(base)}});
    CRhinoObject* placed = doc.AddInstanceObject(block, ON_Xform::ScaleTransformation(ON_3dPoint(0, 0, 0), 1e20));
    scene.unitScale = static_cast<float>(ON::UnitScale(ON::LengthUnitSystem::Parsecs, ON::LengthUnitSystem::Meters));
    RhinoApp().ClearCommandHistoryWindow();
    load();
    EXPECT_TRUE(scene.objects.at(huge->RuntimeSerialNumber()).meshIds.empty());
    EXPECT_EQ(scene.objects.at(plain->RuntimeSerialNumber()).meshIds.size(), 1u);
    EXPECT_EQ(scene.objects.at(placed->RuntimeSerialNumber()).meshIds.size(), 1u);  // 3e36 m still fits
    for (const auto& [id, mesh] : scene.meshes)
        EXPECT_TRUE(PositionsFinite(*mesh)) << id;
    const std::string history = RhinoApp().CommandHistoryWindowText().ToUtf8();
    // A mesh reached through a block is reported under the block's member.
    for (const CRhinoObject* object :
         {static_cast<const CRhinoObject*>(huge), doc.m_instance_definition_table[block].Object(0)})
        EXPECT_NE(history.find(ON_UuidToString(object->Id()).ToUtf8() +
                               ": 1 mesh with coordinates too large for the renderer left out"),
                  std::string::npos)
            << history;
}

// Custom meshes: taken from the provider with its placement (also at top level), each
// with the material of brep face i; a provider that fails leaves an empty entry. They
// need the application's active view.
TEST(SceneCustomMeshes, ComeFromTheProviderWithFaceMaterials) {
    CRhinoDoc* doc = RhinoApp().NewDocument();
    ASSERT_NE(doc, nullptr);
    const int red = addMaterial(*doc, u"Red", 255, 0, 0);
    const int blue = addMaterial(*doc, u"Blue", 0, 0, 255);
    auto object = std::make_unique<CRhinoObject>(ON::brep_object, attributesOn(0));
    const auto box = std::make_shared<ON_Mesh>(boxMesh({0, 0, 0}, {1, 1, 1}));
    object->SetCustomRenderMeshes({box, box, box}, ON_Xform::TranslationTransformation(0, 0, 5));
    object->SetComponentMaterialIndex(ON_COMPONENT_INDEX(ON_COMPONENT_INDEX::brep_face, 0), red);
    object->SetComponentMaterialIndex(ON_COMPONENT_INDEX(ON_COMPONENT_INDEX::brep_face, 2), blue);
    CRhinoObject* added = doc->AddObject(std::move(object));
    auto failing = std::make_unique<CRhinoObject>(ON::brep_object, attributesOn(0));
    failing->SetCustomRenderMeshes({box}, ON_Xform(), false);
    CRhinoObject* failed = doc->AddObject(std::move(failing));

    MaterialManager materials(nullptr);
    materials.LoadMaterials(doc);
    RHScene scene(nullptr, &materials);
    EXPECT_TRUE(scene.IsRenderable(added));
    ASSERT_TRUE(scene.Load(doc, nullptr, false));
    const auto& ids = scene.objects.at(added->RuntimeSerialNumber()).meshIds;
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(scene.meshes.at(ids[0])->materialId, uint64_t(materials.FindByIndex(red).id));
    EXPECT_EQ(scene.meshes.at(ids[1])->materialId, uint64_t(materials.DefaultMaterial().id));
    EXPECT_EQ(scene.meshes.at(ids[2])->materialId, uint64_t(materials.FindByIndex(blue).id));
    EXPECT_EQ(scene.meshes.at(ids[0])->positions[1], 5.0f);  // placed, document z -> renderer y
    EXPECT_TRUE(scene.objects.at(failed->RuntimeSerialNumber()).meshIds.empty());
    const RendererMatrix identity;
    EXPECT_FALSE(scene.AddObject(failed, nullptr, &identity));
    EXPECT_TRUE(scene.CheckInvariants().empty());
    scene.Clear();
    RhinoApp().CloseDocument();
    // Without an active view nothing has custom meshes.
    auto lone = std::make_unique<CRhinoObject>(ON::brep_object);
    lone->SetCustomRenderMeshes({box}, ON_Xform());
    EXPECT_FALSE(scene.HasCustomMeshes(lone.get()));
}
