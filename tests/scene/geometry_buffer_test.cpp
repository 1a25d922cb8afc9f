// GeometryBuffer: sizes at the limits, and that no write ever leaves the buffer
// whatever the counts. (The words of real meshes, index lists of every length among
// them, are compared with the oracle in scene_sync_process_test.cpp.)

#include "scene/geometry_buffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "scene/mesh_info.h"

using namespace vantro::scene;

namespace {

MeshInfo closedMesh(uint32_t vertices, uint32_t indices) {
    MeshInfo mi;
    mi.vertexCount = vertices;
    mi.indexCount = indices;
    for (uint32_t i = 0; i < indices; ++i)
        mi.indices.push_back(i % vertices);
    mi.positions.assign(3 * vertices, 1.0f);
    mi.normals.assign(3 * vertices, 0.0f);
    mi.uvs.assign(2 * vertices, 0.5f);
    return mi;
}

// A buffer with guard words on both sides, to catch writes outside it.
struct Guarded {
    explicit Guarded(size_t bytes) : words(bytes / 4 + 2 * kGuard, kPattern) {}
    std::byte* base() { return reinterpret_cast<std::byte*>(words.data() + kGuard); }
    uint32_t word(size_t i) const { return words[kGuard + i]; }
    bool guardsIntact(size_t bytes) const {
        for (size_t i = 0; i < kGuard; ++i)
            if (words[i] != kPattern || words[kGuard + bytes / 4 + i] != kPattern)
                return false;
        return true;
    }
    static constexpr size_t kGuard = 16;
    static constexpr uint32_t kPattern = 0xDEADBEEF;
    std::vector<uint32_t> words;
};

}  // namespace

// The size rule: 4 x (I + 3 (2V + 1) + 2 S V).
TEST(GeometryBuffer, SizeOfTheLayout) {
    EXPECT_EQ(GeometryBufferBytes(6, 6), 228u);  // one open triangle, both sides
    EXPECT_EQ(GeometryBufferBytes(0, 0), 12u);
    EXPECT_EQ(GeometryBufferBytes(1u << 31, 1u << 31), 4ull * ((1ull << 31) + 3 * ((1ull << 32) + 1) + (1ull << 32)));
}

// Counts that do not fit the mapped size, meshes past the end and short arrays write
// nothing at all.
TEST(GeometryBuffer, RefusesEveryWriteOutsideTheBuffer) {
    const MeshInfo mi = closedMesh(4, 6);
    const uint64_t bytes = GeometryBufferBytes(4, 6);
    Guarded buffer(bytes);
    const GeometryBufferView small{buffer.base(), bytes - 4, 4, 6, 1};
    EXPECT_FALSE(WriteGeometryHeader(small));
    EXPECT_FALSE(WriteMeshGeometry(small, mi, false, 0, 0));
    const GeometryBufferView view{buffer.base(), bytes, 4, 6, 1};
    EXPECT_FALSE(WriteMeshGeometry(view, mi, false, 1, 0));  // vertices past V
    EXPECT_FALSE(WriteMeshGeometry(view, mi, false, 0, 1));  // indices past I
    MeshInfo shortArrays = mi;
    shortArrays.normals.resize(5);
    EXPECT_FALSE(WriteMeshGeometry(view, shortArrays, false, 0, 0));
    const GeometryBufferView nowhere{nullptr, bytes, 4, 6, 1};
    EXPECT_FALSE(WriteGeometryHeader(nowhere));
    for (size_t i = 0; i < bytes / 4; ++i)
        EXPECT_EQ(buffer.word(i), Guarded::kPattern);
    EXPECT_TRUE(buffer.guardsIntact(bytes));
    MeshInfo empty;
    EXPECT_TRUE(WriteMeshGeometry(view, empty, false, 4, 6));  // nothing to write is fine
}
