// The scene model's cases the oracle comparison (scene_sync_process_test.cpp) does not
// reach: export-mode nodes, custom meshes, bad geometry and Clear.

#include "scene/rh_scene.h"

#include <gtest/gtest.h>

#include "materials/material_manager.h"
#include "settings/plugin_settings.h"
#include "scene/tex_coord_context.h"
#include "scene_test_support.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_instance_definition_table.h"

using namespace vantro::test;

namespace {

class SceneTest : public ::testing::Test {
protected:
    SceneTest() { base = addLayer(doc, u"Base", addMaterial(doc, u"Wood", 200, 100, 50)); }
    ~SceneTest() override { scene.Clear(); }

    void load(bool forExport = false, const PluginSettings* settings = nullptr) {
        materials.LoadMaterials(&doc);
        ASSERT_TRUE(scene.Load(&doc, settings, forExport));
        expectConsistent();
    }
    void expectConsistent() const {
        const auto broken = scene.CheckInvariants();
        EXPECT_TRUE(broken.empty()) << broken.front();
    }
    const std::vector<uint64_t>& meshIdsOf(const CRhinoObject* o) {
        return scene.objects.at(o->RuntimeSerialNumber()).meshIds;
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
// point that yields no mesh; the live link records none.
TEST_F(SceneTest, ExportModeRecordsNodes) {
    CRhinoInstanceDefinitionTable::Geometry parts;
    parts.push_back(std::make_unique<CRhinoMeshObject>(boxMesh({0, 0, 0}, {1, 1, 1}), attributesOn(base)));
    parts.push_back(std::make_unique<CRhinoObject>(ON::point_object, attributesOn(base)));
    ON_InstanceDefinition idef;
    idef.SetName(u"WithPoint");
    const int block = doc.m_instance_definition_table.AddInstanceDefinition(idef, std::move(parts));
    doc.AddInstanceObject(block, ON_Xform::TranslationTransformation(1, 2, 3));
    load();
    EXPECT_TRUE(scene.nodes.empty());
    PluginSettings settings;
    settings.exportNodes = 1;
    load(true, &settings);
    EXPECT_TRUE(scene.exportNodes);
    ASSERT_EQ(scene.nodes.size(), 2u);
    const ON_Xform t = ON_Xform::TranslationTransformation(1, 2, 3);
    EXPECT_EQ(scene.nodes[0]->transform, ToRendererMatrix(&t, 1.0f));
    EXPECT_EQ(scene.nodes[1]->objectId, doc.m_instance_definition_table[block].Object(1)->Id());
    EXPECT_LT(scene.nodes[0]->id, scene.nodes[1]->id);
    // A block of nothing meshable: renderable in export mode only.
    CRhinoInstanceDefinitionTable::Geometry curves;
    curves.push_back(std::make_unique<CRhinoObject>(ON::curve_object, attributesOn(base)));
    ON_InstanceDefinition curveDef;
    curveDef.SetName(u"Curves");
    CRhinoObject* bare = doc.AddInstanceObject(
        doc.m_instance_definition_table.AddInstanceDefinition(curveDef, std::move(curves)), ON_Xform());
    ASSERT_NE(bare, nullptr);
    EXPECT_TRUE(scene.IsRenderable(bare));
    scene.Clear();
    EXPECT_FALSE(scene.IsRenderable(bare));
    EXPECT_FALSE(scene.exportNodes);
    EXPECT_TRUE(scene.nodes.empty());
}

// Bad geometry is left out and reported once per object, however often it is re-added.
TEST_F(SceneTest, BadGeometryIsReportedOncePerObject) {
    ON_Mesh broken = boxMesh({0, 0, 0}, {1, 1, 1});
    broken.SetTriangle(6, 0, 1, 99);
    CRhinoObject* object = doc.AddObject(std::make_unique<CRhinoObject>(ON::brep_object, attributesOn(base)));
    ASSERT_NE(object, nullptr);
    // The document refuses invalid meshes through its readers; carried meshes are data.
    const_cast<CRhinoObject*>(object)->SetRenderMeshes(
        {std::make_shared<ON_Mesh>(broken), std::make_shared<ON_Mesh>()});
    RhinoApp().ClearCommandHistoryWindow();
    load();
    ASSERT_EQ(meshIdsOf(object).size(), 1u);
    EXPECT_EQ(scene.meshes.at(meshIdsOf(object)[0])->indexCount, 36u);
    scene.RemoveObject(object->RuntimeSerialNumber());
    const RendererMatrix identity;
    scene.AddObject(object, nullptr, &identity);
    const std::string history = RhinoApp().CommandHistoryWindowText().ToUtf8();
    EXPECT_NE(history.find("1 face with vertex indices out of range left out, 1 empty mesh left out"),
              std::string::npos)
        << history;
    EXPECT_EQ(history.find("Velora Vantro: object"), history.rfind("Velora Vantro: object"));
    expectConsistent();
}

// Clear on a scene that was never loaded returns at once; unitScale survives Clear.
TEST_F(SceneTest, ClearKeepsTheUnitScale) {
    scene.unitScale = 0.001f;
    scene.Clear();
    EXPECT_EQ(scene.unitScale, 0.001f);
    EXPECT_FALSE(scene.running);
    EXPECT_FALSE(scene.Load(nullptr, nullptr, false));
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
    EXPECT_TRUE(scene.HasCustomMeshes(added));
    EXPECT_TRUE(scene.IsRenderable(added));
    ASSERT_TRUE(scene.Load(doc, nullptr, false));
    const auto& ids = scene.objects.at(added->RuntimeSerialNumber()).meshIds;
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(scene.meshes.at(ids[0])->materialId, uint64_t(materials.FindByIndex(red).id));
    EXPECT_EQ(scene.meshes.at(ids[1])->materialId, uint64_t(materials.DefaultMaterial().id));
    EXPECT_EQ(scene.meshes.at(ids[2])->materialId, uint64_t(materials.FindByIndex(blue).id));
    EXPECT_EQ(scene.meshes.at(ids[0])->positions[1], 5.0f);  // placed, document z -> renderer y
    ASSERT_TRUE(scene.objects.count(failed->RuntimeSerialNumber()));
    EXPECT_TRUE(scene.objects.at(failed->RuntimeSerialNumber()).meshIds.empty());
    const RendererMatrix identity;
    EXPECT_FALSE(scene.AddObject(failed, nullptr, &identity));
    EXPECT_TRUE(scene.CheckInvariants().empty());
    scene.Clear();
    RhinoApp().CloseDocument();
    // Without an active view nothing has custom meshes.
    CRhinoDoc detached;
    RHScene other(nullptr, &materials);
    auto lone = std::make_unique<CRhinoObject>(ON::brep_object);
    lone->SetCustomRenderMeshes({box}, ON_Xform());
    EXPECT_FALSE(other.HasCustomMeshes(lone.get()));
}
