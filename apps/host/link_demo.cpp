// vantro-link-demo: plays the plug-in's side of one short live link, for the demo.
//
//   vantro-link-demo [--document PATH] [--wait-ms MS]
//
// Names the connection after the document (its extension replaced by ".dae"),
// creates it, writes a batch under the lock (three material records, each with a
// geometry buffer of one triangle), publishes statistics and a camera, announces
// the connection and wakes the peer. It waits for the peer to take the batch
// (header flag 0x1 cleared), sends a second camera with notification, waits for
// that too, and closes. Exit code 0 when the peer took both, 1 otherwise.

#include <cstdio>
#include <cstring>
#include <string>

#include "link/live_connection.h"
#include "platform/clock.h"
#include "platform/utf.h"

namespace {

using namespace VantroAPI;
namespace platform = vantro::platform;

std::u16string linkName(const std::u16string& documentPath) {
    const size_t dot = documentPath.rfind(u'.');
    const size_t slash = documentPath.find_last_of(u"\\/");
    const bool hasExtension = dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash);
    return (hasExtension ? documentPath.substr(0, dot) : documentPath) + u".dae";
}

// Waits until test() is true or ms pass.
template <class Test>
bool waitFor(uint32_t ms, Test test) {
    const uint64_t deadline = platform::monotonicNanoseconds() + uint64_t{ms} * 1'000'000;
    while (!test()) {
        if (platform::monotonicNanoseconds() >= deadline)
            return false;
        platform::sleepMilliseconds(5);
    }
    return true;
}

ViewData camera(float x, float y, float z) {
    ViewData view{};
    for (int i = 0; i < 3; ++i)
        view.viewMatrix[i * 5] = 1.0f;
    view.viewMatrix[12] = x;
    view.viewMatrix[13] = y;
    view.viewMatrix[14] = z;
    view.viewMatrix[15] = 1.0f;
    view.cameraKind = kCameraPerspective;
    view.fieldOfView = 57.29578f;
    view.position[0] = x;
    view.position[1] = y;
    view.position[2] = z;
    view.direction[2] = -1.0f;
    view.up[1] = 1.0f;
    return view;
}

// One material record with a geometry buffer holding a single triangle.
void writeMaterial(LiveConnection& link, uint32_t index) {
    RecordPrefix* record = link.AddRecord(kTagSrfc);
    if (!record)
        return;
    const float triangle[9] = {0, 0, 0, 1, 0, 0, 0, float(index + 1), 0};
    const uint32_t capacity = 2 * sizeof triangle;
    const uint32_t buffer = link.CreateBuffer(load(record, record::kId), capacity);
    if (void* bytes = link.MapBuffer(buffer))
        std::memcpy(bytes, triangle, sizeof triangle);
    store(record, srfc_record::kGeometryChangeCount, uint32_t{1});
    store(record, srfc_record::kGeometryBuffer, buffer);
    store(record, srfc_record::kGeometryCapacity, buffer ? capacity : 0u);
    link.SetRecordFlags(record, 0x101);
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::u16string document = u"C:\\Samples\\house.3dm";
    uint32_t waitMs = 5000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--document")
            document = platform::fromUtf8(argv[i + 1]);
        else if (option == "--wait-ms")
            waitMs = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
        else {
            std::fprintf(stderr, "usage: vantro-link-demo [--document PATH] [--wait-ms MS]\n");
            return 2;
        }
    }

    LiveConnection link;
    const std::u16string name = linkName(document);
    const int32_t created = link.Create(name, 5000);
    std::printf("demo: Create(\"%s\", 5000) = %d\n", platform::toUtf8(name).c_str(), created);
    if (created != 0)
        return 1;

    if (!link.Lock(10000)) {
        std::printf("demo: the lock is busy\n");
        link.Close();
        return 1;
    }
    for (uint32_t i = 0; i < 3; ++i)
        writeMaterial(link, i);
    link.SetFlags(kHeaderChanged);
    link.Unlock();
    std::printf("demo: wrote 3 material records with geometry buffers under the lock\n");

    link.SetStatistics({{u"document", {0, document}}, {u"materials", {1, u"3"}}, {u"version", {1, u"3.50rc.52"}}});
    const ViewData first = camera(0.0f, 1.7f, -10.0f);
    link.SetView(false, &first);
    link.Register();
    std::printf("demo: NotifyPeer(2, 0) = %d\n", link.NotifyPeer(2, 0));
    const bool tookBatch = waitFor(waitMs, [&] { return link.TestFlags(kHeaderChanged) == 0; });
    std::printf("demo: peer %s the batch\n", tookBatch ? "took" : "did not take");

    std::vector<RecordPrefix*> views;
    RecordPrefix* view = link.FindRecords(views, kTagView, 0, 0).empty() ? nullptr : views[0];
    const ViewData second = camera(2.0f, 1.7f, -8.0f);
    link.SetView(true, &second);
    const bool tookCamera = waitFor(waitMs, [&] { return link.TestRecordFlags(view, kRecordChanged) == 0; });
    std::printf("demo: peer %s the camera\n", tookCamera ? "took" : "did not take");

    link.Close();
    std::printf("demo: closed\n");
    return tookBatch && tookCamera ? 0 : 1;
}
