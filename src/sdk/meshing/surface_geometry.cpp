#include "sdk/meshing/surface_geometry.h"

#include <cmath>

namespace vantro::meshing {
namespace {

// Degrees past this are not met in practice and only make evaluation slow.
constexpr int kMaxDegree = 11;
constexpr int64_t kMaxControlPoints = 1 << 22;

std::optional<std::string> checkKnots(const std::vector<double>& knots, int degree, int count, const char* what) {
    const size_t expected = static_cast<size_t>(degree) + static_cast<size_t>(count) - 1;
    if (knots.size() != expected) {
        return std::string(what) + ": " + std::to_string(knots.size()) + " knots, " + std::to_string(expected) +
               " expected";
    }
    for (size_t i = 0; i < knots.size(); ++i) {
        if (!std::isfinite(knots[i]))
            return std::string(what) + ": knot " + std::to_string(i) + " not finite";
        if (i > 0 && knots[i] < knots[i - 1])
            return std::string(what) + ": knots decrease at " + std::to_string(i);
    }
    if (knots[degree - 1] >= knots[count - 1])
        return std::string(what) + ": empty domain";
    return std::nullopt;
}

std::optional<std::string> checkPoints(const std::vector<double>& points, int64_t count) {
    if (static_cast<int64_t>(points.size()) != 4 * count) {
        return std::to_string(points.size()) + " control point numbers, " + std::to_string(4 * count) + " expected";
    }
    for (size_t i = 0; i < points.size(); ++i) {
        if (!std::isfinite(points[i]))
            return "control point " + std::to_string(i / 4) + " not finite";
        if (i % 4 == 3 && !(points[i] > 0))
            return "control point " + std::to_string(i / 4) + ": weight not positive";
    }
    return std::nullopt;
}

bool degreeFits(int degree, int count) { return degree >= 1 && degree <= kMaxDegree && count > degree; }

}  // namespace

std::optional<std::string> checkCurve(const NurbsCurve& c) {
    const int count = static_cast<int>(c.points.size() / 4);
    if (!degreeFits(c.degree, count))
        return "degree " + std::to_string(c.degree) + " with " + std::to_string(count) + " control points";
    if (auto e = checkPoints(c.points, count))
        return e;
    return checkKnots(c.knots, c.degree, count, "knots");
}

std::optional<std::string> checkSurface(const NurbsSurface& s) {
    for (int d = 0; d < 2; ++d) {
        if (!degreeFits(s.degree[d], s.count[d]) || s.count[d] > kMaxControlPoints) {
            return "degree " + std::to_string(s.degree[d]) + " with " + std::to_string(s.count[d]) + " control points";
        }
    }
    const int64_t count = int64_t{s.count[0]} * s.count[1];
    if (count > kMaxControlPoints)
        return "too many control points";
    if (auto e = checkPoints(s.points, count))
        return e;
    if (auto e = checkKnots(s.knots[0], s.degree[0], s.count[0], "knotsU"))
        return e;
    return checkKnots(s.knots[1], s.degree[1], s.count[1], "knotsV");
}

std::optional<std::string> checkBrep(const Brep& b) {
    for (size_t i = 0; i < b.edges.size(); ++i) {
        if (auto e = checkCurve(b.edges[i]))
            return "edge " + std::to_string(i) + ": " + *e;
    }
    const auto edgeCount = static_cast<int32_t>(b.edges.size());
    for (size_t f = 0; f < b.faces.size(); ++f) {
        const BrepFace& face = b.faces[f];
        const std::string where = "face " + std::to_string(f) + ": ";
        if (auto e = checkSurface(face.surface))
            return where + "surface: " + *e;
        for (size_t l = 0; l < face.loops.size(); ++l) {
            const std::vector<int32_t>& trims = face.loops[l].trims;
            if (trims.size() % 2 != 0)
                return where + "loop " + std::to_string(l) + ": trims come in pairs";
            for (size_t t = 0; t < trims.size(); t += 2) {
                if (trims[t] < -1 || trims[t] >= edgeCount || (trims[t + 1] != 0 && trims[t + 1] != 1)) {
                    return where + "loop " + std::to_string(l) + ": trim " + std::to_string(t / 2) + " names edge " +
                           std::to_string(trims[t]) + " of " + std::to_string(edgeCount);
                }
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> checkSubD(const SubD& s) {
    if (s.vertices.size() % 3 != 0)
        return "vertices: not 3 numbers per vertex";
    for (const double x : s.vertices) {
        if (!std::isfinite(x))
            return "vertices: a coordinate is not finite";
    }
    const auto vertexCount = static_cast<int64_t>(s.vertices.size() / 3);
    int64_t total = 0;
    for (const int32_t n : s.faceCounts) {
        if (n < 3 || n > 64)
            return "a face with " + std::to_string(n) + " vertices";
        total += n;
    }
    if (total != static_cast<int64_t>(s.faceVertices.size()))
        return "face vertex count does not match faceCounts";
    auto inRange = [&](int32_t v) { return v >= 0 && v < vertexCount; };
    for (const int32_t v : s.faceVertices) {
        if (!inRange(v))
            return "a face refers to vertex " + std::to_string(v) + " of " + std::to_string(vertexCount);
    }
    if (s.creases.size() % 2 != 0)
        return "creases come in vertex pairs";
    for (const int32_t v : s.creases) {
        if (!inRange(v))
            return "a crease refers to vertex " + std::to_string(v);
    }
    for (const int32_t v : s.corners) {
        if (!inRange(v))
            return "a corner refers to vertex " + std::to_string(v);
    }
    return std::nullopt;
}

}  // namespace vantro::meshing
