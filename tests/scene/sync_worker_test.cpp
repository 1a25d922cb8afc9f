// The update cycle and the hand-over between the main thread and the worker: buffer
// sizes, growth, shrinking and release, change counts, the time budget, records that
// are missing, the scene lock and the link lock held by another process.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "link/channel_layout.h"
#include "platform/debug_output.h"
#include "platform/registry.h"
#include "scene/geometry_buffer.h"
#include "scene_documents.h"
#include "scene_sync_fixture.h"
#include "scene_test_support.h"

using namespace vantro::test;
using namespace VantroAPI;

namespace {

class SyncWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(link.Create(name, slots), 0);
        layer = addLayer(doc, u"Base");
    }
    void TearDown() override {
        scene.Clear();
        link.Close();
    }
    int materialOf(const char16_t* materialName) { return addMaterial(doc, materialName, 10, 20, 30); }
    CRhinoObject* add(const ON_Mesh& mesh, int material) {
        return addMeshObject(doc, mesh, attributesOn(layer, ON::material_from_object, material));
    }
    // Loads and takes the scene, so that cycles can be run here, deterministically.
    void loadAndHold() {
        materials.LoadMaterials(&doc);
        ASSERT_TRUE(scene.Load(&doc, nullptr, false));
        ASSERT_TRUE(scene.LockScene(1000));
    }
    // One worker cycle run on this thread while it holds the scene.
    bool cycle(uint32_t budgetMs = 100) {
        scene.dirty = true;
        EXPECT_TRUE(link.Lock(0));
        materials.SendPending();
        const bool done = scene.Update(budgetMs);
        link.Unlock();
        scene.dirty = false;
        return done;
    }
    void reAdd(const CRhinoObject* o) {
        ON_SimpleArray<const CRhinoObject*> one;
        one.Append(o);
        scene.RemoveObject(o->RuntimeSerialNumber());
        scene.AddObjects(one, false);
    }
    RecordPrefix* recordOf(int index) { return materials.FindByIndex(index).record; }
    uint32_t field(int index, Field<uint32_t> f) { return load(recordOf(index), f); }
    std::vector<uint32_t> words(int index) {
        const uint32_t id = field(index, srfc_record::kGeometryBuffer);
        const auto* p = static_cast<const uint32_t*>(link.MapBuffer(id));
        if (!p) return {};
        return std::vector<uint32_t>(p, p + link.MappedBufferSize(id) / 4);
    }

    TestEnvironment env;
    std::u16string name = uniqueName("sync-worker");
    uint32_t slots = 5000;
    LiveConnection link;
    MaterialManager materials{&link};
    RHScene scene{&link, &materials};
    CRhinoDoc doc;
    int layer = -1;
};

}  // namespace

// A single open triangle in its own material: front and back copies (V = 6, I = 6),
// 228 bytes used in a buffer of twice that, the record's change count and flag and the
// header's update count raised. (The words themselves: geometry_buffer_test.cpp, and
// against the oracle in scene_sync_process_test.cpp.)
TEST_F(SyncWorkerTest, OpenTriangleLayout) {
    const int solo = materialOf(u"Solo");
    add(triangleMesh(), solo);
    loadAndHold();
    const uint32_t updatesBefore = link.GetUpdateCount();
    EXPECT_TRUE(cycle());
    EXPECT_EQ(field(solo, srfc_record::kGeometryCapacity), 456u);
    EXPECT_EQ(field(solo, srfc_record::kGeometryChangeCount), 1u);
    EXPECT_TRUE(link.TestRecordFlags(recordOf(solo), kRecordChanged));
    EXPECT_GT(link.GetUpdateCount(), updatesBefore);
    const std::vector<uint32_t> w = words(solo);
    ASSERT_EQ(w.size(), 456u / 4);
    EXPECT_EQ(std::vector<uint32_t>(w.begin(), w.begin() + 3), (std::vector<uint32_t>{6, 6, 1}));
    EXPECT_TRUE(scene.pendingMaterials.empty());
}

// Growth replaces the buffer by one of twice the needed size and destroys the old one
// after the pass; shrinking keeps buffer and capacity; deleting the last mesh clears
// both and still counts a change.
TEST_F(SyncWorkerTest, BufferGrowsShrinksAndIsReleased) {
    const int wood = materialOf(u"Wood");
    CRhinoObject* small = add(gridMesh(1, 1, 0), wood);
    loadAndHold();
    cycle();
    const uint32_t first = field(wood, srfc_record::kGeometryBuffer);
    ASSERT_NE(first, 0u);

    CRhinoObject* big = doc.ReplaceObject(CRhinoObjRef(small), gridMesh(20, 1, 0));
    scene.RemoveObject(small->RuntimeSerialNumber());
    reAdd(big);
    cycle();
    const uint32_t second = field(wood, srfc_record::kGeometryBuffer);
    EXPECT_NE(second, first);
    EXPECT_EQ(link.MappedBufferSize(first), 0u);  // destroyed here at the end of the pass
    const MeshInfo& mi = *scene.meshes.at(scene.objects.at(big->RuntimeSerialNumber()).meshIds[0]);
    const uint64_t need = GeometryBufferBytes(2 * mi.vertexCount, 2 * mi.indexCount);
    EXPECT_EQ(field(wood, srfc_record::kGeometryCapacity), 2 * need);
    EXPECT_EQ(field(wood, srfc_record::kGeometryChangeCount), 2u);

    CRhinoObject* smaller = doc.ReplaceObject(CRhinoObjRef(big), gridMesh(2, 1, 0));
    scene.RemoveObject(big->RuntimeSerialNumber());
    reAdd(smaller);
    cycle();
    EXPECT_EQ(field(wood, srfc_record::kGeometryBuffer), second);
    EXPECT_EQ(field(wood, srfc_record::kGeometryCapacity), 2 * need);
    EXPECT_EQ(words(wood)[0], 2u * 9u);  // the header carries the smaller counts

    scene.RemoveObject(smaller->RuntimeSerialNumber());
    cycle();
    EXPECT_EQ(field(wood, srfc_record::kGeometryBuffer), 0u);
    EXPECT_EQ(field(wood, srfc_record::kGeometryCapacity), 0u);
    EXPECT_EQ(field(wood, srfc_record::kGeometryChangeCount), 4u);
    EXPECT_EQ(link.MappedBufferSize(second), 0u);
}

// Only pending materials are rewritten: an edit of one object leaves the change count
// of every other material alone.
TEST_F(SyncWorkerTest, OnlyPendingMaterialsAreRewritten) {
    const int a = materialOf(u"A"), b = materialOf(u"B");
    CRhinoObject* first = add(boxMesh({0, 0, 0}, {1, 1, 1}), a);
    add(boxMesh({0, 0, 0}, {1, 1, 1}), b);
    loadAndHold();
    cycle();
    reAdd(first);
    cycle();
    EXPECT_EQ(field(a, srfc_record::kGeometryChangeCount), 2u);
    EXPECT_EQ(field(b, srfc_record::kGeometryChangeCount), 1u);
    EXPECT_TRUE(cycle());  // nothing pending: nothing written
    EXPECT_EQ(field(a, srfc_record::kGeometryChangeCount), 2u);
}

// With little time per pass, a pass ends after the materials it started and the
// others stay pending for later passes; in the end every material is written exactly
// once. A pass interrupted by the main thread (dirty false) writes and prunes nothing.
TEST_F(SyncWorkerTest, TheBudgetSplitsLargeUpdates) {
    std::vector<int> indices;
    for (int m = 0; m < 120; ++m) {
        const std::u16string materialName = u"M" + std::u16string(1, char16_t(u'A' + m % 26)) +
                                            std::u16string(1, char16_t(u'a' + m / 26));
        indices.push_back(materialOf(materialName.c_str()));
        add(gridMesh(8, 1, 0), indices.back());
    }
    loadAndHold();
    int passes = 1;
    while (!cycle(1)) ASSERT_LT(++passes, 10000);
    for (int index : indices) EXPECT_EQ(field(index, srfc_record::kGeometryChangeCount), 1u) << index;
    RecordProperty("passes", passes);

    reAdd(doc.Objects().front());
    EXPECT_TRUE(scene.Update(100));  // dirty is false here
    EXPECT_FALSE(scene.pendingMaterials.empty());
    EXPECT_EQ(field(indices[0], srfc_record::kGeometryChangeCount), 1u);
}

// A material whose record could not be made (the channel is full) leaves the pending
// set without being written; materials with records are written.
TEST_F(SyncWorkerTest, MaterialsWithoutRecordsAreSkipped) {
    link.Close();
    slots = 4;  // VIEW, STAT, the default material and one more material
    ASSERT_EQ(link.Create(name, slots), 0);
    const int one = materialOf(u"One"), two = materialOf(u"Two");
    add(boxMesh({0, 0, 0}, {1, 1, 1}), one);
    add(boxMesh({0, 0, 0}, {1, 1, 1}), two);
    loadAndHold();
    EXPECT_TRUE(cycle());
    EXPECT_TRUE(scene.pendingMaterials.empty());
    ASSERT_NE(recordOf(one), nullptr);  // records go out in id order
    EXPECT_EQ(field(one, srfc_record::kGeometryChangeCount), 1u);
    EXPECT_EQ(recordOf(two), nullptr);
}

// ReleaseScene with nothing to send keeps the main thread's hold (the next LockScene
// returns at once); LockScene clears dirty; a timeout writes the debug line.
TEST_F(SyncWorkerTest, LockSceneAndReleaseScene) {
    add(boxMesh({0, 0, 0}, {1, 1, 1}), materialOf(u"Box"));
    loadAndHold();
    cycle();
    scene.ReleaseScene();
    EXPECT_TRUE(scene.mainHoldsLock);
    EXPECT_FALSE(scene.dirty);
    EXPECT_TRUE(scene.LockScene(0));

    std::u16string debug;
    std::mutex debugMutex;
    vantro::platform::setDebugSink([&](std::u16string_view text) {
        std::lock_guard<std::mutex> lock(debugMutex);
        debug += text;
    });
    RHScene other(&link, &materials);
    std::thread holder([&] {
        std::lock_guard<std::timed_mutex> held(other.sceneLock);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    other.dirty = true;
    EXPECT_FALSE(other.LockScene(20));
    EXPECT_FALSE(other.dirty);
    holder.join();
    vantro::platform::setDebugSink(nullptr);
    EXPECT_EQ(debug, u"\n --- Can't lock mutex! ---\n");
    EXPECT_TRUE(other.LockScene(20));
    other.Clear();
    EXPECT_FALSE(other.mainHoldsLock);
}

// The worker itself: after ReleaseScene it sends everything, announces the
// connection, and goes idle.
TEST_F(SyncWorkerTest, TheWorkerSendsAndAnnounces) {
    const int box = materialOf(u"Box");
    add(boxMesh({0, 0, 0}, {1, 1, 1}), box);
    materials.LoadMaterials(&doc);
    ASSERT_TRUE(scene.Load(&doc, nullptr, false));
    scene.ReleaseScene();
    EXPECT_FALSE(scene.mainHoldsLock);
    for (int i = 0; i < 500 && scene.dirty; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(scene.LockScene(1000));
    EXPECT_TRUE(scene.pendingMaterials.empty());
    EXPECT_EQ(field(box, srfc_record::kGeometryChangeCount), 1u);
    vantro::platform::RegistryKey key;
    ASSERT_EQ(vantro::platform::RegistryKey::open(vantro::platform::RegHive::currentUser, kConnectionsKey, key), 0);
    std::vector<uint8_t> value;
    EXPECT_EQ(key.queryValue(name, nullptr, &value), 0);
}

// Clear while the worker waits for the scene held by the main thread: the worker
// finishes its cycle without sending and the join returns.
TEST_F(SyncWorkerTest, ClearWhileTheWorkerWaits) {
    const int box = materialOf(u"Box");
    add(boxMesh({0, 0, 0}, {1, 1, 1}), box);
    loadAndHold();
    scene.dirty = true;  // the worker wakes up and blocks on the scene lock
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    scene.Clear();
    EXPECT_FALSE(scene.mainHoldsLock);
    EXPECT_FALSE(scene.running);
    EXPECT_EQ(materials.FindByIndex(box).record, nullptr);  // nothing was sent
}

// While another process holds the link lock the cycle writes nothing and stays dirty;
// it goes through once the lock is free.
TEST(SyncWorkerProcess, ALinkLockHeldElsewhereDelaysTheCycle) {
    SceneSyncFixture f;
    ASSERT_TRUE(f.ready());
    CRhinoDoc doc;
    const int material = addMaterial(doc, u"Held", 1, 2, 3);
    addLayer(doc, u"Base", material);
    addMeshObject(doc, boxMesh({0, 0, 0}, {1, 1, 1}), attributesOn(0));
    f.materials.LoadMaterials(&doc);
    ASSERT_TRUE(f.scene.Load(&doc, nullptr, false));
    ASSERT_TRUE(f.holdReaderLock(1500));
    f.scene.ReleaseScene();
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_TRUE(f.scene.dirty);  // still to send: no cycle got through
    EXPECT_TRUE(f.reader->waitForLine("WAKE", 50).empty());
    ASSERT_FALSE(f.reader->waitForLine("RELEASED", 10000).empty());
    ASSERT_FALSE(f.reader->waitForLine("WAKE", 10000).empty());
    ASSERT_TRUE(f.waitUntilSent());
    EXPECT_EQ(load(f.materials.FindByIndex(material).record, srfc_record::kGeometryChangeCount), 1u);
}

// However many passes a large first update takes, the reader is woken exactly once,
// after the last.
TEST(SyncWorkerProcess, TheReaderIsWokenOnceAfterACompleteUpdate) {
    SceneSyncFixture f;
    ASSERT_TRUE(f.ready());
    CRhinoDoc doc;
    generateLargeDocument(doc, 300, 4000);
    ASSERT_TRUE(f.start(doc, 1.0f));
    ASSERT_TRUE(f.waitUntilSent());
    ASSERT_FALSE(f.reader->waitForLine("WAKE n=1 ", 10000).empty());
    EXPECT_TRUE(f.reader->waitForLine("WAKE", 300).empty());
    SceneOracle oracle(doc, f.materials, 1.0f);
    oracle.LoadAll();
    const auto differences = f.differences(oracle);
    EXPECT_TRUE(differences.empty()) << differences.front();
}
