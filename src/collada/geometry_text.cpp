#include "collada/geometry_text.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>

#include "collada/number_list_writer.h"
#include "scene/parallel.h"

namespace vantro::collada {
namespace {

constexpr std::size_t kVertexChars = 36;
constexpr std::size_t kTexcoordChars = 24;
constexpr std::size_t kIndexChars = 8;

// A geometry larger than this is formatted in pieces in parallel, so that a model with
// one big material still uses every core; smaller ones are one task each.
constexpr std::size_t kVerticesPerPiece = std::size_t{1} << 15;
constexpr std::size_t kIndicesPerPiece = std::size_t{1} << 16;

// The texts of the vertices [firstVertex, endVertex) and indices [firstIndex, endIndex).
struct Piece {
  std::size_t firstVertex = 0, endVertex = 0, firstIndex = 0, endIndex = 0;
  std::string positions, normals, texcoords, indices;
};

void writeTriples(std::string& target, const Piece& piece,
                  float (MergedGeometry::*component)(std::size_t, std::size_t) const,
                  const MergedGeometry& merged) {
  target.reserve(kVertexChars * (piece.endVertex - piece.firstVertex));
  NumberListWriter out(target);
  for (std::size_t v = piece.firstVertex; v < piece.endVertex; ++v) {
    out.fixed3((merged.*component)(v, 0));
    out.fixed3((merged.*component)(v, 2));
    out.fixed3((merged.*component)(v, 1));
  }
}

void formatPiece(const MergedGeometry& merged, Piece& piece) {
  writeTriples(piece.positions, piece, &MergedGeometry::position, merged);
  writeTriples(piece.normals, piece, &MergedGeometry::normal, merged);
  {
    piece.texcoords.reserve(kTexcoordChars * (piece.endVertex - piece.firstVertex));
    NumberListWriter out(piece.texcoords);
    for (std::size_t v = piece.firstVertex; v < piece.endVertex; ++v) {
      out.fixed3(merged.uv(v, 0));
      out.fixed3(1.0f - merged.uv(v, 1));
    }
  }
  piece.indices.reserve(kIndexChars * (piece.endIndex - piece.firstIndex));
  NumberListWriter out(piece.indices);
  for (std::size_t i = piece.firstIndex; i < piece.endIndex; ++i) {
    out.integer(static_cast<std::int32_t>(merged.index(i)));
  }
}

void joinInto(std::string& target, std::vector<Piece>& pieces, std::string Piece::*member) {
  std::size_t size = 0;
  for (const Piece& piece : pieces) size += (piece.*member).size();
  target.reserve(size);
  for (Piece& piece : pieces) {
    target += piece.*member;
    std::string().swap(piece.*member);  // give the piece's memory back at once
  }
}

}  // namespace

void serializeGeometry(const MergedGeometry& merged, GeometryText& text) {
  text.vertexCount = merged.vertexCount();
  text.indexCount = merged.indexCount();
  const std::size_t vertexCount = text.vertexCount;
  const std::size_t indexCount = text.indexCount;
  text.positions.clear();
  text.normals.clear();
  text.texcoords.clear();
  text.indices.clear();

  const std::size_t pieceCount =
      std::max({std::size_t{1}, (vertexCount + kVerticesPerPiece - 1) / kVerticesPerPiece,
                (indexCount + kIndicesPerPiece - 1) / kIndicesPerPiece});
  if (pieceCount == 1) {
    Piece whole{0, vertexCount, 0, indexCount, {}, {}, {}, {}};
    formatPiece(merged, whole);
    text.positions = std::move(whole.positions);
    text.normals = std::move(whole.normals);
    text.texcoords = std::move(whole.texcoords);
    text.indices = std::move(whole.indices);
  } else {
    std::vector<Piece> pieces(pieceCount);
    for (std::size_t p = 0; p < pieceCount; ++p) {
      pieces[p].firstVertex = vertexCount * p / pieceCount;
      pieces[p].endVertex = vertexCount * (p + 1) / pieceCount;
      pieces[p].firstIndex = indexCount * p / pieceCount;
      pieces[p].endIndex = indexCount * (p + 1) / pieceCount;
    }
    // Only memory can run out here; the loop ends whole and the failure is raised after it.
    std::atomic<bool> failed{false};
    vantro::scene::ParallelForEach(pieces.begin(), pieces.end(), [&](Piece& piece) {
      try {
        formatPiece(merged, piece);
      } catch (...) {
        failed.store(true);
      }
    });
    if (failed.load()) throw std::bad_alloc();
    joinInto(text.positions, pieces, &Piece::positions);
    joinInto(text.normals, pieces, &Piece::normals);
    joinInto(text.texcoords, pieces, &Piece::texcoords);
    joinInto(text.indices, pieces, &Piece::indices);
  }
  text.positions.shrink_to_fit();
  text.normals.shrink_to_fit();
  text.texcoords.shrink_to_fit();
  text.indices.shrink_to_fit();
}

}  // namespace vantro::collada
