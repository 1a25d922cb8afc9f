#include "velora_peer.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include <filesystem>
#include <utility>

#include "channel_summary.h"
#include "creator_leftovers.h"
#include "obj_writer.h"
#include "output_check.h"
#include "picture_renderer.h"
#include "png_file.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shared_memory.h"
#include "platform/stop_requests.h"
#include "platform/utf.h"

namespace vantro::peer {

using namespace VantroAPI;
namespace platform = vantro::platform;

namespace {

constexpr uint32_t kSyncLockTimeoutUs = 100'000;
constexpr uint32_t kHoldLockTimeoutUs = 5'000'000;
constexpr uint32_t kPollIntervalMs = 20;
// How often a connected peer looks whether the creator has closed; a creator that
// stops and starts again waits for the old mapping to go (LiveConnection::Create).
constexpr int64_t kCreatorCheckMs = 50;
// How long names of a dead creator that are still held are looked at again.
constexpr uint64_t kCreatorEndingMs = 3000;

uint64_t nowMs() { return platform::monotonicNanoseconds() / 1'000'000; }

// False only when the store says the value is absent: a store that cannot be read
// right now must not make the peer drop a live connection.
bool isAnnounced(const std::u16string& name) {
    platform::RegistryKey key;
    long rc = platform::RegistryKey::open(platform::RegHive::currentUser, kConnectionsKey, key);
    if (rc == platform::kErrorSuccess)
        rc = key.queryValue(name, nullptr, nullptr);
    return rc != platform::kErrorFileNotFound;
}

uint64_t fnv1a(const uint8_t* bytes, size_t size) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    return hash;
}

}  // namespace

VeloraPeer::VeloraPeer(PeerOptions options) : options_(std::move(options)) {}
VeloraPeer::~VeloraPeer() = default;

bool VeloraPeer::tryOpen() {
    announcementSeen_ = false;
    if (!options_.connection.empty())
        return connection_.Open(platform::fromUtf8(options_.connection)) == 0;
    std::vector<std::u16string> names;
    for (const std::u16string& name : connection_.ListConnections(names, 1)) {
        if (connection_.Open(name) == 0) {
            announcementSeen_ = true;
            return true;
        }
    }
    return false;
}

const char* VeloraPeer::creatorClosed() {
    if (connection_.IsBroken())
        return "broken";
    if (!platform::isProcessAlive(connection_.CreatorProcessId()))
        return "creator-gone";
    // A connection opened by name may not be announced yet: only the removal of an
    // announcement seen before means that the creator closed it.
    if (isAnnounced(connection_.GetName()))
        announcementSeen_ = true;
    else if (announcementSeen_)
        return "unannounced";
    return nullptr;
}

void VeloraPeer::releaseIfCreatorClosed() {
    if (!connection_.IsOpen())
        return;
    const char* reason = creatorClosed();
    if (!reason)
        return;
    const std::string name = platform::toUtf8(connection_.GetName());
    const uint32_t creator = connection_.CreatorProcessId();
    connection_.Disconnect();  // before the line: whoever reads it may look at /dev/shm at once
    mirror_.clear();
    // Buffers made just before a creator died were never mapped here; nobody else
    // would remove them until some program's next start. A killed creator's lock
    // reports its death while the process is still being torn down, and its other
    // threads may still hold files after its main thread is a zombie, so names still
    // held are checked again for a while (reclaimOnceCreatorEnded).
    endingCreator_ = creator;
    endingDeadlineMs_ = nowMs() + kCreatorEndingMs;
    endingReclaimed_ = 0;
    const bool finished = reclaimStep();
    const size_t reclaimed = std::exchange(endingReclaimed_, 0);
    if (finished)
        endingCreator_ = 0;
    std::printf("RELEASED name=%s reason=%s reclaimed=%zu\n", name.c_str(), reason, reclaimed);
    std::fflush(stdout);
}

bool VeloraPeer::reclaimStep() {
    if (endingCreator_ == 0 || platform::isProcessAlive(endingCreator_))
        return false;
    const CreatorLeftovers left = reclaimCreatorBuffers(endingCreator_);
    endingReclaimed_ += left.removed;
    // Names held past the deadline belong to someone else for good (another peer
    // maps them): theirs to remove.
    return left.held == 0 || nowMs() >= endingDeadlineMs_;
}

void VeloraPeer::reclaimOnceCreatorEnded() {
    if (!reclaimStep())
        return;
    std::printf("RECLAIMED creator=%" PRIu32 " buffers=%zu\n", endingCreator_, endingReclaimed_);
    std::fflush(stdout);
    endingCreator_ = 0;
    endingReclaimed_ = 0;
}

bool VeloraPeer::connect(int64_t waitMs) {
    const uint64_t deadline = nowMs() + static_cast<uint64_t>(std::max<int64_t>(waitMs, 0));
    while (!tryOpen()) {
        if (nowMs() >= deadline || platform::stopRequest() != 0)
            return false;
        platform::sleepMilliseconds(kPollIntervalMs);
    }
    std::printf("OPENED name=%s creator=%" PRIu32 " usableSlots=%" PRIu32 " ownerForeground=%d\n",
                platform::toUtf8(connection_.GetName()).c_str(), load(connection_.HeaderBlock(), header::kCreatorPid),
                connection_.UsableSlotCount(), connection_.IsOwnerForeground() ? 1 : 0);
    return true;
}

void VeloraPeer::sync() {
    if (!connection_.Lock(kSyncLockTimeoutUs)) {
        std::printf("SYNC busy\n");
        return;
    }
    JsonWriter json(options_.pretty);
    if (options_.dump)
        writeChannelSummary(connection_, json);
    MirrorUpdate update = mirror_.update(connection_);
    std::vector<RecordPrefix*> records;
    uint32_t changed = 0;
    for (RecordPrefix* record : connection_.AllRecords(records)) {
        if (connection_.TestRecordFlags(record, kRecordChanged)) {
            connection_.ClearRecordFlags(record, kRecordChanged);
            ++changed;
        }
    }
    connection_.ClearFlags(kHeaderChanged);
    connection_.Unlock();
    mirror_.loadTextures(update);
    std::printf("SYNC records=%zu changed=%" PRIu32 "\n", records.size(), changed);
    if (options_.dump)
        std::printf("%s\n", json.text().c_str());
    showMirror(update);
}

void VeloraPeer::showOutputs() {
    if (!options_.previewDir.empty())
        writePicture();
    if (!options_.objFile.empty())
        writeObjFile();
}

void VeloraPeer::showMirror(const MirrorUpdate& update) {
    const auto& camera = mirror_.camera();
    const char* kind = !camera ? "absent" : camera->view.cameraKind == kCameraPerspective ? "perspective" : "none";
    std::printf("MIRROR materials=%zu textured=%zu triangles=%zu camera=%s read=%" PRIu32 "/%" PRIu32 "/%" PRIu32
                " removed=%" PRIu32 " statistics=%d bytes=%" PRIu64 "\n",
                mirror_.materials().size(), mirror_.texturedCount(), mirror_.triangleCount(), kind, update.materials,
                update.textures, update.geometries, update.removed, update.statistics ? 1 : 0, update.geometryBytes);
    for (const std::string& problem : update.problems)
        std::printf("PROBLEM %s\n", problem.c_str());
}

void VeloraPeer::writePicture() {
    std::error_code ignored;
    std::filesystem::create_directories(options_.previewDir, ignored);
    if (!renderer_)
        renderer_ = std::make_unique<PictureRenderer>();
    // Numbered by wake-up: a picture that fails leaves a gap, not a shift.
    const uint64_t number = ++pictures_;
    const uint64_t started = nowMs();
    Image picture;
    std::string error;
    if (!renderer_->render(mirror_, options_.pictureWidth, options_.pictureHeight, picture, error)) {
        std::printf("PICTURE failed: %s\n", error.c_str());
        return;
    }
    const uint64_t elapsed = nowMs() - started;
    char name[32];
    std::snprintf(name, sizeof name, "picture-%04" PRIu64 ".png", number);
    const std::string file = (std::filesystem::path(options_.previewDir) / name).string();
    errno = 0;
    if (!writePng(file, picture)) {
        std::printf("PICTURE failed: cannot write %s\n", withReason(file).c_str());
        return;
    }
    std::printf("PICTURE n=%" PRIu64 " file=%s triangles=%zu ms=%" PRIu64 "\n", number, file.c_str(),
                mirror_.triangleCount(), elapsed);
}

void VeloraPeer::writeObjFile() {
    std::string error;
    if (writeObj(mirror_, options_.objFile, error))
        std::printf("OBJ file=%s materials=%zu triangles=%zu\n", options_.objFile.c_str(), mirror_.materials().size(),
                    mirror_.triangleCount());
    else
        std::printf("OBJ failed: %s\n", error.c_str());
}

void VeloraPeer::readBuffers() {
    for (uint32_t id : options_.readBuffers) {
        const auto* bytes = static_cast<const uint8_t*>(connection_.MapBuffer(id));
        if (!bytes) {
            std::printf("READ-BUFFER id=0x%08" PRIX32 " missing\n", id);
            continue;
        }
        const size_t size = connection_.MappedBufferSize(id);
        std::string head;
        for (size_t i = 0; i < std::min<size_t>(size, 16); ++i) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
            head += hex;
        }
        std::printf("READ-BUFFER id=0x%08" PRIX32 " size=%zu fnv=%016" PRIx64 " head=%s\n", id, size,
                    fnv1a(bytes, size), head.c_str());
    }
}

void VeloraPeer::createBuffers() {
    for (const auto& [record, size] : options_.createBuffers) {
        const uint32_t id = connection_.CreateBuffer(record, size);
        auto* bytes = static_cast<uint8_t*>(connection_.MapBuffer(id));
        if (id == 0 || !bytes) {
            std::printf("CREATE-BUFFER failed\n");
            continue;
        }
        for (size_t i = 0; i < size; ++i)
            bytes[i] = peerBufferByte(id, i);
        std::printf("CREATED-BUFFER id=0x%08" PRIX32 " record=%" PRIu32 " size=%" PRIu32 "\n", id, record, size);
    }
}

void VeloraPeer::holdLock() {
    if (!connection_.Lock(kHoldLockTimeoutUs)) {
        std::printf("LOCK-FAILED\n");
        return;
    }
    std::printf("LOCKED\n");
    std::fflush(stdout);
    platform::sleepMilliseconds(static_cast<uint32_t>(options_.holdLockMs));
    connection_.Unlock();
    std::printf("UNLOCKED\n");
}

void endListeningOnSignals() { platform::watchStopRequests(); }

void VeloraPeer::listen() {
    const bool forever = options_.listenMs < 0;
    const uint64_t deadline = nowMs() + static_cast<uint64_t>(std::max<int64_t>(options_.listenMs, 0));
    while (options_.exitAfterMessages < 0 || messages_ < static_cast<uint64_t>(options_.exitAfterMessages)) {
        releaseIfCreatorClosed();
        reclaimOnceCreatorEnded();
        if (const int signal = platform::stopRequest(); signal != 0) {
            std::printf("SIGNALLED signal=%d\n", signal);
            break;
        }
        const uint64_t now = nowMs();
        if (!forever && now >= deadline)
            break;
        int64_t timeout = forever ? -1 : static_cast<int64_t>(std::min<uint64_t>(deadline - now, INT32_MAX));
        // Short waits, so that a closed creator or a stop signal is seen within moments.
        if (timeout < 0 || timeout > kCreatorCheckMs)
            timeout = kCreatorCheckMs;
        platform::WindowMessage message;
        if (!window_.receive(message, static_cast<int>(timeout)))
            continue;
        ++messages_;
        std::printf("MESSAGE n=%" PRIu64 " id=0x%04" PRIX32 " wParam=%" PRIu64 " lParam=%" PRIu64 "\n", messages_,
                    message.message, message.wParam, message.lParam);
        if (message.message != kWakeMessage)
            continue;
        if (connection_.IsOpen() || connect(0))
            sync();
        showOutputs();
        std::fflush(stdout);
    }
}

void VeloraPeer::sweep() {
    // A creator killed without closing leaves its mappings (and its announcement)
    // behind; nobody else would ever remove them.
    const size_t abandoned = platform::SharedMemory::reclaimAbandoned();
    std::vector<std::u16string> ignored;
    connection_.ListConnections(ignored, 0);  // deletes announcements whose mapping is gone
    std::printf("SWEPT abandoned=%zu\n", abandoned);
}

int VeloraPeer::run() {
    if (std::string error; !checkOutputs(options_, error)) {
        std::fprintf(stderr, "velora-peer: %s\n", error.c_str());
        return 4;
    }
    sweep();
    platform::WindowInfo info;
    info.className = platform::fromUtf8(options_.windowClass);
    info.title = u"Velora " + platform::fromUtf8(options_.version);
    info.visible = !options_.hidden;
    if (!platform::Window::publish(info, window_)) {
        std::fprintf(stderr, "velora-peer: cannot publish the main window\n");
        return 1;
    }
    std::printf("READY window=%" PRIu64 " pid=%" PRIu32 "\n", window_.handle(), platform::currentProcessId());
    std::fflush(stdout);

    const bool wanted = !options_.connection.empty() || options_.waitConnectionMs >= 0;
    if (wanted) {
        if (!connect(options_.waitConnectionMs)) {
            std::printf("NO-CONNECTION\n");
            return 3;
        }
        sync();
        showOutputs();
        readBuffers();
        createBuffers();
        if (options_.holdLockMs >= 0)
            holdLock();
        if (options_.closeLink) {
            connection_.SetFlags(kHeaderClosedByPeer);
            std::printf("CLOSED-LINK\n");
        }
        std::fflush(stdout);
    }
    listen();
    connection_.Disconnect();
    // A creator that died just before the end: wait for its last threads to let go.
    reclaimOnceCreatorEnded();
    while (endingCreator_ != 0 && !platform::isProcessAlive(endingCreator_) && nowMs() < endingDeadlineMs_) {
        platform::sleepMilliseconds(kPollIntervalMs);
        reclaimOnceCreatorEnded();
    }
    std::printf("EXIT messages=%" PRIu64 "\n", messages_);
    return 0;
}

}  // namespace vantro::peer
