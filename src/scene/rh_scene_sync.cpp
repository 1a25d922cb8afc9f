// RHScene's hand-over between the main thread and the sync worker, the worker loop,
// and the update cycle that rewrites the geometry buffers of pending materials.

#include <algorithm>
#include <chrono>
#include <limits>
#include <vector>

#include <tbb/concurrent_unordered_set.h>

#include "link/channel_layout.h"
#include "link/live_connection.h"
#include "materials/material_manager.h"
#include "platform/clock.h"
#include "platform/debug_output.h"
#include "geometry_buffer.h"
#include "scene/parallel.h"
#include "scene/rh_scene.h"
#include "sdk/app/rhino_app.h"

using namespace vantro::scene;

namespace {

constexpr uint32_t kLinkLockTimeoutUs = 10'000;
constexpr uint32_t kUpdateBudgetMs = 100;
constexpr char16_t kLockFailedLine[] = u"\n --- Can't lock mutex! ---\n";

using SteadyClock = std::chrono::steady_clock;

// try_lock_until on the steady clock. ThreadSanitizer (as shipped with g++ 12) does
// not intercept pthread_mutex_clocklock, which libstdc++ uses for steady deadlines,
// and would then miss the acquisition; in that build the same deadline is waited for
// through the system clock, whose timed lock it does see.
bool tryLockUntil(std::timed_mutex& mutex, SteadyClock::time_point deadline) {
#if defined(__SANITIZE_THREAD__)
    const auto remaining = deadline - SteadyClock::now();
    return mutex.try_lock_until(std::chrono::system_clock::now() +
                                std::chrono::duration_cast<std::chrono::system_clock::duration>(remaining));
#else
    return mutex.try_lock_until(deadline);
#endif
}

uint64_t nowNs() { return vantro::platform::monotonicNanoseconds(); }

}  // namespace

// State shared by the per-material steps of one Update pass.
struct RHScene::MaterialStep {
    uint64_t deadlineNs = 0;
    std::atomic<bool> inTime{true};
    tbb::concurrent_unordered_set<uint64_t> processed;  // leave the pending set (written, or skipped for good)
    tbb::concurrent_unordered_set<uint64_t> written;    // completely written, to be published
    tbb::concurrent_unordered_set<uint64_t> failed;     // no buffer to write into: retried next cycle
    tbb::concurrent_unordered_set<uint32_t> released;   // buffers to destroy once the successors are published

    bool pastDeadline() const { return nowNs() > deadlineNs; }
};

bool RHScene::LockScene(uint32_t timeoutMs) {
    dirty = false;  // the worker abandons a running cycle at its next check
    if (!mainHoldsLock) {
        const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
        mainHoldsLock = tryLockUntil(sceneLock, deadline);
        if (!mainHoldsLock)
            vantro::platform::outputDebugString(kLockFailedLine);
    }
    return mainHoldsLock;
}

void RHScene::ReleaseScene() {
    // Without the scene held, reading the pending sets is only safe while the worker
    // is idle: once dirty is set the worker may be pruning them, and it will send
    // whatever is there anyway.
    if (!mainHoldsLock && dirty)
        return;
    const bool materialsPending = materials && materials->HasPending();
    if (!materialsPending && pendingMaterials.empty())
        return;
    dirty = true;
    if (mainHoldsLock.exchange(false))
        sceneLock.unlock();
}

void RHScene::WorkerLoop() {
    bool complete = false;
    for (;;) {
        if (!running)
            return;
        if (dirty) {
            std::lock_guard<std::timed_mutex> scene(sceneLock);
            const bool locked = link && link->Lock(kLinkLockTimeoutUs);
            noteLock(locked);
            if (locked) {
                bool published = false;
                if (running) {
                    if (materials)
                        materials->SendPending();
                    if (Update(kUpdateBudgetMs, &published)) {
                        complete = true;
                        dirty = false;
                    }
                }
                link->Unlock();
                if (failedBuffers_ != 0)
                    trouble_ = static_cast<int>(LinkTrouble::buffersFailing);
                else if (Trouble() == LinkTrouble::buffersFailing)
                    trouble_ = static_cast<int>(LinkTrouble::none);
                // A publication that leaves a failed buffer for the next cycle is still a
                // complete scene: the renderer is told now, not when the retry succeeds.
                if ((complete || published) && running) {
                    complete = false;
                    link->Register();
                    notifyPeer();
                }
            }
        }
        std::unique_lock<std::mutex> pause(pauseMutex_);
        const std::chrono::milliseconds pauseFor(dirty ? kBusyPauseMs : kIdlePauseMs);
        if (pauseWake_.wait_for(pause, pauseFor, [this] { return !running; }))
            return;
    }
}

void RHScene::noteLock(bool locked) {
    if (locked) {
        lockFailingSinceNs_ = 0;
        if (Trouble() == LinkTrouble::lockHeld)
            trouble_ = static_cast<int>(LinkTrouble::none);
        return;
    }
    const uint64_t now = nowNs();
    if (lockFailingSinceNs_ == 0)
        lockFailingSinceNs_ = now;
    else if (now - lockFailingSinceNs_ >= kLockHeldReportNs)
        trouble_ = static_cast<int>(LinkTrouble::lockHeld);
}

void RHScene::notifyPeer() {
    // The window search runs parallel loops; inside the scene's arena they use its
    // threads (see parallel.h).
    vantro::scene::RunInSceneArena([&] { link->NotifyPeer(VantroAPI::kWakeReason, VantroAPI::kWakeDetail); });
}

bool RHScene::Update(uint32_t budgetMs, bool* published) {
    if (published)
        *published = false;
    MaterialStep step;
    if (dirty && !pendingMaterials.empty())
        writePending(budgetMs, step);
    // Every write of this cycle was made from the scene as it stands (the main thread
    // cannot edit it while the worker holds sceneLock), so once nothing but failed
    // buffers is left the written materials form one consistent scene to publish,
    // even when the main thread is already waiting.
    const bool onlyFailuresLeft = std::all_of(pendingMaterials.begin(), pendingMaterials.end(),
                                              [&](uint64_t m) { return step.failed.count(m) != 0; });
    if (onlyFailuresLeft && !unpublished_.empty()) {
        publish();
        if (published)
            *published = true;
    }
    return pendingMaterials.empty() && unpublished_.empty();
}

void RHScene::writePending(uint32_t budgetMs, MaterialStep& step) {
    step.deadlineNs = nowNs() + uint64_t(budgetMs) * 1'000'000u;
    std::vector<uint64_t> pending(pendingMaterials.begin(), pendingMaterials.end());
    for (uint64_t m : pending)
        geometry_[m];  // entries exist before the parallel pass only finds them
    vantro::scene::ParallelForEach(pending.begin(), pending.end(), [&](uint64_t m) { updateMaterial(m, step); });
    for (uint64_t m : step.processed)
        pendingMaterials.unsafe_erase(m);
    failedBuffers_ = step.failed.size();
    unpublished_.insert(step.written.begin(), step.written.end());
    retiredBuffers_.insert(retiredBuffers_.end(), step.released.begin(), step.released.end());
}

void RHScene::publish() {
    using namespace VantroAPI;
    for (uint64_t m : unpublished_) {
        // The material may have been removed since its buffer was written.
        MaterialInfo& info = materials->FindById(static_cast<int64_t>(m));
        if (static_cast<uint64_t>(info.id) != m || !info.record)
            continue;
        GeometryState& g = geometry_[m];
        ++g.changeCount;
        store(info.record, srfc_record::kGeometryChangeCount, g.changeCount);
        store(info.record, srfc_record::kGeometryBuffer, g.buffer);
        store(info.record, srfc_record::kGeometryCapacity, g.capacity);
        link->SetRecordFlags(info.record, kRecordChanged);
    }
    unpublished_.clear();
    // Only now does no record name the replaced buffers any more.
    for (uint32_t id : retiredBuffers_)
        link->DestroyBuffer(id);
    retiredBuffers_.clear();
    link->SetFlags(kHeaderChanged);
}

void RHScene::updateMaterial(uint64_t materialId, MaterialStep& step) {
    if (!dirty || !step.inTime)
        return;
    const auto found = materialMeshes.find(materialId);  // find: other steps read the map too
    const MeshSet* set = found == materialMeshes.end() ? nullptr : &found->second;
    std::atomic<uint64_t> vertices{0}, indices{0};
    if (set) {
        vantro::scene::ParallelForEach(set->begin(), set->end(), [&](const MeshInfo* mi) {
            if (!dirty || !step.inTime)
                return;
            const uint64_t copies = mi->twoSided ? 2 : 1;
            vertices += copies * mi->vertexCount;
            indices += copies * mi->indexCount;
            if (step.pastDeadline())
                step.inTime = false;
        });
    }
    // From here on the material is written whole: an interruption would leave a torn
    // buffer behind the record the renderer is reading from.
    if (!dirty || !step.inTime)
        return;  // stays pending for the next cycle
    if (!materials || !link) {
        step.processed.insert(materialId);
        return;
    }
    MaterialInfo& info = materials->FindById(static_cast<int64_t>(materialId));
    // FindById falls back to the default material; a material that is gone has no
    // record of its own, and must not write into the default's.
    if (static_cast<uint64_t>(info.id) != materialId || !info.record) {
        step.processed.insert(materialId);
        return;
    }
    if (writeMaterial(materialId, info.record, set, vertices, indices, step)) {
        step.processed.insert(materialId);
        step.written.insert(materialId);
    } else {
        step.failed.insert(materialId);
    }
    if (step.pastDeadline())
        step.inTime = false;
}

bool RHScene::writeMaterial(uint64_t materialId, VantroAPI::RecordPrefix* record, const MeshSet* set,
                            uint64_t vertexCount, uint64_t indexCount, MaterialStep& step) {
    using namespace VantroAPI;
    GeometryState& g = geometry_.find(materialId)->second;  // made before the pass
    const uint64_t need = GeometryBufferBytes(vertexCount, indexCount);
    const uint64_t limit = std::numeric_limits<uint32_t>::max();
    const bool fits = vertexCount <= limit && indexCount <= limit && 2 * need <= limit;
    if (vertexCount > 0 && !fits)
        reportOversize(materialId, 2 * need);
    if (vertexCount == 0 || !fits || !set) {
        if (g.buffer)
            step.released.insert(g.buffer);
        g.buffer = 0;
        g.capacity = 0;
        return true;
    }
    if (g.capacity < need) {
        const uint32_t capacity = static_cast<uint32_t>(2 * need);
        const uint32_t created = link->CreateBuffer(load(record, record::kId), capacity);
        // Without a new buffer the old one (and what the renderer read from it) stays.
        if (!created)
            return false;
        if (g.buffer)
            step.released.insert(g.buffer);
        g.buffer = created;
        g.capacity = capacity;
    }
    void* p = link->MapBuffer(g.buffer);
    if (!p)
        return false;
    const GeometryBufferView view{static_cast<std::byte*>(p), link->MappedBufferSize(g.buffer),
                                  static_cast<uint32_t>(vertexCount), static_cast<uint32_t>(indexCount), kTexCoordSets};
    fillBuffer(view, *set);
    return true;
}

void RHScene::fillBuffer(const GeometryBufferView& view, const MeshSet& set) {
    if (!WriteGeometryHeader(view))
        return;
    uint32_t vertexOffset = 0;
    uint32_t indexOffset = 0;
    for (const MeshInfo* mi : set) {
        for (int side = 0; side < (mi->twoSided ? 2 : 1); ++side) {
            WriteMeshGeometry(view, *mi, side == 1, vertexOffset, indexOffset);
            vertexOffset += mi->vertexCount;
            indexOffset += mi->indexCount;
        }
    }
}

void RHScene::reportOversize(uint64_t materialId, uint64_t bytes) {
    if (!oversizeReported_.insert(materialId).second)
        return;
    RhinoApp().Print(
        u"Velora Vantro: the geometry of material %lld needs %llu bytes, more than a link buffer can hold; it is not "
        u"sent.\n",
        static_cast<long long>(static_cast<int64_t>(materialId)), static_cast<unsigned long long>(bytes));
}
