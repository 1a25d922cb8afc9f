#pragma once
// GeometryBuffer: the link buffer that holds all geometry drawn with one material as
// one indexed triangle list. Layout in 32-bit little-endian words, V = vertices,
// I = indices, S = texture-coordinate sets (always 1):
//
//   word 0            u32  V
//   word 1            u32  I
//   word 2            u32  S
//   word 3            f32  positions, 3 per vertex (renderer axes, metres)
//   word 3 + 3V       f32  normals, 3 per vertex
//   word 3 + 6V       f32  texture coordinates, 2 per vertex and set
//   word 3 + 6V + 2SV u32  vertex indices, 3 per triangle
//
// Used size 4 x (3 + 6V + 2SV + I) bytes. The buffer's capacity is recorded in the
// material's "SRFC" record (geometryCapacity); buffers are never resized.
//
// Writes go through memcpy of checked spans: nothing here writes outside
// [base, base + size), whatever the arguments.
// Thread-safety: functions are pure apart from writing the given buffer.

#include <cstddef>
#include <cstdint>

struct MeshInfo;

namespace vantro::scene {

constexpr uint32_t kGeometryHeaderWords = 3;
constexpr uint32_t kTexCoordSets = 1;

// Bytes used by a buffer of V vertices, I indices and S coordinate sets:
// 4 x (I + 3 x (2V + 1) + 2 x S x V). Computed in 64 bits (never overflows).
uint64_t GeometryBufferBytes(uint64_t vertexCount, uint64_t indexCount, uint32_t texCoordSets = kTexCoordSets);

// A mapped geometry buffer and the counts it is being filled with.
struct GeometryBufferView {
    std::byte* base = nullptr;
    size_t size = 0;  // bytes actually mapped
    uint32_t vertexCount = 0;
    uint32_t indexCount = 0;
    uint32_t texCoordSets = kTexCoordSets;

    // The counts' layout fits in size bytes (and base is set).
    bool Fits() const;
};

// Writes V, I and S into words 0..2. False (nothing written) when !buffer.Fits().
bool WriteGeometryHeader(const GeometryBufferView& buffer);

}  // namespace vantro::scene

// Copies one mesh into the buffer at vertexOffset / indexOffset:
//   positions, normals and texture coordinates of its vertices to their arrays;
//   indices + vertexOffset: the whole list reversed for the front side (which turns
//   every triangle's winding, compensating the mirroring of the axis swap), in stored
//   order for the back side, whose normals are also negated.
// Nothing happens for a mesh without vertices. False (nothing written) when the
// buffer does not fit its counts, the mesh's arrays are shorter than its counts, or
// the mesh would not fit at the offsets.
bool WriteMeshGeometry(const vantro::scene::GeometryBufferView& buffer, const MeshInfo& mesh, bool backSide,
                       uint32_t vertexOffset, uint32_t indexOffset);
