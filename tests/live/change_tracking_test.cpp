// Edits made in the host document while the link runs reach the renderer's process
// exactly as the change tracking must apply them: after each idle pass the reader's
// mirror equals the oracle's buffers for the objects the pass must have removed and
// re-added (re-added objects go to the end, added ones before modified ones, each in
// serial order).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <latch>
#include <mutex>
#include <optional>
#include <thread>

#include "live_session.h"
#include "plugin/velora_plugin.h"
#include "scene/change_set.h"
#include "scene/rh_scene.h"
#include "scene_test_support.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object_iterator.h"

using namespace vantro::test;

namespace {

class ChangeTrackingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.SetUnitSystem(ON::LengthUnitSystem::Meters, false));
        red = addMaterial(doc, u"Red", 200, 0, 0);
        green = addMaterial(doc, u"Green", 0, 200, 0);
        blue = addMaterial(doc, u"Blue", 0, 0, 200);
        base = addLayer(doc, u"Base", red);
        other = addLayer(doc, u"Other", green);
        a = addMeshObject(doc, boxMesh({0, 0, 0}, {1, 1, 1}), attributesOn(base));
        b = addMeshObject(doc, boxMesh({2, 0, 0}, {3, 1, 1}), attributesOn(base, ON::material_from_object, blue));
        c = addMeshObject(doc, gridMesh(2, 1, 0), attributesOn(other));
        x = addMeshObject(doc, gridMesh(3, 2, 1), attributesOn(base, ON::material_from_object, green));
        c2 = addMeshObject(doc, boxMesh({0, 4, 0}, {1, 5, 2}), attributesOn(other));
        pair = addBlock(doc, u"Pair",
                        {{boxMesh({0, 0, 0}, {1, 1, 1}), attributesOn(base)},
                         {gridMesh(1, 1, 0), attributesOn(base, ON::material_from_object, blue)}});
        instance = doc.AddInstanceObject(pair, ON_Xform::TranslationTransformation(8, 0, 0), nullptr);
        order = {a, b, c, x, c2, instance};
        ASSERT_TRUE(s.start());
        ASSERT_TRUE(s.waitUntilSent());
        check("the start");
    }

    // Idle, wait for the worker, compare with want (by default: the oracle of order).
    void step(const char* what, std::optional<std::map<uint64_t, ExpectedGeometry>> want = {}, bool exact = true) {
        s.idle();
        ASSERT_TRUE(s.waitUntilSent()) << what;
        check(what, want, exact);
    }
    void check(const char* what, std::optional<std::map<uint64_t, ExpectedGeometry>> want = {}, bool exact = true) {
        EXPECT_EQ(s.mismatch(want ? *want : s.expected(order, 1.0f), exact), "") << "after " << what;
    }
    // The objects the pass must re-add, moved to the end in serial order.
    void reAdded(std::vector<const CRhinoObject*> objects) {
        std::sort(objects.begin(), objects.end(),
                  [](auto* l, auto* r) { return l->RuntimeSerialNumber() < r->RuntimeSerialNumber(); });
        for (const CRhinoObject* o : objects) {
            std::erase(order, o);
            order.push_back(o);
        }
    }
    void removed(const CRhinoObject* o) { std::erase(order, o); }
    std::vector<const CRhinoObject*> on(int layer) const {
        std::vector<const CRhinoObject*> out;
        for (const CRhinoObject* o : order)
            if (o->Attributes().m_layer_index == layer)
                out.push_back(o);
        return out;
    }

    LiveSession s;
    CRhinoDoc& doc = s.doc;
    int red = -1, green = -1, blue = -1, base = -1, other = -1, pair = -1;
    const CRhinoObject *a = nullptr, *b = nullptr, *c = nullptr, *x = nullptr, *c2 = nullptr, *instance = nullptr;
    std::vector<const CRhinoObject*> order;
};

}  // namespace

// A replacement (delete of the old object, add of the new one); an object added and
// modified before idle is added once; one added and deleted before idle never
// appears; a deleted object goes and comes back at the end when undeleted; hiding by
// attribute removes the meshes and showing brings them back.
TEST_F(ChangeTrackingTest, ObjectEdits) {
    const CRhinoObject* a2 = doc.ReplaceObject(CRhinoObjRef(a), boxMesh({0, 0, 0}, {1, 2, 1}));
    ASSERT_NE(a2, nullptr);
    EXPECT_EQ(s.plugin.changes()->deletedObjects.count(a->RuntimeSerialNumber()), 1u);
    EXPECT_EQ(s.plugin.changes()->addedObjects.count(a2->RuntimeSerialNumber()), 1u);
    removed(a);
    reAdded({a2});
    step("a replace");

    CRhinoObject* d = addMeshObject(doc, gridMesh(2, 1, 2), attributesOn(base));
    ON_3dmObjectAttributes blueAttributes = d->Attributes();
    blueAttributes.SetMaterialSource(ON::material_from_object);
    blueAttributes.m_material_index = blue;
    ASSERT_TRUE(doc.ModifyObjectAttributes(CRhinoObjRef(d), blueAttributes, true));
    reAdded({d});
    step("an add, then a modify");

    CRhinoObject* e = addMeshObject(doc, boxMesh({5, 5, 5}, {6, 6, 6}), attributesOn(base));
    ASSERT_TRUE(doc.DeleteObject(CRhinoObjRef(e), true, true));
    EXPECT_TRUE(s.plugin.changes()->addedObjects.empty());
    step("an add, then a delete");

    ASSERT_TRUE(doc.DeleteObject(CRhinoObjRef(c), true, true));
    removed(c);
    step("a delete");
    ASSERT_TRUE(doc.UndeleteObject(c));
    reAdded({c});
    step("an undelete");

    ASSERT_TRUE(doc.HideObject(CRhinoObjRef(b)));
    removed(b);
    step("a hide");
    ASSERT_TRUE(doc.ShowObject(CRhinoObjRef(b)));
    reAdded({b});
    step("a show");
}

// A layer's colour re-adds every object on it; a change of the layer's material
// re-adds the objects of every layer using it and every object using it itself; a
// change of an object's own material re-adds only the objects using it.
TEST_F(ChangeTrackingTest, LayerAndMaterialEdits) {
    ON_Layer layer = doc.m_layer_table[other];
    layer.SetColor(ON_Color(1, 2, 3));
    ASSERT_TRUE(doc.m_layer_table.ModifyLayer(layer, other, true));
    reAdded(on(other));
    step("a layer colour");

    // Red is Base's material: everything on Base is re-added (b and x too, which
    // draw with their own materials), and the instance, whose definition's objects
    // lie on Base; the objects on Other are not.
    ON_Material material = doc.m_material_table[red];
    material.SetDiffuse(ON_Color(10, 20, 30));
    ASSERT_TRUE(doc.m_material_table.ModifyMaterial(material, red, true));
    std::vector<const CRhinoObject*> expected = on(base);
    expected.push_back(instance);
    reAdded(expected);
    step("a layer's material");

    material = doc.m_material_table[blue];
    material.SetDiffuse(ON_Color(1, 1, 1));
    ASSERT_TRUE(doc.m_material_table.ModifyMaterial(material, blue, true));
    // b uses blue itself; the instance reaches blue through its definition.
    reAdded({b, instance});
    step("an object's material");
}

// Editing a block definition leaves its instances as they were until the instance
// itself changes.
TEST_F(ChangeTrackingTest, BlockDefinitionEdit) {
    const auto before = s.expected(order, 1.0f);
    CRhinoInstanceDefinitionTable::Geometry geometry;
    geometry.push_back(std::make_unique<CRhinoMeshObject>(boxMesh({0, 0, 0}, {2, 2, 2}), attributesOn(base)));
    ASSERT_TRUE(doc.m_instance_definition_table.ModifyInstanceDefinitionGeometry(pair, std::move(geometry)));
    step("the definition's edit", before);

    ASSERT_TRUE(doc.HideObject(CRhinoObjRef(instance)));
    ASSERT_TRUE(doc.ShowObject(CRhinoObjRef(instance)));
    reAdded({instance});
    step("the instance's own change");
}

// Units without scaling: meshes already sent keep the old scale, meshes added
// afterwards take the new one. With scaling every object is replaced and sent again
// at the new scale.
TEST_F(ChangeTrackingTest, Units) {
    const auto metres = s.expected(order, 1.0f);
    ASSERT_TRUE(doc.SetUnitSystem(ON::LengthUnitSystem::Millimeters, false));
    EXPECT_FLOAT_EQ(s.plugin.scene()->unitScale, 0.001f);
    const int solo = addMaterial(doc, u"Solo", 9, 9, 9);
    const CRhinoObject* f =
        addMeshObject(doc, boxMesh({0, 0, 0}, {100, 200, 300}), attributesOn(base, ON::material_from_object, solo));
    s.idle();
    ASSERT_TRUE(s.waitUntilSent());
    // After the pass: the new material is known to the plug-in's materials only then.
    auto want = metres;
    const auto newOne = s.expected({f}, 0.001f);
    ASSERT_EQ(newOne.size(), 1u);
    want.insert(newOne.begin(), newOne.end());
    check("units without scaling", want);

    ASSERT_TRUE(doc.SetUnitSystem(ON::LengthUnitSystem::Meters, true));
    EXPECT_FLOAT_EQ(s.plugin.scene()->unitScale, 1.0f);
    std::vector<const CRhinoObject*> now;
    CRhinoObjectIterator it(doc, CRhinoObjectIterator::undeleted_objects);
    for (const CRhinoObject* o = it.First(); o; o = it.Next())
        now.push_back(o);
    order.clear();
    reAdded(now);
    // Scaled numbers are not exact in f32: floats are compared within 1e-5.
    step("units with scaling", std::nullopt, /*exact=*/false);
}

// Meshes the host builds because the scene asked for them are not an edit: adding an
// object whose meshes are not built yet leaves no change set behind. A mesh update of
// the document's own (new render meshes) is one.
TEST_F(ChangeTrackingTest, MeshUpdates) {
    auto brep = std::make_unique<CRhinoObject>(ON::brep_object, attributesOn(base));
    brep->SetRenderMeshes({std::make_shared<ON_Mesh>(boxMesh({0, 0, 4}, {1, 1, 5}))}, /*cached=*/false);
    const CRhinoObject* added = doc.AddObject(std::move(brep));
    ASSERT_NE(added, nullptr);
    reAdded({added});
    step("an object meshed on request");
    EXPECT_EQ(s.plugin.changes(), nullptr);
    EXPECT_EQ(added->MeshCount(ON::render_mesh), 1);

    ASSERT_TRUE(doc.SetObjectRenderMeshes(CRhinoObjRef(added), {std::make_shared<ON_Mesh>(gridMesh(2, 1, 6))}));
    ASSERT_NE(s.plugin.changes(), nullptr);
    reAdded({added});
    step("new render meshes");
    EXPECT_EQ(s.plugin.changes(), nullptr);
}

// When the worker keeps the scene past the 50 ms wait, the pass changes nothing and
// keeps every recorded edit; the next idle pass applies them.
TEST_F(ChangeTrackingTest, ABusySceneKeepsTheChanges) {
    RHScene& scene = *s.plugin.scene();
    if (scene.mainHoldsLock.exchange(false))
        scene.sceneLock.unlock();
    std::latch started(1), idled(1);
    std::thread worker([&] {
        std::lock_guard<std::timed_mutex> busy(scene.sceneLock);
        started.count_down();
        idled.wait();
    });
    started.wait();
    const CRhinoObject* moved = doc.TransformObject(CRhinoObjRef(x), ON_Xform::TranslationTransformation(0, 0, 4));
    ASSERT_NE(moved, nullptr);
    s.idle();
    idled.count_down();
    worker.join();
    ASSERT_NE(s.plugin.changes(), nullptr);
    EXPECT_EQ(s.plugin.changes()->addedObjects.count(moved->RuntimeSerialNumber()), 1u);
    EXPECT_EQ(s.plugin.changes()->deletedObjects.count(x->RuntimeSerialNumber()), 1u);
    EXPECT_TRUE(s.plugin.changes()->modifiedObjects.empty());  // nothing expanded yet
    removed(x);
    reAdded({moved});
    step("the retry");
    EXPECT_EQ(s.plugin.changes(), nullptr);
}

// Edits made while the link is stopped are not recorded, and nothing is kept from a
// run once it stops.
TEST_F(ChangeTrackingTest, NothingIsRecordedWhileStopped) {
    addMeshObject(doc, boxMesh({9, 9, 9}, {10, 10, 10}), attributesOn(base));
    ASSERT_NE(s.plugin.changes(), nullptr);
    ASSERT_TRUE(s.plugin.StopLink());
    EXPECT_EQ(s.plugin.changes(), nullptr);
    addMeshObject(doc, boxMesh({9, 9, 9}, {10, 10, 10}), attributesOn(base));
    EXPECT_EQ(s.plugin.changes(), nullptr);
    s.idle();
    EXPECT_EQ(s.plugin.changes(), nullptr);
}
