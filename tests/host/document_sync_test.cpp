// Applying a newer copy of the document's file to the open document: each kind of
// change becomes the edit a user would make, with that edit's events and no others,
// and afterwards the open document saves to the same bytes as the newer copy.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "document_sync.h"
#include "event_log.h"
#include "host_session.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/io/document_formats.h"
#include "support/test_environment.h"
#include "support/test_files.h"

namespace {

using vantro::test::readFile;
using vantro::test::writeFile;

using namespace vantro::host;

// A document built by host commands, saved before and after some edits; the "before"
// copy is then opened and the "after" copy applied to it.
class DocumentSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantro::docio::registerDocumentFormats(RhinoApp());
        RhinoApp().NewDocument();
        run({"Material Add Red diffuse=200,0,0", "Material Add Blue diffuse=0,0,200",
             "Layer Add Walls color=10,20,30 material=Blue", "AddBox 0,0,0 10,10,10 name=A material=Red",
             "AddBox 20,0,0 30,5,5 name=B layer=Walls", "AddBox 0,20,0 4,24,4 name=C"});
    }
    void TearDown() override {
        events_.reset();
        RhinoApp().NewDocument();
    }

    void run(const std::vector<std::string>& lines) {
        for (const std::string& line : lines)
            ASSERT_EQ(session_.runLine(line), CommandOutcome::done) << line << "\n" << text_;
    }

    // Saves the document as it is, makes the edits and saves again, then opens the
    // first copy and applies the second. Returns the changes; events() tells what
    // the application raised meanwhile.
    DocumentChanges saveEditApply(const std::vector<std::string>& edits) {
        run({"SaveAs " + path("before.json")});
        run(edits);
        run({"SaveAs " + path("after.json"), "Open " + path("before.json")});
        CRhinoDoc read;
        ON_wString error;
        EXPECT_TRUE(RhinoApp().ReadDocument(ON_wString::FromUtf8(path("after.json")), read, error)) << error.ToUtf8();
        text_.clear();
        events_ = std::make_unique<EventLog>(output_);
        const DocumentChanges changes = applyDocumentChanges(*RhinoApp().ActiveDoc(), read);
        events_.reset();
        return changes;
    }

    // Applies read to the open document with the event log on.
    DocumentChanges apply(const CRhinoDoc& read) {
        text_.clear();
        events_ = std::make_unique<EventLog>(output_);
        const DocumentChanges changes = applyDocumentChanges(*RhinoApp().ActiveDoc(), read);
        events_.reset();
        return changes;
    }

    // The events raised, in order: their names, and a table event's kind.
    std::vector<std::string> events() const {
        std::vector<std::string> names;
        std::istringstream lines(text_);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            std::string tag, name, kind;
            words >> tag >> name >> kind;
            if (tag == "[event]")
                names.push_back(name.find("TableEvent") != std::string::npos ? name + " " + kind : name);
        }
        return names;
    }

    // The newer copy applied once more changes nothing.
    void expectNothingLeft() {
        CRhinoDoc read;
        ON_wString error;
        ASSERT_TRUE(RhinoApp().ReadDocument(ON_wString::FromUtf8(path("after.json")), read, error));
        const DocumentChanges again = applyDocumentChanges(*RhinoApp().ActiveDoc(), read);
        EXPECT_EQ(again.total(), 0) << describeChanges(again);
    }

    // The open document, saved, is byte for byte the newer copy.
    void expectSameAsAfter() {
        expectNothingLeft();
        run({"SaveAs " + path("again.json")});
        EXPECT_EQ(readFile(path("again.json")), readFile(path("after.json")));
    }

    std::string path(const std::string& name) const { return env_.root() + "/" + name; }

    vantro::test::TestEnvironment env_;
    std::string text_;
    HostOutput output_{[this](std::string_view t) { text_ += t; }};
    HostSession session_{output_};
    std::unique_ptr<EventLog> events_;
};

using Events = std::vector<std::string>;

// A file saved without changes changes nothing and raises nothing.
TEST_F(DocumentSyncTest, AnUnchangedSaveIsNoEdit) {
    const DocumentChanges changes = saveEditApply({});
    EXPECT_EQ(changes.total(), 0);
    EXPECT_EQ(changes.refused, 0);
    EXPECT_EQ(events(), Events{});
    EXPECT_EQ(describeChanges(changes), "no changes");
}

// A moved object is one replacement of that object, counted as a move.
TEST_F(DocumentSyncTest, AMoveReplacesOnlyThatObject) {
    const DocumentChanges changes = saveEditApply({"Rotate A 30 center=5,5,0", "Move A 100,0,-3"});
    EXPECT_EQ(changes.moved, 1);
    EXPECT_EQ(changes.total(), 1);
    EXPECT_EQ(events(), (Events{"OnReplaceObject", "OnDeleteObject", "OnAddObject"}));
    EXPECT_EQ(describeChanges(changes), "1 object moved");
    expectSameAsAfter();
}

// A new shape under the same id is a replacement, not a move.
TEST_F(DocumentSyncTest, ANewShapeIsAReplacement) {
    // Stretched along x: the same triangles, but no longer the same shape.
    const DocumentChanges changes = saveEditApply({"Replace B 20,0,0 31,5,5"});
    EXPECT_EQ(changes.replaced, 1);
    EXPECT_EQ(changes.moved, 0);
    EXPECT_EQ(changes.total(), 1);
    EXPECT_EQ(events(), (Events{"OnReplaceObject", "OnDeleteObject", "OnAddObject"}));
    expectSameAsAfter();
}

// Attributes alone (visibility, name, layer, material) are one attribute edit each.
TEST_F(DocumentSyncTest, AttributesAloneAreAnAttributeEdit) {
    const DocumentChanges changes =
        saveEditApply({"Hide B", "Attributes C name=Cube layer=Walls", "Attributes A material=Blue"});
    EXPECT_EQ(changes.attributes, 3);
    EXPECT_EQ(changes.total(), 3);
    EXPECT_EQ(events(), (Events{"OnModifyObjectAttributes", "OnModifyObjectAttributes", "OnModifyObjectAttributes"}));
    expectSameAsAfter();
}

// Objects are matched by id: a new id is an addition, a missing one a deletion.
TEST_F(DocumentSyncTest, NewAndMissingIdsAreAddedAndDeleted) {
    const DocumentChanges changes = saveEditApply({"Delete C", "Copy A 0,50,0 name=A2"});
    EXPECT_EQ(changes.added, 1);
    EXPECT_EQ(changes.deleted, 1);
    EXPECT_EQ(changes.total(), 2);
    EXPECT_EQ(events(), (Events{"OnAddObject", "OnDeleteObject"}));
    expectSameAsAfter();
}

// The file's object whose id a reference object of the open document holds cannot
// have its id: it is refused at every save, never added afresh under another id.
TEST_F(DocumentSyncTest, AnIdHeldByAReferenceObjectIsRefused) {
    run({"SaveAs " + path("after.json"), "Delete A"});
    CRhinoDoc read;
    ON_wString error;
    ASSERT_TRUE(RhinoApp().ReadDocument(ON_wString::FromUtf8(path("after.json")), read, error));
    const CRhinoObject* fileA = nullptr;
    for (const CRhinoObject* object : read.Objects())
        if (object->Attributes().m_name.str() == u"A")
            fileA = object;
    ASSERT_NE(fileA, nullptr);
    ASSERT_NE(RhinoApp().ActiveDoc()->AddObject(fileA->DuplicateObject(), true), nullptr);
    EXPECT_EQ(describeChanges(apply(read)), "no changes; 1 edit refused");
    EXPECT_EQ(describeChanges(apply(read)), "no changes; 1 edit refused");
    int named = 0;
    for (const CRhinoObject* object : RhinoApp().ActiveDoc()->Objects())
        named += !object->IsDeleted() && object->Attributes().m_name.str() == u"A";
    EXPECT_EQ(named, 1);
}

// Layers and materials: modified in place, added and deleted, each with its table
// event; an object's remapped indices follow.
TEST_F(DocumentSyncTest, LayersAndMaterialsFollow) {
    const DocumentChanges changes =
        saveEditApply({"Layer Set Walls visible=off color=1,2,3 material=Red", "Material Set Blue diffuse=0,90,200",
                       "Material Add Green diffuse=0,200,0", "Layer Add Glass",
                       "AddBox 0,0,9 1,1,10 name=D layer=Glass material=Green"});
    EXPECT_EQ(changes.layers, 2);
    EXPECT_EQ(changes.materials, 2);
    EXPECT_EQ(changes.added, 1);
    EXPECT_EQ(changes.total(), 5);
    EXPECT_EQ(events(), (Events{"MaterialTableEvent modified", "MaterialTableEvent added", "LayerTableEvent modified",
                                "LayerTableEvent added", "OnAddObject"}));
    expectSameAsAfter();
}

// Units change without scaling: the file's numbers are already in its units.
TEST_F(DocumentSyncTest, UnitsChangeWithoutScaling) {
    const DocumentChanges changes = saveEditApply({"Units meters scale=off"});
    EXPECT_TRUE(changes.units);
    EXPECT_EQ(changes.total(), 1);
    EXPECT_EQ(events(), (Events{"OnDocumentPropertiesChanged"}));
    expectSameAsAfter();
}

// Blocks: a new definition comes before the instances that place it; a moved
// instance is a move; a changed description is a modified definition.
TEST_F(DocumentSyncTest, BlocksAndTheirInstancesFollow) {
    run({"Block Add Stool A base=0,0,0", "Block Insert Stool 50,0,0 name=S1"});
    const DocumentChanges changes = saveEditApply({"Move S1 0,10,0", "Block Set Stool description=wooden",
                                                   "Block Add Shelf B", "Block Insert Shelf 0,0,40 name=S2"});
    EXPECT_EQ(changes.moved, 1);
    EXPECT_EQ(changes.blocks, 2);
    EXPECT_EQ(changes.added, 1);
    EXPECT_EQ(changes.total(), 4);
    // Members are stored in the order they were made, so the file's order may differ.
    expectNothingLeft();
}

// Views are matched by name: a moved camera and another active view.
TEST_F(DocumentSyncTest, TheNamedAndActiveViewsFollow) {
    const DocumentChanges changes = saveEditApply({"View Camera 50,-80,40 5,5,5 view=Perspective", "View Active Top"});
    EXPECT_EQ(changes.views, 2);
    EXPECT_EQ(changes.total(), 2);
    expectSameAsAfter();
}

// An embedded image that changed is put in place and announced through the material
// that shows it; a texture switched off is a change of its material.
TEST_F(DocumentSyncTest, EmbeddedImagesAndTexturesFollow) {
    CRhinoDoc& doc = *RhinoApp().ActiveDoc();
    ON_Bitmap image;
    ASSERT_TRUE(image.Create(2, 2, 24));
    image.SetId();
    const int bitmap = doc.m_bitmap_table.AddBitmap(image);
    ON_Material red = doc.m_material_table[0];
    ON_Texture texture;
    texture.m_texture_id = doc.m_bitmap_table.Bitmap(bitmap)->Id();
    texture.m_image_file_reference.SetFullPath(u"/nowhere/tiles.bmp");
    red.AddTexture(texture);
    ASSERT_TRUE(doc.m_material_table.ModifyMaterial(red, 0));
    run({"SaveAs " + path("textured.json")});
    CRhinoDoc read;
    ON_wString error;
    ASSERT_TRUE(RhinoApp().ReadDocument(ON_wString::FromUtf8(path("textured.json")), read, error)) << error.ToUtf8();
    ASSERT_EQ(read.m_bitmap_table.BitmapCount(), 1);
    ASSERT_NE(read.m_material_table[0].TextureBitmap(), nullptr);

    ON_Bitmap repainted = *read.m_bitmap_table.Bitmap(0);
    repainted.Bits(0)[0] = 200;
    ASSERT_TRUE(read.m_bitmap_table.ReplaceBitmap(0, repainted));
    DocumentChanges changes = apply(read);
    EXPECT_EQ(changes.materials, 1);
    EXPECT_EQ(changes.total(), 1);
    EXPECT_EQ(events(), Events{"MaterialTableEvent modified"});
    EXPECT_EQ(doc.m_bitmap_table.Bitmap(bitmap)->Bits(0)[0], 200);
    EXPECT_EQ(apply(read).total(), 0) << "the image is in place now";

    ON_Material off = read.m_material_table[0];
    off.m_textures[0].m_bOn = false;
    ASSERT_TRUE(read.m_material_table.ModifyMaterial(off, 0));
    changes = apply(read);
    EXPECT_EQ(changes.materials, 1);
    EXPECT_EQ(changes.total(), 1);
    EXPECT_FALSE(doc.m_material_table[0].m_textures[0].m_bOn);
}

}  // namespace
