#include "collada/geometry_text.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "fixed_format.h"
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
    std::uint64_t collapsed = 0;  // triangles starting in [firstIndex, endIndex) that collapse
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
        for (std::size_t i = piece.firstIndex; i < piece.endIndex; ++i)
            number(static_cast<std::int32_t>(words[i]));
    }
}

// "%.<D>f " of a float, "%d " of an index: length and text.
template <int D>
struct NumberText {
    static std::size_t lengthOf(float value) { return floatFixedLength<D>(value) + 1; }
    static std::size_t lengthOf(std::int32_t value) { return intLength(value) + 1; }
    static char* write(char* out, float value) { return writeFloatFixed<D>(out, value); }
    static char* write(char* out, std::int32_t value) { return writeInt(out, value); }
};

// Writes numbers with their blanks into a range measured for them. Far from the end
// they are formatted in place; the last few go through a buffer, so that the
// formatter's worst-case room is never assumed past the range.
template <int D>
class RangeWriter {
public:
    RangeWriter(char* first, char* last) : pos_(first), end_(last) {}

    template <class Value>
    void operator()(Value value) {
        if (static_cast<std::size_t>(end_ - pos_) > kMaxFloatFixedChars) {
            pos_ = NumberText<D>::write(pos_, value);
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
        char* end = NumberText<D>::write(text, value);
        *end++ = ' ';
        const auto size = static_cast<std::size_t>(end - text);
        if (size > static_cast<std::size_t>(end_ - pos_))
            throw std::logic_error("number text longer than measured");
        std::memcpy(pos_, text, size);
        pos_ += size;
    }

    char* pos_;
    char* end_;
};

template <int D, List L>
void measureList(const MergedGeometry& merged, Piece& piece) {
    std::size_t length = 0;
    forEachNumber<L>(merged, piece, [&length](auto value) { length += NumberText<D>::lengthOf(value); });
    piece.length[L] = length;
}

// A coordinate on the grid of D decimals: its "%.<D>f" value times 10^D, exactly (the
// product of a float and 10^D is exact in a double, and the rounding is the
// formatter's, ties to even). Beyond the formatter's fast range no model lies; there
// the scaled value itself stands in.
template <int D>
double gridOf(float value) {
    const double x = value;
    const double magnitude = std::fabs(x);
    constexpr auto kScale = static_cast<double>(detail::kScale<D>);
    if (!(magnitude < detail::kFloatLimit<D>))
        return x * kScale;
    return std::copysign((magnitude * kScale + 0x1p52) - 0x1p52, x);
}

// Whether the cross product of (b - a) and (c - a) is zero, for grid points (whole
// numbers below 10^15 in magnitude): in doubles while every product is exact, else in
// 128-bit integers.
bool crossIsZero(const std::array<double, 3>& a, const std::array<double, 3>& b, const std::array<double, 3>& c) {
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    constexpr double kExactBelow = 0x1p26;
    bool small = true;
    for (int i = 0; i < 3; ++i)
        small = small && std::fabs(u[i]) < kExactBelow && std::fabs(v[i]) < kExactBelow;
    if (small) {
        return u[1] * v[2] == u[2] * v[1] && u[2] * v[0] == u[0] * v[2] && u[0] * v[1] == u[1] * v[0];
    }
    __int128 p[3], q[3];
    for (int i = 0; i < 3; ++i) {
        p[i] = static_cast<__int128>(static_cast<std::int64_t>(u[i]));
        q[i] = static_cast<__int128>(static_cast<std::int64_t>(v[i]));
    }
    return p[1] * q[2] == p[2] * q[1] && p[2] * q[0] == p[0] * q[2] && p[0] * q[1] == p[1] * q[0];
}

bool finite(const float* p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

template <int D>
bool collapses(const float* a, const float* b, const float* c) {
    if (!finite(a) || !finite(b) || !finite(c))
        return false;
    const double u[3] = {double{b[0]} - a[0], double{b[1]} - a[1], double{b[2]} - a[2]};
    const double v[3] = {double{c[0]} - a[0], double{c[1]} - a[1], double{c[2]} - a[2]};
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double area2 = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];  // (twice the area)^2
    if (area2 == 0)
        return false;  // no area to lose
    // Rounding moves each corner by at most sqrt(3)/2 of a grid step h, so a triangle
    // whose smallest altitude (twice its area over its longest edge) exceeds sqrt(3) h
    // keeps its area. Most triangles are far above that: only the rest, with a margin of
    // two, are rounded and tested exactly.
    const double w[3] = {v[0] - u[0], v[1] - u[1], v[2] - u[2]};
    const double longest2 = std::max({u[0] * u[0] + u[1] * u[1] + u[2] * u[2], v[0] * v[0] + v[1] * v[1] + v[2] * v[2],
                                      w[0] * w[0] + w[1] * w[1] + w[2] * w[2]});
    constexpr double kStep = 1.0 / static_cast<double>(detail::kScale<D>);
    if (area2 > 12.0 * kStep * kStep * longest2)
        return false;
    const auto grid = [](const float* p) {
        return std::array<double, 3>{gridOf<D>(p[0]), gridOf<D>(p[1]), gridOf<D>(p[2])};
    };
    return crossIsZero(grid(a), grid(b), grid(c));
}

// Counts the collapsing triangles among those whose first index lies in the piece. A
// triangle naming a vertex that does not exist is left out (the scene never makes one).
template <int D>
void countCollapsed(const MergedGeometry& merged, Piece& piece) {
    const std::size_t vertexCount = merged.vertexCount();
    const std::size_t indexCount = merged.indexCount() / 3 * 3;
    const std::uint32_t* indices = merged.indexWords();
    const std::uint32_t* words = merged.positionWords();
    const auto point = [words](std::uint32_t v) {
        const std::size_t at = 3 * std::size_t{v};
        return std::array<float, 3>{floatOf(words[at]), floatOf(words[at + 1]), floatOf(words[at + 2])};
    };
    std::uint64_t collapsed = 0;
    for (std::size_t i = (piece.firstIndex + 2) / 3 * 3; i < piece.endIndex && i < indexCount; i += 3) {
        const std::uint32_t a = indices[i], b = indices[i + 1], c = indices[i + 2];
        if (a >= vertexCount || b >= vertexCount || c >= vertexCount)
            continue;
        collapsed += collapses<D>(point(a).data(), point(b).data(), point(c).data()) ? 1 : 0;
    }
    piece.collapsed = collapsed;
}

template <int D>
void measurePiece(const MergedGeometry& merged, Piece& piece) {
    measureList<D, kPositions>(merged, piece);
    measureList<D, kNormals>(merged, piece);
    measureList<D, kTexcoords>(merged, piece);
    measureList<D, kIndices>(merged, piece);
    countCollapsed<D>(merged, piece);
}

template <int D, List L>
void writeList(const MergedGeometry& merged, const Piece& piece, char* target) {
    char* first = target + piece.offset[L];
    RangeWriter<D> out(first, first + piece.length[L]);
    forEachNumber<L>(merged, piece, out);
    if (!out.full())
        throw std::logic_error("number text shorter than measured");
}

template <int D>
void writePiece(const MergedGeometry& merged, const Piece& piece, const std::array<char*, kListCount>& targets) {
    writeList<D, kPositions>(merged, piece, targets[kPositions]);
    writeList<D, kNormals>(merged, piece, targets[kNormals]);
    writeList<D, kTexcoords>(merged, piece, targets[kTexcoords]);
    writeList<D, kIndices>(merged, piece, targets[kIndices]);
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
            if (!failed.exchange(true))
                failure = std::current_exception();
        }
    });
    if (failure)
        std::rethrow_exception(failure);
}

template <int D>
void serializeAt(const MergedGeometry& merged, GeometryText& text, ScratchMemory memory) {
    text.vertexCount = merged.vertexCount();
    text.indexCount = merged.indexCount();
    const std::size_t vertexCount = text.vertexCount;
    const std::size_t indexCount = text.indexCount;

    const std::size_t pieceCount = std::max({std::size_t{1}, (vertexCount + kVerticesPerPiece - 1) / kVerticesPerPiece,
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
    forEachPiece(pieces, [&merged](Piece& piece) { measurePiece<D>(merged, piece); });
    std::array<std::string_view*, kListCount> texts = {&text.positions, &text.normals, &text.texcoords, &text.indices};
    std::array<char*, kListCount> targets{};
    std::array<std::size_t, kListCount> totals{};
    for (std::size_t list = 0; list < kListCount; ++list) {
        std::size_t& total = totals[list];
        for (Piece& piece : pieces) {
            piece.offset[list] = total;
            total += piece.length[list];
        }
        targets[list] = static_cast<char*>(memory.allocate(total));
    }
    forEachPiece(pieces, [&merged, &targets](const Piece& piece) { writePiece<D>(merged, piece, targets); });
    for (std::size_t list = 0; list < kListCount; ++list)
        *texts[list] = std::string_view(targets[list], totals[list]);
    text.collapsedTriangles = 0;
    for (const Piece& piece : pieces)
        text.collapsedTriangles += piece.collapsed;
}

}  // namespace

void serializeGeometry(const MergedGeometry& merged, GeometryText& text, ScratchMemory memory, int decimals) {
    switch (decimals) {
        case 0: return serializeAt<0>(merged, text, memory);
        case 1: return serializeAt<1>(merged, text, memory);
        case 2: return serializeAt<2>(merged, text, memory);
        case 3: return serializeAt<3>(merged, text, memory);
        case 4: return serializeAt<4>(merged, text, memory);
        case 5: return serializeAt<5>(merged, text, memory);
        case 6: return serializeAt<6>(merged, text, memory);
        default: throw std::invalid_argument("decimals must be 0 to 6");
    }
}

bool collapsesAt(const float* a, const float* b, const float* c, int decimals) {
    switch (decimals) {
        case 0: return collapses<0>(a, b, c);
        case 1: return collapses<1>(a, b, c);
        case 2: return collapses<2>(a, b, c);
        case 3: return collapses<3>(a, b, c);
        case 4: return collapses<4>(a, b, c);
        case 5: return collapses<5>(a, b, c);
        case 6: return collapses<6>(a, b, c);
        default: throw std::invalid_argument("decimals must be 0 to 6");
    }
}

}  // namespace vantro::collada
