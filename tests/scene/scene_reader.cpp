// velora-scene-reader: a second process that reads the scene's geometry the way the
// renderer does, for the multi-process tests and benchmarks.
//
//   velora-scene-reader --connection NAME --dump-dir DIR [--random-locks SEED]
//                       [--wake-log FILE] [--poll-ms MS] [--wait-connection MS]
//
// It publishes a peer main window, opens the connection (for up to MS with
// --wait-connection, after printing "WAITING window=<handle>"), prints "READY" and serves:
//   the link's wake-up: under the lock, copies the used geometry of every "SRFC" record
//     whose change count moved, clears the changed bits, prints "WAKE n=<count>
//     ns=<receipt> changed=<records read>" and appends the mirror's fingerprints to the
//     wake log (format: scene_reader_protocol.h);
//   kDumpMessage: writes the mirror to DIR/dump-<wParam>.bin, prints "DUMPED seq=<n> ";
//   kHoldLockMessage: keeps the lock for wParam ms between "HELD ms=<ms>" and "RELEASED";
//   kQuitMessage (or its creator gone): prints "EXIT wakes=<n> locks=<n>" and ends.
// --random-locks takes the lock at random moments, mostly for up to 2 ms, now and then
// past the writer's 10 ms budget. After every wake-up and every --poll-ms (500) idle, a
// "VIEW" record written since the last look is printed as "VIEW apply= kind= fov= pos=
// dir= up= rows=<16 floats> zero=<1 when the payload is all zero bytes>".
// The mirror only changes on a wake-up, so a dump shows what the renderer would show;
// everything read is bounded by the sizes this process mapped.

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

// One output line, flushed: the tests wait for them.
#define SAY(...) (std::printf(__VA_ARGS__), std::fflush(stdout))

using MirroredRecord = vantro::test::DumpedRecord;

struct Options {
    std::string connection, dumpDir, wakeLog;
    uint32_t randomSeed = 0;
    int pollMs = 500, waitConnectionMs = 0;
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
        SAY("READY window=%llu pid=%u\n", static_cast<unsigned long long>(window_.handle()),
            platform::currentProcessId());
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
        SAY("EXIT wakes=%u locks=%u\n", wakes_, randomLocks_);
        return 0;
    }

private:
    bool open() {
        if (options_.waitConnectionMs > 0)
            SAY("WAITING window=%llu\n", static_cast<unsigned long long>(window_.handle()));
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
        SAY(" zero=%d\n", zero ? 1 : 0);
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
            SAY("HOLD-FAILED\n");
            return;
        }
        SAY("HELD ms=%u\n", ms);
        platform::sleepMilliseconds(ms);
        connection_.Unlock();
        SAY("RELEASED\n");
    }

    void wake() {
        const uint64_t received = platform::monotonicNanoseconds();
        ++wakes_;
        // The writer keeps the lock only briefly; a generous wait keeps the test honest
        // without hiding a writer that never lets go.
        if (!connection_.Lock(2'000'000)) {
            SAY("WAKE-BUSY n=%u\n", wakes_);
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
        SAY("WAKE n=%u ns=%llu changed=%u\n", wakes_, static_cast<unsigned long long>(received), changed);
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
            for (uint32_t w : {id, record.changeCount, record.buffer, record.capacity, record.status,
                               static_cast<uint32_t>(record.bytes.size())})
                word(w);
            file.write(reinterpret_cast<const char*>(record.bytes.data()), std::streamsize(record.bytes.size()));
        }
        file.close();  // whole before the test is told
        SAY("DUMPED seq=%u records=%zu\n", sequence, mirror_.size());
    }

    Options options_;
    std::minstd_rand random_;
    platform::Window window_;
    LiveConnection connection_;
    std::map<uint32_t, MirroredRecord> mirror_;
    uint32_t creator_ = 0, wakes_ = 0, randomLocks_ = 0;
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
