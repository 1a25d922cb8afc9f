// The object iterator's state, category and visibility filters.

#include <gtest/gtest.h>

#include <set>

#include "sdk_test_support.h"

using namespace vantro::sdktest;

namespace {

class IteratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc = RhinoApp().NewDocument();
        ON_Layer hiddenLayer;
        hiddenLayer.SetName(u"Off");
        hiddenLayer.SetVisible(false);
        offLayer = doc->m_layer_table.AddLayer(hiddenLayer);

        normal = doc->AddMeshObject(triangleMesh());
        locked = doc->AddMeshObject(triangleMesh());
        ON_3dmObjectAttributes a = locked->Attributes();
        a.SetMode(ON::locked_object);
        doc->ModifyObjectAttributes(locked, a);
        hidden = doc->AddMeshObject(triangleMesh());
        doc->HideObject(hidden);
        const ON_3dmObjectAttributes off = onLayer(offLayer);
        onOffLayer = doc->AddMeshObject(triangleMesh(), &off);
        deleted = doc->AddMeshObject(triangleMesh());
        doc->DeleteObject(deleted);
        reference = doc->AddObject(std::make_unique<CRhinoMeshObject>(triangleMesh()), true);
        CRhinoInstanceDefinitionTable::Geometry g;
        g.push_back(std::make_unique<CRhinoMeshObject>(triangleMesh()));
        const int di = doc->m_instance_definition_table.AddInstanceDefinition(ON_InstanceDefinition(), std::move(g));
        idefPart = doc->m_instance_definition_table[di].Object(0);
        instance = doc->AddInstanceObject(di, ON_Xform());
    }
    void TearDown() override { RhinoApp().CloseDocument(); }

    std::set<const CRhinoObject*> walk(CRhinoObjectIterator::object_state state,
                                       CRhinoObjectIterator::object_category category, bool visible) {
        CRhinoObjectIterator it(doc->RuntimeSerialNumber(), state, category);
        it.EnableVisibleFilter(visible);
        std::set<const CRhinoObject*> seen;
        for (CRhinoObject* o = it.First(); o; o = it.Next()) seen.insert(o);
        return seen;
    }

    CRhinoDoc* doc = nullptr;
    int offLayer = -1;
    const CRhinoObject *normal, *locked, *hidden, *onOffLayer, *deleted, *reference, *idefPart, *instance;
};

using S = std::set<const CRhinoObject*>;

}  // namespace

// Each state bit selects its kind (undeleted = normal, locked and hidden); the active
// category leaves out reference and definition objects; the visible filter drops hidden
// objects and objects on hidden layers; the defaults are normal active objects.
TEST_F(IteratorTest, StateCategoryAndVisibility) {
    using It = CRhinoObjectIterator;
    EXPECT_EQ(walk(It::undeleted_objects, It::active_objects, false), (S{normal, locked, hidden, onOffLayer, instance}));
    EXPECT_EQ(walk(It::undeleted_objects, It::active_objects, true), (S{normal, locked, instance}));
    EXPECT_EQ(walk(It::normal_objects, It::active_objects, false), (S{normal, onOffLayer, instance}));
    EXPECT_EQ(walk(It::locked_objects, It::active_objects, false), (S{locked}));
    EXPECT_EQ(walk(It::hidden_objects, It::active_objects, false), (S{hidden}));
    EXPECT_EQ(walk(It::deleted_objects, It::active_objects, false), (S{deleted}));
    EXPECT_EQ(walk(It::idef_objects, It::active_objects, false), (S{idefPart}));
    EXPECT_EQ(walk(It::normal_objects, It::reference_objects, false), (S{reference}));
    CRhinoObjectIterator defaults(*doc);
    S seen;
    for (CRhinoObject* o = defaults.First(); o; o = defaults.Next()) seen.insert(o);
    EXPECT_EQ(seen, (S{normal, onOffLayer, instance}));
}

// Iteration follows the order objects were added and restarts with First; a document
// serial that names nothing iterates nothing.
TEST_F(IteratorTest, OrderRestartAndUnknownDocument) {
    CRhinoObjectIterator it(*doc, CRhinoObjectIterator::undeleted_objects);
    EXPECT_EQ(it.First(), normal);
    EXPECT_EQ(it.Next(), locked);
    EXPECT_EQ(it.First(), normal);
    CRhinoObjectIterator none(0xFFFFFFF0u, CRhinoObjectIterator::all_objects);
    EXPECT_EQ(none.First(), nullptr);
}
