#pragma once
// The sides of a surface's parameter domain that a trim rebuilt from 3D points cannot
// place by projection alone: seams (a closed direction, where one 3D point has a
// parameter on either side) and poles (a side collapsed to one 3D point, where any
// parameter along it is the same point). Private to the brep mesher: OpenCASCADE
// types.

#include <Geom_BSplineSurface.hxx>
#include <gp_Pnt2d.hxx>
#include <gp_Vec2d.hxx>
#include <vector>

namespace vantro::meshing {

class SurfaceDomain {
public:
    // tolerance: 3D distance within which two points are the same.
    SurfaceDomain(const Handle(Geom_BSplineSurface) & surface, double tolerance);

    // A projected polyline made continuous: a point on a seam takes the side of the
    // point after it when that one leaves the seam, else of the point before it (of
    // before, for the first point, when given); a point on a pole takes its
    // neighbour's parameter along the pole. Projection puts such points on either
    // side at random; a trim that jumps across the domain encloses the wrong region.
    void settle(std::vector<gp_Pnt2d>& points, const gp_Pnt2d* before) const;

    // For a trim that runs along a seam side (points at a pole aside): the move that
    // puts it on the other side; (0, 0) when it does not run along a seam.
    gp_Vec2d acrossSeam(const std::vector<gp_Pnt2d>& points) const;

    // On a side collapsed to a point; along: the direction free along it.
    bool onPole(const gp_Pnt2d& p, int& along) const;
    // The surface meets itself across this direction (0: u, 1: v).
    bool closed(int direction) const { return closed_[direction]; }

private:
    // Side s: 0 u = low, 1 u = high, 2 v = low, 3 v = high.
    bool onSide(const gp_Pnt2d& p, int side) const;
    double low(int direction) const { return direction == 0 ? u0_ : v0_; }
    double high(int direction) const { return direction == 0 ? u1_ : v1_; }

    double u0_ = 0, u1_ = 0, v0_ = 0, v1_ = 0;
    bool closed_[2] = {false, false};
    bool pole_[4] = {false, false, false, false};
};

}  // namespace vantro::meshing
