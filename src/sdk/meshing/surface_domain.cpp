#include "surface_domain.h"

#include <cmath>

namespace vantro::meshing {
namespace {

constexpr int kSamples = 9;  // along a side: enough to tell a pole from a short side

double coord(const gp_Pnt2d& p, int direction) { return direction == 0 ? p.X() : p.Y(); }

void setCoord(gp_Pnt2d& p, int direction, double value) {
    if (direction == 0) {
        p.SetX(value);
    } else {
        p.SetY(value);
    }
}

}  // namespace

SurfaceDomain::SurfaceDomain(const Handle(Geom_BSplineSurface) & surface, double tolerance) {
    surface->Bounds(u0_, u1_, v0_, v1_);
    auto at = [&](int direction, double fixed, double t) {
        return direction == 0 ? surface->Value(fixed, t) : surface->Value(t, fixed);
    };
    for (int direction = 0; direction < 2; ++direction) {
        const int across = 1 - direction;
        // Closed: the two sides across this direction meet point for point.
        bool closed = true;
        for (int i = 0; i <= kSamples && closed; ++i) {
            const double t = low(across) + (high(across) - low(across)) * i / kSamples;
            closed = at(direction, low(direction), t).Distance(at(direction, high(direction), t)) <= tolerance;
        }
        closed_[direction] = closed;
        for (int end = 0; end < 2; ++end) {
            const double fixed = end == 0 ? low(direction) : high(direction);
            const gp_Pnt first = at(direction, fixed, low(across));
            bool pole = true;
            for (int i = 1; i <= kSamples && pole; ++i) {
                pole =
                    at(direction, fixed, low(across) + (high(across) - low(across)) * i / kSamples).Distance(first) <=
                    tolerance;
            }
            pole_[2 * direction + end] = pole;
        }
    }
}

bool SurfaceDomain::onSide(const gp_Pnt2d& p, int side) const {
    const int direction = side / 2;
    const double eps = 1e-7 * (high(direction) - low(direction));
    const double edge = side % 2 == 0 ? low(direction) : high(direction);
    return std::abs(coord(p, direction) - edge) <= eps;
}

void SurfaceDomain::settle(std::vector<gp_Pnt2d>& points, const gp_Pnt2d* before) const {
    const size_t n = points.size();
    if (n < 2)
        return;
    auto settlePoles = [&] {
        for (size_t i = 0; i < n; ++i) {
            int along = 0;
            if (!onPole(points[i], along))
                continue;
            // The nearest point off the pole, looking forward first (a trim starting at
            // a pole leaves it towards its second point).
            int ignored = 0;
            for (size_t step = 1; step < n; ++step) {
                if (i + step < n && !onPole(points[i + step], ignored)) {
                    setCoord(points[i], along, coord(points[i + step], along));
                    break;
                }
                if (i >= step && !onPole(points[i - step], ignored)) {
                    setCoord(points[i], along, coord(points[i - step], along));
                    break;
                }
            }
        }
    };
    settlePoles();
    for (int direction = 0; direction < 2; ++direction) {
        if (!closed_[direction])
            continue;
        const double half = 0.5 * (high(direction) - low(direction));
        auto flip = [&](gp_Pnt2d& p) {
            if (onSide(p, 2 * direction)) {
                setCoord(p, direction, high(direction));
            } else if (onSide(p, 2 * direction + 1)) {
                setCoord(p, direction, low(direction));
            }
        };
        auto onSeam = [&](const gp_Pnt2d& p) { return onSide(p, 2 * direction) || onSide(p, 2 * direction + 1); };
        for (size_t i = 0; i < n; ++i) {
            if (!onSeam(points[i]))
                continue;
            // Leaving the seam, a point takes the side the trim goes on to; along the
            // seam, the side it came from.
            const gp_Pnt2d* guide = i + 1 < n && !onSeam(points[i + 1]) ? &points[i + 1]
                                    : i > 0                             ? &points[i - 1]
                                                                        : before;
            if (guide && std::abs(coord(points[i], direction) - coord(*guide, direction)) > half)
                flip(points[i]);
        }
    }
    settlePoles();
}

bool SurfaceDomain::onPole(const gp_Pnt2d& p, int& along) const {
    for (int side = 0; side < 4; ++side) {
        if (pole_[side] && onSide(p, side)) {
            along = 1 - side / 2;
            return true;
        }
    }
    return false;
}

gp_Vec2d SurfaceDomain::acrossSeam(const std::vector<gp_Pnt2d>& points) const {
    for (int side = 0; side < 4; ++side) {
        const int direction = side / 2;
        if (!closed_[direction])
            continue;
        // Points at a pole have no side; the rest must all be on this one.
        size_t onIt = 0;
        bool elsewhere = false;
        for (const gp_Pnt2d& p : points) {
            int along = 0;
            if (onSide(p, side)) {
                ++onIt;
            } else if (!onPole(p, along)) {
                elsewhere = true;
            }
        }
        if (elsewhere || onIt == 0)
            continue;
        const double span = high(direction) - low(direction);
        const double shift = side % 2 == 0 ? span : -span;
        return direction == 0 ? gp_Vec2d(shift, 0) : gp_Vec2d(0, shift);
    }
    return gp_Vec2d(0, 0);
}

}  // namespace vantro::meshing
