#pragma once
// ColladaExporter: writes the active document as one COLLADA 1.4.1 file for the
// renderer. It reuses the live link's machinery without a link: its own material
// manager translates the materials, its own scene (in export mode) extracts the render
// meshes in metres; the exporter plans one geometry per material (its meshes, counts and
// ids), turns the block placements into nodes, and then writes the document in one
// sequential pass (collada_writer.h). The geometries are merged and formatted while
// they are written: in batches of materials up to a budget of numbers, each batch
// formatted in parallel into memory reused from batch to batch while the main thread
// writes the one before, so that an export holds two batches of text, not the whole
// document's.
//
// One exporter is made per export, runs Export once and is destroyed. Main thread only;
// Export blocks it until the file is closed. Its parallel stages (planning, nodes, and
// the merge and formatting of each batch) touch only their own item, atomics and the
// concurrent vectors; the file is written on the main thread only.
//
// Failures: a cancelled dialog gives -1 and creates nothing; a file that cannot be
// opened writes nothing and still gives 0; any exception from the creation of the
// material manager on (preparation or writing) deletes the file at the chosen path
// when it is a regular file and gives -1. A write that fails (full disk) always ends
// the export so, even where the document layout would carry on: the file's failure
// is sticky (FileWriteError), so no later step can complete a document with a hole.
//
// Precision: positions, normals and texture coordinates are written with 3 decimals
// (the renderer's format: metres to the millimetre) unless the ExportPrecision setting
// or SetPrecision asks for 0 to 6. Triangles that lose their area to the rounding are
// counted and reported in the closing status text and in LastSummary.
//
// Form: the file is the layout the renderer reads, unless the ExportSchemaValid
// setting or SetSchemaValid asks for the schema-valid form, which importers that
// validate the COLLADA schema need (collada_writer.h says what differs).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <tbb/concurrent_vector.h>

#include "collada/document_output.h"
#include "collada/geometry_text.h"
#include "collada/merged_geometry.h"
#include "collada/node_element.h"
#include "collada/scratch_memory.h"
#include "settings/plugin_settings.h"

class MaterialManager;
class RHScene;
struct MaterialInfo;
struct NodeInfo;

namespace vantro::collada {

class ColladaWriter;

// What the last Export did, kept after its reset (for the host's report).
struct ExportSummary {
    bool written = false;                  // the document was written and closed
    bool writeFailed = false;              // the file did not take the document (then -1)
    int decimals = 3;                      // of the number lists
    std::uint64_t triangles = 0;           // in the document's geometries
    std::uint64_t collapsedTriangles = 0;  // of those, had an area and lost it to the rounding
};

// "12,304 of 24,000 triangles collapse at 1 mm" (UTF-8): the collapse count of summary
// at its precision's grid; empty when none collapse.
std::string CollapseReport(const ExportSummary& summary);

}  // namespace vantro::collada

class ColladaExporter {
public:
    // One geometry of the document: every mesh of one material, planned ahead, merged
    // and turned into text when its batch comes, and dropped once written.
    struct GeometryInfo {
        std::uint64_t materialId = 0;                             // the scene's key
        MaterialInfo* material = nullptr;                         // not owned
        std::vector<vantro::collada::MeshView> meshes;            // the material's meshes, in merge order
        vantro::collada::MergeCounts counts;                      // of the merge, checked when planned
        std::unique_ptr<vantro::collada::MergedGeometry> merged;  // in its batch's memory; freed after serialisation
        vantro::collada::GeometryText text;  // id = name = UTF-8 material name and counts when planned; lists in
                                             // its batch's memory until written
    };
    using NodeElement = vantro::collada::NodeElement;

    // Orders usedMaterials by id, so that the document lists them in a stable order.
    struct ByMaterialId {
        bool operator()(const MaterialInfo* a, const MaterialInfo* b) const;
    };

    // The numbers (merged words: 8 per vertex, 1 per index) one batch of the geometry
    // stream holds at most; a geometry larger than that is a batch of its own. About
    // 16 MB of merged buffers and 30 MB of text at 3 decimals.
    static constexpr std::size_t kBatchNumbers = std::size_t{1} << 22;

    // Creates and reads the settings; everything else empty; exportNodes true.
    ColladaExporter();
    virtual ~ColladaExporter();
    ColladaExporter(const ColladaExporter&) = delete;
    ColladaExporter& operator=(const ColladaExporter&) = delete;

    // Asks for the file, prepares everything and writes it: 0 when the export ran
    // (also when the file could not be opened), -1 when the user cancelled or an
    // exception ended it. Shows the stages in the status-bar message pane.
    int Export();

    // The save dialog: "Export collada file", proposing the active document's path with
    // ".dae" for its extension. The chosen path ("…dae" appended when it contains no
    // "." at all), or empty for cancel or any failure.
    std::u16string SaveDialog() const;

    // Per-item workers of the parallel stages; each may run on any thread.
    // Merges info's meshes into info.merged, taken from memory (which keeps it until the
    // batch is written).
    virtual void MergeGeometry(GeometryInfo& info, vantro::collada::ScratchMemory memory);
    // Fills info's number lists from its merged buffer, taken from memory, and frees the
    // buffer.
    virtual void SerializeGeometry(GeometryInfo& info, vantro::collada::ScratchMemory memory);
    // Appends the element of one placement.
    virtual void CreateNode(const NodeInfo& node);

    // Read access for tests and the host: the state Export leaves is reset, so these
    // are empty after Export returns.
    const PluginSettings& Settings() const { return settings; }
    const std::u16string& Path() const { return path; }

    // Decimals for this exporter's number lists (0 to 6), instead of the ExportPrecision
    // setting; nullopt: the setting. Main thread, before Export.
    void SetPrecision(std::optional<int> decimals) { precision = decimals; }
    // The schema-valid form (true) or the renderer's (false) for this exporter, instead
    // of the ExportSchemaValid setting; nullopt: the setting. Main thread, before Export.
    void SetSchemaValid(std::optional<bool> on) { schemaValid = on; }
    // The numbers one batch of the geometry stream holds at most (at least 1; the file is
    // the same for every budget). For tests and benchmarks. Main thread, before Export.
    void SetBatchNumbers(std::size_t numbers) { batchNumbers = numbers > 0 ? numbers : 1; }
    // What the last Export did; reset when Export begins.
    const vantro::collada::ExportSummary& LastSummary() const { return summary; }

protected:
    // The image of one material (main thread, while the image library is written):
    // the texture file's copy, else the embedded bitmap written as a file; the path
    // relative to the exported file, or empty when there is none.
    virtual std::u16string ExportImage(MaterialInfo& material);

private:
    void Prepare();
    // Plans the geometry of one material (none without vertices); any thread.
    void PlanGeometry(std::uint64_t materialId);
    void WriteDocument(vantro::collada::DocumentOutput& out);
    // Merges, formats and writes the geometries in document order, batch by batch.
    void StreamGeometries(vantro::collada::ColladaWriter& writer, const std::vector<GeometryInfo*>& ordered);
    // Deletes the file at path when it is a regular file, resets, and gives -1.
    int Abandon();
    void Reset();

    PluginSettings settings;
    std::unique_ptr<MaterialManager> materials;
    std::unique_ptr<RHScene> scene;
    std::set<MaterialInfo*, ByMaterialId> usedMaterials;
    tbb::concurrent_vector<std::unique_ptr<GeometryInfo>> geometries;
    tbb::concurrent_vector<std::unique_ptr<NodeElement>> nodeElements;
    bool exportNodes = true;
    std::u16string path;
    std::optional<int> precision;
    int decimals = 3;
    std::optional<bool> schemaValid;
    bool schemaValidForm = false;
    std::size_t batchNumbers = kBatchNumbers;
    vantro::collada::ExportSummary summary;
};
