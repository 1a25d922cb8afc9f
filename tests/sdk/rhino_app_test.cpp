// The application: document lifecycle events (new, open, merge, save, save as, export
// selected, auto-save, close), the active view, the command area and the status bar.

#include <gtest/gtest.h>

#include <thread>

#include "sdk_test_support.h"

using namespace vantro::sdktest;
using Events = std::vector<std::string>;

namespace {

// A reader for ".testdoc" files: two layers, a material, a mapping and two objects;
// the file name "broken.testdoc" fails.
bool readTestDoc(CRhinoDoc& doc, const ON_wString& path, ON_wString& error) {
    if (path.Find(u"broken") >= 0) {
        error = u"line 3: unexpected end";
        return false;
    }
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
    a.m_rendering_attributes.AddMappingChannel(RhinoApp().GetDefaultRenderApp(), 1, doc.m_texture_mapping_table[mi].Id());
    doc.AddMeshObject(boxMesh(0, 0, 0, 1, 1, 1), &a);
    const ON_3dmObjectAttributes b = onLayer(0);
    doc.AddMeshObject(triangleMesh(), &b);
    return true;
}

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        RhinoApp().SetDocumentReader(u"testdoc", readTestDoc);
        RhinoApp().SetDocumentWriter(u"testdoc", [this](const CRhinoDoc& doc, const ON_wString& path, bool selected,
                                                        ON_wString& error) {
            writes.push_back(utf8(path) + (selected ? " selected" : "") + " " + std::to_string(doc.RuntimeSerialNumber()));
            if (path.Find(u"readonly") >= 0) {
                error = u"permission denied";
                return false;
            }
            return true;
        });
        RhinoApp().NewDocument();
        watcher = std::make_unique<RecordingWatcher>();
    }
    void TearDown() override {
        watcher.reset();
        RhinoApp().CloseDocument();
        RhinoApp().ClearCommandHistoryWindow();
    }
    std::unique_ptr<RecordingWatcher> watcher;
    std::vector<std::string> writes;
};

std::string sn(const CRhinoDoc* d) { return std::to_string(d->RuntimeSerialNumber()); }

}  // namespace

// File New closes the active document and announces the new one, its views and the
// active view.
TEST_F(AppTest, NewDocumentRaisesCloseNewActiveAndViews) {
    CRhinoDoc* old = RhinoApp().ActiveDoc();
    const std::string oldSerial = sn(old);
    CRhinoDoc* doc = RhinoApp().NewDocument();
    const Events expected = {"CloseDocument " + oldSerial, "NewDocument " + sn(doc), "ActiveDocumentChanged " + sn(doc),
                             "CreateView Top", "CreateView Front", "CreateView Right", "CreateView Perspective",
                             "SetActiveView Perspective"};
    EXPECT_EQ(watcher->take(), expected);
    EXPECT_EQ(CRhinoDoc::FromRuntimeSerialNumber(std::stoul(oldSerial)), nullptr);
    EXPECT_EQ(doc->m_layer_table.LayerCount(), 1);
    EXPECT_TRUE(RhinoApp().ActiveView()->Viewport().VP().IsPerspectiveProjection());
}

// Opening replaces the document: the events say it is a new document being opened
// (not merged), and the read content arrives without per-object events.
TEST_F(AppTest, OpenRaisesBeginAndEndWithoutMerge) {
    const std::string oldSerial = sn(RhinoApp().ActiveDoc());
    ASSERT_TRUE(RhinoApp().OpenDocument(u"/models/house.testdoc"));
    CRhinoDoc* doc = RhinoApp().ActiveDoc();
    const Events expected = {"CloseDocument " + oldSerial,
                             "NewDocument " + sn(doc),
                             "ActiveDocumentChanged " + sn(doc),
                             "BeginOpen /models/house.testdoc",
                             "CreateView Top",
                             "CreateView Front",
                             "CreateView Right",
                             "CreateView Perspective",
                             "EndOpen /models/house.testdoc",
                             "SetActiveView Perspective"};
    EXPECT_EQ(watcher->take(), expected);
    EXPECT_EQ(utf8(doc->GetPathName()), "/models/house.testdoc");
    EXPECT_EQ(utf8(doc->GetTitle()), "house.testdoc");
    EXPECT_EQ(doc->m_layer_table.LayerCount(), 2);
    EXPECT_TRUE(doc->RaisesEvents());
}

// A file that cannot be read changes nothing: the current document stays, the reason
// is reported.
TEST_F(AppTest, FailedOpenKeepsTheCurrentDocument) {
    CRhinoDoc* before = RhinoApp().ActiveDoc();
    ON_wString error;
    EXPECT_FALSE(RhinoApp().OpenDocument(u"/models/broken.testdoc", false, &error));
    EXPECT_EQ(utf8(error), "line 3: unexpected end");
    EXPECT_FALSE(RhinoApp().OpenDocument(u"/models/house.unknown", false, &error));
    EXPECT_EQ(RhinoApp().ActiveDoc(), before);
    EXPECT_TRUE(watcher->take().empty());
    EXPECT_NE(RhinoApp().CommandHistoryWindowText().Find(u"line 3: unexpected end"), -1);
}

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
        if (o->Attributes().m_layer_index == 2) box = o;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(utf8(box->ObjectLayer().Name()), "Detail");
    EXPECT_EQ(box->ObjectLayer().RenderMaterialIndex(), 0);
    const ON_MappingRef* ref = box->Attributes().m_rendering_attributes.MappingRef(RhinoApp().GetDefaultRenderApp());
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(doc->m_texture_mapping_table.FindTextureMapping(ref->MappingChannel(1)), 0);
}

// Save and Save As rename the document after the write; exporting the selection keeps
// the name; begin-save comes before the write, end-save only after a good write.
TEST_F(AppTest, SaveSaveAsExportAndAutoSave) {
    CRhinoDoc* doc = RhinoApp().ActiveDoc();
    const std::string d = sn(doc);
    ASSERT_TRUE(RhinoApp().SaveDocument(*doc, u"/w/a.testdoc"));
    ASSERT_TRUE(RhinoApp().SaveDocument(*doc, u"/w/b.testdoc"));
    ASSERT_TRUE(RhinoApp().SaveDocument(*doc, u"/w/sel.testdoc", true));
    EXPECT_EQ(utf8(doc->GetPathName()), "/w/b.testdoc");
    EXPECT_FALSE(RhinoApp().SaveDocument(*doc, u"/w/readonly.testdoc"));
    EXPECT_EQ(utf8(doc->GetPathName()), "/w/b.testdoc");
    RhinoApp().AppSettings().FileSettings().SetAutoSaveFile(u"/tmp/auto.testdoc");
    ASSERT_TRUE(RhinoApp().AutoSave());
    EXPECT_EQ(utf8(doc->GetPathName()), "/w/b.testdoc");
    RhinoApp().AppSettings().FileSettings().SetAutoSaveEnabled(false);
    EXPECT_FALSE(RhinoApp().AutoSave());
    RhinoApp().AppSettings().FileSettings().SetAutoSaveEnabled(true);

    const Events expected = {"BeginSave /w/a.testdoc",   "EndSave /w/a.testdoc",
                             "BeginSave /w/b.testdoc",   "EndSave /w/b.testdoc",
                             "BeginSave /w/sel.testdoc selected", "EndSave /w/sel.testdoc selected",
                             "BeginSave /w/readonly.testdoc", "BeginSave /tmp/auto.testdoc",
                             "EndSave /tmp/auto.testdoc"};
    EXPECT_EQ(watcher->take(), expected);
    EXPECT_EQ(writes, (std::vector<std::string>{"/w/a.testdoc " + d, "/w/b.testdoc " + d, "/w/sel.testdoc selected " + d,
                                                "/w/readonly.testdoc " + d, "/tmp/auto.testdoc " + d}));
}

// Changing the active view reports the new view once; another document's view or the
// same view again changes nothing.
TEST_F(AppTest, ActiveViewChangeIsReportedOnce) {
    CRhinoDoc* doc = RhinoApp().ActiveDoc();
    ON_SimpleArray<CRhinoView*> views;
    ASSERT_EQ(doc->GetViewList(views), 4);
    EXPECT_TRUE(RhinoApp().SetActiveView(views[0]));
    EXPECT_TRUE(RhinoApp().SetActiveView(views[0]));
    CRhinoDoc other;
    CRhinoView* foreign = other.AddView(ON_Viewport(), u"Elsewhere");
    EXPECT_FALSE(RhinoApp().SetActiveView(foreign));
    EXPECT_EQ(watcher->take(), Events{"SetActiveView Top"});
    EXPECT_EQ(RhinoApp().ActiveView(), views[0]);
}

// Closing the application: close-Rhino, then the document closes.
TEST_F(AppTest, CloseRhinoClosesTheDocument) {
    const std::string d = sn(RhinoApp().ActiveDoc());
    RhinoApp().CloseRhino();
    EXPECT_EQ(watcher->take(), (Events{"CloseRhino", "CloseDocument " + d}));
    EXPECT_EQ(RhinoApp().ActiveDoc(), nullptr);
    EXPECT_EQ(RhinoApp().ActiveView(), nullptr);
}

// The command area keeps what was printed (formatted), the status pane its text, and
// each progress-meter run its label, limits and positions.
TEST_F(AppTest, CommandAreaStatusPaneAndProgressMeter) {
    RhinoApp().ClearCommandHistoryWindow();
    RhinoApp().Print(u"Vantro: %d objects in %ls\n", 3, u"house");
    RhinoApp().PrintText(u"100% literal\n");
    EXPECT_EQ(utf8(RhinoApp().CommandHistoryWindowText()), "Vantro: 3 objects in house\n100% literal\n");
    RhinoApp().SetStatusBarMessagePane(u"Velora Vantro: started.");
    EXPECT_EQ(utf8(RhinoApp().StatusBarMessagePane()), "Velora Vantro: started.");

    RhinoApp().ClearProgressMeterHistory();
    EXPECT_EQ(RhinoApp().StatusBarProgressMeterPos(1), 0);  // no meter running
    EXPECT_EQ(RhinoApp().StatusBarProgressMeterStart(0, 3, u"loading", false, true), 1);
    EXPECT_EQ(RhinoApp().StatusBarProgressMeterPos(0), 0);
    EXPECT_EQ(RhinoApp().StatusBarProgressMeterPos(2), 2);
    EXPECT_EQ(RhinoApp().StatusBarProgressMeterPos(5, false), 3);  // clamped
    RhinoApp().StatusBarProgressMeterEnd();
    EXPECT_EQ(RhinoApp().StatusBarProgressMeterStart(5, 1, u"bad", false, false), 0);
    ASSERT_EQ(RhinoApp().ProgressMeterHistory().size(), 1u);
    const RhinoProgressMeterRun& run = RhinoApp().ProgressMeterHistory()[0];
    EXPECT_EQ(utf8(run.label), "loading");
    EXPECT_EQ(run.upper, 3);
    EXPECT_EQ(run.positions, (std::vector<int>{0, 2, 3}));
    EXPECT_TRUE(run.ended);
    EXPECT_FALSE(RhinoApp().StatusBarProgressMeterRunning());
}

// Text printed from several threads at once arrives whole, none lost.
TEST_F(AppTest, PrintFromManyThreads) {
    RhinoApp().ClearCommandHistoryWindow();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 250; ++i) RhinoApp().Print(u"[%d:%03d]", t, i);
        });
    for (std::thread& th : threads) th.join();
    const std::string text = utf8(RhinoApp().CommandHistoryWindowText());
    EXPECT_EQ(text.size(), 1000u * 7u);
    EXPECT_NE(text.find("[3:249]"), std::string::npos);
}
