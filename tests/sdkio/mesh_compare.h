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
#include <unordered_map>
#include <vector>

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
        for (const auto& t : list) sum += 0.5 * length(cross(t[1] - t[0], t[2] - t[0]));
        return sum;
    }
    // Volume enclosed by a closed, outward-wound mesh (divergence theorem).
    double volume() const {
        double sum = 0;
        for (const auto& t : list) sum += dot(t[0], cross(t[1], t[2])) / 6.0;
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
    if (d1 <= 0 && d2 <= 0) return length(ap);
    const Vec3 bp = p - b;
    const double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return length(bp);
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return length(p - (a + ab * (d1 / (d1 - d3))));
    const Vec3 cp = p - c;
    const double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return length(cp);
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return length(p - (a + ac * (d2 / (d2 - d6))));
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
        return length(p - (b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)))));
    }
    const double denom = 1.0 / (va + vb + vc);
    return length(p - (a + ab * (vb * denom) + ac * (vc * denom)));
}

// One-sided: the largest distance from samples of `from` to the triangles of `to`.
inline double directedHausdorff(const Triangles& from, const Triangles& to) {
    double worst = 0;
    auto sample = [&](const Vec3& p) {
        double best = std::numeric_limits<double>::max();
        for (const auto& t : to.list) {
            best = std::min(best, pointTriangleDistance(p, t));
            if (best <= worst) return;  // cannot raise the maximum
        }
        worst = std::max(worst, best);
    };
    for (const auto& t : from.list) {
        sample(t[0]);
        sample((t[0] + t[1]) * 0.5);
        sample((t[0] + t[1] + t[2]) * (1.0 / 3.0));
    }
    return worst;
}

inline double hausdorff(const Triangles& a, const Triangles& b) {
    return std::max(directedHausdorff(a, b), directedHausdorff(b, a));
}

}  // namespace vantro::test
