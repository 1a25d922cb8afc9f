#include "live_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "link/live_connection.h"
#include "materials/material_manager.h"
#include "platform/utf.h"
#include "platform/window.h"
#include "plugin/velora_plugin.h"
#include "scene/rh_scene.h"
#include "scene_reader_protocol.h"
#include "scene_sync_fixture.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "settings/plugin_settings.h"

// The plug-in object a module would hold; the plug-in library reaches it by name.
VeloraPlugin& ThePlugIn() {
    static VeloraPlugin plugin;
    return plugin;
}

namespace vantro::test {

namespace {

VeloraPlugin& loadedPlugin() {
    // No renderer check, no older-copy check, camera following only when a test asks.
    PluginSettings settings;
    settings.SetSkipVeloraCheck(true);
    settings.SetCheckPluginVersion(false);
    settings.SetCameraAutoSync(false);
    VeloraPlugin& plugin = ThePlugIn();
    if (!plugin.scene())
        plugin.OnLoadPlugIn();
    return plugin;
}

}  // namespace

LiveSession::LiveSession() : plugin(loadedPlugin()), doc(*RhinoApp().NewDocument()) {}

LiveSession::~LiveSession() {
    plugin.StopLink();
    if (reader && readerWindow_) {
        platform::postMessage(readerWindow_, kQuitMessage, 0, 0);
        reader->wait(10000);
    }
}

bool LiveSession::start() {
    // The link only needs the document to have a name; what the file holds does not
    // matter here.
    RhinoApp().SetDocumentWriter(u"json", [](const CRhinoDoc&, const ON_wString& file, bool, ON_wString&) {
        return static_cast<bool>(std::ofstream(file.ToUtf8()) << "{}\n");
    });
    const std::string path = env_.root() + "/live.json";
    ON_wString error;
    if (!RhinoApp().SaveDocument(doc, ON_wString::FromUtf8(path.c_str()), false, &error)) {
        ADD_FAILURE() << "cannot save " << path << ": " << error.ToUtf8();
        return false;
    }
    if (!plugin.StartLink(&doc)) {
        ADD_FAILURE() << "the link did not start";
        return false;
    }
    std::filesystem::create_directories(env_.root() + "/dumps");
    reader = std::make_unique<ChildProcess>(
        VELORA_SCENE_READER_PATH,
        std::vector<std::string>{"--connection", platform::toUtf8(plugin.connection()->GetName()), "--dump-dir",
                                 env_.root() + "/dumps", "--poll-ms", "5"});
    const std::string ready = reader->waitForLine("READY");
    const size_t at = ready.find("window=");
    if (at == std::string::npos)
        return false;
    readerWindow_ = std::stoull(ready.substr(at + 7));
    // The first scene went out before the reader's window existed: wake it once, as
    // the link would, after the worker is done.
    return waitUntilSent() && platform::postMessage(readerWindow_, VantroAPI::kWakeMessage, 2, 0);
}

void LiveSession::idle() { RhinoApp().OnIdle(); }

uint64_t LiveSession::wakeAfter(uint64_t sinceNs, int waitMs) {
    for (int tries = 0; tries < 50; ++tries) {
        const std::string line = reader->waitForLine("WAKE n=", waitMs);
        const size_t at = line.find("ns=");
        if (at == std::string::npos)
            return 0;
        const uint64_t received = std::stoull(line.substr(at + 3));
        if (received >= sinceNs)
            return received;
    }
    return 0;
}

bool LiveSession::waitUntilSent(int timeoutMs) {
    RHScene& scene = *plugin.scene();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (scene.dirty) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        if (scene.LockScene(1000)) {
            if (scene.pendingMaterials.empty() && !plugin.materials()->HasPending())
                return true;
            scene.ReleaseScene();
        }
    }
    return false;
}

std::map<uint64_t, ExpectedGeometry> LiveSession::expected(const std::vector<const CRhinoObject*>& order,
                                                           float unitScale) const {
    SceneOracle oracle(doc, *plugin.materials(), unitScale);
    for (const CRhinoObject* object : order)
        oracle.Add(object);
    return oracle.Expected();
}

std::string LiveSession::mismatch(const std::map<uint64_t, ExpectedGeometry>& want, bool exact) {
    // The worker's wake-up may still be on its way to the reader: the dump message
    // queues behind it.
    const uint32_t sequence = ++dumpSequence_;
    if (!platform::postMessage(readerWindow_, kDumpMessage, sequence, 0) ||
        reader->waitForLine("DUMPED seq=" + std::to_string(sequence) + " ", 20000).empty())
        return "no dump from the reader";
    const auto mirror = readDump(env_.root() + "/dumps/dump-" + std::to_string(sequence) + ".bin");
    if (!mirror)
        return "unreadable dump";
    const std::vector<std::string> lines = mirrorDifferences(*plugin.materials(), *mirror, want, exact);
    std::string text;
    for (size_t i = 0; i < lines.size() && i < 12; ++i)
        text += lines[i] + "\n";
    return text;
}

}  // namespace vantro::test
