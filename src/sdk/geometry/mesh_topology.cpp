#include "geometry/mesh_topology.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

namespace vantro::sdk {
namespace {

struct PointBits {
    uint32_t x, y, z;
    bool operator==(const PointBits&) const = default;
};

PointBits bitsOf(const ON_3fPoint& p) {
    // Adding 0 turns -0 into +0 so that both count as the same position.
    return {std::bit_cast<uint32_t>(p.x + 0.0f), std::bit_cast<uint32_t>(p.y + 0.0f),
            std::bit_cast<uint32_t>(p.z + 0.0f)};
}

uint64_t hashOf(const PointBits& b) {
    uint64_t h = b.x * 0x9E3779B97F4A7C15ULL;
    h ^= b.y * 0xC2B2AE3D27D4EB4FULL;
    h ^= b.z * 0x165667B19E3779F9ULL;
    return h ^ (h >> 31);
}

// topo[i] = the first vertex at vertex i's position. An open-addressing table of
// vertex indices, sized to stay at most half full.
void weldVertices(std::span<const ON_3fPoint> vertices, int32_t* topo) {
    const size_t capacity = std::bit_ceil(std::max<size_t>(16, 2 * vertices.size()));
    const size_t mask = capacity - 1;
    const std::unique_ptr<int32_t[]> slots(new int32_t[capacity]);
    std::fill_n(slots.get(), capacity, -1);
    for (size_t i = 0; i < vertices.size(); ++i) {
        const PointBits key = bitsOf(vertices[i]);
        for (size_t s = hashOf(key) & mask;; s = (s + 1) & mask) {
            const int32_t held = slots[s];
            if (held < 0) {
                slots[s] = static_cast<int32_t>(i);
                topo[i] = static_cast<int32_t>(i);
                break;
            }
            if (bitsOf(vertices[static_cast<size_t>(held)]) == key) {
                topo[i] = held;
                break;
            }
        }
    }
}

// One use of an edge by a face: its low end in the upper half, then the entry
// (high end << 1) | (1 when the face runs from low to high). Branch-free, because which
// end is lower is a coin toss from edge to edge.
uint64_t edgeUse(int32_t a, int32_t b) {
    const uint32_t ua = static_cast<uint32_t>(a), ub = static_cast<uint32_t>(b);
    const uint32_t forward = ua < ub ? 1u : 0u;
    const uint32_t low = forward ? ua : ub;
    const uint32_t high = ua ^ ub ^ low;
    return (uint64_t{low} << 32) | (high << 1) | forward;
}

// Every use of every edge of the faces over topological vertices, collapsed edges left
// out (they bound nothing), with the bucket sizes counted into bucketEnd[low + 1]. The
// faces are known to be in range. Returns the number of uses written.
size_t collectEdgeUses(std::span<const ON_MeshFace> faces, const int32_t* topo, uint64_t* uses, uint32_t* bucketEnd) {
    size_t count = 0;
    auto add = [&](int32_t a, int32_t b) {
        if (a == b)
            return;
        const uint64_t use = edgeUse(a, b);
        uses[count++] = use;
        ++bucketEnd[(use >> 32) + 1];
    };
    for (const ON_MeshFace& f : faces) {
        const int32_t a = topo[f.vi[0]], b = topo[f.vi[1]], c = topo[f.vi[2]];
        add(a, b);
        add(b, c);
        if (f.IsQuad()) {
            const int32_t d = topo[f.vi[3]];
            add(c, d);
            add(d, a);
        } else {
            add(c, a);
        }
    }
    return count;
}

struct EdgeVerdict {
    bool closed = true;    // every edge used at least twice
    bool oriented = true;  // every edge used exactly twice, once each way
};

// An edge's uses while the bucket of its low end is judged, indexed by its high end:
// the tally belongs to the bucket of `low`, and counts at most 3 (only 0, 1, 2 and
// "more" matter).
struct EdgeTally {
    uint32_t low = UINT32_MAX;
    uint16_t uses = 0;
    uint16_t forward = 0;
};

// Judges the edges of the bucket of `low`: every entry is (high end << 1) | (1 when the
// face runs from low to high). Tallies each edge, then reads each edge's tally; both
// loops are free of data-dependent branches, as the buckets are short and the outcomes
// of such branches would be random.
void judgeBucket(uint32_t low, const uint32_t* first, const uint32_t* last, EdgeTally* tallies, EdgeVerdict& verdict) {
    for (const uint32_t* e = first; e < last; ++e) {
        EdgeTally& t = tallies[*e >> 1];
        const uint16_t same = t.low == low ? 1 : 0;
        t.uses = std::min<uint16_t>(static_cast<uint16_t>(same * t.uses + 1), 3);
        t.forward = std::min<uint16_t>(static_cast<uint16_t>(same * t.forward + (*e & 1)), 3);
        t.low = low;
    }
    bool closed = true, oriented = true;
    for (const uint32_t* e = first; e < last; ++e) {
        const EdgeTally& t = tallies[*e >> 1];
        closed &= t.uses >= 2;
        oriented &= t.uses == 2 && t.forward == 1;
    }
    verdict.closed = verdict.closed && closed;
    verdict.oriented = verdict.oriented && oriented;
}

// Six times the enclosed volume (divergence theorem): positive when the winding, and
// so the normals, faces outward. The sign counts only beyond a tolerance relative to
// the mesh's extent.
int orientationOf(std::span<const ON_3fPoint> vertices, std::span<const ON_MeshFace> faces) {
    double extent = 0.0;
    for (const ON_3fPoint& p : vertices)
        extent = std::max({extent, std::fabs(double(p.x)), std::fabs(double(p.y)), std::fabs(double(p.z))});
    struct D3 {
        double x, y, z;
    };
    auto at = [&](int i) {
        const ON_3fPoint& p = vertices[static_cast<size_t>(i)];
        return D3{p.x, p.y, p.z};
    };
    auto tripleProduct = [](const D3& a, const D3& b, const D3& c) {
        const D3 n{b.y * c.z - b.z * c.y, b.z * c.x - b.x * c.z, b.x * c.y - b.y * c.x};
        return a.x * n.x + a.y * n.y + a.z * n.z;
    };
    double volume6 = 0.0;
    for (const ON_MeshFace& f : faces) {
        const D3 a = at(f.vi[0]), b = at(f.vi[1]), c = at(f.vi[2]);
        volume6 += tripleProduct(a, b, c);
        if (f.IsQuad())
            volume6 += tripleProduct(a, c, at(f.vi[3]));
    }
    const double tiny = 1e-12 * extent * extent * extent;
    if (volume6 > tiny)
        return 1;
    if (volume6 < -tiny)
        return -1;
    return 0;
}

}  // namespace

MeshTopologySummary analyseMeshTopology(std::span<const ON_3fPoint> vertices, std::span<const ON_MeshFace> faces) {
    const size_t vertexCount = vertices.size();
    if (faces.empty())
        return {};
    // All four indices of every face, a triangle's repeated third one included: the
    // same verdict as checking its three corners, without a branch per corner. The
    // corners are counted on the way (three per face, four per quad).
    bool outside = false;
    size_t quads = 0;
    for (const ON_MeshFace& f : faces) {
        for (int k = 0; k < 4; ++k)
            outside |= static_cast<uint32_t>(f.vi[k]) >= vertexCount;
        quads += f.IsQuad() ? 1 : 0;
    }
    if (outside)
        return {};
    const size_t cornerTotal = 3 * faces.size() + quads;

    const std::unique_ptr<int32_t[]> topo(new int32_t[vertexCount]);
    weldVertices(vertices, topo.get());

    // Counting sort of the edge uses by their low end: bucket sizes, offsets, scatter.
    const std::unique_ptr<uint64_t[]> uses(new uint64_t[cornerTotal]);
    const std::unique_ptr<uint32_t[]> bucketEnd(new uint32_t[vertexCount + 1]());
    const size_t useCount = collectEdgeUses(faces, topo.get(), uses.get(), bucketEnd.get());
    if (useCount == 0)
        return {};
    // Four corners per face at most and fewer than 2^31 faces: the sums fit 32 bits.
    for (size_t v = 0; v < vertexCount; ++v)
        bucketEnd[v + 1] += bucketEnd[v];
    const std::unique_ptr<uint32_t[]> entries(new uint32_t[useCount]);
    // bucketEnd[low] runs up from the bucket's start to its end (the next one's start).
    for (size_t i = 0; i < useCount; ++i)
        entries[bucketEnd[uses[i] >> 32]++] = static_cast<uint32_t>(uses[i]);

    EdgeVerdict verdict;
    const std::unique_ptr<EdgeTally[]> tallies(new EdgeTally[vertexCount]);
    uint32_t start = 0;
    for (size_t v = 0; v < vertexCount && verdict.closed; ++v) {
        const uint32_t end = bucketEnd[v];
        judgeBucket(static_cast<uint32_t>(v), &entries[start], &entries[end], tallies.get(), verdict);
        start = end;
    }
    if (!verdict.closed)
        return {};
    return {true, verdict.oriented ? orientationOf(vertices, faces) : 0};
}

namespace {

constexpr uint64_t kDigestPrime = 0x9E3779B97F4A7C15ULL;

uint64_t mixWord(uint64_t lane, uint64_t word) { return std::rotl((lane ^ word) * kDigestPrime, 29); }

uint64_t wordAt(const unsigned char* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
    return word;
}

// Four independent lanes, each a bijective multiply-mix of its own 8-byte words, so
// that the four multiplications of each 32 bytes overlap; kept in locals (not an array
// the compiler would keep in memory) so that each lane's chain stays in a register.
struct DigestLanes {
    uint64_t a = 0x243F6A8885A308D3ULL, b = 0x13198A2E03707344ULL, c = 0xA4093822299F31D0ULL, d = 0x082EFA98EC4E6C89ULL;
};

DigestLanes mixBytes(DigestLanes lanes, const unsigned char* bytes, size_t size) {
    uint64_t a = lanes.a, b = lanes.b, c = lanes.c, d = lanes.d;
    size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        a = mixWord(a, wordAt(bytes + i));
        b = mixWord(b, wordAt(bytes + i + 8));
        c = mixWord(c, wordAt(bytes + i + 16));
        d = mixWord(d, wordAt(bytes + i + 24));
    }
    for (; i < size; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes + i, std::min<size_t>(8, size - i));
        a = mixWord(a, word);
    }
    return {a, b, c, d};
}

}  // namespace

uint64_t meshShapeDigest(std::span<const ON_3fPoint> vertices, std::span<const ON_MeshFace> faces) {
    static_assert(sizeof(ON_3fPoint) == 12 && sizeof(ON_MeshFace) == 16);
    DigestLanes lanes = mixBytes({}, reinterpret_cast<const unsigned char*>(vertices.data()), vertices.size_bytes());
    lanes.b ^= vertices.size();
    lanes = mixBytes(lanes, reinterpret_cast<const unsigned char*>(faces.data()), faces.size_bytes());
    lanes.c ^= faces.size();
    uint64_t h = 0;
    for (uint64_t lane : {lanes.a, lanes.b, lanes.c, lanes.d})
        h = std::rotl((h ^ lane) * kDigestPrime, 31);
    return h ^ (h >> 32);
}

}  // namespace vantro::sdk
