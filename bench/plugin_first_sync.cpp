// velora-first-sync: the baseline of bench_plugin's "Vantro Start", in a process of its
// own. It links the scene and material libraries directly, so it must not share a
// process with the plug-in module (which carries its own copies of them): the
// benchmark runs it as a child.
//
//   velora-first-sync DOCUMENT ITERATIONS
//
// Opens DOCUMENT, starts a renderer's window (velora-wake-listener) and, ITERATIONS
// times, makes the material manager and scene on a bare connection, sends the first
// full sync and waits for the wake-up; prints "SYNC <nanoseconds>" for each. Exit
// status 0 when every iteration got its wake-up.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/live_connection.h"
#include "materials/material_manager.h"
#include "platform/clock.h"
#include "scene/rh_scene.h"
#include "sdk/app/rhino_app.h"
#include "sdk/io/document_formats.h"
#include "support/child_process.h"

namespace platform = vantro::platform;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: velora-first-sync DOCUMENT ITERATIONS\n");
        return 2;
    }
    const int iterations = std::atoi(argv[2]);
    vantro::docio::registerDocumentFormats(RhinoApp());
    RhinoApp().InitRhino();
    if (!RhinoApp().OpenDocument(ON_wString::FromUtf8(argv[1])))
        return 1;
    vantro::test::ChildProcess listener(VELORA_WAKE_LISTENER_PATH, {});
    if (listener.waitForLine("READY").empty())
        return 1;
    CRhinoDoc* doc = RhinoApp().ActiveDoc();
    int status = 0;
    for (int i = 1; i <= iterations && status == 0; ++i) {
        VantroAPI::LiveConnection link;
        MaterialManager materials(&link);
        RHScene scene(&link, &materials);
        const uint64_t t0 = platform::monotonicNanoseconds();
        if (link.Create(u"bench-plugin-baseline.dae", 5000) != 0)
            return 1;
        materials.LoadMaterials(doc);
        scene.unitScale = 0.001f;
        scene.Load(doc, nullptr, false);
        scene.ReleaseScene();
        if (listener.waitForLine("WAKE " + std::to_string(i) + "\n", 300000).empty())
            status = 1;
        std::printf("SYNC %llu\n", static_cast<unsigned long long>(platform::monotonicNanoseconds() - t0));
        std::fflush(stdout);
        scene.Clear();
        materials.Clear();
        link.Close();
    }
    RhinoApp().CloseRhino();
    return status;
}
