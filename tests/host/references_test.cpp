// How commands name objects, table entries and views: by serial, id, index or name,
// with deleted ones only where asked for, and ambiguous names refused.

#include "references.h"

#include <gtest/gtest.h>

#include "box_mesh.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {
namespace {

class ReferencesTest : public ::testing::Test {
protected:
    ReferencesTest() {
        for (const char16_t* name : {u"Default", u"Glass", u"GLASS", u"Old"}) {
            ON_Layer layer;
            layer.SetName(name);
            doc.m_layer_table.AddLayer(layer, true);
        }
        doc.m_layer_table.DeleteLayer(3, true);
        box = add(u"Box");
        twin1 = add(u"Twin");
        twin2 = add(u"twin");
        gone = add(u"Gone");
        doc.DeleteObject(CRhinoObjRef(gone));
    }

    CRhinoObject* add(const char16_t* name) {
        ON_3dmObjectAttributes attributes;
        attributes.m_name = name;
        return doc.AddMeshObject(boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1)), &attributes);
    }

    static std::string serial(const CRhinoObject* object) {
        return "@" + std::to_string(object->RuntimeSerialNumber());
    }

    CRhinoDoc doc;
    CRhinoObject* box = nullptr;
    CRhinoObject* twin1 = nullptr;
    CRhinoObject* twin2 = nullptr;
    CRhinoObject* gone = nullptr;
    std::string error;
};

// Serial, id and name (any case) all find the same object.
TEST_F(ReferencesTest, ObjectsBySerialIdAndName) {
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(findObject(doc, serial(box), Deleted::no, error), box);
    EXPECT_EQ(findObject(doc, ON_UuidToString(box->Id()).ToUtf8(), Deleted::no, error), box);
    EXPECT_EQ(findObject(doc, "bOX", Deleted::no, error), box);
}

// A name two objects share is refused; the serial still tells them apart.
TEST_F(ReferencesTest, AmbiguousNamesAreRefused) {
    EXPECT_EQ(findObject(doc, "Twin", Deleted::no, error), nullptr);
    EXPECT_EQ(error, "2 objects are named \"Twin\"; use @serial");
    EXPECT_EQ(findObject(doc, serial(twin2), Deleted::no, error), twin2);
}

// Deleted objects are found only when the command asks for them, and say why not.
TEST_F(ReferencesTest, DeletedObjectsOnlyWhenAsked) {
    EXPECT_EQ(findObject(doc, "Gone", Deleted::no, error), nullptr);
    EXPECT_NE(error.find("is deleted"), std::string::npos) << error;
    EXPECT_EQ(findObject(doc, "Gone", Deleted::only, error), gone);
    EXPECT_EQ(findObject(doc, "Box", Deleted::only, error), nullptr);
    EXPECT_NE(error.find("is not deleted"), std::string::npos) << error;
    EXPECT_EQ(findObject(doc, "Gone", Deleted::also, error), gone);
}

// Table entries by index, id and name; deleted and ambiguous entries as for objects.
TEST_F(ReferencesTest, TableEntries) {
    EXPECT_EQ(findLayer(doc, "0", Deleted::no, error), 0);
    EXPECT_EQ(findLayer(doc, "default", Deleted::no, error), 0);
    EXPECT_EQ(findLayer(doc, ON_UuidToString(doc.m_layer_table[0].Id()).ToUtf8(), Deleted::no, error), 0);
    EXPECT_EQ(findLayer(doc, "Glass", Deleted::no, error), -1);
    EXPECT_EQ(error, "2 layers are named \"Glass\"; use the index");
    EXPECT_EQ(findLayer(doc, "4", Deleted::no, error), -1);
    EXPECT_EQ(error, "layer 4 does not exist (there are 4)");
    EXPECT_EQ(findLayer(doc, "3", Deleted::no, error), -1);
    EXPECT_EQ(error, "layer 3 is deleted");
    EXPECT_EQ(findLayer(doc, "Old", Deleted::only, error), 3);
    EXPECT_EQ(findMaterial(doc, "0", Deleted::no, error), -1);
    EXPECT_EQ(findBlock(doc, "Chair", Deleted::no, error), -1);
    EXPECT_EQ(error, "no block named \"Chair\"");
}

// Views by position or name.
TEST_F(ReferencesTest, Views) {
    doc.AddDefaultViews();
    const CRhinoView* top = findView(doc, "top", error);
    ASSERT_NE(top, nullptr) << error;
    EXPECT_EQ(top->Viewport().Name(), u"Top");
    EXPECT_EQ(findView(doc, "3", error), doc.ActiveView());
    EXPECT_EQ(findView(doc, "4", error), nullptr);
    EXPECT_EQ(findView(doc, "Side", error), nullptr);
}

}  // namespace
}  // namespace vantro::host
