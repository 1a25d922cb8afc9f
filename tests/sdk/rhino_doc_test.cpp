// The in-memory document: edits change it the way the host does and raise the host's
// events, in the host's order, with the old values.

#include <gtest/gtest.h>

#include "sdk_test_support.h"

using namespace vantro::sdktest;
using Events = std::vector<std::string>;

namespace {

std::string s(const CRhinoObject* o) { return std::to_string(o->RuntimeSerialNumber()); }

class DocTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc = RhinoApp().NewDocument();
        watcher = std::make_unique<RecordingWatcher>();
    }
    void TearDown() override {
        watcher.reset();
        RhinoApp().CloseDocument();
        RhinoApp().ClearCommandHistoryWindow();
    }
    CRhinoDoc* doc = nullptr;
    std::unique_ptr<RecordingWatcher> watcher;
};

}  // namespace

// Object edits raise exactly one event each, in order; a replace is replace, delete
// (old), add (new) and the new object has a new serial number but the old id.
TEST_F(DocTest, ScriptedObjectEditsRaiseHostEventsInOrder) {
    CRhinoMeshObject* a = doc->AddMeshObject(boxMesh(0, 0, 0, 1, 1, 1));
    CRhinoMeshObject* b = doc->AddMeshObject(triangleMesh());
    ASSERT_TRUE(a && b);
    const ON_UUID aId = a->Id();

    ON_Layer second;
    second.SetName(u"Second");
    const int layer = doc->m_layer_table.AddLayer(second);
    ON_3dmObjectAttributes attributes = a->Attributes();
    attributes.m_layer_index = layer;
    ASSERT_TRUE(doc->ModifyObjectAttributes(a, attributes));
    ASSERT_TRUE(doc->DeleteObject(b));
    ASSERT_TRUE(doc->UndeleteObject(b));
    CRhinoObject* moved = doc->TransformObject(a, ON_Xform::TranslationTransformation(5, 0, 0));
    ASSERT_NE(moved, nullptr);
    const std::string bSerial = s(b);
    CRhinoObject* purged = b;
    ASSERT_TRUE(doc->PurgeObject(purged));
    EXPECT_EQ(purged, nullptr);

    const Events expected = {
        "AddObject " + s(a),
        "AddObject " + bSerial,
        "Layer 0 1 old=null",
        "ModifyObjectAttributes " + s(a) + " oldLayer=0 oldMode=0",
        "DeleteObject " + bSerial,
        "UnDeleteObject " + bSerial,
        "ReplaceObject " + s(a) + " " + s(moved),
        "DeleteObject " + s(a),
        "AddObject " + s(moved),
        "PurgeObject " + bSerial,
    };
    EXPECT_EQ(watcher->take(), expected);
    EXPECT_NE(moved->RuntimeSerialNumber(), a->RuntimeSerialNumber());
    EXPECT_EQ(moved->Id(), aId);
    EXPECT_TRUE(a->IsDeleted());
    EXPECT_EQ(doc->LookupObject(aId), moved);
    // The moved mesh really moved, and its layer came along.
    const ON_Mesh* mesh = CRhinoMeshObject::Cast(moved)->Mesh();
    EXPECT_FLOAT_EQ(mesh->m_V[0].x, 5.0f);
    EXPECT_EQ(moved->Attributes().m_layer_index, layer);
}

// An attribute change to equal attributes raises nothing; hiding is an attribute
// change that hides the object and deselects it.
TEST_F(DocTest, HideIsAnAttributeChangeAndNoChangeIsSilent) {
    CRhinoObject* a = doc->AddMeshObject(triangleMesh());
    watcher->take();
    EXPECT_TRUE(doc->ModifyObjectAttributes(a, a->Attributes()));
    EXPECT_TRUE(watcher->take().empty());
    ASSERT_TRUE(doc->SelectObject(a));
    ASSERT_TRUE(doc->HideObject(a));
    EXPECT_EQ(watcher->take(), Events{"ModifyObjectAttributes " + s(a) + " oldLayer=0 oldMode=0"});
    EXPECT_FALSE(a->IsVisible());
    EXPECT_FALSE(a->IsSelected());
    ASSERT_TRUE(doc->ShowObject(a));
    EXPECT_EQ(watcher->take(), Events{"ModifyObjectAttributes " + s(a) + " oldLayer=0 oldMode=1"});
    EXPECT_TRUE(a->IsVisible());
}

// Bad edits are refused with a message, change nothing and raise nothing.
TEST_F(DocTest, RefusedEditsChangeNothing) {
    CRhinoObject* a = doc->AddMeshObject(triangleMesh());
    watcher->take();
    RhinoApp().ClearCommandHistoryWindow();

    EXPECT_EQ(doc->AddObject(std::make_unique<CRhinoMeshObject>(triangleMesh(), onLayer(7))), nullptr);
    EXPECT_FALSE(doc->ModifyObjectAttributes(a, onLayer(-1)));
    ON_3dmObjectAttributes locked = a->Attributes();
    locked.SetMode(ON::locked_object);
    ASSERT_TRUE(doc->ModifyObjectAttributes(a, locked));
    watcher->take();
    EXPECT_FALSE(doc->DeleteObject(a));
    EXPECT_FALSE(a->IsDeleted());
    EXPECT_TRUE(doc->DeleteObject(a, true, true));  // ignoring modes
    EXPECT_FALSE(doc->DeleteObject(a));              // already deleted
    EXPECT_EQ(doc->AddInstanceObject(3, ON_Xform()), nullptr);
    EXPECT_EQ(watcher->take(), Events{"DeleteObject " + s(a)});
    EXPECT_NE(RhinoApp().CommandHistoryWindowText().Find(u"Layer index 7 is not valid."), -1);
}

// Table edits raise table events with the index and the old value (a copy for a
// modification, the entry itself for a deletion); entries keep serial number and id.
TEST_F(DocTest, TableEventsCarryIndexAndOldValue) {
    ON_Layer layer;
    layer.SetName(u"Walls");
    const int li = doc->m_layer_table.AddLayer(layer);
    const uint64_t layerSerial = doc->m_layer_table[li].RuntimeSerialNumber();
    const ON_UUID layerId = doc->m_layer_table[li].Id();
    layer.SetName(u"Walls2");
    layer.SetColor(ON_Color(255, 0, 0));
    ASSERT_TRUE(doc->m_layer_table.ModifyLayer(layer, li));
    ASSERT_TRUE(doc->m_layer_table.DeleteLayer(li));
    ASSERT_TRUE(doc->m_layer_table.UndeleteLayer(li));
    EXPECT_EQ(doc->m_layer_table[li].RuntimeSerialNumber(), layerSerial);
    EXPECT_EQ(doc->m_layer_table[li].Id(), layerId);
    EXPECT_EQ(utf8(doc->m_layer_table[li].Name()), "Walls2");

    ON_Material material;
    material.SetName(u"Wood");
    const int mi = doc->m_material_table.AddMaterial(material);
    const uint64_t materialSerial = doc->m_material_table[mi].RuntimeSerialNumber();
    material.SetName(u"Oak");
    ASSERT_TRUE(doc->m_material_table.ModifyMaterial(material, mi));
    ASSERT_TRUE(doc->m_material_table.DeleteMaterial(mi));
    EXPECT_EQ(doc->m_material_table[mi].RuntimeSerialNumber(), materialSerial);

    ON_TextureMapping mapping;
    mapping.SetName(u"Planar");
    ASSERT_TRUE(mapping.SetPlaneMapping(ON_Plane::World_xy, ON_Interval(0, 1), ON_Interval(0, 1), ON_Interval(0, 1)));
    const int ti = doc->m_texture_mapping_table.AddTextureMapping(mapping);
    mapping.SetName(u"Planar2");
    ASSERT_TRUE(doc->m_texture_mapping_table.ModifyTextureMapping(mapping, ti));
    ASSERT_TRUE(doc->m_texture_mapping_table.DeleteTextureMapping(ti));
    ASSERT_TRUE(doc->m_texture_mapping_table.UndeleteTextureMapping(ti));

    const Events expected = {
        "Layer 0 1 old=null",     "Layer 3 1 old=Walls",   "Layer 1 1 old=Walls2",  "Layer 2 1 old=null",
        "Material 0 0 old=null",  "Material 3 0 old=Wood", "Material 1 0 old=Oak",  "Mapping 0 0 old=null",
        "Mapping 3 0 old=Planar", "Mapping 1 0 old=Planar2", "Mapping 2 0 old=null",
    };
    EXPECT_EQ(watcher->take(), expected);
}

// Layers in use, the current layer and parents of live layers cannot be deleted; a
// layer cannot become its own ancestor.
TEST_F(DocTest, LayerTableGuardsItsTree) {
    ON_Layer parent;
    parent.SetName(u"Parent");
    const int p = doc->m_layer_table.AddLayer(parent);
    ON_Layer child;
    child.SetName(u"Child");
    child.SetParentLayerId(doc->m_layer_table[p].Id());
    const int c = doc->m_layer_table.AddLayer(child);
    ASSERT_GE(c, 0);
    const ON_3dmObjectAttributes onChild = onLayer(c);
    doc->AddMeshObject(triangleMesh(), &onChild);
    watcher->take();

    EXPECT_FALSE(doc->m_layer_table.DeleteLayer(0));  // current
    EXPECT_FALSE(doc->m_layer_table.DeleteLayer(p));  // has a child
    EXPECT_FALSE(doc->m_layer_table.DeleteLayer(c));  // has an object
    ON_Layer loop = doc->m_layer_table[p];
    loop.SetParentLayerId(doc->m_layer_table[c].Id());
    EXPECT_FALSE(doc->m_layer_table.ModifyLayer(loop, p));
    ON_Layer orphan;
    orphan.SetParentLayerId(ON_CreateUuid());
    EXPECT_EQ(doc->m_layer_table.AddLayer(orphan), -1);
    EXPECT_TRUE(watcher->take().empty());
}

// Replacing a definition's geometry gives its objects new serial numbers and raises
// one modified event with the old definition; a definition cannot contain itself.
TEST_F(DocTest, InstanceDefinitionGeometryChangeRaisesModified) {
    ON_InstanceDefinition idef;
    idef.SetName(u"Block");
    CRhinoInstanceDefinitionTable::Geometry geometry;
    geometry.push_back(std::make_unique<CRhinoMeshObject>(triangleMesh()));
    const int di = doc->m_instance_definition_table.AddInstanceDefinition(idef, std::move(geometry));
    ASSERT_EQ(di, 0);
    const CRhinoInstanceDefinition& def = doc->m_instance_definition_table[di];
    const unsigned int before = def.Object(0)->RuntimeSerialNumber();
    CRhinoInstanceObject* instance = doc->AddInstanceObject(di, ON_Xform::TranslationTransformation(1, 2, 3));
    ASSERT_NE(instance, nullptr);
    EXPECT_EQ(instance->InstanceDefinition(), &def);

    CRhinoInstanceDefinitionTable::Geometry replacement;
    replacement.push_back(std::make_unique<CRhinoMeshObject>(boxMesh(0, 0, 0, 1, 1, 1)));
    replacement.push_back(std::make_unique<CRhinoMeshObject>(triangleMesh()));
    ASSERT_TRUE(doc->m_instance_definition_table.ModifyInstanceDefinitionGeometry(di, std::move(replacement)));
    ON_SimpleArray<const CRhinoObject*> objects;
    EXPECT_EQ(def.GetObjects(objects), 2);
    EXPECT_NE(objects[0]->RuntimeSerialNumber(), before);
    EXPECT_TRUE(objects[0]->IsInstanceDefinitionGeometry());
    EXPECT_EQ(CRhinoObject::FromRuntimeSerialNumber(doc->RuntimeSerialNumber(), before), nullptr);

    CRhinoInstanceDefinitionTable::Geometry selfReference;
    selfReference.push_back(std::make_unique<CRhinoInstanceObject>(def.Id(), ON_Xform()));
    EXPECT_FALSE(doc->m_instance_definition_table.ModifyInstanceDefinitionGeometry(di, std::move(selfReference)));
    EXPECT_FALSE(doc->m_instance_definition_table.DeleteInstanceDefinition(di));  // in use

    EXPECT_EQ(watcher->take(), (Events{"Idef 0 0 old=null", "AddObject " + s(instance), "Idef 3 0 old=Block"}));
}

// Changing units without scaling only reports the property change; with scaling the
// model is replaced scaled (definitions first), then the scaling and property events.
TEST_F(DocTest, UnitChangesWithAndWithoutScaling) {
    ON_InstanceDefinition idef;
    CRhinoInstanceDefinitionTable::Geometry geometry;
    geometry.push_back(std::make_unique<CRhinoMeshObject>(boxMesh(1, 1, 1, 2, 2, 2)));
    const int di = doc->m_instance_definition_table.AddInstanceDefinition(idef, std::move(geometry));
    CRhinoObject* box = doc->AddMeshObject(boxMesh(0, 0, 0, 1000, 1000, 1000));
    CRhinoObject* instance = doc->AddInstanceObject(di, ON_Xform::TranslationTransformation(100, 0, 0));
    watcher->take();

    ASSERT_TRUE(doc->SetUnitSystem(ON::LengthUnitSystem::Millimeters, false));  // same: nothing
    EXPECT_TRUE(watcher->take().empty());
    ASSERT_TRUE(doc->SetUnitSystem(ON::LengthUnitSystem::Centimeters, false));
    EXPECT_EQ(watcher->take(), Events{"DocumentPropertiesChanged"});
    EXPECT_FLOAT_EQ(CRhinoMeshObject::Cast(box)->Mesh()->m_V[7].x, 1000.0f);

    ASSERT_TRUE(doc->SetUnitSystem(ON::LengthUnitSystem::Meters, true));
    const CRhinoObject* newBox = doc->LookupObject(box->Id());
    const auto* newInstance = CRhinoInstanceObject::Cast(doc->LookupObject(instance->Id()));
    ASSERT_TRUE(newBox && newInstance);
    const Events expected = {
        "Idef 3 0 old=",
        "ReplaceObject " + s(box) + " " + s(newBox), "DeleteObject " + s(box), "AddObject " + s(newBox),
        "ReplaceObject " + s(instance) + " " + s(newInstance), "DeleteObject " + s(instance),
        "AddObject " + s(newInstance), "UnitsChangedWithScaling 0.010000", "DocumentPropertiesChanged",
    };
    EXPECT_EQ(watcher->take(), expected);
    EXPECT_FLOAT_EQ(CRhinoMeshObject::Cast(newBox)->Mesh()->m_V[7].x, 10.0f);
    // A definition vertex at (1,1,1) placed at +100 lands at 101 cm = 1.01 m.
    const ON_Mesh* part = CRhinoMeshObject::Cast(newInstance->InstanceDefinition()->Object(0))->Mesh();
    const ON_3dPoint placed = newInstance->InstanceXform() * ON_3dPoint(part->m_V[0]);
    EXPECT_NEAR(placed.x, 1.01, 1e-6);
    EXPECT_NEAR(placed.y, 0.01, 1e-6);
    EXPECT_FALSE(doc->SetUnitSystem(ON::LengthUnitSystem::Unset, true));
}

// Hidden objects, objects on hidden layers (or under hidden parents) and deleted
// objects are not visible.
TEST_F(DocTest, VisibilityFollowsModeAndLayerTree) {
    ON_Layer parent;
    const int p = doc->m_layer_table.AddLayer(parent);
    ON_Layer child;
    child.SetParentLayerId(doc->m_layer_table[p].Id());
    const int c = doc->m_layer_table.AddLayer(child);
    ON_3dmObjectAttributes a = onLayer(c);
    CRhinoObject* object = doc->AddMeshObject(triangleMesh(), &a);
    EXPECT_TRUE(object->IsVisible());
    ON_Layer hidden = doc->m_layer_table[p];
    hidden.SetVisible(false);
    doc->m_layer_table.ModifyLayer(hidden, p);
    EXPECT_FALSE(object->IsVisible());
    EXPECT_FALSE(doc->m_layer_table.LayerIsVisible(c));
    hidden.SetVisible(true);
    doc->m_layer_table.ModifyLayer(hidden, p);
    a.SetVisible(false);
    doc->ModifyObjectAttributes(object, a);
    EXPECT_FALSE(object->IsVisible());
}

// A detached document (as readers fill) raises no events.
TEST_F(DocTest, DetachedDocumentsAreSilent) {
    CRhinoDoc detached;
    ON_Layer layer;
    detached.m_layer_table.AddLayer(layer);
    CRhinoObject* o = detached.AddMeshObject(triangleMesh());
    ASSERT_NE(o, nullptr);
    detached.DeleteObject(o);
    detached.SetUnitSystem(ON::LengthUnitSystem::Inches, true);
    EXPECT_TRUE(watcher->take().empty());
    EXPECT_FALSE(detached.RaisesEvents());
    EXPECT_TRUE(doc->RaisesEvents());
}
