#include "collada/merged_geometry.h"

#include <atomic>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "scene/parallel.h"

namespace vantro::collada {
namespace {

void copyFloats(std::uint32_t* to, const float* from, std::size_t count) {
    if (count != 0)
        std::memcpy(to, from, count * sizeof(float));
}

}  // namespace

MergedGeometry::MergedGeometry(ScratchMemory memory, std::uint32_t vertexCount, std::uint32_t indexCount)
    : size_(kHeaderWords + 8 * std::size_t{vertexCount} + indexCount) {
    words_ = static_cast<std::uint32_t*>(memory.allocate(size_ * sizeof(std::uint32_t)));
    words_[0] = vertexCount;
    words_[1] = indexCount;
    words_[2] = 1;
}

void MergedGeometry::copyMesh(const MeshView& mesh, std::uint32_t vertexOffset, std::uint32_t indexOffset,
                              bool mirrored) {
    const std::size_t v = mesh.vertexCount;
    std::uint32_t* positions = words_ + positionBase() + 3 * std::size_t{vertexOffset};
    std::uint32_t* normals = words_ + normalBase() + 3 * std::size_t{vertexOffset};
    std::uint32_t* uvs = words_ + uvBase() + 2 * std::size_t{vertexOffset};
    std::uint32_t* indices = words_ + indexBase() + indexOffset;
    copyFloats(positions, mesh.positions, 3 * v);
    copyFloats(uvs, mesh.uvs, 2 * v);
    if (!mirrored) {
        copyFloats(normals, mesh.normals, 3 * v);
        for (std::uint32_t i = 0; i < mesh.indexCount; ++i)
            indices[i] = mesh.indices[i] + vertexOffset;
        return;
    }
    for (std::size_t i = 0; i < 3 * v; ++i)
        normals[i] = std::bit_cast<std::uint32_t>(-mesh.normals[i]);
    const std::uint32_t last = mesh.indexCount;
    for (std::uint32_t i = 0; i < last; ++i)
        indices[i] = mesh.indices[last - 1 - i] + vertexOffset;
}

MergeCounts countMerged(std::span<const MeshView> meshes) {
    std::atomic<std::uint64_t> vertices{0};
    std::atomic<std::uint64_t> indices{0};
    vantro::scene::ParallelForEach(meshes.begin(), meshes.end(), [&](const MeshView& mesh) {
        const std::uint64_t sides = mesh.twoSided ? 2 : 1;
        vertices.fetch_add(sides * mesh.vertexCount, std::memory_order_relaxed);
        indices.fetch_add(sides * mesh.indexCount, std::memory_order_relaxed);
    });
    return {vertices.load(), indices.load()};
}

MergeCounts checkedMergeCounts(std::span<const MeshView> meshes) {
    const MergeCounts counts = countMerged(meshes);
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    if (counts.vertexCount > kMax || counts.indexCount > kMax) {
        throw std::length_error("merged geometry exceeds 2^32-1 vertices or indices");
    }
    return counts;
}

std::unique_ptr<MergedGeometry> mergeMeshes(std::span<const MeshView> meshes, ScratchMemory memory) {
    return mergeMeshes(meshes, checkedMergeCounts(meshes), memory);
}

std::unique_ptr<MergedGeometry> mergeMeshes(std::span<const MeshView> meshes, const MergeCounts& counts,
                                            ScratchMemory memory) {
    if (counts.vertexCount == 0)
        return nullptr;
    auto merged = std::make_unique<MergedGeometry>(memory, static_cast<std::uint32_t>(counts.vertexCount),
                                                   static_cast<std::uint32_t>(counts.indexCount));
    std::uint32_t vertexOffset = 0;
    std::uint32_t indexOffset = 0;
    for (const MeshView& mesh : meshes) {
        for (int side = 0; side < (mesh.twoSided ? 2 : 1); ++side) {
            merged->copyMesh(mesh, vertexOffset, indexOffset, side == 1);
            vertexOffset += mesh.vertexCount;
            indexOffset += mesh.indexCount;
        }
    }
    return merged;
}

}  // namespace vantro::collada
