#pragma once
// Measures for comparing two meshes of one surface: area, triangle count and the
// symmetric Hausdorff distance (sampled at vertices, edge midpoints and centroids,
// measured to the other mesh's triangles). Brute force over a coarse grid: test
// meshes are per face, thousands of triangles at most.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <tuple>
#include <vector>

#include "sdk/meshing/triangle_mesh.h"

namespace vantro::test {

struct Vec3 {
    double x = 0, y = 0, z = 0;
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator*(double s) const { return {x * s, y * s, z * s}; }
};
inline double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const Vec3& a) { return std::sqrt(dot(a, a)); }

struct Triangles {
    std::vector<std::array<Vec3, 3>> list;

    double area() const {
        double sum = 0;
        for (const auto& t : list)
            sum += 0.5 * length(cross(t[1] - t[0], t[2] - t[0]));
        return sum;
    }
    // Volume enclosed by a closed, outward-wound mesh (divergence theorem).
    double volume() const {
        double sum = 0;
        for (const auto& t : list)
            sum += dot(t[0], cross(t[1], t[2])) / 6.0;
        return sum;
    }
    void bounds(Vec3& lo, Vec3& hi) const {
        const double inf = std::numeric_limits<double>::max();
        lo = {inf, inf, inf};
        hi = {-inf, -inf, -inf};
        for (const auto& t : list) {
            for (const Vec3& p : t) {
                lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
                hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
            }
        }
    }
};

// Distance from p to triangle t (closest point by regions, after Ericson).
inline double pointTriangleDistance(const Vec3& p, const std::array<Vec3, 3>& t) {
    const Vec3 &a = t[0], &b = t[1], &c = t[2];
    const Vec3 ab = b - a, ac = c - a, ap = p - a;
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0 && d2 <= 0)
        return length(ap);
    const Vec3 bp = p - b;
    const double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3)
        return length(bp);
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0)
        return length(p - (a + ab * (d1 / (d1 - d3))));
    const Vec3 cp = p - c;
    const double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6)
        return length(cp);
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0)
        return length(p - (a + ac * (d2 / (d2 - d6))));
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
        return length(p - (b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)))));
    }
    const double denom = 1.0 / (va + vb + vc);
    return length(p - (a + ab * (vb * denom) + ac * (vc * denom)));
}

// Triangles bucketed in a uniform grid over a box, for nearest-triangle queries.
class TriangleGrid {
public:
    TriangleGrid(const Triangles& t, const Vec3& lo, const Vec3& hi) : t_(t), lo_(lo) {
        const Vec3 size = hi - lo;
        // Cells about as large as the triangles: a surface fills few cells of its box,
        // so cells sized by the box's volume leave a query searching empty ones.
        cell_ = std::max(2 * std::sqrt(t.area() / std::max<double>(1.0, double(t.list.size()))), 1e-9);
        cell_ = std::max(cell_, std::max({size.x, size.y, size.z}) / 256);
        n_[0] = cells(size.x), n_[1] = cells(size.y), n_[2] = cells(size.z);
        buckets_.resize(size_t(n_[0]) * n_[1] * n_[2]);
        for (size_t i = 0; i < t.list.size(); ++i) {
            int a[3], b[3];
            for (int k = 0; k < 3; ++k) {
                double mn = coord(t.list[i][0], k), mx = mn;
                for (const Vec3& p : t.list[i])
                    mn = std::min(mn, coord(p, k)), mx = std::max(mx, coord(p, k));
                a[k] = index(mn, k), b[k] = index(mx, k);
            }
            for (int x = a[0]; x <= b[0]; ++x)
                for (int y = a[1]; y <= b[1]; ++y)
                    for (int z = a[2]; z <= b[2]; ++z)
                        buckets_[flat(x, y, z)].push_back(i);
        }
    }
    // Distance from p (inside the grid's box) to the nearest triangle.
    double nearest(const Vec3& p) const {
        const int c[3] = {index(p.x, 0), index(p.y, 1), index(p.z, 2)};
        double best = std::numeric_limits<double>::max();
        const int maxRing = std::max({n_[0], n_[1], n_[2]});
        for (int r = 0; r <= maxRing; ++r) {
            for (int x = c[0] - r; x <= c[0] + r; ++x)
                for (int y = c[1] - r; y <= c[1] + r; ++y)
                    for (int z = c[2] - r; z <= c[2] + r; ++z) {
                        const bool shell =
                            std::abs(x - c[0]) == r || std::abs(y - c[1]) == r || std::abs(z - c[2]) == r;
                        if (!shell || x < 0 || y < 0 || z < 0 || x >= n_[0] || y >= n_[1] || z >= n_[2])
                            continue;
                        for (const size_t i : buckets_[flat(x, y, z)])
                            best = std::min(best, pointTriangleDistance(p, t_.list[i]));
                    }
            // Anything in a farther ring is at least r cells away.
            if (best <= r * cell_)
                break;
        }
        return best;
    }

private:
    static double coord(const Vec3& p, int k) { return k == 0 ? p.x : k == 1 ? p.y : p.z; }
    int cells(double extent) const { return std::clamp(int(extent / cell_) + 1, 1, 256); }
    int index(double v, int k) const { return std::clamp(int((v - coord(lo_, k)) / cell_), 0, n_[k] - 1); }
    size_t flat(int x, int y, int z) const { return (size_t(x) * n_[1] + y) * n_[2] + z; }

    const Triangles& t_;
    Vec3 lo_;
    double cell_ = 1;
    int n_[3] = {1, 1, 1};
    std::vector<std::vector<size_t>> buckets_;
};

// One-sided: the largest distance from samples of `from` (vertices, an edge midpoint,
// centroids) to the triangles of `to`.
inline double directedHausdorff(const Triangles& from, const Triangles& to) {
    if (from.list.empty() || to.list.empty())
        return std::numeric_limits<double>::infinity();
    Vec3 lo1, hi1, lo2, hi2;
    from.bounds(lo1, hi1);
    to.bounds(lo2, hi2);
    const Vec3 lo{std::min(lo1.x, lo2.x), std::min(lo1.y, lo2.y), std::min(lo1.z, lo2.z)};
    const Vec3 hi{std::max(hi1.x, hi2.x), std::max(hi1.y, hi2.y), std::max(hi1.z, hi2.z)};
    const TriangleGrid grid(to, lo, hi);
    double worst = 0;
    for (const auto& t : from.list) {
        for (const Vec3& p : {t[0], (t[0] + t[1]) * 0.5, (t[0] + t[1] + t[2]) * (1.0 / 3.0)}) {
            worst = std::max(worst, grid.nearest(p));
        }
    }
    return worst;
}

inline double hausdorff(const Triangles& a, const Triangles& b) {
    return std::max(directedHausdorff(a, b), directedHausdorff(b, a));
}

// The length of a mesh's boundary: edges that only one triangle has. Vertices are
// matched by position, so a mesh split along a seam or a crease has no boundary there.
inline double boundaryLength(const Triangles& t) {
    std::map<std::array<double, 6>, int> uses;  // an edge's ends, the lesser first
    for (const auto& tri : t.list) {
        for (int i = 0; i < 3; ++i) {
            Vec3 a = tri[i], b = tri[(i + 1) % 3];
            if (std::tie(b.x, b.y, b.z) < std::tie(a.x, a.y, a.z))
                std::swap(a, b);
            ++uses[{a.x, a.y, a.z, b.x, b.y, b.z}];
        }
    }
    double sum = 0;
    for (const auto& [c, n] : uses) {
        if (n == 1)
            sum += length(Vec3{c[0], c[1], c[2]} - Vec3{c[3], c[4], c[5]});
    }
    return sum;
}

// The host mesher's output as triangles to measure.
inline Triangles trianglesOf(const vantro::meshing::TriangleMesh& m) {
    Triangles t;
    auto at = [&](int32_t i) {
        const float* p = &m.vertices[3 * static_cast<size_t>(i)];
        return Vec3{p[0], p[1], p[2]};
    };
    for (size_t k = 0; k + 2 < m.triangles.size(); k += 3)
        t.list.push_back({at(m.triangles[k]), at(m.triangles[k + 1]), at(m.triangles[k + 2])});
    return t;
}

}  // namespace vantro::test
