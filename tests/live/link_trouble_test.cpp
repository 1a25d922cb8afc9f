// When the link cannot deliver, the user hears it once, in the command area and the
// status pane, and hears when it delivers again; meanwhile the edits wait and then
// arrive. The renderer's side is velora-peer in another process, holding the link's
// lock for a few seconds, or the store of shared memory refusing new buffers.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include "link/live_connection.h"
#include "live_session.h"
#include "platform/utf.h"
#include "plugin/velora_plugin.h"
#include "scene/rh_scene.h"
#include "scene_test_support.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

using namespace vantro::test;

namespace {

constexpr const char* kHeld = "Velora Vantro: the renderer keeps the link locked; changes wait until it lets go.";
constexpr const char* kAgain = "Velora Vantro: the link delivers again.";
constexpr const char* kNoRoom = "Velora Vantro: no shared memory left for the link; changes wait and are retried.";

// A file-size limit on this process: shared-memory objects larger than it cannot be
// made, as when the store is full. The reader started before keeps no limit.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { lift(); }
    void lift() {
        if (lifted_)
            return;
        lifted_ = true;
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int) = SIG_DFL;
    bool lifted_ = false;
};

// Idles the session until the command area holds text, or 30 s have passed.
std::string idleUntilTold(LiveSession& s, const char* text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string history;
    while (std::chrono::steady_clock::now() < deadline) {
        s.idle();
        history = RhinoApp().CommandHistoryWindowText().ToUtf8();
        if (history.find(text) != std::string::npos)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return history;
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

TEST(LinkTrouble, ALockHeldForSecondsIsToldOnceAndSoIsTheRecovery) {
    LiveSession s;
    const int base = addLayer(s.doc, u"Base", addMaterial(s.doc, u"Red", 200, 0, 0));
    addMeshObject(s.doc, boxMesh({0, 0, 0}, {1, 1, 1}), attributesOn(base));
    ASSERT_TRUE(s.start());
    ChildProcess holder(
        VELORA_PEER_PATH,
        std::vector<std::string>{"--connection", vantro::platform::toUtf8(s.plugin.connection()->GetName()),
                                 "--hold-lock", "3000"});
    ASSERT_NE(holder.waitForLine("LOCKED"), "") << holder.output();
    RhinoApp().ClearCommandHistoryWindow();
    addMeshObject(s.doc, boxMesh({2, 0, 0}, {3, 1, 1}), attributesOn(base));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool unlocked = false;
    std::string history;
    while (std::chrono::steady_clock::now() < deadline) {
        s.idle();
        history = RhinoApp().CommandHistoryWindowText().ToUtf8();
        unlocked = unlocked || !holder.waitForLine("UNLOCKED", 20).empty();
        if (unlocked && history.find(kAgain) != std::string::npos)
            break;
    }
    EXPECT_EQ(occurrences(history, kHeld), 1u) << history;
    EXPECT_EQ(occurrences(history, kAgain), 1u) << history;
    EXPECT_LT(history.find(kHeld), history.find(kAgain)) << history;
    EXPECT_EQ(RhinoApp().StatusBarMessagePane().ToUtf8(), kAgain);
    ASSERT_TRUE(s.waitUntilSent());
    EXPECT_EQ(s.plugin.scene()->objects.size(), 2u);
}

TEST(LinkTrouble, BuffersThatCannotBeMadeAreToldOnceAndTheEditArrivesLater) {
    LiveSession s;
    const int base = addLayer(s.doc, u"Base", addMaterial(s.doc, u"Red", 200, 0, 0));
    const CRhinoObject* box = addMeshObject(s.doc, boxMesh({0, 0, 0}, {1, 1, 1}), attributesOn(base));
    ASSERT_TRUE(s.start());
    ASSERT_TRUE(s.waitUntilSent());
    RhinoApp().ClearCommandHistoryWindow();

    FileSizeLimit limit(64 * 1024);
    // Tens of thousands of triangles: the material's new geometry buffer needs
    // megabytes.
    const CRhinoObject* grid = addMeshObject(s.doc, gridMesh(150, 10, 2), attributesOn(base));
    std::string history = idleUntilTold(s, kNoRoom);
    ASSERT_NE(history.find(kNoRoom), std::string::npos) << history;
    EXPECT_EQ(RhinoApp().StatusBarMessagePane().ToUtf8(), kNoRoom);
    // The retries go on at the worker's pace without a second message.
    for (int i = 0; i < 20; ++i) {
        s.idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    EXPECT_EQ(occurrences(RhinoApp().CommandHistoryWindowText().ToUtf8(), kNoRoom), 1u);

    limit.lift();
    history = idleUntilTold(s, kAgain);
    EXPECT_EQ(occurrences(history, kNoRoom), 1u) << history;
    EXPECT_EQ(occurrences(history, kAgain), 1u) << history;
    EXPECT_LT(history.find(kNoRoom), history.find(kAgain)) << history;
    ASSERT_TRUE(s.waitUntilSent());
    EXPECT_EQ(s.mismatch(s.expected({box, grid}, s.plugin.unitScale)), "");
}

}  // namespace
