#pragma once
// Splits the edges of a face's triangulation whose middle strays from the surface by
// more than the tolerance. The library controls deflection where the parameters of
// the surface are well spread; near a pole, where one point has a whole side of the
// domain for parameters, it leaves fans of long triangles that cut well inside a
// rounded surface. Private to the brep mesher: OpenCASCADE types.

#include <Geom_BSplineSurface.hxx>
#include <ShapeAnalysis_Surface.hxx>
#include <gp_Pnt.hxx>
#include <gp_Pnt2d.hxx>
#include <vector>

namespace vantro::meshing {

struct SurfaceTriangulation {
    std::vector<gp_Pnt> points;  // in the surface's own frame
    std::vector<gp_Pnt2d> uvs;   // parameters of each point
    std::vector<int> triangles;  // three 0-based indices each
};

struct RefinedSurface {
    const Handle(Geom_BSplineSurface) & surface;
    const Handle(ShapeAnalysis_Surface) & analysis;
    double tolerance = 0;
};

// Interior edges only: a boundary edge follows a trim, and its middle belongs on the
// trim's edge, not on the nearest point of the surface. Returns the points added.
size_t refineToSurface(const RefinedSurface& surface, SurfaceTriangulation& mesh);

}  // namespace vantro::meshing
