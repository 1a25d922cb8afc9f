// When the link cannot deliver, the user hears it once, in the command area and the
// status pane, and hears when it delivers again; meanwhile the edits wait and then
// arrive. The renderer's side is velora-peer in another process, holding the link's
// lock for a few seconds.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

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

}  // namespace
