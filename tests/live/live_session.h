#pragma once
// The plug-in object of this test process, started on a host document the way the
// command starts it, with velora-scene-reader as the renderer in another process:
// edits made through the SDK raise the host's events into the plug-in's observers,
// idle() runs the host's idle pump, and the reader's mirror is compared with what
// the edits must have produced (SceneOracle, with the objects in the order the
// change tracking must have re-added them).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scene_oracle.h"
#include "scene_reader_protocol.h"
#include "support/child_process.h"
#include "support/test_environment.h"

class CRhinoDoc;
class CRhinoObject;
class VeloraPlugin;

namespace vantro::test {

class LiveSession {
public:
    // A private registry (the renderer check and camera auto-sync off), the plug-in
    // loaded (once per process) and a new, empty active document.
    LiveSession();
    // Stops the link and ends the reader.
    ~LiveSession();

private:
    // First: the registry root must be the test's own before the plug-in reads it.
    TestEnvironment env_;

public:
    VeloraPlugin& plugin;
    CRhinoDoc& doc;

    // Saves the document under the session's folder and starts the link and the
    // reader (polling the camera record every 5 ms). False when either fails.
    bool start();
    // One idle notification, as the host sends after each command.
    void idle();
    // Waits until the worker has sent everything (the main thread then holds the
    // scene, as after an idle pass that changed nothing).
    bool waitUntilSent(int timeoutMs = 60000);

    // The reader's mirror against the oracle of `order` (top-level objects in the
    // order the scene must hold them) at unitScale; one line per difference.
    std::vector<std::string> differences(const std::vector<const CRhinoObject*>& order, float unitScale);
    // Differences against an explicit expectation.
    std::vector<std::string> differences(const std::map<uint64_t, ExpectedGeometry>& expected, bool exact = true);
    std::map<uint64_t, ExpectedGeometry> expected(const std::vector<const CRhinoObject*>& order, float unitScale) const;

    std::unique_ptr<ChildProcess> reader;
    std::string root() const { return env_.root(); }

private:
    std::optional<std::map<uint32_t, DumpedRecord>> dump();

    uint64_t readerWindow_ = 0;
    uint32_t dumpSequence_ = 0;
};

// "a; b; c" of the first lines, for failure messages.
std::string joined(const std::vector<std::string>& lines);

}  // namespace vantro::test
