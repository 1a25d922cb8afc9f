#pragma once
// The scene's multi-process setting: connection, materials and scene here, the sync
// worker running, velora-scene-reader in another process mirroring what it is woken for.

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "link/channel_layout.h"
#include "link/live_connection.h"
#include "materials/material_manager.h"
#include "platform/utf.h"
#include "platform/window.h"
#include "scene/rh_scene.h"
#include "sdk/document/rhino_object.h"
#include "scene_oracle.h"
#include "scene_reader_protocol.h"
#include "support/child_process.h"
#include "support/test_environment.h"

namespace vantro::test {

// Every difference between a reader's mirror and the expected geometry, one a line.
inline std::vector<std::string> mirrorDifferences(MaterialManager& materials,
                                                  const std::map<uint32_t, DumpedRecord>& mirror,
                                                  const std::map<uint64_t, ExpectedGeometry>& expected,
                                                  bool exact = true) {
    std::vector<std::string> out;
    std::set<uint64_t> seen;
    std::vector<MaterialInfo*> all = materials.Materials();
    all.push_back(&materials.DefaultMaterial());
    for (MaterialInfo* info : all) {
        const uint64_t id = uint64_t(info->id);
        seen.insert(id);
        const auto want = expected.find(id);
        const std::string who = "material " + std::to_string(info->id) + " " + platform::toUtf8(info->name);
        if (!info->record) {
            if (want != expected.end())
                out.push_back(who + ": has geometry but no record");
            continue;
        }
        const uint32_t recordId = VantroAPI::load(info->record, VantroAPI::record::kId);
        const auto got = mirror.find(recordId);
        const DumpedRecord empty;
        const DumpedRecord& record = got == mirror.end() ? empty : got->second;
        if (record.status != 0)
            out.push_back(who + ": reader status " + std::to_string(record.status));
        if (want == expected.end()) {
            if (!record.bytes.empty() || record.buffer != 0)
                out.push_back(who + ": geometry where none is expected");
            continue;
        }
        if (record.capacity < want->second.bytes.size())
            out.push_back(who + ": capacity below the used size");
        for (const std::string& d : compareGeometry(want->second, record.bytes, exact))
            out.push_back(who + ": " + d);
    }
    for (const auto& [id, geometry] : expected)
        if (!seen.count(id))
            out.push_back("expected geometry for unknown material " + std::to_string(id));
    return out;
}

class SceneSyncFixture {
public:
    SceneSyncFixture() : name_(uniqueName("scene-sync")), dumpDir_(env_.root() + "/dumps") {
        std::filesystem::create_directories(dumpDir_);
        created_ = link.Create(name_, 5000) == 0;
        if (!created_)
            return;
        reader = std::make_unique<ChildProcess>(
            VELORA_SCENE_READER_PATH,
            std::vector<std::string>{"--connection", platform::toUtf8(name_), "--dump-dir", dumpDir_});
        const std::string ready = reader->waitForLine("READY");
        const size_t at = ready.find("window=");
        if (at != std::string::npos)
            readerWindow_ = std::stoull(ready.substr(at + 7));
    }

    ~SceneSyncFixture() {
        scene.Clear();
        if (reader && readerWindow_) {
            platform::postMessage(readerWindow_, kQuitMessage, 0, 0);
            reader->wait(10000);
        }
        link.Close();
    }

    bool ready() const { return created_ && readerWindow_ != 0; }

    bool start(CRhinoDoc& doc, float unitScale) {
        materials.LoadMaterials(&doc);
        scene.unitScale = unitScale;
        if (!scene.Load(&doc, nullptr, false))
            return false;
        scene.ReleaseScene();
        return true;
    }

    // Waits until everything is sent; returns holding the scene. Polls dirty: every
    // LockScene interrupts a running cycle, and a long cycle would never finish.
    bool waitUntilSent(int timeoutMs = 60000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            if (scene.dirty) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            if (scene.LockScene(1000)) {
                if (scene.pendingMaterials.empty() && !materials.HasPending())
                    return true;
                scene.ReleaseScene();
            }
        }
        return false;
    }

    std::optional<std::map<uint32_t, DumpedRecord>> dump() {
        const uint32_t sequence = ++dumpSequence_;
        if (!platform::postMessage(readerWindow_, kDumpMessage, sequence, 0))
            return std::nullopt;
        if (reader->waitForLine("DUMPED seq=" + std::to_string(sequence) + " ", 20000).empty())
            return std::nullopt;
        return readDump(dumpDir_ + "/dump-" + std::to_string(sequence) + ".bin");
    }

    // Makes the reader take the link lock and keep it for ms; returns once it holds it.
    bool holdReaderLock(uint32_t ms) {
        if (!platform::postMessage(readerWindow_, kHoldLockMessage, ms, 0))
            return false;
        return !reader->waitForLine("HELD ms=" + std::to_string(ms), 10000).empty();
    }

    std::vector<std::string> differences(const SceneOracle& oracle, bool exact = true) {
        const auto mirror = dump();
        if (!mirror)
            return {"no dump from the reader"};
        return mirrorDifferences(materials, *mirror, oracle.Expected(), exact);
    }

    void reAdd(SceneOracle& oracle, const std::vector<const CRhinoObject*>& objects) {
        ON_SimpleArray<const CRhinoObject*> array;
        for (const CRhinoObject* o : objects) {
            scene.RemoveObject(o->RuntimeSerialNumber());
            array.Append(o);
            oracle.Add(o);
        }
        scene.AddObjects(array, false);
    }
    void remove(SceneOracle& oracle, const CRhinoObject* object) {
        scene.RemoveObject(object->RuntimeSerialNumber());
        oracle.Remove(object->RuntimeSerialNumber());
    }

    TestEnvironment env_;
    std::u16string name_;
    std::string dumpDir_;
    VantroAPI::LiveConnection link;
    MaterialManager materials{&link};
    RHScene scene{&link, &materials};
    std::unique_ptr<ChildProcess> reader;

private:
    bool created_ = false;
    platform::WindowHandle readerWindow_ = 0;
    uint32_t dumpSequence_ = 0;
};

}  // namespace vantro::test
