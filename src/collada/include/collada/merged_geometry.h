#pragma once
// All meshes of one material merged into one flat word buffer, so that the material
// becomes a single geometry and a single instance in the document:
//   word 0: vertex count V, word 1: index count I, word 2: texture coordinate sets (1),
//   then 3V f32 positions, 3V f32 normals, 2V f32 texture coordinates, I u32 indices.
// Floats are stored as their bit patterns; the accessors below convert.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "collada/scratch_memory.h"

namespace vantro::collada {

// One mesh as the scene stores it: positions and normals as f32 triples in the
// renderer's axes, texture coordinates as f32 pairs, a triangle index list.
// The pointers must hold 3V, 3V, 2V and I values (they may be null when the count is 0).
struct MeshView {
    std::uint32_t vertexCount = 0;
    std::uint32_t indexCount = 0;
    bool twoSided = false;
    const float* positions = nullptr;
    const float* normals = nullptr;
    const float* uvs = nullptr;
    const std::uint32_t* indices = nullptr;
};

class MergedGeometry {
public:
    static constexpr std::size_t kHeaderWords = 3;

    // Takes the buffer for V vertices and I indices from memory (it lives as long as the
    // memory's source keeps it) and writes the header; the rest is left unset for copyMesh to fill (it is
    // not cleared first: every word of it is written once by the merge). Throws
    // std::bad_alloc when the buffer cannot be had.
    MergedGeometry(ScratchMemory memory, std::uint32_t vertexCount, std::uint32_t indexCount);

    std::uint32_t vertexCount() const { return words_[0]; }
    std::uint32_t indexCount() const { return words_[1]; }
    std::span<const std::uint32_t> words() const { return {words_, size_}; }

    // Component c (0..2) of vertex v; the caller keeps v < V.
    float position(std::size_t v, std::size_t c) const { return floatAt(positionBase() + 3 * v + c); }
    float normal(std::size_t v, std::size_t c) const { return floatAt(normalBase() + 3 * v + c); }
    float uv(std::size_t v, std::size_t c) const { return floatAt(uvBase() + 2 * v + c); }
    std::uint32_t index(std::size_t i) const { return words_[indexBase() + i]; }
    // The four arrays whole: 3V, 3V, 2V float bit patterns and I indices.
    const std::uint32_t* positionWords() const { return words_ + positionBase(); }
    const std::uint32_t* normalWords() const { return words_ + normalBase(); }
    const std::uint32_t* uvWords() const { return words_ + uvBase(); }
    const std::uint32_t* indexWords() const { return words_ + indexBase(); }

    // Copies mesh's vertices to vertex slot vertexOffset and its indices, each raised by
    // vertexOffset, to index slot indexOffset. mirrored writes the back side instead:
    // every normal component negated and the index list in reverse order, which reverses
    // the winding of every triangle. The caller keeps both ranges inside the buffer.
    void copyMesh(const MeshView& mesh, std::uint32_t vertexOffset, std::uint32_t indexOffset, bool mirrored);

private:
    std::size_t positionBase() const { return kHeaderWords; }
    std::size_t normalBase() const { return kHeaderWords + 3 * std::size_t{vertexCount()}; }
    std::size_t uvBase() const { return kHeaderWords + 6 * std::size_t{vertexCount()}; }
    std::size_t indexBase() const { return kHeaderWords + 8 * std::size_t{vertexCount()}; }
    float floatAt(std::size_t word) const { return std::bit_cast<float>(words_[word]); }

    std::uint32_t* words_ = nullptr;  // in the scratch memory
    std::size_t size_ = 0;
};

// Counts of a merge: a two-sided mesh counts twice.
struct MergeCounts {
    std::uint64_t vertexCount = 0;
    std::uint64_t indexCount = 0;
};

// Sums the counts of meshes in parallel (one mesh per task, atomic sums).
MergeCounts countMerged(std::span<const MeshView> meshes);

// countMerged, checked: throws std::length_error when the counts do not fit one merged
// geometry (2^32-1 vertices or indices), so that a caller planning ahead fails where the
// merge would.
MergeCounts checkedMergeCounts(std::span<const MeshView> meshes);

// Merges meshes in their order into one buffer taken from memory; a two-sided mesh is
// copied twice, the second time mirrored. Returns an empty pointer when there is no
// vertex at all.
// Throws std::length_error when the merged counts do not fit 32 bits, std::bad_alloc
// when the memory cannot be had. Any thread; meshes are only read.
std::unique_ptr<MergedGeometry> mergeMeshes(std::span<const MeshView> meshes, ScratchMemory memory);
// The same with the counts of checkedMergeCounts(meshes), taken ahead.
std::unique_ptr<MergedGeometry> mergeMeshes(std::span<const MeshView> meshes, const MergeCounts& counts,
                                            ScratchMemory memory);

}  // namespace vantro::collada
