// The in-memory document's guards: refused edits, the layer tree, definitions that
// would contain themselves, and detached documents. (The events the plug-in follows
// are checked through the plug-in, in its change-tracking and scene tests.)

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
    EXPECT_FALSE(doc->DeleteObject(a));             // already deleted
    EXPECT_EQ(doc->AddInstanceObject(3, ON_Xform()), nullptr);
    EXPECT_EQ(watcher->take(), Events{"DeleteObject " + s(a)});
    EXPECT_NE(RhinoApp().CommandHistoryWindowText().Find(u"Layer index 7 is not valid."), -1);
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
