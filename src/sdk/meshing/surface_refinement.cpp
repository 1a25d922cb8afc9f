#include "surface_refinement.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>

namespace vantro::meshing {
namespace {

// Each round halves the edges it splits, which brings a chord's distance to the
// surface down about fourfold: enough for a fan ten times over the tolerance.
constexpr int kRounds = 4;

uint64_t edgeKey(int a, int b) {
    if (a > b)
        std::swap(a, b);
    return (uint64_t(uint32_t(a)) << 32) | uint32_t(b);
}

struct Edge {
    int uses = 0;
    int middle = -1;  // the point added on it, if split
};

// The surface point nearest the middle of the chord a-b, added, when the chord
// strays further than the tolerance from the surface; -1 otherwise. The surface
// point at the middle of the parameters settles it cheaply when it lies within
// tolerance of the chord's middle. A nearest point further from the chord than half
// its length lies on another part of the surface: no split there.
int splitPoint(const RefinedSurface& s, SurfaceTriangulation& mesh, int a, int b) {
    const gp_Pnt pa = mesh.points[size_t(a)];
    const gp_Pnt pb = mesh.points[size_t(b)];
    const gp_Pnt chord((pa.XYZ() + pb.XYZ()) * 0.5);
    const gp_Pnt2d hint((mesh.uvs[size_t(a)].XY() + mesh.uvs[size_t(b)].XY()) * 0.5);
    if (s.surface->Value(hint.X(), hint.Y()).Distance(chord) <= s.tolerance)
        return -1;
    const gp_Pnt2d uv = s.analysis->NextValueOfUV(hint, chord, 0.01 * s.tolerance);
    const gp_Pnt onSurface = s.surface->Value(uv.X(), uv.Y());
    const double off = onSurface.Distance(chord);
    if (off <= s.tolerance || off > 0.5 * pa.Distance(pb))
        return -1;
    mesh.points.push_back(onSurface);
    mesh.uvs.push_back(uv);
    return static_cast<int>(mesh.points.size() - 1);
}

// A triangle with some of its edges split, in its own winding: all three split
// give four triangles; one or two, a fan from the first point added.
void splitTriangle(const std::array<int, 3>& corner, const std::array<int, 3>& middle, std::vector<int>& out) {
    const size_t splits = size_t(std::count_if(middle.begin(), middle.end(), [](int m) { return m >= 0; }));
    if (splits == 0) {
        out.insert(out.end(), corner.begin(), corner.end());
        return;
    }
    if (splits == 3) {
        out.insert(out.end(), {corner[0], middle[0], middle[2], middle[0], corner[1], middle[1], middle[2], middle[1],
                               corner[2], middle[0], middle[1], middle[2]});
        return;
    }
    std::array<int, 5> ring{};
    size_t n = 0, first = ring.size();
    for (size_t k = 0; k < 3; ++k) {
        ring[n++] = corner[k];
        if (middle[k] >= 0) {
            first = std::min(first, n);
            ring[n++] = middle[k];
        }
    }
    for (size_t k = 1; k + 1 < n; ++k)
        out.insert(out.end(), {ring[first], ring[(first + k) % n], ring[(first + k + 1) % n]});
}

// Edges between points older than firstNew were measured in an earlier round and
// left whole: only edges reaching a point added since are measured.
bool refineOnce(const RefinedSurface& s, SurfaceTriangulation& mesh, size_t firstNew) {
    std::unordered_map<uint64_t, Edge> edges;
    edges.reserve(mesh.triangles.size());
    for (size_t t = 0; t < mesh.triangles.size(); t += 3)
        for (size_t k = 0; k < 3; ++k)
            ++edges[edgeKey(mesh.triangles[t + k], mesh.triangles[t + (k + 1) % 3])].uses;
    bool split = false;
    for (auto& [key, edge] : edges) {
        const int a = int(key >> 32), b = int(key & 0xffffffffu);
        if (edge.uses != 2 || std::max(size_t(a), size_t(b)) < firstNew)
            continue;
        edge.middle = splitPoint(s, mesh, a, b);
        split = split || edge.middle >= 0;
    }
    if (!split)
        return false;
    std::vector<int> out;
    out.reserve(mesh.triangles.size() * 2);
    for (size_t t = 0; t < mesh.triangles.size(); t += 3) {
        const std::array<int, 3> corner{mesh.triangles[t], mesh.triangles[t + 1], mesh.triangles[t + 2]};
        std::array<int, 3> middle{};
        for (size_t k = 0; k < 3; ++k)
            middle[k] = edges.at(edgeKey(corner[k], corner[(k + 1) % 3])).middle;
        splitTriangle(corner, middle, out);
    }
    mesh.triangles = std::move(out);
    return true;
}

}  // namespace

size_t refineToSurface(const RefinedSurface& surface, SurfaceTriangulation& mesh) {
    const size_t before = mesh.points.size();
    size_t firstNew = 0;
    for (int round = 0; round < kRounds; ++round) {
        const size_t count = mesh.points.size();
        if (!refineOnce(surface, mesh, firstNew))
            break;
        firstNew = count;
    }
    return mesh.points.size() - before;
}

}  // namespace vantro::meshing
