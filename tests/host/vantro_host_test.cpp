// The vantro-host program, run for real: the events its commands raise, in order, as
// the event log shows them (what the plug-in hears of edits, files and units).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host_test_support.h"

namespace vantro::host_test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

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

// Layer, material, mapping and block edits raise one table event each, by name or
// index, through delete and undelete.
TEST_F(HostEventsTest, TableEditsRaiseEvents) {
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
}

// Units without scaling only change a property; with scaling every object is replaced
// first, then the scale is announced. A view switched to parallel is modified.
TEST_F(HostEventsTest, UnitsWithAndWithoutScaling) {
    const HostRun run = runScript(
        "AddBox 0,0,0 1,1,1 name=A\nPrint <plain>\nUnits Meters\nPrint <scaled>\n"
        "Units MILLIMETERS Scale=On\nPrint <view>\nView Projection parallel\nPrint <end>\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(eventsOf(run.between("<plain>", "<scaled>")),
                ElementsAre("OnDocumentPropertiesChanged document 1 (untitled)"));
    EXPECT_THAT(eventsOf(run.between("<view>", "<end>")), ElementsAre("OnViewModified \"Perspective\""));
    EXPECT_THAT(eventsOf(run.between("<scaled>", "<view>")),
                ElementsAre("OnReplaceObject @1 mesh \"A\" -> @2 mesh \"A\"", "OnDeleteObject @1 mesh \"A\"",
                            "OnAddObject @2 mesh \"A\"", "OnUnitsChangedWithScaling scale=1000",
                            "OnDocumentPropertiesChanged document 1 (untitled)"));
}

// Opening with merge and New raise the document events.
TEST_F(HostEventsTest, FileCommands) {
    const std::string full = path("full.json");
    const std::string part = path("part.json");
    const HostRun run = runScript(
        "AddBox 0,0,0 1,1,1 name=A\nAddBox 0,0,0 1,1,1 name=B\nSelect B\n"
        "SaveAs " +
        full + "\nSaveAs " + part + " selected=on\n" + "Print <merge>\nOpen " + part + " merge=on\n" +
        "Print <new>\nNew\nPrint <end>\nInfo\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
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

}  // namespace
}  // namespace vantro::host_test
