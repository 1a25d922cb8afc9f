// The vantro-host program, run for real: scripts on small documents, with the event
// log, the Info summary and saved files as the evidence.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host_test_support.h"

namespace vantro::host_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A document with two layers (one hidden), two materials, a block placed twice and
// objects of three types, built by commands.
const char* kBuildScript = R"(
Layer Add Walls color=200,200,200
Layer Add Glass visible=off
Material Add Wood diffuse=150,100,50 shine=20
Material Add Pane transparency=0.7
AddBox 0,0,0 10,10,1 name=Floor
AddBox 0,0,0 1,10,5 name=Wall type=brep layer=Walls material=Wood
AddBox 2,2,1 3,3,4 name=Window type=extrusion layer=Glass material=Pane
AddBox 0,0,0 1,1,1 name=Leg
Block Add Table Leg base=0,0,0
Block Insert Table 5,5,0 name=T1
Block Insert Table 7,5,0 name=T2
Hide Leg
)";

class HostEventsTest : public HostTest {};

// Object edits raise the host's events in its order: a move or replace is a replace,
// a delete of the old object and an add of its successor.
TEST_F(HostEventsTest, ObjectEditsRaiseTheirEvents) {
    const HostRun run = runScript(R"(
AddBox 0,0,0 1,1,1 name=A
Print <edits>
Move A 1,0,0
Replace A
Attributes A visible=off
Delete A
Undelete @3
UpdateMesh A
Purge @3
Print </edits>
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(eventsOf(run.between("<edits>", "</edits>")),
                ElementsAre("OnReplaceObject @1 mesh \"A\" -> @2 mesh \"A\"", "OnDeleteObject @1 mesh \"A\"",
                            "OnAddObject @2 mesh \"A\"", "OnReplaceObject @2 mesh \"A\" -> @3 mesh \"A\"",
                            "OnDeleteObject @2 mesh \"A\"", "OnAddObject @3 mesh \"A\"",
                            "OnModifyObjectAttributes @3 mesh \"A\" (visible on -> off)",
                            "OnDeleteObject @3 mesh \"A\"", "OnUnDeleteObject @3 mesh \"A\"",
                            "OnUpdateObjectMesh @3 mesh \"A\"", "OnPurgeObject @3 mesh \"A\""));
}

// Layer, material, mapping and block edits raise one table event each, and the edited
// values (by name or index, through delete and undelete) land in the tables.
TEST_F(HostEventsTest, TableEditsRaiseEventsAndChangeTheEntries) {
    const HostRun run = runScript(R"(
AddBox 0,0,0 1,1,1 name=A
Print <edits>
Layer Add Glass
Layer Set Glass visible=off color=0,0,255
Layer Set Glass name=Clear material=none
Layer Delete Clear
Layer Undelete Clear
Material Add Red diffuse=255,0,0
Material Set Red transparency=0.5 shine=100
Material Texture Red bitmap /textures/red.png
Material Delete Red
Material Undelete Red
Mapping Add box size=2 name=Cube
Mapping Set Cube repeat=2,2,1
Mapping Apply Cube A channel=1
Mapping Delete Cube
Mapping Undelete Cube
Block Add B A
Block Set B description=chair
Block Geometry B A
Print </edits>
Material Set 0 transparency=0.25
Material Texture Red bump /t/b.png
Layer Add Glass color=1,2,3 material=Red
Print <list>
List materials
List layers
Print </list>
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(eventsOf(run.between("<edits>", "</edits>")),
                ElementsAre("LayerTableEvent added 1 \"Glass\"", "LayerTableEvent modified 1 \"Glass\"",
                            "LayerTableEvent modified 1 \"Clear\"", "LayerTableEvent deleted 1 \"Clear\"",
                            "LayerTableEvent undeleted 1 \"Clear\"", "MaterialTableEvent added 0 \"Red\"",
                            "MaterialTableEvent modified 0 \"Red\"", "MaterialTableEvent modified 0 \"Red\"",
                            "MaterialTableEvent deleted 0 \"Red\"", "MaterialTableEvent undeleted 0 \"Red\"",
                            "TextureMappingTableEvent added 0 \"Cube\"", "TextureMappingTableEvent modified 0 \"Cube\"",
                            "OnModifyObjectAttributes @1 mesh \"A\" (mappings old -> new)",
                            "TextureMappingTableEvent deleted 0 \"Cube\"",
                            "TextureMappingTableEvent undeleted 0 \"Cube\"", "IdefTableEvent added 0 \"B\"",
                            "IdefTableEvent modified 0 \"B\"", "IdefTableEvent modified 0 \"B\""));
    const auto list = withoutEvents(run.between("<list>", "</list>"));
    ASSERT_EQ(list.size(), 4u) << run.output;
    EXPECT_THAT(list[0], HasSubstr("0 \"Red\" diffuse=255,0,0 transparency=0.25 shine=100 bitmap=\"/textures/red.png\" "
                                   "bump=\"/t/b.png\""));
    EXPECT_THAT(list[2], HasSubstr("1 \"Clear\" off color=0,0,255 material=-1"));
    EXPECT_THAT(list[3], HasSubstr("2 \"Glass\" visible color=1,2,3 material=0"));
}

// Units without scaling only change a property; with scaling every object is replaced
// by a scaled one, then the scale is announced. Words and option names take any case. A
// perspective view switched to parallel is modified (the plug-in stops following it).
TEST_F(HostEventsTest, UnitsWithAndWithoutScaling) {
    const HostRun run = runScript(R"(
AddBox 0,0,0 1,1,1 name=A
Print <plain>
Units Meters
Print <scaled>
Units MILLIMETERS Scale=On
Print <view>
View Projection parallel
Print <end>
List objects
Info
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(eventsOf(run.between("<plain>", "<scaled>")),
                ElementsAre("OnDocumentPropertiesChanged document 1 (untitled)"));
    EXPECT_THAT(eventsOf(run.between("<view>", "<end>")), ElementsAre("OnViewModified \"Perspective\""));
    EXPECT_THAT(eventsOf(run.between("<scaled>", "<view>")),
                ElementsAre("OnReplaceObject @1 mesh \"A\" -> @2 mesh \"A\"", "OnDeleteObject @1 mesh \"A\"",
                            "OnAddObject @2 mesh \"A\"", "OnUnitsChangedWithScaling scale=1000",
                            "OnDocumentPropertiesChanged document 1 (untitled)"));
    EXPECT_TRUE(run.has("@2 mesh \"A\" layer=0 material=layer:-1 box=0,0,0..1000,1000,1000")) << run.output;
    EXPECT_TRUE(run.has("Units: millimeters")) << run.output;
}

// File commands raise the document events; an export keeps the document's name.
TEST_F(HostEventsTest, FileCommands) {
    const std::string full = path("full.json");
    const std::string part = path("part.json");
    const HostRun run = runScript(
        "AddBox 0,0,0 1,1,1 name=A\nAddBox 0,0,0 1,1,1 name=B\nSelect B\n"
        "Print <save>\nSaveAs " +
        full + "\nSaveAs " + part + " selected=on\n" + "Print <merge>\nOpen " + part + " merge=on\n" +
        "Print <new>\nNew\nPrint <end>\nInfo\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(eventsOf(run.between("<save>", "<merge>")),
                ElementsAre("OnBeginSaveDocument \"" + full + "\" selected=no",
                            "OnEndSaveDocument \"" + full + "\" selected=no",
                            "OnBeginSaveDocument \"" + part + "\" selected=yes",
                            "OnEndSaveDocument \"" + part + "\" selected=yes"));
    const auto merge = eventsOf(run.between("<merge>", "<new>"));
    ASSERT_GE(merge.size(), 3u) << run.output;
    EXPECT_EQ(merge.front(), "OnBeginOpenDocument \"" + part + "\" merge=yes reference=no");
    EXPECT_THAT(merge, ::testing::Contains(HasSubstr("OnAddObject @")));
    EXPECT_EQ(merge.back(), "OnEndOpenDocument \"" + part + "\" merge=yes reference=no");
    EXPECT_THAT(run.between("<merge>", "<new>"), ::testing::Contains(HasSubstr("3 object(s) in the document")));
    const auto created = eventsOf(run.between("<new>", "<end>"));
    ASSERT_FALSE(created.empty());
    EXPECT_EQ(created.front(), "OnCloseDocument document 1 \"full.json\"");
    EXPECT_TRUE(run.has("Objects: 0")) << run.output;
}

// A command that the document refuses reports why and changes nothing.
TEST_F(HostEventsTest, RefusedEditsReportWhy) {
    const HostRun run = runScript(R"(
Layer Add Busy
AddBox 0,0,0 1,1,1 layer=Busy name=Free
AddBox 0,0,0 1,1,1 mode=locked name=Fixed
Print <a>
Layer Delete Busy
Save
Delete Free Fixed
Print <b>
Info
)");
    EXPECT_EQ(run.exitCode, 3);
    const auto out = run.between("<a>", "<b>");
    EXPECT_EQ(eventsOf(out), std::vector<std::string>());
    EXPECT_THAT(out, ::testing::Contains("Layer 1: the layer has objects."));
    EXPECT_THAT(out, ::testing::Contains("Save: the document has never been saved; use SaveAs <file>"));
    EXPECT_THAT(out, ::testing::Contains("Delete: @2 mesh \"Fixed\" is locked; nothing was deleted"));
    EXPECT_TRUE(run.has("Layers: 2")) << run.output;
    EXPECT_TRUE(run.has("Objects: 2 (mesh 2)")) << run.output;
}

class HostFilesTest : public HostTest {};

// Saving as JSON and opening the file again gives the same document.
TEST_F(HostFilesTest, SaveRoundTripKeepsTheDocument) {
    const std::string file = path("round.json");
    const HostRun first = runScript(std::string(kBuildScript) +
                                    "Mapping Add sphere name=Ball\nMaterial Texture Wood bitmap /tex/wood.jpg\n"
                                    "Units inches\nView Projection parallel view=Front\n"
                                    "SaveAs " +
                                    file +
                                    "\nPrint <info>\nInfo\nList layers\nList materials\n"
                                    "List mappings\nList views\nPrint </info>\n");
    ASSERT_EQ(first.exitCode, 0) << first.output;
    const HostRun second = runScript(
        "Print <info>\nInfo\nList layers\nList materials\nList mappings\nList views\n"
        "Print </info>\n",
        {file});
    ASSERT_EQ(second.exitCode, 0) << second.output;
    const auto before = withoutEvents(first.between("<info>", "</info>"), true);
    EXPECT_EQ(withoutEvents(second.between("<info>", "</info>"), true), before);
    EXPECT_THAT(before, ::testing::Contains("Units: inches"));
    EXPECT_THAT(second.between("<info>", "</info>"), ::testing::Contains("Document: " + file));
}

// A document that cannot be read stops the start with the loader's reason; opening one
// while a document is open keeps that document.
TEST_F(HostFilesTest, BrokenDocuments) {
    const std::string file = write("broken.json", "{\"format\": \"vantro-document\", \"version\": 1, \"layers\": [}");
    const HostRun start = this->run({file, "--command", "Print never"});
    EXPECT_EQ(start.exitCode, 1);
    EXPECT_TRUE(start.has("broken.json")) << start.output;
    EXPECT_FALSE(start.has("never")) << start.output;
    const HostRun open = runScript("AddBox 0,0,0 1,1,1\nPrint <a>\nOpen " + file + "\nPrint <b>\nInfo\n");
    EXPECT_EQ(open.exitCode, 3);
    EXPECT_EQ(eventsOf(open.between("<a>", "<b>")), std::vector<std::string>());
    EXPECT_TRUE(open.has("Objects: 1 (mesh 1)")) << open.output;
}

// The bundled sample document opens with its tables.
TEST_F(HostFilesTest, BundledSampleOpens) {
    const HostRun run = this->run({VANTRO_SOURCE_DIR "/resources/samples/living-room.json", "--command", "Info"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(run.has("Instance references: 2")) << run.output;
    EXPECT_TRUE(run.has("Layers: 5 (hidden: \"Construction\")")) << run.output;
    EXPECT_TRUE(run.has("Materials: 5")) << run.output;
    EXPECT_FALSE(run.has("not found")) << run.output;
}

}  // namespace
}  // namespace vantro::host_test
