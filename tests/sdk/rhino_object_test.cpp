// Document objects: serial numbers and lookups that must fail once an object is gone,
// replaced duplicate ids, material resolution. (Render meshes are checked through the
// scene that asks for them.)

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
    EXPECT_EQ(
        brep->ObjectMaterial(ON_COMPONENT_INDEX(ON_COMPONENT_INDEX::brep_face, 1), RhinoDefaultRendererId()).Index(),
        r);
}
