// velora-scene-reader: a second process that reads the scene's geometry the way the
// renderer does, for the scene's multi-process tests and benchmarks. ("velora" in the
// program name lets the link's peer search find its window.)
//
//   velora-scene-reader --connection NAME --dump-dir DIR [--random-locks SEED]
//                       [--wake-log FILE] [--poll-ms MS] [--wait-connection MS]
//
// It publishes a peer main window, opens the connection, and then serves messages:
//   0x8729 (the link's wake-up): takes the lock, reads every "SRFC" record whose
//          geometry change count moved, copies the used part of its geometry buffer
//          into its mirror, clears the changed bits, prints
//          "WAKE n=<count> ns=<monotonic ns at receipt> changed=<records read>";
//   kDumpMessage (wParam = sequence): writes its mirror to DIR/dump-<sequence>.bin and
//          prints "DUMPED seq=<sequence> records=<n>";
//   kHoldLockMessage (wParam = ms): takes the lock, prints "HELD", keeps it that long,
//          releases it and prints "RELEASED";
//   kQuitMessage: prints "EXIT wakes=<n> locks=<n>" and ends (as it does when the
//          connection's creator is gone).
// With --random-locks it also takes the lock at random moments between messages and
// keeps it for up to 2 ms, now and then for 10 to 15 ms (past the writer's 10 ms budget).
//
// The "VIEW" record is looked at after every wake-up and every MS milliseconds without
// a message (--poll-ms, default 500): a camera written since the last look (its changed
// bit set) is printed as
//   "VIEW apply=<applyNow> kind=<cameraKind> fov=<f> pos=<x,y,z> dir=<x,y,z> up=<x,y,z>
//    rows=<16 floats> zero=<1 when all 628 payload bytes are zero>"
// and the bit cleared. --wait-connection keeps trying to open the connection that long
// (the reader may start before the link does), after printing "WAITING window=<handle>"
// once its window is up.
//
// With --wake-log it appends one line per wake-up to FILE, after the reads: "wake <n>"
// and " <record id>:<status>:<FNV-1a of the bytes, hex>" for every mirrored record
// (scene_reader_protocol.h reads it back), so a test can check every state the
// renderer was woken for, not only the last.
//
// The mirror only changes when a wake-up arrives, so a dump shows what the renderer
// would show, not a fresh read. Everything read from the channel is bounded by the
// sizes this process actually mapped.
//
// Dump file (little-endian u32 words): record count, then per record in record-id
// order: record id, geometry change count, buffer id, capacity, status (0 read,
// 1 buffer missing, 2 counts larger than the buffer), byte count n, then n bytes.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "link/channel_layout.h"
#include "link/live_connection.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/utf.h"
#include "platform/window.h"
#include "scene_reader_protocol.h"

using namespace VantroAPI;
namespace platform = vantro::platform;
using vantro::test::kDumpMessage;
using vantro::test::kHoldLockMessage;
using vantro::test::kQuitMessage;

namespace {

struct MirroredRecord {
    uint32_t changeCount = 0;
    uint32_t buffer = 0;
    uint32_t capacity = 0;
    uint32_t status = 0;
    std::vector<uint8_t> bytes;
};

struct Options {
    std::string connection;
    std::string dumpDir;
    uint32_t randomSeed = 0;
    std::string wakeLog;
    int pollMs = 500;
    int waitConnectionMs = 0;
};

bool parse(int argc, char** argv, Options& out) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--connection")
            out.connection = value;
        else if (key == "--dump-dir")
            out.dumpDir = value;
        else if (key == "--wake-log")
            out.wakeLog = value;
        else if (key == "--poll-ms")
            out.pollMs = std::max(1, std::stoi(value));
        else if (key == "--wait-connection")
            out.waitConnectionMs = std::max(0, std::stoi(value));
        else if (key == "--random-locks")
            out.randomSeed = static_cast<uint32_t>(std::stoul(value));
        else
            return false;
    }
    return !out.connection.empty() && !out.dumpDir.empty();
}

class Reader {
public:
    explicit Reader(Options options) : options_(std::move(options)), random_(options_.randomSeed) {}

    int run() {
        platform::WindowInfo info;
        info.className = u"VELORA START";
        info.title = u"Velora 8.3.0";
        if (!platform::Window::publish(info, window_))
            return 1;
        if (!open())
            return 3;
        creator_ = load(connection_.HeaderBlock(), header::kCreatorPid);
        std::printf("READY window=%llu pid=%u\n", static_cast<unsigned long long>(window_.handle()),
                    platform::currentProcessId());
        std::fflush(stdout);
        for (;;) {
            platform::WindowMessage message;
            const int wait = options_.randomSeed ? static_cast<int>(random_() % 20) : options_.pollMs;
            if (!window_.receive(message, wait)) {
                // A test that died without telling us leaves no one to read for.
                if (!platform::isProcessAlive(creator_))
                    break;
                if (options_.randomSeed)
                    holdLockAtRandom();
                lookAtView();
                continue;
            }
            if (message.message == kWakeMessage) {
                wake();
                lookAtView();
            } else if (message.message == kDumpMessage)
                dump(static_cast<uint32_t>(message.wParam));
            else if (message.message == kHoldLockMessage)
                holdLock(static_cast<uint32_t>(message.wParam));
            else if (message.message == kQuitMessage)
                break;
        }
        std::printf("EXIT wakes=%u locks=%u\n", wakes_, randomLocks_);
        std::fflush(stdout);
        return 0;
    }

private:
    bool open() {
        if (options_.waitConnectionMs > 0) {
            std::printf("WAITING window=%llu\n", static_cast<unsigned long long>(window_.handle()));
            std::fflush(stdout);
        }
        const uint64_t until = platform::monotonicNanoseconds() + uint64_t(options_.waitConnectionMs) * 1'000'000u;
        for (;;) {
            if (connection_.Open(platform::fromUtf8(options_.connection)) == 0)
                return true;
            if (platform::monotonicNanoseconds() >= until)
                return false;
            platform::sleepMilliseconds(20);
        }
    }

    void lookAtView() {
        if (!connection_.Lock(2'000'000))
            return;
        std::vector<RecordPrefix*> records;
        for (RecordPrefix* record : connection_.AllRecords(records)) {
            if (load(record, record::kTag) != kTagView || !connection_.TestRecordFlags(record, kRecordChanged))
                continue;
            const uint32_t apply = load(record, view_record::kApplyNow);
            const ViewData view = load(record, view_record::kView);
            connection_.ClearRecordFlags(record, kRecordChanged);
            printView(apply, view);
        }
        connection_.Unlock();
    }

    static void printView(uint32_t apply, const ViewData& v) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(&v);
        bool zero = true;
        for (size_t i = 0; i < sizeof v; ++i)
            zero = zero && bytes[i] == 0;
        std::printf("VIEW apply=%u kind=%u fov=%.9g pos=%.9g,%.9g,%.9g dir=%.9g,%.9g,%.9g up=%.9g,%.9g,%.9g rows=",
                    apply, v.cameraKind, double(v.fieldOfView), double(v.position[0]), double(v.position[1]),
                    double(v.position[2]), double(v.direction[0]), double(v.direction[1]), double(v.direction[2]),
                    double(v.up[0]), double(v.up[1]), double(v.up[2]));
        for (int i = 0; i < 16; ++i)
            std::printf(i ? ",%.9g" : "%.9g", double(v.viewMatrix[i]));
        std::printf(" zero=%d\n", zero ? 1 : 0);
        std::fflush(stdout);
    }

    void holdLockAtRandom() {
        if (!connection_.Lock(0))
            return;
        ++randomLocks_;
        // Mostly short holds, now and then one past the writer's 10 ms budget.
        const uint64_t holdUs = random_() % 8 == 0 ? 10'000 + random_() % 5'000 : random_() % 2'000;
        const uint64_t until = platform::monotonicNanoseconds() + holdUs * 1000;
        while (platform::monotonicNanoseconds() < until)
            platform::yieldThread();
        connection_.Unlock();
    }

    void holdLock(uint32_t ms) {
        if (!connection_.Lock(2'000'000)) {
            std::printf("HOLD-FAILED\n");
            std::fflush(stdout);
            return;
        }
        std::printf("HELD ms=%u\n", ms);
        std::fflush(stdout);
        platform::sleepMilliseconds(ms);
        connection_.Unlock();
        std::printf("RELEASED\n");
        std::fflush(stdout);
    }

    void wake() {
        const uint64_t received = platform::monotonicNanoseconds();
        ++wakes_;
        // The writer keeps the lock only briefly; a generous wait keeps the test honest
        // without hiding a writer that never lets go.
        if (!connection_.Lock(2'000'000)) {
            std::printf("WAKE-BUSY n=%u\n", wakes_);
            std::fflush(stdout);
            return;
        }
        uint32_t changed = 0;
        std::vector<RecordPrefix*> records;
        for (RecordPrefix* record : connection_.AllRecords(records)) {
            if (load(record, record::kTag) != kTagSrfc)
                continue;
            const uint32_t id = load(record, record::kId);
            const uint32_t count = load(record, srfc_record::kGeometryChangeCount);
            auto found = mirror_.find(id);
            if (found != mirror_.end() && found->second.changeCount == count)
                continue;
            readRecord(record, mirror_[id]);
            ++changed;
        }
        // The camera's bit is lookAtView's, which reports what it finds.
        for (RecordPrefix* record : records)
            if (load(record, record::kTag) != kTagView)
                connection_.ClearRecordFlags(record, kRecordChanged);
        connection_.ClearFlags(kHeaderChanged);
        connection_.Unlock();
        logWake();
        std::printf("WAKE n=%u ns=%llu changed=%u\n", wakes_, static_cast<unsigned long long>(received), changed);
        std::fflush(stdout);
    }

    void logWake() {
        if (options_.wakeLog.empty())
            return;
        std::ofstream log(options_.wakeLog, std::ios::app);
        log << "wake " << wakes_;
        for (const auto& [id, record] : mirror_)
            log << ' ' << id << ':' << record.status << ':' << std::hex
                << vantro::test::geometryHash(record.bytes.data(), record.bytes.size()) << std::dec;
        log << '\n';
    }

    void readRecord(const RecordPrefix* record, MirroredRecord& out) {
        const uint32_t buffer = load(record, srfc_record::kGeometryBuffer);
        if (out.buffer != 0 && out.buffer != buffer)
            connection_.CloseBuffer(out.buffer);
        out.changeCount = load(record, srfc_record::kGeometryChangeCount);
        out.buffer = buffer;
        out.capacity = load(record, srfc_record::kGeometryCapacity);
        out.status = 0;
        out.bytes.clear();
        if (buffer == 0)
            return;
        const auto* base = static_cast<const uint8_t*>(connection_.MapBuffer(buffer));
        const size_t mapped = connection_.MappedBufferSize(buffer);
        if (!base || mapped < 12) {
            out.status = 1;
            return;
        }
        uint32_t header[3];
        std::memcpy(header, base, sizeof header);
        const uint64_t v = header[0], i = header[1], s = header[2];
        const uint64_t used = 4 * (3 + 6 * v + 2 * s * v + i);
        if (used > mapped) {
            out.status = 2;
            return;
        }
        out.bytes.assign(base, base + used);
    }

    void dump(uint32_t sequence) {
        const std::string path = options_.dumpDir + "/dump-" + std::to_string(sequence) + ".bin";
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        auto word = [&](uint32_t w) { file.write(reinterpret_cast<const char*>(&w), 4); };
        word(static_cast<uint32_t>(mirror_.size()));
        for (const auto& [id, record] : mirror_) {
            word(id);
            word(record.changeCount);
            word(record.buffer);
            word(record.capacity);
            word(record.status);
            word(static_cast<uint32_t>(record.bytes.size()));
            file.write(reinterpret_cast<const char*>(record.bytes.data()), std::streamsize(record.bytes.size()));
        }
        file.close();
        std::printf("DUMPED seq=%u records=%zu\n", sequence, mirror_.size());
        std::fflush(stdout);
    }

    Options options_;
    std::minstd_rand random_;
    platform::Window window_;
    LiveConnection connection_;
    std::map<uint32_t, MirroredRecord> mirror_;
    uint32_t creator_ = 0;
    uint32_t wakes_ = 0;
    uint32_t randomLocks_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: velora-scene-reader --connection NAME --dump-dir DIR [--random-locks SEED]\n");
        return 2;
    }
    return Reader(std::move(options)).run();
}
