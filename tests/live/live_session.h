#pragma once
// The plug-in object of this test process, linked to a host document the way the
// command starts it, with velora-scene-reader as the renderer in another process:
// SDK edits reach the plug-in's observers, and the reader's mirror is compared with
// the oracle's buffers for the objects in the order the edits must leave them.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "scene_oracle.h"
#include "support/child_process.h"
#include "support/test_environment.h"

class CRhinoDoc;
class CRhinoObject;
class VeloraPlugin;

namespace vantro::test {

class LiveSession {
public:
    // A private registry (renderer check and camera auto-sync off), the plug-in
    // loaded (once per process) and a new, empty active document.
    LiveSession();
    ~LiveSession();  // stops the link, ends the reader

private:
    // First: the registry root must be the test's own before the plug-in reads it.
    TestEnvironment env_;

public:
    VeloraPlugin& plugin;
    CRhinoDoc& doc;
    std::unique_ptr<ChildProcess> reader;

    // Saves the document under the session's folder and starts the link and the
    // reader (polling the camera record every 5 ms). False when either fails.
    bool start();
    // One idle notification, as the host sends after each command.
    void idle();
    // Until the worker has sent everything and the main thread holds the scene again.
    bool waitUntilSent(int timeoutMs = 60000);
    // When the reader received the first wake-up at or after sinceNs (monotonic ns,
    // as it prints them), skipping older ones; 0 when none came within waitMs of the
    // last line.
    uint64_t wakeAfter(uint64_t sinceNs, int waitMs = 5000);

    // The oracle's buffers for the top-level objects in the scene's order.
    std::map<uint64_t, ExpectedGeometry> expected(const std::vector<const CRhinoObject*>& order, float unitScale) const;
    // The reader's mirror against want: the first differences, one a line, or empty
    // (floats within 1e-5 unless exact).
    std::string mismatch(const std::map<uint64_t, ExpectedGeometry>& want, bool exact = true);

private:
    uint64_t readerWindow_ = 0;
    uint32_t dumpSequence_ = 0;
};

}  // namespace vantro::test
