// The sync worker against a real reader process: what another process reads from the
// channel equals what the oracle computes from the document, byte for byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>

#include "scene_documents.h"
#include "scene_sync_fixture.h"
#include "sdk/io/document_reader.h"
#include "support/outside_data.h"

using namespace vantro::test;

namespace {

// The reader's mirror equals the oracle's bytes (or floats within 1e-5 when not exact).
::testing::AssertionResult mirrorMatches(SceneSyncFixture& f, const SceneOracle& oracle, bool exact = true) {
    const auto differences = f.differences(oracle, exact);
    if (differences.empty())
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure();
    for (size_t i = 0; i < differences.size() && i < 20; ++i)
        failure << differences[i] << "\n";
    return failure;
}

float unitScaleOf(const CRhinoDoc& doc) {
    return static_cast<float>(ON::UnitScale(doc.UnitSystem(), ON::LengthUnitSystem::Meters));
}

}  // namespace

// The varied document, the millimetre one and random ones, with the reader holding the
// lock at random moments: the initial load, then random edits in bursts made while the
// main thread holds the scene, each burst checked. (Edits that interrupt running
// cycles: EveryWakeShowsAConsistentScene.)
TEST(SceneSyncProcess, LoadAndRandomEditsMatchTheOracle) {
    for (uint32_t seed : {11u, 12u, 13u, 14u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        SceneSyncFixture f(/*randomLockSeed=*/seed * 9);
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
            editor.release();
            ASSERT_TRUE(f.waitUntilSent());
            ASSERT_TRUE(mirrorMatches(f, oracle)) << "after:\n" << editor.log;
            ASSERT_TRUE(f.scene.CheckInvariants().empty());
        }
    }
}

// Every state the reader is woken for is a scene the main thread handed over at some
// ReleaseScene, never a mix of two or a half-written buffer, while edits interrupt passes.
TEST(SceneSyncProcess, EveryWakeShowsAConsistentScene) {
    SceneSyncFixture f(/*randomLockSeed=*/0, /*wakeLog=*/true);
    ASSERT_TRUE(f.ready());
    CRhinoDoc doc;
    generateLargeDocument(doc, 12, 24000);
    ASSERT_TRUE(f.start(doc, 1.0f));
    SceneOracle oracle(doc, f.materials, 1.0f);
    oracle.LoadAll();
    ASSERT_TRUE(f.waitUntilSent());
    std::vector<std::map<uint32_t, uint64_t>> handedOver{f.expectedHashes(oracle)};
    SceneEditor editor(doc, f, oracle, 77);
    std::mt19937 random(5);
    // Edits that touch every material (re-adding all objects) make passes long enough
    // to be interrupted; moves between materials make a mix of scenes detectable.
    using E = SceneEditor::Edit;
    const E kinds[] = {E::layerMaterial, E::objectMaterial, E::move, E::hide, E::show};
    // The worker holds the link lock while it writes: an edit made as soon as it is
    // taken interrupts a pass in the middle.
    auto* lockWord =
        static_cast<uint32_t*>(const_cast<void*>(f.link.HeaderBlock())) + VantroAPI::header::kLockOwner.offset / 4;
    auto waitForPass = [&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(120);
        while (std::atomic_ref<uint32_t>(*lockWord).load() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    };
    int applied = 0;
    for (int i = 0; i < 40; ++i) {
        waitForPass();
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 1500));
        if (!editor.apply(kinds[random() % std::size(kinds)]))
            continue;
        ++applied;
        editor.release();
        handedOver.push_back(f.expectedHashes(oracle));
    }
    ASSERT_TRUE(f.waitUntilSent());
    ASSERT_TRUE(f.dump());  // the reader has handled every wake-up before this
    const std::vector<WakeState> wakes = readWakeLog(f.wakeLogPath());
    ASSERT_FALSE(wakes.empty());
    auto shows = [](const WakeState& wake, const std::map<uint32_t, uint64_t>& scene) {
        for (const auto& [id, hash] : scene) {
            const auto got = wake.hashes.find(id);
            if ((got == wake.hashes.end() ? geometryHash(nullptr, 0) : got->second) != hash)
                return false;
        }
        return true;
    };
    for (const WakeState& wake : wakes) {
        for (const auto& [id, status] : wake.status)
            EXPECT_EQ(status, 0u) << "wake " << wake.wake;
        const bool consistent =
            std::any_of(handedOver.begin(), handedOver.end(), [&](const auto& scene) { return shows(wake, scene); });
        EXPECT_TRUE(consistent) << "wake " << wake.wake << " shows no scene that was handed over";
    }
    EXPECT_TRUE(shows(wakes.back(), handedOver.back()));
    EXPECT_GT(applied, 20);
    RecordProperty("wakes", int(wakes.size()));
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
