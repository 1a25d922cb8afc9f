#include "sdk/render/rdk_texture.h"

#include <cmath>

ON_2dPoint CRhRdkTexture::WcsBoxMapping(const ON_3dPoint& p, const ON_3dVector& n) {
    const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    if (n.IsZero() || (az >= ax && az >= ay))
        return {p.x, n.z < 0 ? -p.y : p.y};
    if (ay >= ax)
        return {n.y < 0 ? p.x : -p.x, p.z};
    return {n.x < 0 ? -p.y : p.y, p.z};
}
