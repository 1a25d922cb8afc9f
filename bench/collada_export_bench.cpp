// The whole COLLADA export (ColladaExporter: scene load in export mode, merge, number
// text, writing) of a generated model of 2 million triangles over 100 materials, against
// two baselines measured in the same run:
//   - another exporter: the `assimp` command-line tool converting the same indexed
//     geometry, written first as a Wavefront .obj, to .dae (a child process);
//   - the I/O floor: writing a buffer of the .dae's size to a file in the same folder;
//   - the export's floor: the scene load alone, the formatting of the .dae's numbers
//     with std::to_chars alone and the I/O floor, added up (the least an export that
//     loads, formats and writes can take).
// After the benchmarks a summary gives the speed-up against assimp (goal: at least 10x),
// the export's time against the I/O floor (the old goal of 2x; formatting alone takes
// longer than the write on two cores), against the export's floor (goal: within 1.3x),
// and peak memory.
// Without the assimp tool (Debian package assimp-utils) that comparison is skipped.

#include <benchmark/benchmark.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "collada/collada_exporter.h"
#include "sdk/app/save_file_dialog.h"
#include "materials/material_manager.h"
#include "platform/process.h"
#include "platform/utf.h"
#include "scene/rh_scene.h"
#include "sdk/rhino_sdk.h"
#include "support/heap_accounting.h"
#include "support/ratio_report.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaterials = 100;
constexpr int kObjectsPerMaterial = 4;
constexpr int kGrid = 50;  // per object: a torus of kGrid x kGrid quads, two triangles each
constexpr int kObjects = kMaterials * kObjectsPerMaterial;
constexpr int kTriangles = kObjects * kGrid * kGrid * 2;
constexpr int kVertices = kObjects * kGrid * kGrid;
constexpr double kMetresPerUnit = 0.001;  // the document is in millimetres
constexpr double kPi = 3.14159265358979323846;

// One object's mesh: a closed torus of triangles with outward normals and texture
// coordinates, the objects side by side over some 20 x 20 metres. Closed, so that the
// export writes every triangle once (an open mesh is written twice, front and back)
// and the file holds exactly the model's 2 million triangles.
ON_Mesh torusMesh(int object) {
    ON_Mesh mesh;
    const double centreX = (object % 20) * 1000.0, centreY = (object / 20) * 1000.0;
    const double major = 400.0, minor = 120.0 + (object % 7) * 5.0;
    mesh.m_V.Reserve(kGrid * kGrid);
    for (int j = 0; j < kGrid; ++j) {
        const double phi = 2 * kPi * j / kGrid;
        for (int i = 0; i < kGrid; ++i) {
            const double theta = 2 * kPi * i / kGrid;
            const double ring = major + minor * std::cos(phi);
            mesh.m_V.Append(ON_3fPoint(static_cast<float>(centreX + ring * std::cos(theta)),
                                       static_cast<float>(centreY + ring * std::sin(theta)),
                                       static_cast<float>(minor * std::sin(phi))));
            mesh.m_N.Append(ON_3fVector(static_cast<float>(std::cos(phi) * std::cos(theta)),
                                        static_cast<float>(std::cos(phi) * std::sin(theta)),
                                        static_cast<float>(std::sin(phi))));
            mesh.m_T.Append(ON_2fPoint(static_cast<float>(i) / kGrid, static_cast<float>(j) / kGrid));
        }
    }
    // Around the tube (theta) then across it (phi): (b - a) x (c - a) points outward.
    mesh.m_F.Reserve(2 * kGrid * kGrid);
    auto index = [](int i, int j) { return (j % kGrid) * kGrid + (i % kGrid); };
    for (int j = 0; j < kGrid; ++j) {
        for (int i = 0; i < kGrid; ++i) {
            const int a = index(i, j), b = index(i + 1, j), c = index(i + 1, j + 1), d = index(i, j + 1);
            ON_MeshFace f1;
            f1.vi[0] = a;
            f1.vi[1] = b;
            f1.vi[2] = f1.vi[3] = c;
            ON_MeshFace f2;
            f2.vi[0] = a;
            f2.vi[1] = c;
            f2.vi[2] = f2.vi[3] = d;
            mesh.m_F.Append(f1);
            mesh.m_F.Append(f2);
        }
    }
    return mesh;
}

// The working folder: the export, the I/O floor's file and assimp's files.
struct Workspace {
    fs::path folder;
    fs::path dae, floor, obj, assimpDae, assimpLog, assimpMemory;
    Workspace() {
        folder = fs::temp_directory_path() /
                 ("vantro-collada-export-bench-" + std::to_string(vantro::platform::currentProcessId()));
        fs::create_directories(folder);
        dae = folder / "model.dae";
        floor = folder / "floor.bin";
        obj = folder / "model.obj";
        assimpDae = folder / "assimp.dae";
        assimpLog = folder / "assimp.log";
        assimpMemory = folder / "assimp.mem";
    }
    ~Workspace() {
        std::error_code error;
        fs::remove_all(folder, error);
    }
};

Workspace& workspace() {
    static Workspace w;
    return w;
}

// The active document with the generated model (built once).
void buildModel() {
    CRhinoDoc* doc = RhinoApp().NewDocument();
    doc->SetPathName(ON_wString(vantro::platform::fromUtf8((workspace().folder / "model.3dm").string())));
    for (int m = 0; m < kMaterials; ++m) {
        ON_Material material;
        char name[16];
        std::snprintf(name, sizeof name, "Mat%03d", m);
        material.SetName(ON_wString(vantro::platform::fromUtf8(name)));
        material.SetDiffuse(ON_Color(m * 2, 255 - m * 2, (m * 37) % 256));
        doc->m_material_table.AddMaterial(material);
    }
    for (int o = 0; o < kObjects; ++o) {
        ON_3dmObjectAttributes attributes;
        attributes.m_layer_index = 0;
        attributes.SetMaterialSource(ON::material_from_object);
        attributes.m_material_index = o % kMaterials;
        doc->AddMeshObject(torusMesh(o), &attributes);
    }
}

// Appends a float with 6 decimals (the .obj's number text; not timed).
void appendNumber(std::string& out, double value) {
    char buffer[48];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6).ptr;
    out.append(buffer, end);
}

// The same indexed geometry for assimp: positions in metres, normals, texture
// coordinates, one group per material (in model axes, as the .dae has them).
void writeObj() {
    std::string mtl;
    for (int m = 0; m < kMaterials; ++m)
        mtl += "newmtl Mat" + std::to_string(m) + "\nKd 0.5 0.5 0.5\n";
    std::ofstream(workspace().folder / "model.mtl", std::ios::binary) << mtl;
    std::string text = "mtllib model.mtl\n";
    text.reserve(size_t{200} << 20);
    size_t base = 1;
    for (int m = 0; m < kMaterials; ++m) {
        text += "usemtl Mat" + std::to_string(m) + "\n";
        for (int o = m; o < kObjects; o += kMaterials) {
            const ON_Mesh mesh = torusMesh(o);
            for (int i = 0; i < mesh.m_V.Count(); ++i) {
                const ON_3fPoint& p = mesh.m_V[i];
                const ON_3fVector& nrm = mesh.m_N[i];
                const ON_2fPoint& t = mesh.m_T[i];
                text += "v ";
                appendNumber(text, p.x * kMetresPerUnit), text += ' ';
                appendNumber(text, p.y * kMetresPerUnit), text += ' ';
                appendNumber(text, p.z * kMetresPerUnit);
                text += "\nvn ";
                appendNumber(text, nrm.x), text += ' ', appendNumber(text, nrm.y), text += ' ';
                appendNumber(text, nrm.z);
                text += "\nvt ";
                appendNumber(text, t.x), text += ' ', appendNumber(text, t.y), text += '\n';
            }
            for (int f = 0; f < mesh.m_F.Count(); ++f) {
                text += 'f';
                for (int k = 0; k < 3; ++k) {
                    const std::string index = std::to_string(base + static_cast<size_t>(mesh.m_F[f].vi[k]));
                    text += ' ' + index + '/' + index + '/' + index;
                }
                text += '\n';
            }
            base += static_cast<size_t>(mesh.m_V.Count());
        }
    }
    std::ofstream(workspace().obj, std::ios::binary) << text;
}

// The resident set's high-water mark (VmHWM) in bytes; 0 where /proc is missing.
size_t residentPeak() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stoull(line.substr(6)) * 1024;
    return 0;
}

// Starts the high-water mark again from the current resident set (Linux 4.0 and later).
void resetResidentPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::optional<std::string> assimpTool() {
    for (const char* candidate : {"/usr/bin/assimp", "/usr/local/bin/assimp"})
        if (fs::exists(candidate))
            return std::string(candidate);
    return std::nullopt;
}

// Figures kept for the summary: seconds per run (mean of the iterations) and memory.
struct Figures {
    double exportSeconds = 0, floorSeconds = 0, assimpSeconds = 0;
    double sceneLoadSeconds = 0, formatSeconds = 0;
    size_t formattedNumbers = 0;
    // The first export of the process: the document's meshes have no cached topology
    // yet (later exports of the unchanged document find it in the meshes).
    double firstExportSeconds = 0;
    size_t daeBytes = 0, assimpDaeBytes = 0, daeTriangles = 0;
    size_t exportHeapPeak = 0, exportResidentPeak = 0, residentBefore = 0, assimpResidentPeak = 0;
};
Figures figures;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One export into the workspace's .dae; its wall time in seconds, or a negative value
// when it failed.
double exportOnce() {
    std::error_code error;
    fs::remove(workspace().dae, error);
    const auto start = std::chrono::steady_clock::now();
    ColladaExporter exporter;
    const int result = exporter.Export();
    const double seconds = secondsSince(start);
    return result == 0 && fs::exists(workspace().dae) ? seconds : -1.0;
}

// Warm exports: one export first, not timed, fills the meshes' topology caches and
// brings the pages the export uses into the process, as a user's second export finds
// them; it is reported on its own as the first export. The I/O floor is measured warm
// in the same way, so both sides of the ratio see the same machine state.
void BM_ColladaExport2M(benchmark::State& state) {
    const std::u16string target = vantro::platform::fromUtf8(workspace().dae.string());
    vantro::sdk::SetSaveFileHandler([&](const vantro::sdk::SaveFileRequest&) { return target; });
    if (figures.firstExportSeconds == 0)
        figures.firstExportSeconds = exportOnce();
    double total = 0;
    for (auto _ : state) {
        resetResidentPeak();
        figures.residentBefore = residentPeak();
        const size_t heapBefore = heap::current.load();
        heap::peak.store(heapBefore);
        const double seconds = exportOnce();
        state.SetIterationTime(std::max(seconds, 0.0));
        total += seconds;
        figures.exportHeapPeak = std::max(figures.exportHeapPeak, heap::peak.load() - heapBefore);
        figures.exportResidentPeak = std::max(figures.exportResidentPeak, residentPeak());
        if (seconds < 0)
            state.SkipWithError("the export failed");
    }
    vantro::sdk::SetSaveFileHandler(nullptr);
    std::error_code error;
    figures.daeBytes = fs::file_size(workspace().dae, error);
    figures.exportSeconds = total / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * figures.daeBytes));
    state.counters["triangles/s"] =
        benchmark::Counter(static_cast<double>(kTriangles), benchmark::Counter::kIsIterationInvariantRate);
}
// Timed by hand: the removal of the previous file and the bookkeeping stay outside.
BENCHMARK(BM_ColladaExport2M)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();

// Part of the export, for the breakdown: the scene's load in export mode (materials
// translated, every render mesh extracted and converted to metres), which the export
// does before its own stages.
void BM_SceneLoadForExport2M(benchmark::State& state) {
    CRhinoDoc* doc = RhinoApp().ActiveDoc();
    PluginSettings settings;
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        MaterialManager materials(nullptr);
        RHScene scene(nullptr, &materials);
        scene.unitScale = static_cast<float>(kMetresPerUnit);
        materials.LoadMaterials(doc);
        if (!scene.Load(doc, &settings, true))
            state.SkipWithError("the scene did not load");
        total += secondsSince(start);
        state.PauseTiming();
        scene.Clear();
        state.ResumeTiming();
    }
    figures.sceneLoadSeconds = total / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SceneLoadForExport2M)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Triangles the document's geometries hold (the block marker's left out).
size_t trianglesIn(const std::string& document) {
    size_t total = 0;
    const std::string opening = "<triangles count=\"";
    for (size_t at = document.find(opening); at != std::string::npos; at = document.find(opening, at + 1)) {
        const size_t line = document.find('\n', at);
        if (document.substr(at, line - at).find("material-veloraNode") != std::string::npos)
            continue;
        total += std::stoull(document.substr(at + opening.size(), 20));
    }
    return total;
}

// The numbers of the exported file's element texts (attributes left out), as the
// export formatted them: integers, and decimals read back as the floats they came from.
struct DocumentNumbers {
    std::vector<int64_t> integers;
    std::vector<float> decimals;
};

DocumentNumbers numbersIn(const std::string& document) {
    DocumentNumbers numbers;
    bool inText = false;
    const char* end = document.data() + document.size();
    for (const char* p = document.data(); p < end;) {
        const char c = *p;
        if (c == '<' || c == '>') {
            inText = c == '>';
            ++p;
            continue;
        }
        if (!inText || !(c == '-' || (c >= '0' && c <= '9'))) {
            ++p;
            continue;
        }
        const char* token = p;
        while (p < end && *p != ' ' && *p != '<' && *p != '\n')
            ++p;
        const std::string_view text(token, static_cast<size_t>(p - token));
        if (text.find_first_of(".eE") == std::string_view::npos) {
            int64_t value = 0;
            if (std::from_chars(token, p, value).ec == std::errc())
                numbers.integers.push_back(value);
        } else {
            float value = 0;
            if (std::from_chars(token, p, value).ec == std::errc())
                numbers.decimals.push_back(value);
        }
    }
    return numbers;
}

// The export's formatting alone: the same numbers through std::to_chars (shortest text
// that reads back exactly), each followed by a blank, into memory.
void BM_FormatSameNumbersToChars(benchmark::State& state) {
    std::ifstream in(workspace().dae, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const DocumentNumbers numbers = numbersIn(bytes);
    if (numbers.integers.empty() && numbers.decimals.empty()) {
        state.SkipWithError("no exported file to take the numbers from (the export did not run)");
        return;
    }
    figures.formattedNumbers = numbers.integers.size() + numbers.decimals.size();
    std::vector<char> text(bytes.size() + 64 * figures.formattedNumbers);
    auto formatOnce = [&] {
        const auto start = std::chrono::steady_clock::now();
        char* out = text.data();
        char* const last = text.data() + text.size();
        for (int64_t value : numbers.integers) {
            out = std::to_chars(out, last, value).ptr;
            *out++ = ' ';
        }
        for (float value : numbers.decimals) {
            out = std::to_chars(out, last, value).ptr;
            *out++ = ' ';
        }
        benchmark::DoNotOptimize(out);
        return secondsSince(start);
    };
    formatOnce();  // warm, as the export is
    double total = 0;
    for (auto _ : state) {
        const double seconds = formatOnce();
        state.SetIterationTime(seconds);
        total += seconds;
    }
    figures.formatSeconds = total / static_cast<double>(state.iterations());
    state.counters["numbers"] = static_cast<double>(figures.formattedNumbers);
}
BENCHMARK(BM_FormatSameNumbersToChars)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();

// The I/O floor: the .dae's bytes written to a new file in the same folder and closed.
void BM_WriteSameBytesFloor(benchmark::State& state) {
    std::ifstream in(workspace().dae, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (bytes.empty()) {
        state.SkipWithError("no exported file to match (the export did not run)");
        return;
    }
    figures.daeTriangles = trianglesIn(bytes);
    auto writeOnce = [&bytes] {
        std::error_code error;
        fs::remove(workspace().floor, error);
        const auto start = std::chrono::steady_clock::now();
        std::FILE* file = std::fopen(workspace().floor.c_str(), "wb");
        const bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        const bool closed = file && std::fclose(file) == 0;
        return written && closed ? secondsSince(start) : -1.0;
    };
    writeOnce();  // warm, as the export is
    double total = 0;
    for (auto _ : state) {
        const double seconds = writeOnce();
        state.SetIterationTime(std::max(seconds, 0.0));
        total += seconds;
        if (seconds < 0)
            state.SkipWithError("the floor's file could not be written");
    }
    figures.floorSeconds = total / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_WriteSameBytesFloor)->Unit(benchmark::kMillisecond)->Iterations(5)->UseManualTime();

// assimp's command-line exporter on the same geometry, as a child process (one run:
// it takes long). Peak memory through GNU time where it is installed.
void BM_AssimpExportObj2M(benchmark::State& state, const std::string& tool) {
    const Workspace& w = workspace();
    // Written here rather than up front, so that a run filtered to the export alone
    // (profiling) does not wait for it; not timed.
    writeObj();
    const bool timeTool = fs::exists("/usr/bin/time");
    const std::string command = (timeTool ? "/usr/bin/time -f %M -o '" + w.assimpMemory.string() + "' " : "") + "'" +
                                tool + "' export '" + w.obj.string() + "' '" + w.assimpDae.string() + "' -jiv > '" +
                                w.assimpLog.string() + "' 2>&1";
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        total += secondsSince(start);
        if (status != 0 || !fs::exists(w.assimpDae))
            state.SkipWithError(("assimp failed: see " + w.assimpLog.string()).c_str());
    }
    figures.assimpSeconds = total / static_cast<double>(state.iterations());
    std::error_code error;
    figures.assimpDaeBytes = fs::file_size(w.assimpDae, error);
    if (timeTool) {
        size_t kilobytes = 0;
        std::ifstream(w.assimpMemory) >> kilobytes;
        figures.assimpResidentPeak = kilobytes * 1024;
    }
}

void printSummary(bool assimpFound) {
    const double mb = 1e6;
    std::printf("\nmodel: %d triangles, %d vertices, %d materials, %d mesh objects (millimetres)\n", kTriangles,
                kVertices, kMaterials, kObjects);
    if (figures.exportSeconds <= 0)
        return;
    std::printf("export (ColladaExporter): %.3f s wall, .dae %.1f MB (%.0f MB/s), %.3f s per million triangles\n",
                figures.exportSeconds, static_cast<double>(figures.daeBytes) / mb,
                static_cast<double>(figures.daeBytes) / mb / figures.exportSeconds,
                figures.exportSeconds / (kTriangles / 1e6));
    std::printf(
        "first export of the process (not timed above: topology not yet cached in the meshes, "
        "pages new to the process): %.3f s\n",
        figures.firstExportSeconds);
    if (figures.daeTriangles > 0)
        std::printf("the .dae holds %zu triangles\n", figures.daeTriangles);
    std::printf(
        "export memory: resident peak %.1f MB, %.1f MB above the %.1f MB before it (the document); "
        "of that %.1f MB from the heap, the rest the merged buffers and number text in huge pages\n",
        static_cast<double>(figures.exportResidentPeak) / mb,
        static_cast<double>(figures.exportResidentPeak - figures.residentBefore) / mb,
        static_cast<double>(figures.residentBefore) / mb, static_cast<double>(figures.exportHeapPeak) / mb);
    if (assimpFound && figures.assimpSeconds > 0) {
        std::printf(
            "assimp export .obj -> .dae (-jiv): %.3f s wall, .dae %.1f MB, resident peak %s; "
            "the export is %.1fx faster (goal: at least 10x)\n",
            figures.assimpSeconds, static_cast<double>(figures.assimpDaeBytes) / mb,
            figures.assimpResidentPeak ? (std::to_string(figures.assimpResidentPeak / 1000000) + " MB").c_str()
                                       : "not measured (no /usr/bin/time)",
            figures.assimpSeconds / figures.exportSeconds);
    } else if (assimpFound) {
        std::printf("assimp: not measured (filtered out, or it failed)\n");
    } else {
        std::printf("assimp: not run (the assimp tool is missing: install assimp-utils)\n");
    }
    if (figures.floorSeconds > 0)
        std::printf(
            "I/O floor (%.1f MB written in the same folder): %.3f s; the export takes %.2fx the floor "
            "(goal: within 2x)\n",
            static_cast<double>(figures.daeBytes) / mb, figures.floorSeconds,
            figures.exportSeconds / figures.floorSeconds);
    const double exportFloor = figures.sceneLoadSeconds + figures.formatSeconds + figures.floorSeconds;
    if (figures.sceneLoadSeconds > 0 && figures.formatSeconds > 0 && figures.floorSeconds > 0)
        std::printf(
            "export floor: scene load %.3f s + %zu numbers formatted with std::to_chars %.3f s + write %.3f s "
            "= %.3f s; the export takes %.2fx its floor (goal: within 1.3x)\n",
            figures.sceneLoadSeconds, figures.formattedNumbers, figures.formatSeconds, figures.floorSeconds,
            exportFloor, figures.exportSeconds / exportFloor);
}

}  // namespace

int main(int argc, char** argv) {
    std::printf("working folder: %s\n", workspace().folder.string().c_str());
    buildModel();
    const std::optional<std::string> tool = assimpTool();
    if (tool) {
        benchmark::RegisterBenchmark("BM_AssimpExportObj2M", BM_AssimpExportObj2M, *tool)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->UseRealTime();
    } else {
        std::printf("assimp not found (Debian package assimp-utils): the comparison with it is skipped\n");
    }
    const int status = vantro::bench::runWithRatios(
        argc, argv,
        {{"BM_ColladaExport2M", "BM_AssimpExportObj2M", "the export takes (of assimp's time)"},
         {"BM_ColladaExport2M", "BM_WriteSameBytesFloor", "the export takes (of the I/O floor)"}});
    printSummary(tool.has_value());
    RhinoApp().CloseDocument();
    return status;
}
