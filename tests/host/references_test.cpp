// How commands name deleted objects and table entries: deleted ones only where asked
// for, ambiguous names refused. (Bad object references are checked through the
// program, in vantro_host_test.cpp.)

#include "references.h"

#include <gtest/gtest.h>

#include "box_mesh.h"
#include "sdk/rhino_doc.h"

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
        add(u"Box");
        gone = add(u"Gone");
        doc.DeleteObject(CRhinoObjRef(gone));
    }

    CRhinoObject* add(const char16_t* name) {
        ON_3dmObjectAttributes attributes;
        attributes.m_name = name;
        return doc.AddMeshObject(boxMesh(ON_3dPoint(0, 0, 0), ON_3dPoint(1, 1, 1)), &attributes);
    }

    CRhinoDoc doc;
    CRhinoObject* gone = nullptr;
    std::string error;
};

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

}  // namespace
}  // namespace vantro::host
