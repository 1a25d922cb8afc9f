// Opening real .3dm files in the host against reading them with rhino3dm alone, in
// the same run: `node tools/rhino3dm-read.mjs` (read, walk every mesh) is the
// baseline; the host's open is the converter (rhino3dm, exact geometry, numeric
// arrays in a binary companion), the parse and the document build. Meshing of objects
// without cached meshes is timed apart. Memory: the heap peak of one open against the
// bytes of the mesh arrays the opened document holds.
//
// Run from the build tree: build/default/bench/bench_open_3dm [files...]
// Without arguments it takes the largest files of ../shared/testdata/3dm.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sdk/io/document_meshing.h"
#include "sdk/io/document_parser.h"
#include "sdk/io/document_reader.h"
#include "sdk/io/import_3dm.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_object.h"
#include "support/heap_accounting.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

size_t meshBytes(const ON_Mesh& m) {
    return static_cast<size_t>(m.m_V.Count()) * sizeof(ON_3fPoint) +
           static_cast<size_t>(m.m_F.Count()) * sizeof(ON_MeshFace) +
           static_cast<size_t>(m.m_N.Count()) * sizeof(ON_3fVector) +
           static_cast<size_t>(m.m_T.Count()) * sizeof(ON_2fPoint);
}

size_t arrayBytes(const CRhinoDoc& doc) {
    size_t bytes = 0;
    for (const CRhinoObject* o : doc.Objects()) {
        // A mesh object's mesh is also its render mesh: counted once.
        if (const auto* m = CRhinoMeshObject::Cast(o)) {
            bytes += meshBytes(*m->Mesh());
            continue;
        }
        for (const auto& r : o->RenderMeshes())
            bytes += meshBytes(*r);
    }
    return bytes;
}

struct Figures {
    double baseline = 0;  // seconds, median
    double open = 0;      // seconds, median, meshing included
    double meshing = 0;   // seconds of the open spent meshing
    double peak = 0;      // bytes
    double arrays = 0;    // bytes
    int meshedObjects = 0;
};

Figures measure(const std::string& file, const std::string& readerScript, int runs) {
    Figures f;
    std::vector<double> base, open;
    const std::string command = "node '" + readerScript + "' '" + file + "' > /dev/null";
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "baseline failed on %s\n", file.c_str());
        base.push_back(since(start));
    }
    for (int i = 0; i < runs; ++i) {
        auto doc = std::make_unique<CRhinoDoc>();
        const size_t before = heap::current.load();
        heap::peak.store(before);
        const auto start = Clock::now();
        const auto result = vantro::docio::readDocumentFile(file, *doc);
        open.push_back(since(start));
        if (!result.ok)
            std::fprintf(stderr, "%s\n", result.error.c_str());
        f.peak = static_cast<double>(heap::peak.load() - before);
        f.arrays = static_cast<double>(arrayBytes(*doc));
        f.meshedObjects = 0;
        for (const CRhinoObject* o : doc->Objects())
            f.meshedObjects += !o->RenderMeshesCached();
    }
    // The meshing step alone, on the same parsed document.
    const auto converted = vantro::docio::convert3dmToJson(file);
    vantro::docio::DocumentData data;
    vantro::docio::parseDocument(converted.json, data, converted.binary());
    std::vector<std::string> warnings;
    const auto start = Clock::now();
    vantro::docio::meshDocumentObjects(data, warnings);
    f.meshing = since(start);
    f.baseline = median(base);
    f.open = median(open);
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path repo = fs::path(VANTRO_SOURCE_DIR);
    ::setenv("VANTRO_3DM_CONVERTER", (repo / "tools/3dm-to-json.mjs").c_str(), 0);
    const std::string reader = (repo / "tools/rhino3dm-read.mjs").string();
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i)
        files.push_back(argv[i]);
    if (files.empty()) {
        const fs::path dir = repo / "../shared/testdata/3dm";
        std::vector<std::pair<uintmax_t, std::string>> all;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(dir, ec)) {
            if (e.path().extension() == ".3dm")
                all.emplace_back(fs::file_size(e.path()), e.path().string());
        }
        if (all.empty()) {
            std::printf("no files: give .3dm files, or put the shared test data at %s\n", dir.c_str());
            return 0;
        }
        std::sort(all.rbegin(), all.rend());
        for (size_t i = 0; i < all.size() && i < 5; ++i)
            files.push_back(all[i].second);
        files.push_back((dir / "opennurbs_v5_extrusions.3dm").string());  // meshed by the host throughout
    }
    std::printf(
        "| file | MB | rhino3dm read (s) | open (s) | open / read | of it meshing (s, objects) | open without meshing "
        "/ read | "
        "peak heap / arrays |\n|---|---|---|---|---|---|---|---|\n");
    for (const std::string& file : files) {
        const Figures f = measure(file, reader, 3);
        std::printf("| %s | %.2f | %.3f | %.3f | %.2fx | %.3f (%d) | %.2fx | %.2fx (%.1f / %.1f MB) |\n",
                    fs::path(file).filename().c_str(), static_cast<double>(fs::file_size(file)) / 1e6, f.baseline,
                    f.open, f.open / f.baseline, f.meshing, f.meshedObjects, (f.open - f.meshing) / f.baseline,
                    f.arrays > 0 ? f.peak / f.arrays : 0.0, f.peak / 1e6, f.arrays / 1e6);
        std::fflush(stdout);
    }
    return 0;
}
