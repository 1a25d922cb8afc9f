#include "geometry_buffer.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "scene/mesh_info.h"

using namespace vantro::scene;

namespace {

constexpr size_t kWord = 4;
constexpr size_t kTile = 2048;  // entries transformed on the stack before each copy

void copyWords(const GeometryBufferView& buffer, uint64_t word, const void* from, size_t words) {
    std::memcpy(buffer.base + word * kWord, from, words * kWord);
}

// Indices reversed (front side) or in order (back side), each plus offset, written
// straight into the buffer (the caller checked that [word, word + count) lies in it).
// Four at a time with SSE2 where available: this loop moves a third of the bytes of a
// full sync.
void copyIndices(const GeometryBufferView& buffer, uint64_t word, const MeshInfo& mesh, bool reversed,
                 uint32_t offset) {
    const size_t k = mesh.indexCount;
    const uint32_t* src = mesh.indices.data();
    std::byte* dst = buffer.base + word * kWord;
    if (!reversed && offset == 0) {
        std::memcpy(dst, src, k * kWord);
        return;
    }
    size_t j = 0;
#if defined(__SSE2__)
    const __m128i add = _mm_set1_epi32(static_cast<int>(offset));
    for (; j + 4 <= k; j += 4) {
        __m128i v;
        if (reversed) {
            v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k - 4 - j));
            v = _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
        } else {
            v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + j));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + j * kWord), _mm_add_epi32(v, add));
    }
#endif
    for (; j < k; ++j) {
        const uint32_t value = (reversed ? src[k - 1 - j] : src[j]) + offset;
        std::memcpy(dst + j * kWord, &value, kWord);
    }
}

void copyNegated(const GeometryBufferView& buffer, uint64_t word, const float* src, size_t count) {
    float tile[kTile];
    for (size_t done = 0; done < count; done += kTile) {
        const size_t n = std::min(kTile, count - done);
        for (size_t j = 0; j < n; ++j)
            tile[j] = -src[done + j];
        copyWords(buffer, word + done, tile, n);
    }
}

bool meshArraysComplete(const MeshInfo& mesh) {
    const size_t n = mesh.vertexCount;
    return mesh.positions.size() >= 3 * n && mesh.normals.size() >= 3 * n && mesh.uvs.size() >= 2 * n &&
           mesh.indices.size() >= mesh.indexCount;
}

}  // namespace

uint64_t vantro::scene::GeometryBufferBytes(uint64_t vertexCount, uint64_t indexCount, uint32_t texCoordSets) {
    return kWord * (indexCount + 3 * (2 * vertexCount + 1) + 2ull * texCoordSets * vertexCount);
}

bool vantro::scene::GeometryBufferView::Fits() const {
    return base != nullptr && GeometryBufferBytes(vertexCount, indexCount, texCoordSets) <= size;
}

bool vantro::scene::WriteGeometryHeader(const GeometryBufferView& buffer) {
    if (!buffer.Fits())
        return false;
    const uint32_t header[kGeometryHeaderWords] = {buffer.vertexCount, buffer.indexCount, buffer.texCoordSets};
    copyWords(buffer, 0, header, kGeometryHeaderWords);
    return true;
}

bool WriteMeshGeometry(const GeometryBufferView& buffer, const MeshInfo& mesh, bool backSide, uint32_t vertexOffset,
                       uint32_t indexOffset) {
    const uint64_t n = mesh.vertexCount;
    const uint64_t k = mesh.indexCount;
    if (n == 0)
        return true;
    if (!buffer.Fits() || !meshArraysComplete(mesh))
        return false;
    const uint64_t vt = buffer.vertexCount;
    const uint64_t s = buffer.texCoordSets;
    if (uint64_t(vertexOffset) + n > vt || uint64_t(indexOffset) + k > buffer.indexCount)
        return false;

    const uint64_t positionWord = kGeometryHeaderWords + 3 * uint64_t(vertexOffset);
    const uint64_t normalWord = kGeometryHeaderWords + 3 * vt + 3 * uint64_t(vertexOffset);
    const uint64_t uvWord = kGeometryHeaderWords + 6 * vt + 2 * uint64_t(vertexOffset);
    const uint64_t indexWord = kGeometryHeaderWords + 6 * vt + 2 * s * vt + indexOffset;

    copyWords(buffer, positionWord, mesh.positions.data(), 3 * n);
    if (backSide)
        copyNegated(buffer, normalWord, mesh.normals.data(), 3 * n);
    else
        copyWords(buffer, normalWord, mesh.normals.data(), 3 * n);
    copyWords(buffer, uvWord, mesh.uvs.data(), 2 * n);
    copyIndices(buffer, indexWord, mesh, !backSide, vertexOffset);
    return true;
}
