#include "sdk/geometry/on_point.h"

const ON_3dVector ON_3dVector::ZeroVector(0, 0, 0);
const ON_3dVector ON_3dVector::XAxis(1, 0, 0);
const ON_3dVector ON_3dVector::YAxis(0, 1, 0);
const ON_3dVector ON_3dVector::ZAxis(0, 0, 1);
const ON_3dPoint ON_3dPoint::Origin(0, 0, 0);
const ON_Plane ON_Plane::World_xy;

bool ON_3dVector::Unitize() {
    const double length = Length();
    if (!(length > 0.0) || !std::isfinite(length))
        return false;
    x /= length;
    y /= length;
    z /= length;
    return true;
}

double ON_DotProduct(const ON_3dVector& a, const ON_3dVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

ON_3dVector ON_CrossProduct(const ON_3dVector& a, const ON_3dVector& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

ON_Plane::ON_Plane(const ON_3dPoint& o, const ON_3dVector& x, const ON_3dVector& y) : origin(o) {
    xaxis = x.UnitVector();
    // Gram-Schmidt keeps y in the plane spanned by the two directions.
    yaxis = (y - xaxis * ON_DotProduct(y, xaxis)).UnitVector();
    zaxis = ON_CrossProduct(xaxis, yaxis);
    if (!(x.Length() > 0.0) || !(std::fabs(zaxis.Length() - 1.0) < 1e-9)) {
        xaxis = yaxis = zaxis = ON_3dVector();
    }
}

bool ON_Plane::IsValid() const {
    return origin.IsValid() && std::fabs(xaxis.Length() - 1.0) < 1e-9 && std::fabs(yaxis.Length() - 1.0) < 1e-9 &&
           std::fabs(ON_DotProduct(xaxis, yaxis)) < 1e-9 && std::fabs(zaxis.Length() - 1.0) < 1e-9;
}
