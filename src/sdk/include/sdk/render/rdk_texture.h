#pragma once
// CRhRdkTexture: the RDK's texture helpers the plug-in uses.
// Thread-safety: pure functions.

#include "sdk/geometry/on_point.h"

class CRhRdkTexture {
public:
    // World box projection: texture coordinates from a world position and normal. The
    // dominant axis of the normal picks the projection plane and the other two world
    // coordinates, oriented as seen from outside along that axis, give (u, v):
    //   |x| largest: (+/-y, z);  |y| largest: (-/+x, z);  |z| largest: (x, +/-y).
    // (ties prefer z, then y). A zero normal uses the z projection (x, y).
    static ON_2dPoint WcsBoxMapping(const ON_3dPoint& worldXyz, const ON_3dVector& normal);
};
