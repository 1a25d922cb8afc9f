// velora-scene-reader: a second process that reads the scene's geometry the way the
// renderer does. Arguments: --connection NAME --dump-dir DIR [--poll-ms MS]
// [--wait-connection MS]. It prints "WAITING window=" (with --wait-connection), then
// "READY window=", and serves: the link's wake-up (copies every "SRFC" record whose
// change count moved, prints "WAKE n= ns=<receipt> changed="); kDumpMessage
// (DIR/dump-<wParam>.bin, then "DUMPED seq=<n> "); kHoldLockMessage (the lock kept
// wParam ms between "HELD ms=<ms>" and "RELEASED"); kQuitMessage or its creator gone
// (ends). A changed "VIEW" record is printed after every wake-up and every --poll-ms
// idle: "VIEW apply= kind= fov= pos= dir= up= rows=<16 floats> zero=<1 when all zero
// bytes>". The mirror only changes on a wake-up, so a dump shows what the renderer
// would show.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
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
using namespace vantro::test;

namespace {

// One output line, flushed: the tests wait for them.
#define SAY(...) (std::printf(__VA_ARGS__), std::fflush(stdout))

class Reader {
public:
    // Arguments come in "--key value" pairs.
    Reader(int argc, char** argv) {
        for (int i = 1; i + 1 < argc; i += 2)
            args_[argv[i]] = argv[i + 1];
    }
    bool usable() const { return args_.count("--connection") && args_.count("--dump-dir"); }

    int run() {
        platform::WindowInfo info;
        info.className = u"VELORA START";
        info.title = u"Velora 8.3.0";
        if (!platform::Window::publish(info, window_))
            return 1;
        if (!open())
            return 3;
        creator_ = load(connection_.HeaderBlock(), header::kCreatorPid);
        SAY("READY window=%llu\n", static_cast<unsigned long long>(window_.handle()));
        for (;;) {
            platform::WindowMessage message;
            const int wait = std::max(1, number("--poll-ms", 500));
            if (!window_.receive(message, wait)) {
                // A test that died without telling us leaves no one to read for.
                if (!platform::isProcessAlive(creator_))
                    break;
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
        return 0;
    }

private:
    int number(const std::string& key, int fallback) const {
        return args_.count(key) ? std::stoi(args_.at(key)) : fallback;
    }

    bool open() {
        const int waitMs = std::max(0, number("--wait-connection", 0));
        if (waitMs > 0)
            SAY("WAITING window=%llu\n", static_cast<unsigned long long>(window_.handle()));
        const uint64_t until = platform::monotonicNanoseconds() + uint64_t(waitMs) * 1'000'000u;
        for (;;) {
            if (connection_.Open(platform::fromUtf8(args_.at("--connection"))) == 0)
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
        SAY("WAKE n=%u ns=%llu changed=%u\n", wakes_, static_cast<unsigned long long>(received), changed);
    }

    void readRecord(const RecordPrefix* record, DumpedRecord& out) {
        const uint32_t buffer = load(record, srfc_record::kGeometryBuffer);
        if (out.buffer != 0 && out.buffer != buffer)
            connection_.CloseBuffer(out.buffer);
        out = DumpedRecord();
        out.changeCount = load(record, srfc_record::kGeometryChangeCount);
        out.buffer = buffer;
        out.capacity = load(record, srfc_record::kGeometryCapacity);
        if (buffer == 0)
            return;
        const auto* base = static_cast<const uint8_t*>(connection_.MapBuffer(buffer));
        const size_t mapped = connection_.MappedBufferSize(buffer);
        if (!base || mapped < 12) {
            out.status = 1;
            return;
        }
        uint32_t h[3];  // vertices, indices, uv sets
        std::memcpy(h, base, sizeof h);
        const uint64_t used = 4 * (3 + 6 * uint64_t(h[0]) + 2 * uint64_t(h[2]) * h[0] + h[1]);
        if (used > mapped) {
            out.status = 2;
            return;
        }
        out.bytes.assign(base, base + used);
    }

    void dump(uint32_t sequence) {
        const std::string path = args_.at("--dump-dir") + "/dump-" + std::to_string(sequence) + ".bin";
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

    std::map<std::string, std::string> args_;
    platform::Window window_;
    LiveConnection connection_;
    std::map<uint32_t, DumpedRecord> mirror_;
    uint32_t creator_ = 0, wakes_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    Reader reader(argc, argv);
    if (!reader.usable()) {
        std::fprintf(stderr, "usage: velora-scene-reader --connection NAME --dump-dir DIR [options]\n");
        return 2;
    }
    return reader.run();
}
