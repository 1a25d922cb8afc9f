// The update cycle and the hand-over between the main thread and the worker.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "link/channel_layout.h"
#include "scene/geometry_buffer.h"
#include "scene_documents.h"
#include "scene_sync_fixture.h"
#include "scene_test_support.h"

using namespace vantro::scene;
using namespace vantro::test;
using namespace VantroAPI;

namespace {

// A connection whose buffer creation can be made to fail, and which counts the
// channel calls made without its lock held (while watching).
class ScriptedConnection : public LiveConnection {
public:
    uint32_t CreateBuffer(uint32_t recordId, uint32_t size) override {
        touched();
        if (onCreate)
            onCreate();
        // One atomic step: materials are written in parallel, and a check followed by a
        // decrement would let two creations fail where one was asked for.
        if (failCreates.fetch_sub(1) > 0)
            return 0;
        return LiveConnection::CreateBuffer(recordId, size);
    }
    bool Lock(uint32_t timeoutMicroseconds) override {
        const bool locked = LiveConnection::Lock(timeoutMicroseconds);
        holders += locked ? 1 : 0;
        return locked;
    }
    void Unlock() override {
        --holders;
        LiveConnection::Unlock();
    }
    void* MapBuffer(uint32_t id) override { return touched(), LiveConnection::MapBuffer(id); }
    void DestroyBuffer(uint32_t id) override { touched(), LiveConnection::DestroyBuffer(id); }
    void SetRecordFlags(RecordPrefix* record, uint32_t flags) override {
        touched(), LiveConnection::SetRecordFlags(record, flags);
    }
    void SetFlags(uint32_t flags) override { touched(), LiveConnection::SetFlags(flags); }

    std::atomic<int> failCreates{0};
    std::function<void()> onCreate;  // set and cleared while no worker runs
    std::atomic<bool> watching{false};
    std::atomic<int> holders{0}, calls{0}, unlockedCalls{0};

private:
    void touched() {
        if (!watching)
            return;
        ++calls;
        unlockedCalls += holders == 0 ? 1 : 0;
    }
};

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
    bool cycle(uint32_t budgetMs = 100, bool* published = nullptr) {
        scene.dirty = true;
        EXPECT_TRUE(link.Lock(0));
        materials.SendPending();
        const bool done = scene.Update(budgetMs, published);
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
    CRhinoObject* replace(CRhinoObject* o, const ON_Mesh& mesh) {
        CRhinoObject* replaced = doc.ReplaceObject(CRhinoObjRef(o), mesh);
        scene.RemoveObject(o->RuntimeSerialNumber());
        reAdd(replaced);
        return replaced;
    }
    RecordPrefix* recordOf(int index) { return materials.FindByIndex(index).record; }
    uint32_t field(int index, Field<uint32_t> f) { return load(recordOf(index), f); }
    uint32_t bufferOf(int index) { return field(index, srfc_record::kGeometryBuffer); }
    uint32_t changesOf(int index) { return field(index, srfc_record::kGeometryChangeCount); }
    std::vector<uint32_t> words(int index) {
        const uint32_t id = bufferOf(index);
        const auto* p = static_cast<const uint32_t*>(link.MapBuffer(id));
        if (!p)
            return {};
        return std::vector<uint32_t>(p, p + link.MappedBufferSize(id) / 4);
    }

    TestEnvironment env;
    std::u16string name = uniqueName("sync-worker");
    uint32_t slots = 5000;
    ScriptedConnection link;
    MaterialManager materials{&link};
    RHScene scene{&link, &materials};
    CRhinoDoc doc;
    int layer = -1;
};

}  // namespace

// A failed growth keeps the old, smaller buffer published with its old bytes; the next
// pass replaces it by one of twice the needed size and destroys the old one after the
// pass; deleting the last mesh clears both, counts a change and destroys the buffer.
TEST_F(SyncWorkerTest, BufferGrowsShrinksAndIsReleased) {
    const int wood = materialOf(u"Wood");
    CRhinoObject* object = add(gridMesh(1, 1, 0), wood);
    loadAndHold();
    ASSERT_TRUE(cycle());
    const uint32_t first = bufferOf(wood);
    const std::vector<uint32_t> before = words(wood);
    ASSERT_NE(first, 0u);

    object = replace(object, gridMesh(20, 1, 0));
    link.failCreates = 1;
    EXPECT_FALSE(cycle());
    EXPECT_EQ(bufferOf(wood), first);
    EXPECT_EQ(changesOf(wood), 1u);
    EXPECT_EQ(words(wood), before);
    EXPECT_TRUE(cycle());
    const uint32_t second = bufferOf(wood);
    EXPECT_NE(second, first);
    EXPECT_EQ(link.MappedBufferSize(first), 0u);  // destroyed here at the end of the pass
    const MeshInfo& mi = *scene.meshes.at(scene.objects.at(object->RuntimeSerialNumber()).meshIds[0]);
    const uint64_t need = GeometryBufferBytes(2 * mi.vertexCount, 2 * mi.indexCount);
    EXPECT_EQ(field(wood, srfc_record::kGeometryCapacity), 2 * need);
    EXPECT_EQ(changesOf(wood), 2u);

    scene.RemoveObject(object->RuntimeSerialNumber());
    cycle();
    EXPECT_EQ(bufferOf(wood), 0u);
    EXPECT_EQ(field(wood, srfc_record::kGeometryCapacity), 0u);
    EXPECT_EQ(changesOf(wood), 3u);
    EXPECT_EQ(link.MappedBufferSize(second), 0u);
}

// With little time per pass, a pass ends after the materials it started and the
// others stay pending, unpublished; in the end every material is written exactly once.
// A pass interrupted by the main thread (dirty false) writes and prunes nothing.
TEST_F(SyncWorkerTest, TheBudgetSplitsLargeUpdates) {
    std::vector<int> indices;  // 120 materials, each with an 8 x 8 grid of its own
    for (char16_t m = 0; m < 120; ++m) {
        indices.push_back(materialOf(std::u16string{u'M', char16_t(u'A' + m % 26), char16_t(u'a' + m / 26)}.c_str()));
        add(gridMesh(8, 1, 0), indices.back());
    }
    loadAndHold();
    int passes = 1;
    for (; !cycle(1); ++passes)  // nothing is published before the last pass
        ASSERT_EQ(std::count_if(indices.begin(), indices.end(), [&](int i) { return changesOf(i) != 0; }), 0);
    EXPECT_GT(passes, 1);
    for (int index : indices)
        EXPECT_EQ(changesOf(index), 1u) << index;

    reAdd(doc.Objects().front());
    EXPECT_FALSE(scene.Update(100));  // dirty is false here
    EXPECT_FALSE(scene.pendingMaterials.empty());
    EXPECT_EQ(changesOf(indices[0]), 1u);
}

// The main thread taking the scene in the middle of a pass (dirty false): the material
// being written is finished, the others stay pending, nothing is published, and the
// next pass sends them all without another edit.
TEST_F(SyncWorkerTest, AnInterruptedPassKeepsWhatItDidNotWrite) {
    std::vector<int> indices;
    for (char16_t m = 0; m < 12; ++m) {
        indices.push_back(materialOf(std::u16string{u'I', char16_t(u'a' + m)}.c_str()));
        add(boxMesh({0, 0, double(m)}, {1, 1, m + 1.0}), indices.back());
    }
    loadAndHold();
    link.onCreate = [this] { scene.dirty = false; };
    EXPECT_FALSE(cycle());
    link.onCreate = nullptr;
    EXPECT_FALSE(scene.pendingMaterials.empty());
    for (int index : indices)
        EXPECT_EQ(changesOf(index), 0u) << index;
    EXPECT_TRUE(cycle());
    for (int index : indices) {
        EXPECT_EQ(changesOf(index), 1u) << index;
        EXPECT_EQ(words(index).at(0), 8u) << index;  // a closed box: 8 vertices
    }
}

// The worker thread writes records and buffers, publishes and replaces buffers only
// while it holds the link lock: the renderer reads whatever is there once it holds it.
TEST_F(SyncWorkerTest, TheWorkerTouchesTheChannelOnlyUnderItsLock) {
    std::vector<int> indices;
    for (char16_t m = 0; m < 24; ++m) {
        indices.push_back(materialOf(std::u16string{u'W', char16_t(u'a' + m)}.c_str()));
        add(gridMesh(16, 1, m), indices.back());
    }
    materials.LoadMaterials(&doc);
    link.watching = true;
    ASSERT_TRUE(scene.Load(&doc, nullptr, false));
    scene.ReleaseScene();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (scene.dirty && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(scene.LockScene(60000));  // the worker's writes happen before this
    link.watching = false;
    EXPECT_GT(link.calls.load(), 24 * 2);
    EXPECT_EQ(link.unlockedCalls.load(), 0);
    for (int index : indices)
        EXPECT_EQ(changesOf(index), 1u) << index;
}

// A buffer that cannot be created: the record keeps what it had (no geometry), the
// others are published, and the next pass retries without another edit.
TEST_F(SyncWorkerTest, AFailedBufferIsRetriedNextPass) {
    const int first = materialOf(u"First"), second = materialOf(u"Second");
    const CRhinoObject* objects[] = {add(boxMesh({0, 0, 0}, {1, 1, 1}), first),
                                     add(boxMesh({0, 0, 0}, {2, 2, 2}), second)};
    loadAndHold();
    link.failCreates = 1;
    bool published = false;
    // A budget no sanitizer build runs out of: only the failed creation may leave work.
    EXPECT_FALSE(cycle(10000, &published));
    EXPECT_TRUE(published);
    EXPECT_EQ(scene.pendingMaterials.size(), 1u);
    const int failed = bufferOf(first) == 0 ? first : second;
    const int succeeded = failed == first ? second : first;
    EXPECT_EQ(bufferOf(failed), 0u);
    EXPECT_EQ(changesOf(failed), 0u);
    EXPECT_EQ(changesOf(succeeded), 1u);
    EXPECT_NE(bufferOf(succeeded), 0u);

    EXPECT_TRUE(cycle());
    EXPECT_NE(bufferOf(failed), 0u);
    EXPECT_EQ(changesOf(failed), 1u);
    EXPECT_EQ(words(failed)[0], 8u);  // a closed box: 8 vertices, one side
    EXPECT_EQ(changesOf(succeeded), 1u);
    EXPECT_TRUE(cycle());  // nothing pending: nothing written
    EXPECT_EQ(changesOf(failed), 1u);
    reAdd(objects[failed == first ? 0 : 1]);
    EXPECT_TRUE(cycle());
    EXPECT_EQ(changesOf(failed), 2u);
    EXPECT_EQ(changesOf(succeeded), 1u);
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
    EXPECT_EQ(changesOf(one), 1u);
    EXPECT_EQ(recordOf(two), nullptr);
}

// ReleaseScene with nothing to send keeps the main thread's hold (the next LockScene
// returns at once); LockScene clears dirty, so that a running cycle is abandoned. (Its
// timeout: ChangeTrackingTest.ABusySceneKeepsTheChanges.)
TEST_F(SyncWorkerTest, LockSceneAndReleaseScene) {
    add(boxMesh({0, 0, 0}, {1, 1, 1}), materialOf(u"Box"));
    loadAndHold();
    cycle();
    scene.ReleaseScene();
    EXPECT_TRUE(scene.mainHoldsLock);
    scene.dirty = true;
    EXPECT_TRUE(scene.LockScene(0));
    EXPECT_FALSE(scene.dirty);
}

// Clear while the worker waits for the scene held by the main thread returns.
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
