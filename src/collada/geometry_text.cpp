#include "collada/geometry_text.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "collada/fixed_format.h"
#include "scene/parallel.h"

namespace vantro::collada {
namespace {

// A geometry larger than this is formatted in pieces in parallel, so that a model with
// one big material still uses every core; smaller ones are one task each.
constexpr std::size_t kVerticesPerPiece = std::size_t{1} << 15;
constexpr std::size_t kIndicesPerPiece = std::size_t{1} << 16;

enum List : std::size_t { kPositions, kNormals, kTexcoords, kIndices, kListCount };

// The vertices [firstVertex, endVertex) and indices [firstIndex, endIndex), the length
// of their text in each list and where that text starts.
struct Piece {
  std::size_t firstVertex = 0, endVertex = 0, firstIndex = 0, endIndex = 0;
  std::array<std::size_t, kListCount> length{};
  std::array<std::size_t, kListCount> offset{};
};

float floatOf(std::uint32_t word) { return std::bit_cast<float>(word); }

// Calls number(value) for every number of one list of the piece, in document order:
// the stored components 0, 2, 1 (renderer axes back to model x, y, z), u and 1 - v,
// indices as signed 32-bit values. Measuring and writing share it, so they cannot
// disagree on what is written.
template <List L, class Number>
void forEachNumber(const MergedGeometry& merged, const Piece& piece, Number&& number) {
  if constexpr (L == kPositions || L == kNormals) {
    const std::uint32_t* words = L == kPositions ? merged.positionWords() : merged.normalWords();
    for (std::size_t v = piece.firstVertex; v < piece.endVertex; ++v) {
      number(floatOf(words[3 * v]));
      number(floatOf(words[3 * v + 2]));
      number(floatOf(words[3 * v + 1]));
    }
  } else if constexpr (L == kTexcoords) {
    const std::uint32_t* words = merged.uvWords();
    for (std::size_t v = piece.firstVertex; v < piece.endVertex; ++v) {
      number(floatOf(words[2 * v]));
      number(1.0f - floatOf(words[2 * v + 1]));
    }
  } else {
    const std::uint32_t* words = merged.indexWords();
    for (std::size_t i = piece.firstIndex; i < piece.endIndex; ++i) number(static_cast<std::int32_t>(words[i]));
  }
}

// "%.3f " of a float, "%d " of an index: length and text.
std::size_t lengthOf(float value) { return floatFixedLength<3>(value) + 1; }
std::size_t lengthOf(std::int32_t value) { return intLength(value) + 1; }
char* write(char* out, float value) { return writeFloatFixed<3>(out, value); }
char* write(char* out, std::int32_t value) { return writeInt(out, value); }

// Writes numbers with their blanks into a range measured for them. Far from the end
// they are formatted in place; the last few go through a buffer, so that the
// formatter's worst-case room is never assumed past the range.
class RangeWriter {
 public:
  RangeWriter(char* first, char* last) : pos_(first), end_(last) {}

  template <class Value>
  void operator()(Value value) {
    if (static_cast<std::size_t>(end_ - pos_) > kMaxFloatFixedChars) {
      pos_ = write(pos_, value);
      *pos_++ = ' ';
    } else {
      writeNearEnd(value);
    }
  }

  bool full() const { return pos_ == end_; }

 private:
  template <class Value>
  [[gnu::noinline]] void writeNearEnd(Value value) {
    char text[kMaxFloatFixedChars + 1];
    char* end = write(text, value);
    *end++ = ' ';
    const auto size = static_cast<std::size_t>(end - text);
    if (size > static_cast<std::size_t>(end_ - pos_)) throw std::logic_error("number text longer than measured");
    std::memcpy(pos_, text, size);
    pos_ += size;
  }

  char* pos_;
  char* end_;
};

template <List L>
void measureList(const MergedGeometry& merged, Piece& piece) {
  std::size_t length = 0;
  forEachNumber<L>(merged, piece, [&length](auto value) { length += lengthOf(value); });
  piece.length[L] = length;
}

void measurePiece(const MergedGeometry& merged, Piece& piece) {
  measureList<kPositions>(merged, piece);
  measureList<kNormals>(merged, piece);
  measureList<kTexcoords>(merged, piece);
  measureList<kIndices>(merged, piece);
}

template <List L>
void writeList(const MergedGeometry& merged, const Piece& piece, char* target) {
  char* first = target + piece.offset[L];
  RangeWriter out(first, first + piece.length[L]);
  forEachNumber<L>(merged, piece, out);
  if (!out.full()) throw std::logic_error("number text shorter than measured");
}

void writePiece(const MergedGeometry& merged, const Piece& piece, const std::array<char*, kListCount>& targets) {
  writeList<kPositions>(merged, piece, targets[kPositions]);
  writeList<kNormals>(merged, piece, targets[kNormals]);
  writeList<kTexcoords>(merged, piece, targets[kTexcoords]);
  writeList<kIndices>(merged, piece, targets[kIndices]);
}

// Runs fn on every piece, in parallel when there are several. Only memory can run out
// in the bodies (or a measuring bug show); the loop ends whole and the first failure
// is raised after it.
template <class Fn>
void forEachPiece(std::vector<Piece>& pieces, const Fn& fn) {
  if (pieces.size() == 1) {
    fn(pieces.front());
    return;
  }
  std::exception_ptr failure;
  std::atomic<bool> failed{false};
  vantro::scene::ParallelForEach(pieces.begin(), pieces.end(), [&](Piece& piece) {
    try {
      fn(piece);
    } catch (...) {
      if (!failed.exchange(true)) failure = std::current_exception();
    }
  });
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

void serializeGeometry(const MergedGeometry& merged, GeometryText& text, vantro::platform::PageArena& arena) {
  text.vertexCount = merged.vertexCount();
  text.indexCount = merged.indexCount();
  const std::size_t vertexCount = text.vertexCount;
  const std::size_t indexCount = text.indexCount;

  const std::size_t pieceCount =
      std::max({std::size_t{1}, (vertexCount + kVerticesPerPiece - 1) / kVerticesPerPiece,
                (indexCount + kIndicesPerPiece - 1) / kIndicesPerPiece});
  std::vector<Piece> pieces(pieceCount);
  for (std::size_t p = 0; p < pieceCount; ++p) {
    pieces[p].firstVertex = vertexCount * p / pieceCount;
    pieces[p].endVertex = vertexCount * (p + 1) / pieceCount;
    pieces[p].firstIndex = indexCount * p / pieceCount;
    pieces[p].endIndex = indexCount * (p + 1) / pieceCount;
  }

  // Measured first, so that every text is allocated once at exactly its size and each
  // piece formats straight into its place: nothing is joined, grown or trimmed.
  forEachPiece(pieces, [&merged](Piece& piece) { measurePiece(merged, piece); });
  std::array<std::string_view*, kListCount> texts = {&text.positions, &text.normals, &text.texcoords, &text.indices};
  std::array<char*, kListCount> targets{};
  std::array<std::size_t, kListCount> totals{};
  for (std::size_t list = 0; list < kListCount; ++list) {
    std::size_t& total = totals[list];
    for (Piece& piece : pieces) {
      piece.offset[list] = total;
      total += piece.length[list];
    }
    targets[list] = static_cast<char*>(arena.allocate(total));
  }
  forEachPiece(pieces, [&merged, &targets](const Piece& piece) { writePiece(merged, piece, targets); });
  for (std::size_t list = 0; list < kListCount; ++list) *texts[list] = std::string_view(targets[list], totals[list]);
}

}  // namespace vantro::collada
