#include "collada/geometry_text.h"

#include "collada/number_list_writer.h"

namespace vantro::collada {
namespace {

constexpr std::size_t kVertexChars = 36;
constexpr std::size_t kTexcoordChars = 24;
constexpr std::size_t kIndexChars = 8;

void writeTriples(std::string& target, std::size_t vertexCount,
                  float (MergedGeometry::*component)(std::size_t, std::size_t) const,
                  const MergedGeometry& merged) {
  target.reserve(kVertexChars * vertexCount);
  NumberListWriter out(target);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    out.fixed3((merged.*component)(v, 0));
    out.fixed3((merged.*component)(v, 2));
    out.fixed3((merged.*component)(v, 1));
  }
}

}  // namespace

void serializeGeometry(const MergedGeometry& merged, GeometryText& text) {
  text.vertexCount = merged.vertexCount();
  text.indexCount = merged.indexCount();
  const std::size_t vertexCount = text.vertexCount;
  text.positions.clear();
  text.normals.clear();
  text.texcoords.clear();
  text.indices.clear();
  writeTriples(text.positions, vertexCount, &MergedGeometry::position, merged);
  writeTriples(text.normals, vertexCount, &MergedGeometry::normal, merged);
  {
    text.texcoords.reserve(kTexcoordChars * vertexCount);
    NumberListWriter out(text.texcoords);
    for (std::size_t v = 0; v < vertexCount; ++v) {
      out.fixed3(merged.uv(v, 0));
      out.fixed3(1.0f - merged.uv(v, 1));
    }
  }
  {
    text.indices.reserve(kIndexChars * std::size_t{text.indexCount});
    NumberListWriter out(text.indices);
    for (std::size_t i = 0; i < text.indexCount; ++i) {
      out.integer(static_cast<std::int32_t>(merged.index(i)));
    }
  }
  text.positions.shrink_to_fit();
  text.normals.shrink_to_fit();
  text.texcoords.shrink_to_fit();
  text.indices.shrink_to_fit();
}

}  // namespace vantro::collada
