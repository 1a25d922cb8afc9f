#include "mesh_motion.h"

#include <algorithm>
#include <cmath>

#include "sdk/geometry/on_mesh.h"
#include "sdk/geometry/on_point.h"

namespace vantro::host {

namespace {

using Points = std::vector<ON_3dPoint>;

ON_3dPoint point(const ON_3fPoint& p) { return {p.x, p.y, p.z}; }

double component(const ON_3dVector& v, int r) { return r == 0 ? v.x : r == 1 ? v.y : v.z; }

bool sameShape(const std::vector<const ON_Mesh*>& before, const std::vector<const ON_Mesh*>& after, Points& from,
               Points& to) {
    if (before.size() != after.size())
        return false;
    for (size_t m = 0; m < before.size(); ++m) {
        const ON_Mesh* a = before[m];
        const ON_Mesh* b = after[m];
        if (!a || !b)
            return !a && !b;
        if (a->VertexCount() != b->VertexCount() || !(a->m_F == b->m_F))
            return false;
        for (int i = 0; i < a->VertexCount(); ++i) {
            from.push_back(point(a->m_V[i]));
            to.push_back(point(b->m_V[i]));
        }
    }
    return !from.empty();
}

size_t farthest(const Points& points, auto distance) {
    size_t best = 0;
    double most = -1;
    for (size_t i = 0; i < points.size(); ++i) {
        const double d = distance(points[i]);
        if (d > most)
            most = d, best = i;
    }
    return best;
}

// Three edge vectors from the first point that span space: the two farthest-reaching
// edges and, for flat meshes, their cross product scaled to their size (a motion that
// keeps angles carries it along with them).
bool frame(const Points& p, size_t o, size_t a, size_t b, size_t c, ON_3dVector (&e)[3]) {
    e[0] = p[a] - p[o];
    e[1] = p[b] - p[o];
    e[2] = p[c] - p[o];
    const ON_3dVector normal = ON_CrossProduct(e[0], e[1]);
    const double area = normal.Length();
    if (area == 0)
        return false;
    const double flatness = std::fabs(normal * e[2]) / (area * std::max(e[0].Length(), 1e-300));
    if (flatness < 1e-6)
        e[2] = normal * (1 / std::sqrt(area));
    return true;
}

// Rows of the 3x3 inverse of the matrix whose columns are e; false when singular.
bool invert(const ON_3dVector (&e)[3], ON_3dVector (&rows)[3]) {
    const ON_3dVector c0 = ON_CrossProduct(e[1], e[2]);
    const double det = e[0] * c0;
    if (det == 0 || !std::isfinite(det))
        return false;
    rows[0] = c0 * (1 / det);
    rows[1] = ON_CrossProduct(e[2], e[0]) * (1 / det);
    rows[2] = ON_CrossProduct(e[0], e[1]) * (1 / det);
    return true;
}

}  // namespace

std::optional<ON_Xform> findMeshMotion(const std::vector<const ON_Mesh*>& before,
                                       const std::vector<const ON_Mesh*>& after) {
    Points from, to;
    if (!sameShape(before, after, from, to))
        return std::nullopt;
    const size_t o = 0;
    const size_t a = farthest(from, [&](const ON_3dPoint& q) { return q.DistanceTo(from[o]); });
    const ON_3dVector axis = from[a] - from[o];
    if (axis.Length() == 0)
        return std::nullopt;
    const size_t b = farthest(from, [&](const ON_3dPoint& q) { return ON_CrossProduct(q - from[o], axis).Length(); });
    const ON_3dVector side = ON_CrossProduct(axis, from[b] - from[o]);
    const size_t c = farthest(from, [&](const ON_3dPoint& q) { return std::fabs((q - from[o]) * side); });
    ON_3dVector e[3], f[3], inverse[3];
    if (!frame(from, o, a, b, c, e) || !frame(to, o, a, b, c, f) || !invert(e, inverse))
        return std::nullopt;
    // The linear part maps each e onto its f: L = F * E^-1.
    ON_Xform x = ON_Xform::IdentityTransformation;
    for (int r = 0; r < 3; ++r) {
        const ON_3dVector row =
            inverse[0] * component(f[0], r) + inverse[1] * component(f[1], r) + inverse[2] * component(f[2], r);
        x[r][0] = row.x, x[r][1] = row.y, x[r][2] = row.z;
    }
    const ON_3dPoint moved = x * from[o];
    x[0][3] = to[o].x - moved.x, x[1][3] = to[o].y - moved.y, x[2][3] = to[o].z - moved.z;
    if (!x.IsValid())
        return std::nullopt;
    double size = axis.Length() + (to[a] - to[o]).Length();
    for (const ON_3dPoint& p : to)
        size = std::max(size, std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z));
    const double tolerance = 1e-6 * size;
    for (size_t i = 0; i < from.size(); ++i)
        if ((x * from[i]).DistanceTo(to[i]) > tolerance)
            return std::nullopt;
    return x;
}

bool keepsShape(const ON_Xform& x) {
    const ON_3dVector c[3] = {{x[0][0], x[1][0], x[2][0]}, {x[0][1], x[1][1], x[2][1]}, {x[0][2], x[1][2], x[2][2]}};
    const double scale = c[0] * c[0];
    if (!(scale > 0) || x[3][0] != 0 || x[3][1] != 0 || x[3][2] != 0 || x[3][3] != 1)
        return false;
    const double tolerance = 1e-4 * scale;
    return std::fabs(c[1] * c[1] - scale) <= tolerance && std::fabs(c[2] * c[2] - scale) <= tolerance &&
           std::fabs(c[0] * c[1]) <= tolerance && std::fabs(c[0] * c[2]) <= tolerance &&
           std::fabs(c[1] * c[2]) <= tolerance;
}

}  // namespace vantro::host
