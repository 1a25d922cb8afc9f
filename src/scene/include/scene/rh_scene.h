#pragma once
// RHScene: the plug-in's mirror of the renderable content of one document. It holds
// every render mesh of every visible object, already converted into the renderer's
// axes and metres and grouped by the MaterialInfo it is drawn with, so that the sync
// worker can write all geometry of one material into one link buffer without touching
// the document. Per top-level object it keeps the meshes made from it, so a change is
// applied by removing and re-adding that object.
//
// Threads and the lock (sceneLock):
//   - The main thread builds and edits the scene (Load, Clear, AddObject(s),
//     RemoveObject, RemoveMesh) only while no worker cycle can run: between
//     LockScene and ReleaseScene, or while the worker is stopped (inside Load before
//     it starts, inside Clear after it is joined).
//   - The worker (WorkerLoop, Update) reads the scene only while it holds sceneLock.
//   - running, dirty and mainHoldsLock are atomics and may be read anywhere.
//   - pendingMaterials and nodes are concurrent containers: pendingMaterials is
//     iterated in parallel by Update; nodes may be read by the exporter's threads.
// Lock order: sceneLock before the link's inter-process lock; nothing takes sceneLock
// while holding the link lock.
//
// Invariants (checked by CheckInvariants, which tests call after every operation):
//   1. every id of an ObjectEntry is a key of meshes, every MeshInfo of meshes is in
//      exactly one ObjectEntry and in materialMeshes under its materialId, and
//      materialMeshes holds nothing else;
//   2. whenever a MeshInfo is created or removed, its materialId enters
//      pendingMaterials;
//   3. a MeshInfo is final (its arrays hold exactly its counts, indices in range);
//   4. no MeshInfo is shared between objects or block instances.
//
// Problems found in an object's meshes (indices out of range, non-finite numbers,
// empty meshes, singular block placements) never stop the scene: the offending faces
// or meshes are left out and one line per object is printed in the command area
// (RhinoApp().Print), the first time that object is added after Load.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <tbb/concurrent_unordered_map.h>
#include <tbb/concurrent_unordered_set.h>
#include <tbb/concurrent_vector.h>

#include "scene/mesh_info.h"
#include "scene/renderer_matrix.h"
#include "sdk/geometry/on_array.h"

namespace VantroAPI {
class LiveConnection;
struct RecordPrefix;
}  // namespace VantroAPI
class CRhinoDoc;
class CRhinoObject;
class MaterialManager;
class ON_Mesh;
class ON_Xform;
class PluginSettings;
class TexCoordContext;
struct MaterialInfo;
namespace vantro::scene {
struct GeometryBufferView;
struct MeshProblems;
}  // namespace vantro::scene

// The meshes drawn with one material. Ordered by mesh id, i.e. by creation: the
// packing order of the material's geometry buffer is therefore deterministic (the
// scene's first meshes first, re-added objects at the end).
struct MeshIdLess {
    bool operator()(const MeshInfo* a, const MeshInfo* b) const { return a->id < b->id; }
};
using MeshSet = std::set<MeshInfo*, MeshIdLess>;

class RHScene {
public:
    // Neither pointer is owned; link is null for the export's scene. materials may be
    // null only for a scene that is never loaded with objects that need materials
    // (then every mesh uses material id -1 and nothing is sent).
    RHScene(VantroAPI::LiveConnection* link, MaterialManager* materials);
    // Clear, which joins the worker.
    ~RHScene();
    RHScene(const RHScene&) = delete;
    RHScene& operator=(const RHScene&) = delete;

    // --- The model (main thread) ---------------------------------------------------

    // Clears, then mirrors every visible, undeleted, active object of doc that can
    // give render meshes (or custom meshes; in export mode also block instances),
    // with a status-bar progress meter, and starts the worker. The worker sends
    // nothing until ReleaseScene. settings is read only when forExport (its
    // ExportNodes value). Returns false only for a null doc (the scene is then empty
    // and no worker runs).
    bool Load(CRhinoDoc* doc, const PluginSettings* settings, bool forExport);
    // Stops and joins the worker (giving up a main-thread hold on sceneLock first),
    // deletes every record and forgets the document. unitScale is kept. Must not be
    // called from the worker thread.
    void Clear();

    // Adds one object (AddObject) or each of an array of objects at top level
    // (AddObjects, progress meter optional). top is null at top level, else the
    // outermost block instance the object was reached through; transform is the
    // accumulated placement (null = identity). AddObject is false for an invisible
    // object, a point or point cloud outside export mode, and an object whose custom
    // meshes could not be delivered. AddObjects is always true.
    bool AddObject(const CRhinoObject* object, const CRhinoObject* top, const RendererMatrix* transform);
    bool AddObjects(const ON_SimpleArray<const CRhinoObject*>& objects, bool showProgress);
    // Removes every mesh of the top-level object with this runtime serial number and
    // its entry. False (nothing changes) when the scene has no such entry.
    bool RemoveObject(uint64_t serial);
    // Removes one mesh (its material becomes pending). False for an unknown id.
    bool RemoveMesh(uint64_t meshId);

    // Index into the document's material table the object is drawn with (object,
    // layer, or the outermost instance for "from parent"); -1 = the default material.
    int MaterialIndexOf(const CRhinoObject* object, const CRhinoObject* top) const;
    // Whether an RDK provider gives the object custom render meshes for the active
    // view. False without an active view, a document or an object.
    bool HasCustomMeshes(const CRhinoObject* object) const;
    // Block instance in export mode, or able to give render meshes, or custom meshes.
    bool IsRenderable(const CRhinoObject* object) const;

    // --- Mesh extraction (main thread, scene held) ---------------------------------

    // ToRendererMatrix with this scene's unitScale.
    RendererMatrix ToRendererMatrix(const ON_Xform* x) const;
    // Converts mesh for material (see mesh_conversion.h) and enters the record into
    // meshes and materialMeshes. Null (nothing entered) for a null mesh or material,
    // or a mesh that yields no triangle; problems are counted into problems (may be
    // null).
    MeshInfo* CreateMeshInfo(const ON_Mesh* mesh, const MaterialInfo* material, TexCoordContext* ctx,
                             vantro::scene::MeshProblems* problems = nullptr);

    // --- The hand-over to the worker and the worker (Part of the sync cycle) --------

    // The worker's pause between cycles: with work left, and when idle (the poll that
    // bounds how long a ReleaseScene waits for the worker to notice it).
    static constexpr uint32_t kBusyPauseMs = 5;
    static constexpr uint32_t kIdlePauseMs = 50;

    // Main thread: pauses the worker (dirty = false) and takes sceneLock, waiting at
    // most timeoutMs. True at once when the main thread already holds it. On timeout
    // writes "\n --- Can't lock mutex! ---\n" to the debug output and returns false;
    // the caller must then leave the scene alone.
    bool LockScene(uint32_t timeoutMs);
    // Main thread: when there is anything to send (pending materials in the manager or
    // the scene), marks the scene dirty and gives sceneLock back. With nothing to send
    // it returns at once and the main thread keeps its hold.
    void ReleaseScene();
    // The worker thread's body (started by Load, ended by Clear).
    void WorkerLoop();
    // Worker thread, holding sceneLock and the link lock: rewrites the geometry buffer
    // of pending materials in parallel until budgetMs have passed or the main thread
    // wants the scene (dirty false), then publishes. A material's buffer, once begun,
    // is written whole. What a pass wrote is published (the records' change counts,
    // buffer ids, capacities and changed bits, and the header's changed bit; replaced
    // buffers destroyed) only in the pass that leaves nothing pending but materials
    // whose buffer could not be made, so the renderer never reads a mix of two scenes;
    // those materials keep their old buffer and stay pending for the next pass.
    // *published (may be null) tells whether this pass published. True when nothing
    // remains to write or publish.
    bool Update(uint32_t budgetMs, bool* published = nullptr);

    // What keeps the link from delivering, as the worker last found it (any thread):
    // the link's lock held by the renderer for a second or more, or buffers that
    // could not be made (shared memory full). The worker keeps retrying at its own
    // pace either way; the plug-in tells the user when this changes.
    enum class LinkTrouble { none, lockHeld, buffersFailing };
    static constexpr uint64_t kLockHeldReportNs = 1'000'000'000;
    LinkTrouble Trouble() const { return static_cast<LinkTrouble>(trouble_.load()); }

    // --- Diagnostics -------------------------------------------------------------------

    // Every broken invariant, one line each; empty when the scene is consistent. For
    // tests and debugging: walks the whole scene. Call with the scene held (or the
    // worker stopped).
    std::vector<std::string> CheckInvariants() const;
    // Process-local view of a material's geometry: the buffer last written and its
    // capacity, and the change count last published; zeros when never written.
    struct GeometryState {
        uint32_t buffer = 0;
        uint32_t capacity = 0;
        uint32_t changeCount = 0;
    };
    GeometryState GeometryStateOf(uint64_t materialId) const;

    // --- Fields (lock: sceneLock unless said otherwise) ------------------------------

    VantroAPI::LiveConnection* const link;                           // not owned; null for the export's scene
    MaterialManager* const materials;                                // not owned
    CRhinoDoc* doc = nullptr;                                        // set by Load, null after Clear
    std::unordered_map<uint64_t, ObjectEntry> objects;               // by top-level object serial
    std::unordered_map<uint64_t, std::unique_ptr<MeshInfo>> meshes;  // owning, by mesh id
    std::unordered_map<uint64_t, MeshSet> materialMeshes;            // by material id, not owning
    tbb::concurrent_unordered_set<uint64_t> pendingMaterials;        // material ids to rewrite
    bool exportNodes = false;
    tbb::concurrent_vector<std::unique_ptr<NodeInfo>> nodes;  // export mode only
    float unitScale = 1.0f;                                   // document units to metres; kept by Clear

    std::atomic<bool> running{false};        // the worker keeps looping while set
    std::atomic<bool> dirty{false};          // something to send; see LockScene/ReleaseScene
    std::atomic<bool> mainHoldsLock{false};  // the main thread holds sceneLock
    std::timed_mutex sceneLock;              // exclusive access to the fields above

private:
    struct MaterialStep;
    bool addBlockInstance(const CRhinoObject* object, const CRhinoObject* topObject, const RendererMatrix& transform,
                          int depth);
    bool addObjectMeshes(const CRhinoObject* object, const CRhinoObject* topObject, const RendererMatrix& transform,
                         vantro::scene::MeshProblems& problems);
    bool addCustomMeshes(const CRhinoObject* object, ObjectEntry& entry, const RendererMatrix& transform,
                         vantro::scene::MeshProblems& problems);
    void addConverted(MeshInfo* mi, ObjectEntry& entry, const RendererMatrix* transform,
                      vantro::scene::MeshProblems& problems);
    void reportProblems(const CRhinoObject* object, const vantro::scene::MeshProblems& problems);
    bool addObjectAt(const CRhinoObject* object, const CRhinoObject* top, const RendererMatrix& transform, int depth);
    void writePending(uint32_t budgetMs, MaterialStep& step);
    void noteLock(bool locked);
    void publish();
    void updateMaterial(uint64_t materialId, MaterialStep& step);
    bool writeMaterial(uint64_t materialId, VantroAPI::RecordPrefix* record, const MeshSet* set, uint64_t vertexCount,
                       uint64_t indexCount, MaterialStep& step);
    void fillBuffer(const vantro::scene::GeometryBufferView& view, const MeshSet& set);
    void reportOversize(uint64_t materialId, uint64_t bytes);
    void notifyPeer();

    // Buffer ids, capacities and change counts this process wrote into each material's
    // record (the record's own bytes are never trusted). Guarded by sceneLock; during
    // Update each per-material step touches only its own entry, so entries are
    // inserted before the parallel pass and only found during it.
    tbb::concurrent_unordered_map<uint64_t, GeometryState> geometry_;
    // Materials whose buffer was written completely but whose record still shows the
    // previous geometry, and the buffers their records will stop naming: both wait
    // for the pass that publishes (worker, under sceneLock).
    std::set<uint64_t> unpublished_;
    std::atomic<int> trouble_{0};      // a LinkTrouble; written by the worker only
    uint64_t lockFailingSinceNs_ = 0;  // worker only: when Lock started failing, 0 when it works
    size_t failedBuffers_ = 0;         // worker only: materials the last pass found no buffer for
    std::vector<uint32_t> retiredBuffers_;
    // Objects whose problems were reported since Load (main thread only).
    std::unordered_set<uint64_t> reportedObjects_;
    // Materials too large for a 32-bit buffer, reported once each (per-material steps
    // insert concurrently).
    tbb::concurrent_unordered_set<uint64_t> oversizeReported_;
    // The worker's pause between cycles: a wait that Clear cuts short, so that stopping
    // the link or ending an export does not wait out a 50 ms poll. The mutex guards no
    // data; taking it in Clear before the notification keeps the wake-up from falling
    // between the worker's check of running and its wait.
    std::mutex pauseMutex_;
    std::condition_variable pauseWake_;

    // Declared last so that it is destroyed first. Shutdown order (Clear, also from the
    // destructor): running = false, dirty = false; wake a pausing worker; release a
    // main-thread hold on sceneLock; join the worker (it finishes its cycle without sending and exits);
    // only then delete the records it was reading.
    std::thread worker;
};
