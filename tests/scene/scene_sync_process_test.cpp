// The sync worker against a real reader process: what another process reads from the
// channel equals what the oracle computes from the document, byte for byte.

#include <gtest/gtest.h>

#include "scene_documents.h"
#include "scene_sync_fixture.h"
#include "sdk/io/document_reader.h"
#include "support/outside_data.h"

using namespace vantro::test;

namespace {

// The reader's mirror equals the oracle's bytes (or floats within 1e-5 when not exact).
::testing::AssertionResult mirrorMatches(SceneSyncFixture& f, const SceneOracle& oracle, bool exact = true) {
    const auto differences = f.differences(oracle, exact);
    auto result = differences.empty() ? ::testing::AssertionSuccess() : ::testing::AssertionFailure();
    for (size_t i = 0; i < differences.size() && i < 20; ++i)
        result << differences[i] << "\n";
    return result;
}

float unitScaleOf(const CRhinoDoc& doc) { return float(ON::UnitScale(doc.UnitSystem(), ON::LengthUnitSystem::Meters)); }

}  // namespace

// The varied document, the millimetre one and random ones: the initial load, then
// random edits in bursts made while the main thread holds the scene, each checked.
// (That no pass publishes before the last: SyncWorkerTest.TheBudgetSplitsLargeUpdates.)
TEST(SceneSyncProcess, LoadAndRandomEditsMatchTheOracle) {
    for (uint32_t seed : {11u, 12u, 13u, 14u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SceneSyncFixture f;
        ASSERT_TRUE(f.ready());
        CRhinoDoc doc;
        if (seed == 11)
            buildVariedDocument(doc);
        else if (seed == 12)
            buildMillimetreDocument(doc);
        else
            generateDocument(doc, seed, 12, 40);
        ASSERT_TRUE(f.start(doc, unitScaleOf(doc)));
        SceneOracle oracle(doc, f.materials, unitScaleOf(doc));
        oracle.LoadAll();
        ASSERT_TRUE(f.waitUntilSent());
        ASSERT_TRUE(mirrorMatches(f, oracle));
        SceneEditor editor(doc, f, oracle, seed * 31);
        for (int burst = 0; burst < 4; ++burst) {
            for (int i = 0; i < 5; ++i)
                ASSERT_TRUE(editor.applyRandom());
            f.scene.ReleaseScene();
            ASSERT_TRUE(f.waitUntilSent());
            ASSERT_TRUE(mirrorMatches(f, oracle)) << "after:\n" << editor.log;
            ASSERT_TRUE(f.scene.CheckInvariants().empty());
        }
    }
}

// Real documents through the loader: the same comparison, floats within 1e-5 where
// block placements are not exact in f32.
TEST(SceneSyncProcess, RealDocumentsMatchTheOracle) {
    const std::string files[] = {"3dm/opennurbs_v4_example_file.3dm", "3dm/import3dm_boxes_in_cm.3dm",
                                 "3dm/opennurbs_v4_TreeFrog.3dm", "3dm/rhino3dm_file3dm_stuff.3dm",
                                 "3dm/devsamples_MockingBirdTest.3dm"};
    for (const std::string& file : files)
        if (const auto missing = missingTestdata({file}))
            GTEST_SKIP() << *missing;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        CRhinoDoc doc;
        const auto result = vantro::docio::readDocumentFile(testdataPath(file), doc);
        ASSERT_TRUE(result.ok) << "cannot read: " << result.error;
        SceneSyncFixture f;
        ASSERT_TRUE(f.ready());
        ASSERT_TRUE(f.start(doc, unitScaleOf(doc)));
        ASSERT_TRUE(f.waitUntilSent(120000));
        SceneOracle oracle(doc, f.materials, unitScaleOf(doc));
        oracle.LoadAll();
        EXPECT_FALSE(oracle.Expected().empty());
        EXPECT_TRUE(mirrorMatches(f, oracle, /*exact=*/false));
    }
}
