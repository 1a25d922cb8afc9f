// The refinement of a triangulation against its surface, on a unit sphere meshed
// far too coarsely by hand: a grid in parameters with a fan at each pole.

#include <gtest/gtest.h>

#include <GeomConvert.hxx>
#include <Geom_SphericalSurface.hxx>
#include <gp_Ax3.hxx>
#include <map>

#include "surface_refinement.h"

namespace {

using namespace vantro::meshing;

// Columns of points from pole to pole, the poles repeated in every column as the
// library gives them; triangles wound counter-clockwise in parameters.
SurfaceTriangulation grid(const Handle(Geom_BSplineSurface) & s, int columns, int rows) {
    double u0 = 0, u1 = 0, v0 = 0, v1 = 0;
    s->Bounds(u0, u1, v0, v1);
    SurfaceTriangulation t;
    for (int i = 0; i <= columns; ++i) {
        for (int j = 0; j <= rows; ++j) {
            const gp_Pnt2d uv(u0 + (u1 - u0) * i / columns, v0 + (v1 - v0) * j / rows);
            t.uvs.push_back(uv);
            t.points.push_back(s->Value(uv.X(), uv.Y()));
        }
    }
    auto at = [&](int i, int j) { return i * (rows + 1) + j; };
    for (int i = 0; i < columns; ++i) {
        for (int j = 0; j < rows; ++j) {
            if (j > 0)
                t.triangles.insert(t.triangles.end(), {at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            if (j + 1 < rows)
                t.triangles.insert(t.triangles.end(), {at(i, j), at(i + 1, j + 1), at(i, j + 1)});
        }
    }
    return t;
}

// Twice the area of a triangle, signed by whether it faces out of the unit sphere.
double outwardArea(const SurfaceTriangulation& t, size_t first) {
    const gp_XYZ a = t.points[size_t(t.triangles[first])].XYZ();
    const gp_XYZ b = t.points[size_t(t.triangles[first + 1])].XYZ();
    const gp_XYZ c = t.points[size_t(t.triangles[first + 2])].XYZ();
    return (b - a).Crossed(c - a).Dot(a + b + c);
}

TEST(SurfaceRefinement, SphereFansComeWithinToleranceAndKeepTheirWinding) {
    const double tolerance = 0.002;
    const Handle(Geom_BSplineSurface) sphere =
        GeomConvert::SurfaceToBSplineSurface(new Geom_SphericalSurface(gp_Ax3(), 1.0));
    const Handle(ShapeAnalysis_Surface) analysis = new ShapeAnalysis_Surface(sphere);
    SurfaceTriangulation t = grid(sphere, 12, 26);
    const size_t before = t.points.size();
    EXPECT_GT(refineToSurface({sphere, analysis, tolerance}, t), 0u);
    ASSERT_EQ(t.points.size(), t.uvs.size());
    std::map<std::pair<int, int>, int> uses;
    for (size_t f = 0; f < t.triangles.size(); f += 3) {
        // The splits keep every triangle's winding: the grid faces outwards.
        EXPECT_GE(outwardArea(t, f), -1e-12) << "triangle " << f / 3 << " folded";
        for (size_t k = 0; k < 3; ++k) {
            const int a = t.triangles[f + k], b = t.triangles[f + (k + 1) % 3];
            ASSERT_TRUE(a >= 0 && size_t(a) < t.points.size() && b >= 0 && size_t(b) < t.points.size());
            ++uses[std::minmax(a, b)];
        }
    }
    for (size_t i = before; i < t.points.size(); ++i)
        EXPECT_NEAR(t.points[i].Distance(gp_Pnt(0, 0, 0)), 1.0, 1e-7) << "point " << i << " is off the sphere";
    // Interior edges: within tolerance of the sphere; the seam's two sides are the
    // border and stay as they were.
    double worst = 0;
    for (const auto& [edge, count] : uses) {
        if (count == 2) {
            const gp_XYZ middle = (t.points[size_t(edge.first)].XYZ() + t.points[size_t(edge.second)].XYZ()) * 0.5;
            worst = std::max(worst, 1.0 - middle.Modulus());
        }
    }
    EXPECT_LE(worst, tolerance);
}

}  // namespace
