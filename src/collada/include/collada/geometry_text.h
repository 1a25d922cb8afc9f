#pragma once
// The text of one geometry of the document: its id and the four number lists, formatted
// ahead of writing (in parallel, one geometry per task) so that the writer only
// streams finished text.

#include <cstdint>
#include <string>
#include <string_view>

#include "collada/merged_geometry.h"
#include "collada/scratch_memory.h"

namespace vantro::collada {

// The number lists hold numbers and blanks only, never a line feed: the writer hands
// them to the output without translating line ends. serializeGeometry puts their text
// in scratch memory, which must keep it as long as the GeometryText is used.
struct GeometryText {
    std::string id;  // UTF-8 name of the material; also the geometry's name
    std::uint32_t vertexCount = 0;
    std::uint32_t indexCount = 0;
    std::string_view positions;  // "%.3f %.3f %.3f " per vertex, model x, y, z
    std::string_view normals;    // the same for normals
    std::string_view texcoords;  // "%.3f %.3f " per vertex: u, 1 - v
    std::string_view indices;    // "%d " per index
    // Triangles with an area that have none once their positions are written with the
    // chosen decimals (their three written points coincide or lie on one line).
    std::uint64_t collapsedTriangles = 0;
};

// The decimals of the document's number lists: the renderer reads "%.3f" (metres to
// the millimetre); other tools may want more.
inline constexpr int kDefaultDecimals = 3;

// Fills text's counts and number lists from merged (the id is left as it is), with
// decimals (0 to kMaxFloatDecimals) digits after the point for positions, normals and
// texture coordinates, and counts the triangles that collapse at that precision.
// The stored components 0, 2, 1 are written, which turns the renderer's axes back into
// the model's; the stored v (already flipped for the renderer) is flipped back as
// 1.0f - v in single precision. Indices are written as signed 32-bit numbers, as "%d"
// does. The texts are measured first and taken from memory once at exactly their length; a
// large geometry is measured and formatted in pieces in parallel, each piece straight
// into its place. Any thread; touches nothing but text. Throws std::bad_alloc when
// memory runs out.
void serializeGeometry(const MergedGeometry& merged, GeometryText& text, ScratchMemory memory,
                       int decimals = kDefaultDecimals);

// Whether the triangle of points a, b, c (three coordinates each) has an area before
// rounding and none after each coordinate is rounded to decimals digits after the
// point, as "%.<decimals>f" rounds it. Exact: the rounded points are compared as
// integers on the grid. Pure; any thread.
bool collapsesAt(const float* a, const float* b, const float* c, int decimals);

}  // namespace vantro::collada
