#pragma once
// Measures of triangle meshes for the mesher's tests: area, enclosed volume, bounds
// and the length of the boundary.

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
