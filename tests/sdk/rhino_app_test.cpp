// The application: a merge remaps what it adds, and the command area takes text from
// many threads. (Opening, saving and failed opens are checked through the host
// program, in tests/host/vantro_host_test.cpp.)

#include <gtest/gtest.h>

#include <thread>

#include "sdk_test_support.h"

using namespace vantro::sdktest;
using Events = std::vector<std::string>;

namespace {

// A reader for ".testdoc" files: two layers, a material, a mapping and two objects.
bool readTestDoc(CRhinoDoc& doc, const ON_wString&, ON_wString&) {
    ON_Layer base;
    base.SetName(u"Base");
    doc.m_layer_table.AddLayer(base);
    ON_Layer detail;
    detail.SetName(u"Detail");
    detail.SetRenderMaterialIndex(0);
    doc.m_layer_table.AddLayer(detail);
    ON_Material wood;
    wood.SetName(u"Wood");
    doc.m_material_table.AddMaterial(wood);
    ON_TextureMapping mapping;
    mapping.SetSphereMapping(ON_3dPoint::Origin, 1.0);
    const int mi = doc.m_texture_mapping_table.AddTextureMapping(mapping);
    ON_3dmObjectAttributes a = onLayer(1);
    a.m_rendering_attributes.AddMappingChannel(RhinoApp().GetDefaultRenderApp(), 1,
                                               doc.m_texture_mapping_table[mi].Id());
    doc.AddMeshObject(boxMesh(0, 0, 0, 1, 1, 1), &a);
    const ON_3dmObjectAttributes b = onLayer(0);
    doc.AddMeshObject(triangleMesh(), &b);
    return true;
}

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        RhinoApp().SetDocumentReader(u"testdoc", readTestDoc);
        RhinoApp().NewDocument();
        watcher = std::make_unique<RecordingWatcher>();
    }
    void TearDown() override {
        watcher.reset();
        RhinoApp().CloseDocument();
        RhinoApp().ClearCommandHistoryWindow();
    }
    std::unique_ptr<RecordingWatcher> watcher;
};

}  // namespace

// Importing (merge) keeps the document and adds the file's content with the usual
// table and object events between begin and end; indices and mapping ids are remapped.
TEST_F(AppTest, MergeAddsContentWithEvents) {
    CRhinoDoc* doc = RhinoApp().ActiveDoc();
    ASSERT_TRUE(RhinoApp().OpenDocument(u"/models/parts.testdoc", true));
    EXPECT_EQ(RhinoApp().ActiveDoc(), doc);
    const Events events = watcher->take();
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[0], "BeginOpen /models/parts.testdoc merge");
    EXPECT_EQ(events[1], "Material 0 0 old=null");
    EXPECT_EQ(events[2], "Mapping 0 0 old=null");
    EXPECT_EQ(events[3], "Layer 0 1 old=null");
    EXPECT_EQ(events[4], "Layer 0 2 old=null");
    EXPECT_EQ(events[5].rfind("AddObject ", 0), 0u);
    EXPECT_EQ(events[6].rfind("AddObject ", 0), 0u);
    EXPECT_EQ(events[7], "EndOpen /models/parts.testdoc merge");
    // The box was on the file's layer 1 ("Detail"), now layer 2 of this document, and
    // its mapping channel names the mapping as added here.
    const CRhinoObject* box = nullptr;
    CRhinoObjectIterator it(*doc);
    for (CRhinoObject* o = it.First(); o; o = it.Next())
        if (o->Attributes().m_layer_index == 2)
            box = o;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(utf8(box->ObjectLayer().Name()), "Detail");
    EXPECT_EQ(box->ObjectLayer().RenderMaterialIndex(), 0);
    const ON_MappingRef* ref = box->Attributes().m_rendering_attributes.MappingRef(RhinoApp().GetDefaultRenderApp());
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(doc->m_texture_mapping_table.FindTextureMapping(ref->MappingChannel(1)), 0);
}

// Text printed from several threads at once arrives whole, none lost.
TEST_F(AppTest, PrintFromManyThreads) {
    RhinoApp().ClearCommandHistoryWindow();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 250; ++i)
                RhinoApp().Print(u"[%d:%03d]", t, i);
        });
    for (std::thread& th : threads)
        th.join();
    const std::string text = utf8(RhinoApp().CommandHistoryWindowText());
    EXPECT_EQ(text.size(), 1000u * 7u);
    EXPECT_NE(text.find("[3:249]"), std::string::npos);
}
