// The vantro-host program, run for real: scripts on small documents, with the event
// log, the Info summary, saved files and a plug-in module as the evidence.

#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host_test_support.h"
#include "support/child_process.h"
#include "support/outside_data.h"

namespace vantro::host_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsSupersetOf;

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

const std::vector<std::string> kBuiltInfo = {
    "Units: millimeters",
    "Objects: 6 (brep 1, extrusion 1, instanceReference 2, mesh 2)",
    "Hidden objects: 1",
    "Locked objects: 0",
    "Selected objects: 0",
    "Deleted objects: 0",
    "Layers: 3 (hidden: \"Glass\")",
    "Current layer: \"Default\"",
    "Materials: 2",
    "Texture mappings: 0",
    "Instance definitions: 1 (1 objects)",
    "Instance references: 2",
    "Views: 4 (active: \"Perspective\", perspective)",
};

class HostInfoTest : public HostTest {};

// Info counts objects by type, hidden layers, materials, blocks and views.
TEST_F(HostInfoTest, SummarisesABuiltDocument) {
    const HostRun run = runScript(std::string(kBuildScript) + "Print <info>\nInfo\nPrint </info>\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto info = run.between("<info>", "</info>");
    EXPECT_EQ(infoWithoutPath(info), kBuiltInfo);
    EXPECT_THAT(info, ::testing::Contains("Document: (never saved)"));
}

// Deleted objects and table entries are counted apart; a hidden parent hides its child.
TEST_F(HostInfoTest, CountsDeletedEntriesAndInheritedHiding) {
    const HostRun run = runScript(R"(
Layer Add Outer visible=off
Layer Add Inner parent=Outer
Material Add Gone
Material Delete Gone
AddBox 0,0,0 1,1,1 name=A
AddBox 0,0,0 1,1,1 name=B
Delete B
Print <info>
Info
Print </info>
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto info = run.between("<info>", "</info>");
    EXPECT_THAT(info, IsSupersetOf({"Objects: 1 (mesh 1)", "Deleted objects: 1",
                                    "Layers: 3 (hidden: \"Outer\", \"Inner\")", "Materials: 0; deleted 1"}));
}

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

// The idle pump runs once after every host command.
TEST_F(HostEventsTest, IdleRunsAfterEveryCommand) {
    const HostRun run = runScript(R"(
Print <a>
AddBox 0,0,0 1,1,1
Print <b>
Idle 3
Print <c>
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto first = eventsOf(run.between("<a>", "<b>"), true);
    // Print's idle (after its marker), the add, the add's idle.
    ASSERT_EQ(first.size(), 3u) << run.output;
    EXPECT_THAT(first[0], HasSubstr("Idle "));
    EXPECT_EQ(first[1], "OnAddObject @1 mesh");
    EXPECT_THAT(first[2], HasSubstr("Idle "));
    // Idle pumps as often as told, and no extra time of its own.
    EXPECT_EQ(eventsOf(run.between("<b>", "<c>"), true).size(), 4u) << run.output;
}

// Moves, rotations and scales change the geometry the object carries.
TEST_F(HostEventsTest, TransformsMoveTheGeometry) {
    const HostRun run = runScript(R"(
AddBox 0,0,0 1,2,3 name=A type=brep
Move A 10,0,0
Scale A 2 center=10,0,0
Transform A 1,0,0,0,0,1,0,5,0,0,1,0,0,0,0,1
Print <list>
List objects
Print </list>
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const auto list = withoutEvents(run.between("<list>", "</list>"));
    ASSERT_EQ(list.size(), 4u) << run.output;
    EXPECT_THAT(list[3], HasSubstr("box=10,5,0..12,9,6"));
    EXPECT_THAT(list[0], HasSubstr(" deleted box=0,0,0..1,2,3"));
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
// by a scaled one, then the scale is announced. Words and option names take any case.
TEST_F(HostEventsTest, UnitsWithAndWithoutScaling) {
    const HostRun run = runScript(R"(
AddBox 0,0,0 1,1,1 name=A
Print <plain>
Units Meters
Print <scaled>
Units MILLIMETERS Scale=On
Print <end>
List objects
Info
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(eventsOf(run.between("<plain>", "<scaled>")),
                ElementsAre("OnDocumentPropertiesChanged document 1 (untitled)"));
    EXPECT_THAT(eventsOf(run.between("<scaled>", "<end>")),
                ElementsAre("OnReplaceObject @1 mesh \"A\" -> @2 mesh \"A\"", "OnDeleteObject @1 mesh \"A\"",
                            "OnAddObject @2 mesh \"A\"", "OnUnitsChangedWithScaling scale=1000",
                            "OnDocumentPropertiesChanged document 1 (untitled)"));
    EXPECT_TRUE(run.has("@2 mesh \"A\" layer=0 material=layer:-1 box=0,0,0..1000,1000,1000")) << run.output;
    EXPECT_TRUE(run.has("Units: millimeters")) << run.output;
}

// View commands move cameras and switch projections; only the projection change and
// a new active view are watcher events.
TEST_F(HostEventsTest, ViewCommands) {
    const HostRun run = runScript(R"(
Print <views>
View Camera 10,-20,30 0,0,0
View Lens 35
View Projection parallel view=Top
View Projection parallel view=Top
View Active Top
View Add Extra projection=parallel
Print </views>
List views
)");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(eventsOf(run.between("<views>", "</views>")),
                ElementsAre("OnSetActiveView \"Top\"", "OnCreateView \"Extra\""));
    EXPECT_TRUE(run.has("3 \"Perspective\" perspective camera=10,-20,30 target=0,0,0 lens=35")) << run.output;
    EXPECT_TRUE(run.has("0 \"Top\" parallel active")) << run.output;
    EXPECT_TRUE(run.has("View \"Top\" is already parallel.")) << run.output;
}

// A perspective view switched to parallel tells the watchers it was modified.
TEST_F(HostEventsTest, ProjectionChangeModifiesTheView) {
    const HostRun run = runScript("Print <a>\nView Projection parallel\nView Angle 40\nPrint <b>\n");
    EXPECT_THAT(eventsOf(run.between("<a>", "<b>")), ElementsAre("OnViewModified \"Perspective\""));
    EXPECT_TRUE(run.has("View Angle: view \"Perspective\" is not a perspective view")) << run.output;
    EXPECT_EQ(run.exitCode, 3);
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

class HostErrorsTest : public HostTest {};

// Every bad line prints a message (and a usage line where arguments were wrong),
// raises no event and leaves the document exactly as it was.
TEST_F(HostErrorsTest, BadCommandsChangeNothing) {
    const std::vector<std::string> bad = {
        "Frob",
        "Layer",
        "Layer Frob Glass",
        "AddBox 0,0,0 1,1",
        "AddBox 0,0,0 0,1,1",
        "AddBox 0,0,0 1,1,1 type=nurbs",
        "AddBox 0,0,0 1,1,1 colour=1,2,3",
        "AddBox 0,0,0 1,1,1 layer=Nowhere",
        "Move Missing 1,0,0",
        "Move Twin 1,0,0",
        "Move @1 1,0",
        "Move @x 1,0,0",
        "Move Single 1x,0,0",
        "Move Single inf,0,0",
        "Scale Single nan",
        "Layer Set Default color=1.5,0,0",
        "Delete Single Missing",
        "Undelete Single",
        "Rotate Single 90 axis=0,0,0",
        "Scale Single 0",
        "Transform Single 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0",
        "Transform Single 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1",
        "Attributes Single",
        "Attributes Single mode=frozen",
        "Attributes Single visible=maybe",
        "Layer Set Default color=256,0,0",
        "Layer Set Default parent=Default2",
        "Layer Delete 7",
        "Material Set Red shine=300",
        "Material Set Red transparency=-0.1",
        "Material Texture Red diffuse /a.png",
        "Material Texture Red bump none",
        "Mapping Add cone",
        "Mapping Add box size=0",
        "Block Insert Nothing",
        "Block Add B Missing",
        "Units furlongs",
        "View Camera 0,0,0 0,0,0",
        "View Lens -5",
        "View Angle 180",
        "View Active Nowhere",
        "View Size 0 100",
        "Wait soon",
        "Idle 0",
        "Open",
        "Print \"unterminated",
        "Menu 31771",
    };
    std::string script =
        "AddBox 0,0,0 1,1,1 name=Single\nAddBox 0,0,0 1,1,1 name=Twin\n"
        "AddBox 5,5,5 6,6,6 name=Twin\nMaterial Add Red\nPrint <before>\nInfo\nList\nPrint <bad>\n";
    for (const std::string& line : bad)
        script += line + "\n";
    script += "Print <after>\nInfo\nList\nPrint <end>\n";
    const HostRun run = runScript(script);
    EXPECT_EQ(run.exitCode, 3);
    const auto before = run.between("<before>", "<bad>");
    const auto badOutput = run.between("<bad>", "<after>");
    EXPECT_EQ(eventsOf(badOutput), std::vector<std::string>()) << run.output;
    EXPECT_EQ(infoWithoutPath(run.between("<after>", "<end>")), infoWithoutPath(before));
    // One message per bad line; every argument error shows the command's usage.
    int messages = 0;
    for (const std::string& line : badOutput)
        if (line.rfind("[event]", 0) != 0 && line.rfind("Usage: ", 0) != 0)
            ++messages;
    EXPECT_EQ(messages, static_cast<int>(bad.size())) << run.output;
    EXPECT_THAT(badOutput, ::testing::Contains("Usage: Move <object> <offset x,y,z>"));
    EXPECT_THAT(badOutput, ::testing::Contains("Move: 2 objects are named \"Twin\"; use @serial"));
    EXPECT_THAT(badOutput,
                ::testing::Contains("Unknown command \"Frob\"; nothing was done. Type Help for the commands."));
}

// A command that the document refuses reports why and changes nothing.
TEST_F(HostErrorsTest, RefusedEditsReportWhy) {
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
    const auto before = infoWithoutPath(first.between("<info>", "</info>"));
    EXPECT_EQ(infoWithoutPath(second.between("<info>", "</info>")), before);
    EXPECT_THAT(before, ::testing::Contains("Units: inches"));
    EXPECT_THAT(second.between("<info>", "</info>"), ::testing::Contains("Document: " + file));
}

// An export of the selection writes only the selected objects.
TEST_F(HostFilesTest, SelectedOnlySaveWritesTheSelection) {
    const std::string file = path("selection.json");
    const HostRun first = runScript(
        "AddBox 0,0,0 1,1,1 name=A\nAddBox 0,0,0 1,1,1 name=B\nSelect B\n"
        "SaveAs " +
        file + " selected=on\nInfo\n");
    ASSERT_EQ(first.exitCode, 0) << first.output;
    EXPECT_TRUE(first.has("Document: (never saved)")) << first.output;
    const HostRun second = run({file, "--command", "List"});
    ASSERT_EQ(second.exitCode, 0) << second.output;
    EXPECT_TRUE(second.has("mesh \"B\"")) << second.output;
    EXPECT_FALSE(second.has("mesh \"A\"")) << second.output;
}

// .3dm files are read through the converter.
TEST_F(HostFilesTest, Opens3dmFiles) {
    VANTRO_SKIP_WITHOUT_TESTDATA("3dm/import3dm_nested_blocks.3dm");
    const HostRun run = this->run({vantro::test::testdataPath("3dm/import3dm_nested_blocks.3dm"), "--command", "Info"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_TRUE(run.has("Instance definitions: 2 (3 objects)")) << run.output;
    EXPECT_TRUE(run.has("Instance references: 4")) << run.output;
}

// A document that cannot be read stops the start with the loader's reason.
TEST_F(HostFilesTest, BrokenDocumentFailsTheStart) {
    const std::string file = write("broken.json", "{\"format\": \"vantro-document\", \"version\": 1, \"layers\": [}");
    const HostRun run = this->run({file, "--command", "Print never"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.has("broken.json")) << run.output;
    EXPECT_FALSE(run.has("never")) << run.output;
}

// Opening a broken file while a document is open keeps that document.
TEST_F(HostFilesTest, FailedOpenKeepsTheDocument) {
    const std::string file = write("broken.json", "not json");
    const HostRun run = runScript("AddBox 0,0,0 1,1,1\nPrint <a>\nOpen " + file + "\nPrint <b>\nInfo\n");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(eventsOf(run.between("<a>", "<b>")), std::vector<std::string>());
    EXPECT_TRUE(run.has("Objects: 1 (mesh 1)")) << run.output;
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

class HostPluginTest : public HostTest {};

// A plug-in module loads, its command runs with the line's answers, its menu
// commands are dispatched, it sees events and idle, and it unloads at the end.
TEST_F(HostPluginTest, LoadsAndRunsThePlugIn) {
    const HostRun run = runScript(R"(
Plugins
TestPlugIn Start
AddBox 0,0,0 1,1,1
AddBox 0,0,0 2,2,2
Delete @1
TestPlugIn Count
StatusBar
Menu 31771
Menu 31774
MenuOpen
TestPlugIn Stop
AddBox 0,0,0 1,1,1
TestPlugIn
)",
                                  {"--plugin", VANTRO_TEST_PLUGIN_PATH});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string plugin = VANTRO_TEST_PLUGIN_PATH;
    EXPECT_TRUE(run.has("TestPlugIn: loaded from " + plugin)) << run.output;
    EXPECT_TRUE(
        run.has("\"Host Test Plug-in\" id=7d4f2a90-61c3-4e8b-b5a2-0f9e3c1d6a47 "
                "version=\"Jan  2 2024  10:11:12\""))
        << run.output;
    EXPECT_TRUE(run.has("TestPlugIn: started")) << run.output;
    // Each command is followed by one idle notification that reports what it saw.
    EXPECT_TRUE(run.has("TestPlugIn: idle after 0 added, 1 deleted")) << run.output;
    EXPECT_TRUE(run.has("TestPlugIn: 1 objects")) << run.output;
    EXPECT_TRUE(
        run.has("Status bar: \"TestPlugIn: counted\"\n"
                "Progress meters: 1 (last: \"Counting\" 0..1, 1 positions, ended)"))
        << run.output;
    EXPECT_TRUE(run.has("TestPlugIn: menu command 31771\n")) << run.output;
    EXPECT_TRUE(run.has("Menu command 31771: handled.")) << run.output;
    EXPECT_TRUE(run.has("Menu command 31774: not handled.")) << run.output;
    EXPECT_TRUE(run.has("TestPlugIn: menu opened\nOpened 1 plug-in menu(s).")) << run.output;
    EXPECT_TRUE(run.has("TestPlugIn: unloaded")) << run.output;
    const auto events = run.events();
    EXPECT_THAT(events, ::testing::Contains("OnEndCommand TestPlugIn result=0"));
    // Stopped, the plug-in reports nothing more.
    const auto lines = run.lines();
    int idleReports = 0;
    for (const std::string& line : lines)
        if (line.rfind("TestPlugIn: idle after", 0) == 0)
            ++idleReports;
    EXPECT_EQ(idleReports, 3) << run.output;
}

// A plug-in that declines to load leaves no command behind; one that fails counts
// as a failed run; a library without the exports is refused.
TEST_F(HostPluginTest, RefusedAndBrokenModules) {
    const auto runWith = [&](const std::string& load) {
        const vantro::test::RunResult r = vantro::test::runProgram(
            "/usr/bin/env", {"VANTRO_TEST_PLUGIN_LOAD=" + load, VANTRO_HOST_PATH, "--plugin", VANTRO_TEST_PLUGIN_PATH,
                             "--command", "TestPlugIn Start", "--command", "Plugins"});
        return HostRun{r.exitCode, r.output};
    };
    const HostRun refused = runWith("-1");
    EXPECT_EQ(refused.exitCode, 3) << refused.output;
    EXPECT_TRUE(refused.has("The plug-in \"Host Test Plug-in\" declined to load.")) << refused.output;
    EXPECT_TRUE(refused.has("Unknown command")) << refused.output;
    EXPECT_TRUE(refused.has(" refused")) << refused.output;
    EXPECT_FALSE(refused.has("TestPlugIn: started")) << refused.output;

    const HostRun failed = runWith("0");
    EXPECT_EQ(failed.exitCode, 3) << failed.output;
    EXPECT_TRUE(failed.has(" failed")) << failed.output;

    const HostRun notPlugin = run({"--plugin", VANTRO_NOT_A_PLUGIN_PATH, "--command", "Plugins"});
    EXPECT_EQ(notPlugin.exitCode, 3) << notPlugin.output;
    EXPECT_TRUE(notPlugin.has("is not a plug-in module")) << notPlugin.output;

    const HostRun missing = run({"--plugin", path("nothing.so"), "--command", "Info"});
    EXPECT_EQ(missing.exitCode, 3) << missing.output;
    EXPECT_TRUE(missing.has("nothing.so")) << missing.output;
    EXPECT_TRUE(missing.has("Objects: 0")) << missing.output;
}

class HostCommandLineTest : public HostTest {};

// Bad command lines and unreadable scripts are refused before anything runs.
TEST_F(HostCommandLineTest, ExitCodes) {
    EXPECT_EQ(run({"--frob"}).exitCode, 2);
    EXPECT_EQ(run({"a.json", "b.json"}).exitCode, 2);
    EXPECT_EQ(run({"--script"}).exitCode, 2);
    EXPECT_EQ(run({"--script", path("missing.txt")}).exitCode, 1);
    const HostRun help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.has("usage: vantro-host")) << help.output;
}

// Without a script, commands come from standard input (no prompt when it is a pipe).
TEST_F(HostCommandLineTest, ReadsStandardInput) {
    const std::string command =
        "printf 'AddBox 0,0,0 1,1,1\\nInfo\\nQuit\\nPrint after\\n' | '" + std::string(VANTRO_HOST_PATH) + "' --echo";
    const vantro::test::RunResult r = vantro::test::runProgram("/bin/sh", {"-c", command});
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("> AddBox 0,0,0 1,1,1\nAdded @1 mesh."), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Objects: 1 (mesh 1)"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Command:"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("after\n"), std::string::npos) << r.output;
}

// Quit ends the script; nothing after it runs, and Help lists the commands.
TEST_F(HostCommandLineTest, QuitAndHelp) {
    const HostRun run = runScript("Help\nQuit\nPrint after\n");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_FALSE(run.has("after\n")) << run.output;
    EXPECT_TRUE(run.has("  Layer Add ")) << run.output;
    EXPECT_TRUE(run.has("  Menu ")) << run.output;
}

}  // namespace
}  // namespace vantro::host_test
