// Document objects: serial numbers and lookups, material resolution, meshability and
// the render meshes objects give (own, built on request, custom).

#include <gtest/gtest.h>

#include <set>

#include "sdk_test_support.h"

using namespace vantro::sdktest;

namespace {

class ObjectTest : public ::testing::Test {
protected:
    void SetUp() override { doc = RhinoApp().NewDocument(); }
    void TearDown() override { RhinoApp().CloseDocument(); }
    CRhinoDoc* doc = nullptr;
};

std::shared_ptr<const ON_Mesh> shared(const ON_Mesh& m) { return std::make_shared<ON_Mesh>(m); }

}  // namespace

// Serial numbers are unique and never reused; lookups need the right document and
// stop working once an object is purged or its document closed.
TEST_F(ObjectTest, SerialNumbersAndLookups) {
    std::set<unsigned int> serials;
    std::vector<CRhinoObject*> objects;
    for (int i = 0; i < 20; ++i) {
        objects.push_back(doc->AddMeshObject(triangleMesh()));
        EXPECT_TRUE(serials.insert(objects.back()->RuntimeSerialNumber()).second);
    }
    const unsigned int d = doc->RuntimeSerialNumber();
    const unsigned int first = objects[0]->RuntimeSerialNumber();
    EXPECT_EQ(CRhinoObject::FromRuntimeSerialNumber(d, first), objects[0]);
    EXPECT_EQ(CRhinoObject::FromRuntimeSerialNumber(d + 1000, first), nullptr);
    EXPECT_EQ(CRhinoObject::FromRuntimeSerialNumber(d, 0), nullptr);

    doc->DeleteObject(objects[0]);
    EXPECT_EQ(CRhinoObject::FromRuntimeSerialNumber(d, first), objects[0]);  // deleted, still there
    CRhinoObject* purge = objects[0];
    doc->PurgeObject(purge);
    EXPECT_EQ(CRhinoObject::FromRuntimeSerialNumber(d, first), nullptr);

    CRhinoObject* fresh = doc->AddMeshObject(triangleMesh());
    EXPECT_GT(fresh->RuntimeSerialNumber(), *serials.rbegin());
    const unsigned int last = fresh->RuntimeSerialNumber();
    RhinoApp().CloseDocument();
    EXPECT_EQ(CRhinoDoc::FromRuntimeSerialNumber(d), nullptr);
    EXPECT_EQ(CRhinoObject::FromRuntimeSerialNumber(d, last), nullptr);
}

// A new object with an id already in use, or no id, gets a new one.
TEST_F(ObjectTest, DuplicateIdsAreReplaced) {
    ON_3dmObjectAttributes a = onLayer(0);
    a.m_uuid = ON_CreateUuid();
    CRhinoObject* first = doc->AddMeshObject(triangleMesh(), &a);
    CRhinoObject* second = doc->AddMeshObject(triangleMesh(), &a);
    EXPECT_EQ(first->Id(), a.m_uuid);
    EXPECT_NE(second->Id(), a.m_uuid);
    EXPECT_FALSE(ON_UuidIsNil(doc->AddMeshObject(triangleMesh())->Id()));
}

// The material comes from the object, the layer, or (for a document object) the layer
// when the source is the parent; an invalid index gives the default material; a
// component material wins.
TEST_F(ObjectTest, MaterialResolution) {
    ON_Material red, blue;
    red.SetName(u"Red");
    blue.SetName(u"Blue");
    const int r = doc->m_material_table.AddMaterial(red);
    const int b = doc->m_material_table.AddMaterial(blue);
    ON_Layer layer = doc->m_layer_table[0];
    layer.SetRenderMaterialIndex(b);
    doc->m_layer_table.ModifyLayer(layer, 0);

    ON_3dmObjectAttributes a = onLayer(0);
    CRhinoObject* fromLayer = doc->AddMeshObject(triangleMesh(), &a);
    a.SetMaterialSource(ON::material_from_object);
    a.m_material_index = r;
    CRhinoObject* fromObject = doc->AddMeshObject(triangleMesh(), &a);
    a.SetMaterialSource(ON::material_from_parent);
    CRhinoObject* fromParent = doc->AddMeshObject(triangleMesh(), &a);
    a.SetMaterialSource(ON::material_from_object);
    a.m_material_index = 42;
    CRhinoObject* invalid = doc->AddMeshObject(triangleMesh(), &a);

    EXPECT_EQ(fromLayer->ObjectMaterial().Index(), b);
    EXPECT_EQ(fromObject->ObjectMaterial().Index(), r);
    EXPECT_EQ(fromParent->ObjectMaterial().Index(), b);
    EXPECT_EQ(invalid->ObjectMaterial().Index(), -1);
    EXPECT_EQ(utf8(invalid->ObjectMaterial().Name()), "Default");
    EXPECT_EQ(&doc->m_layer_table[0].LayerMaterial(), &doc->m_material_table[b]);
    // The default entry keeps one serial number however often it is asked for.
    EXPECT_EQ(doc->m_material_table[-1].RuntimeSerialNumber(), doc->m_material_table[99].RuntimeSerialNumber());

    auto withFaces = std::make_unique<CRhinoObject>(ON::brep_object, onLayer(0));
    withFaces->SetComponentMaterialIndex(ON_COMPONENT_INDEX(ON_COMPONENT_INDEX::brep_face, 1), r);
    CRhinoObject* brep = doc->AddObject(std::move(withFaces));
    EXPECT_EQ(brep->ObjectMaterial(ON_COMPONENT_INDEX(ON_COMPONENT_INDEX::brep_face, 0)).Index(), b);
    EXPECT_EQ(brep->ObjectMaterial(ON_COMPONENT_INDEX(ON_COMPONENT_INDEX::brep_face, 1), RhinoDefaultRendererId()).Index(), r);
}

// Meshes and surface-like objects are meshable, curves and points are not, and a block
// instance is when something in its definition is.
TEST_F(ObjectTest, Meshability) {
    CRhinoObject* mesh = doc->AddMeshObject(triangleMesh());
    CRhinoObject* point = doc->AddObject(std::make_unique<CRhinoObject>(ON::point_object, onLayer(0)));
    CRhinoObject* brep = doc->AddObject(std::make_unique<CRhinoObject>(ON::brep_object, onLayer(0)));
    EXPECT_TRUE(mesh->IsMeshable(ON::render_mesh));
    EXPECT_FALSE(point->IsMeshable(ON::render_mesh));
    EXPECT_TRUE(brep->IsMeshable(ON::render_mesh));

    CRhinoInstanceDefinitionTable::Geometry curves;
    curves.push_back(std::make_unique<CRhinoObject>(ON::curve_object, onLayer(0)));
    const int curveBlock = doc->m_instance_definition_table.AddInstanceDefinition(ON_InstanceDefinition(), std::move(curves));
    CRhinoInstanceDefinitionTable::Geometry nested;
    nested.push_back(std::make_unique<CRhinoInstanceObject>(doc->m_instance_definition_table[curveBlock].Id(), ON_Xform()));
    nested.push_back(std::make_unique<CRhinoMeshObject>(triangleMesh()));
    const int meshBlock = doc->m_instance_definition_table.AddInstanceDefinition(ON_InstanceDefinition(), std::move(nested));
    EXPECT_FALSE(doc->AddInstanceObject(curveBlock, ON_Xform())->IsMeshable(ON::render_mesh));
    EXPECT_TRUE(doc->AddInstanceObject(meshBlock, ON_Xform())->IsMeshable(ON::render_mesh));
}

// Meshes carried but not built count only after RhinoGetRenderMeshes builds them
// (which reports a mesh update); hidden objects are skipped on request; objects without
// meshes give a mesh-less reference only when all objects are asked for.
TEST_F(ObjectTest, RenderMeshesBuiltOnRequest) {
    auto brep = std::make_unique<CRhinoObject>(ON::brep_object, onLayer(0));
    brep->SetRenderMeshes({shared(boxMesh(0, 0, 0, 1, 1, 1)), shared(triangleMesh())}, false);
    CRhinoObject* b = doc->AddObject(std::move(brep));
    CRhinoObject* curve = doc->AddObject(std::make_unique<CRhinoObject>(ON::curve_object, onLayer(0)));
    CRhinoObject* hidden = doc->AddMeshObject(triangleMesh());
    doc->HideObject(hidden);
    RecordingWatcher watcher;

    EXPECT_EQ(b->MeshCount(ON::render_mesh), 0);
    ON_SimpleArray<const CRhinoObject*> objects;
    objects.Append(b);
    objects.Append(curve);
    objects.Append(hidden);
    objects.Append(nullptr);
    ON_ClassArray<CRhinoObjRef> refs;
    EXPECT_EQ(RhinoGetRenderMeshes(objects, refs, false, false, true), 0);
    EXPECT_TRUE(watcher.take().empty());

    EXPECT_EQ(RhinoGetRenderMeshes(objects, refs, true, false, true), 2);
    EXPECT_EQ(watcher.take(), std::vector<std::string>{"UpdateObjectMesh " + std::to_string(b->RuntimeSerialNumber())});
    EXPECT_EQ(refs[0].Object(), b);
    EXPECT_EQ(refs[1].Mesh()->FaceCount(), 1);
    EXPECT_EQ(b->MeshCount(ON::render_mesh), 2);
    ON_SimpleArray<const ON_Mesh*> meshes;
    EXPECT_EQ(b->GetMeshes(ON::render_mesh, meshes), 2);
    EXPECT_EQ(meshes[0]->FaceCount(), 6);

    refs.Empty();
    EXPECT_EQ(RhinoGetRenderMeshes(objects, refs, true, true, false), 4);  // 2 + curve + hidden mesh
    EXPECT_EQ(refs[2].Object(), curve);
    EXPECT_EQ(refs[2].Mesh(), nullptr);
    EXPECT_NE(refs[3].Mesh(), nullptr);
    EXPECT_TRUE(watcher.take().empty());  // already built: no new update
}

// The custom render mesh manager serves the meshes and placement an object carries,
// and fails when their provider fails.
TEST_F(ObjectTest, CustomRenderMeshes) {
    auto object = std::make_unique<CRhinoObject>(ON::brep_object, onLayer(0));
    object->SetCustomRenderMeshes({shared(triangleMesh()), shared(boxMesh(0, 0, 0, 1, 1, 1)), shared(triangleMesh())},
                                  ON_Xform::TranslationTransformation(0, 0, 7));
    CRhinoObject* custom = doc->AddObject(std::move(object));
    CRhinoObject* plain = doc->AddMeshObject(triangleMesh());
    const ON_Viewport& vp = RhinoApp().ActiveView()->Viewport().VP();
    CRhRdkCustomRenderMeshManager& manager = RhRdkCustomRenderMeshManager();
    EXPECT_TRUE(manager.HasCustomRenderMeshes(vp, custom, *doc, ON_nil_uuid, 0, nullptr));
    EXPECT_FALSE(manager.HasCustomRenderMeshes(vp, plain, *doc, ON_nil_uuid, 0, nullptr));
    EXPECT_FALSE(manager.HasCustomRenderMeshes(vp, nullptr, *doc, ON_nil_uuid, 0, nullptr));

    CRhRdkCustomRenderMeshes meshes(custom);
    ASSERT_TRUE(manager.CustomMeshes(vp, ON_nil_uuid, *doc, meshes, 0, nullptr));
    EXPECT_EQ(meshes.Count(), 3);
    EXPECT_EQ(meshes.Mesh(1)->FaceCount(), 6);
    EXPECT_EQ(meshes.Mesh(3), nullptr);
    EXPECT_EQ(meshes.GetInstanceTransform().m_xform[2][3], 7.0);

    auto failing = std::make_unique<CRhinoObject>(ON::brep_object, onLayer(0));
    failing->SetCustomRenderMeshes({shared(triangleMesh())}, ON_Xform(), false);
    CRhinoObject* f = doc->AddObject(std::move(failing));
    CRhRdkCustomRenderMeshes none(f);
    EXPECT_TRUE(manager.HasCustomRenderMeshes(vp, f, *doc, ON_nil_uuid, 0, nullptr));
    EXPECT_FALSE(manager.CustomMeshes(vp, ON_nil_uuid, *doc, none, 0, nullptr));
    EXPECT_EQ(none.Count(), 0);
}

// Block instances compose placements when moved; duplicates keep geometry and
// attributes but not the serial number.
TEST_F(ObjectTest, InstanceTransformAndDuplicates) {
    CRhinoInstanceDefinitionTable::Geometry g;
    g.push_back(std::make_unique<CRhinoMeshObject>(triangleMesh()));
    const int di = doc->m_instance_definition_table.AddInstanceDefinition(ON_InstanceDefinition(), std::move(g));
    CRhinoInstanceObject* instance = doc->AddInstanceObject(di, ON_Xform::TranslationTransformation(1, 0, 0));
    const ON_Xform rotate = ON_Xform::RotationTransformation(M_PI / 2, ON_3dVector::ZAxis, ON_3dPoint::Origin);
    const auto* moved = CRhinoInstanceObject::Cast(doc->TransformObject(instance, rotate));
    ASSERT_NE(moved, nullptr);
    const ON_3dPoint p = moved->InstanceXform() * ON_3dPoint(0, 0, 0);
    EXPECT_NEAR(p.x, 0.0, 1e-12);
    EXPECT_NEAR(p.y, 1.0, 1e-12);
    EXPECT_EQ(moved->InstanceDefinition(), instance->InstanceDefinition());
    EXPECT_EQ(CRhinoMeshObject::Cast(moved), nullptr);
}
