#include "collada/collada_exporter.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <exception>
#include <filesystem>
#include <mutex>
#include <stdexcept>

#include "batch_memory.h"
#include "beside_task.h"
#include "collada_writer.h"
#include "embedded_bitmap_file.h"
#include "fixed_format.h"
#include "geometry_batches.h"
#include "sdk/app/save_file_dialog.h"
#include "materials/material_manager.h"
#include "materials/material_type.h"
#include "materials/texture_paths.h"
#include "platform/utf.h"
#include "scene/parallel.h"
#include "scene/rh_scene.h"
#include "sdk/geometry/on.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

using namespace vantro::materials;

namespace {

namespace fs = std::filesystem;
using namespace vantro::collada;
using namespace vantro::sdk;

void showStatus(std::u16string_view text) { RhinoApp().SetStatusBarMessagePane(ON_wString(text)); }

fs::path nativePath(const std::u16string& path) { return fs::path(vantro::platform::toUtf8(path)); }

// Runs fn for every element in parallel. The first exception a body throws is kept and
// thrown again once every body has finished, so that a loop never ends half-way
// through TBB's own bookkeeping.
template <class Iterator, class Fn>
void runParallel(Iterator first, Iterator last, const Fn& fn) {
    std::exception_ptr failure;
    std::mutex failureLock;
    vantro::scene::ParallelForEach(first, last, [&](auto& element) {
        try {
            fn(element);
        } catch (...) {
            std::lock_guard<std::mutex> lock(failureLock);
            if (!failure)
                failure = std::current_exception();
        }
    });
    if (failure)
        std::rethrow_exception(failure);
}

// The chosen path with the platform's separators: on Windows "/" becomes "\\"; elsewhere
// the path is the file system's as typed, where "\\" is a character of a name.
std::u16string nativeSeparators(const std::u16string& path) {
    return kPathSeparator == u'\\' ? NativeSeparators(path) : path;
}

std::string groupedCount(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

MeshView viewOf(const MeshInfo& mesh) {
    // The scene keeps every array at exactly its count; anything else would be read
    // out of bounds below.
    const std::size_t v = mesh.vertexCount;
    if (mesh.positions.size() != 3 * v || mesh.normals.size() != 3 * v || mesh.uvs.size() != 2 * v ||
        mesh.indices.size() != mesh.indexCount) {
        throw std::logic_error("mesh arrays do not match their counts");
    }
    return {mesh.vertexCount,    mesh.indexCount, mesh.twoSided,      mesh.positions.data(),
            mesh.normals.data(), mesh.uvs.data(), mesh.indices.data()};
}

}  // namespace

std::string vantro::collada::CollapseReport(const ExportSummary& summary) {
    if (summary.collapsedTriangles == 0)
        return {};
    static constexpr const char* kGrid[] = {"1 m", "10 cm", "1 cm", "1 mm", "0.1 mm", "10 \u00b5m", "1 \u00b5m"};
    const int decimals = std::clamp(summary.decimals, 0, 6);
    return groupedCount(summary.collapsedTriangles) + " of " + groupedCount(summary.triangles) +
           " triangles collapse at " + kGrid[decimals];
}

bool ColladaExporter::ByMaterialId::operator()(const MaterialInfo* a, const MaterialInfo* b) const {
    return a->id < b->id;
}

ColladaExporter::ColladaExporter() = default;

ColladaExporter::~ColladaExporter() { Reset(); }

int ColladaExporter::Export() {
    Reset();
    summary = ExportSummary{};
    const std::u16string chosen = SaveDialog();
    if (chosen.empty())
        return -1;
    path = nativeSeparators(chosen);
    showStatus(u"Velora Collada exporter: initializing\u2026");
    try {
        materials = std::make_unique<MaterialManager>(nullptr);
        materials->SetTextureFolder(path);
        scene = std::make_unique<RHScene>(nullptr, materials.get());
        Prepare();
        FileByteSink file;
        if (file.open(nativePath(path))) {
            DocumentOutput out(file);
            WriteDocument(out);
            out.flush();
            file.close();
            summary.written = true;
            if (summary.collapsedTriangles != 0)
                showStatus(u"Velora Collada exporter: export complete; " +
                           vantro::platform::fromUtf8(CollapseReport(summary)) + u".");
        }
    } catch (const FileWriteError&) {
        summary.writeFailed = true;
        return Abandon();
    } catch (...) {
        return Abandon();
    }
    Reset();
    return 0;
}

int ColladaExporter::Abandon() {
    summary.written = false;
    std::error_code error;
    const fs::path written = nativePath(path);
    // Only a regular file: the chosen path may name a device or anything else.
    if (fs::is_regular_file(written, error))
        fs::remove(written, error);
    Reset();
    return -1;
}

std::u16string ColladaExporter::SaveDialog() const {
    try {
        SaveFileRequest request;
        request.title = u"Export collada file";
        request.filters = {{u"Collada files", u"*.dae"}, {u"All files", u"*.*"}};
        request.owner = RhinoApp().MainWnd();
        request.bufferSize = 260;
        request.overwritePrompt = true;
        if (const CRhinoDoc* doc = RhinoApp().ActiveDoc()) {
            const std::u16string document = doc->GetPathName().str();
            if (!document.empty()) {
                const std::size_t dot = document.rfind(u'.');
                std::u16string proposal = (dot == std::u16string::npos ? document : document.substr(0, dot)) + u".dae";
                // A proposal that does not fit the dialog's buffer is not proposed.
                if (proposal.size() < request.bufferSize)
                    request.initialFile = std::move(proposal);
            }
        }
        return WithDefaultExtension(GetSaveFileName(request), u".dae");
    } catch (...) {
        return {};
    }
}

void ColladaExporter::Prepare() {
    settings.Read();
    exportNodes = settings.ExportNodes();
    decimals = precision.value_or(settings.ExportPrecision());
    if (decimals < 0 || decimals > kMaxFloatDecimals)
        throw std::invalid_argument("precision must be 0 to 6 decimals");
    summary.decimals = decimals;
    schemaValidForm = schemaValid.value_or(settings.ExportSchemaValid());
    CRhinoDoc* doc = RhinoApp().ActiveDoc();
    // Before Load, so that every position and translation arrives in metres.
    scene->unitScale = doc ? static_cast<float>(ON::UnitScale(doc->UnitSystem(), ON::LengthUnitSystem::Meters)) : 1.0f;
    materials->LoadMaterials(doc);
    scene->Load(doc, &settings, true);

    // Only what the writer needs ahead (which geometries exist, their names and counts)
    // and what could fail: a mesh that does not match its counts or a merge too large
    // for one geometry ends the export here, before the file is touched.
    showStatus(u"Velora Collada exporter: merge geometries\u2026");
    geometries.reserve(scene->pendingMaterials.size());
    runParallel(scene->pendingMaterials.begin(), scene->pendingMaterials.end(),
                [this](uint64_t materialId) { PlanGeometry(materialId); });

    for (const auto& entry : scene->materialMeshes) {
        usedMaterials.insert(&materials->FindById(static_cast<int64_t>(entry.first)));
    }

    if (exportNodes) {
        showStatus(u"Velora Collada exporter: create nodes\u2026");
        nodeElements.reserve(scene->nodes.size());
        runParallel(scene->nodes.begin(), scene->nodes.end(),
                    [this](std::unique_ptr<NodeInfo>& node) { CreateNode(*node); });
    }
}

void ColladaExporter::PlanGeometry(uint64_t materialId) {
    MaterialInfo& material = materials->FindById(static_cast<int64_t>(materialId));
    const auto found = scene->materialMeshes.find(materialId);
    if (found == scene->materialMeshes.end())
        return;
    auto info = std::make_unique<GeometryInfo>();
    info->meshes.reserve(found->second.size());
    for (const MeshInfo* mesh : found->second)
        info->meshes.push_back(viewOf(*mesh));
    info->counts = checkedMergeCounts(info->meshes);
    if (info->counts.vertexCount == 0)
        return;
    info->materialId = materialId;
    info->material = &material;
    info->text.id = vantro::platform::toUtf8(material.name);
    info->text.vertexCount = static_cast<std::uint32_t>(info->counts.vertexCount);
    info->text.indexCount = static_cast<std::uint32_t>(info->counts.indexCount);
    geometries.push_back(std::move(info));
}

void ColladaExporter::MergeGeometry(GeometryInfo& info, ScratchMemory memory) {
    info.merged = mergeMeshes(info.meshes, info.counts, memory);
}

void ColladaExporter::SerializeGeometry(GeometryInfo& info, ScratchMemory memory) {
    if (info.merged)
        serializeGeometry(*info.merged, info.text, memory, decimals);
    info.merged.reset();
}

void ColladaExporter::CreateNode(const NodeInfo& node) {
    nodeElements.push_back(std::make_unique<NodeElement>(createNodeElement(node.id, node.transform.m)));
}

std::u16string ColladaExporter::ExportImage(MaterialInfo& material) {
    std::u16string relative = materials->ExportTextureFile(&material);
    if (relative.empty() && !material.textureImage.empty())
        relative = ExportEmbeddedBitmap(*materials, material);
    return relative;
}

void ColladaExporter::WriteDocument(DocumentOutput& out) {
    const DocumentForm form = schemaValidForm ? DocumentForm::schemaValid : DocumentForm::renderer;
    ColladaWriter writer(out, exportNodes, showStatus, form);
    const std::time_t now = std::time(nullptr);
    // The main thread is the only caller of localtime in the plug-in.
    const std::tm* local = std::localtime(&now);
    // Without a local time the schema still needs a date: the epoch's.
    std::tm epoch{};
    epoch.tm_mday = 1;
    epoch.tm_year = 70;
    if (local || form == DocumentForm::schemaValid)
        writer.writeStart(createdText(local ? *local : epoch, form));
    else
        writer.writeStart("\n");

    // Planning appended in scheduling order; the document lists geometries by material
    // id and nodes by placement id, so that equal documents give equal files.
    std::vector<GeometryInfo*> sortedGeometries;
    for (const auto& info : geometries)
        sortedGeometries.push_back(info.get());
    std::sort(sortedGeometries.begin(), sortedGeometries.end(), [](const GeometryInfo* a, const GeometryInfo* b) {
        return a->material->id != b->material->id ? a->material->id < b->material->id : a->materialId < b->materialId;
    });
    std::vector<const GeometryText*> geometryTexts;
    for (const GeometryInfo* info : sortedGeometries) {
        geometryTexts.push_back(&info->text);
        summary.triangles += info->text.indexCount / 3;
    }
    std::vector<const NodeElement*> nodes;
    for (const auto& node : nodeElements)
        nodes.push_back(node.get());
    std::sort(nodes.begin(), nodes.end(),
              [](const NodeElement* a, const NodeElement* b) { return a->nodeId < b->nodeId; });

    std::vector<MaterialInfo*> ordered(usedMaterials.begin(), usedMaterials.end());
    std::vector<MaterialRow> rows;
    rows.reserve(ordered.size());
    for (const MaterialInfo* material : ordered) {
        MaterialRow row;
        row.name = vantro::platform::toUtf8(material->name);
        row.typeName = vantro::platform::toUtf8(MaterialTypeName(material->type, u""));
        row.libraryId = vantro::platform::toUtf8(material->libraryId);
        row.diffuse = material->diffuse;
        row.specular = material->specular;
        row.shine = material->shine;
        row.opacity = material->opacity;
        rows.push_back(std::move(row));
    }
    writer.planIds(rows, geometryTexts, nodes);

    // An effect is textured exactly when its material got an image entry, so that no
    // sampler refers to an image the document does not define.
    writer.beginImages();
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        const std::u16string image = ExportImage(*ordered[i]);
        writer.writeImage(rows[i].name, image);
        rows[i].textured = !image.empty();
    }
    writer.endImages();
    writer.writeEffects(rows);
    writer.writeMaterials(rows);
    StreamGeometries(writer, sortedGeometries);
    writer.writeVisualScene(geometryTexts, nodes);
    writer.writeEnd();
}

void ColladaExporter::StreamGeometries(ColladaWriter& writer, const std::vector<GeometryInfo*>& ordered) {
    writer.beginGeometries(ordered.size());
    std::vector<std::uint64_t> numbers;
    numbers.reserve(ordered.size());
    for (const GeometryInfo* info : ordered)
        numbers.push_back(MergedGeometry::kHeaderWords + 8 * info->counts.vertexCount + info->counts.indexCount);
    const std::vector<GeometryBatch> batches = planBatches(numbers, batchNumbers);
    // Two batches' memory: one being written while the next is formatted.
    std::array<BatchMemory, 2> memory;
    auto format = [&](std::size_t b) {
        ScratchMemory scratch = memory[b % 2].Scratch();
        runParallel(ordered.begin() + static_cast<std::ptrdiff_t>(batches[b].first),
                    ordered.begin() + static_cast<std::ptrdiff_t>(batches[b].end), [&](GeometryInfo* info) {
                        MergeGeometry(*info, scratch);
                        SerializeGeometry(*info, scratch);
                    });
    };
    bool listOpen = true;
    auto write = [&](std::size_t b) {
        for (std::size_t j = batches[b].first; j < batches[b].end; ++j) {
            GeometryText& text = ordered[j]->text;
            listOpen = listOpen && writer.writeGeometry(j, text);
            summary.collapsedTriangles += text.collapsedTriangles;
            // The lists point into memory the batch after next is formatted into.
            text.positions = text.normals = text.texcoords = text.indices = {};
        }
        memory[b % 2].Rewind();
    };
    if (!batches.empty())
        format(0);
    for (std::size_t b = 0; b < batches.size() && listOpen; ++b) {
        if (b + 1 < batches.size()) {
            // The file is the main thread's: the next batch is formatted beside it.
            BesideTask next([&format, b] { format(b + 1); });
            write(b);
            next.wait();
        } else {
            write(b);
        }
    }
    writer.endGeometries();
}

void ColladaExporter::Reset() {
    for (MaterialInfo* material : usedMaterials)
        material->texturePath.clear();
    usedMaterials.clear();
    // The scene refers to the manager: it goes first (its Clear joins the worker).
    scene.reset();
    materials.reset();
    geometries.clear();
    // Also cleared here (not only with the exporter) so that a second Export starts clean.
    nodeElements.clear();
}
