#include <algorithm>
#include <numbers>

#include "sdk/meshing/triangle_mesh.h"

namespace vantro::meshing {
namespace {

// Chosen against the modelling application's own cached meshes (docs/sdk.md has the
// table): coarse lands near its default render meshes, smooth a few times finer.
constexpr double kCoarseShare = 0.0007;
constexpr double kSmoothShare = 0.0002;
// A face's own share: a face is meshed at least this finely against its size, as if
// it were an object of its own, but coarser than an object's share: a face's
// size is a poorer measure of what the viewer sees.
constexpr double kCoarseFaceShare = 0.01;
constexpr double kSmoothFaceShare = 0.003;
constexpr double kCoarseAngle = 12.0 * std::numbers::pi / 180.0;
constexpr double kSmoothAngle = 6.0 * std::numbers::pi / 180.0;
constexpr int kCoarseSubdLevel = 2;
constexpr int kSmoothSubdLevel = 4;

}  // namespace

double MeshSettings::toleranceFor(double diagonal) const {
    if (tolerance > 0)
        return std::max(tolerance, minimumTolerance);
    const double share = preset == Preset::coarse ? kCoarseShare : kSmoothShare;
    // A degenerate box still needs a positive tolerance.
    return std::max({share * diagonal, minimumTolerance, 1e-9});
}

double MeshSettings::toleranceForFace(double objectTolerance, double faceDiagonal) const {
    if (faceDiagonal <= 0)
        return objectTolerance;
    const double share = preset == Preset::coarse ? kCoarseFaceShare : kSmoothFaceShare;
    return std::max({std::min(objectTolerance, share * faceDiagonal), minimumTolerance, 1e-9});
}

double MeshSettings::angleOrDefault() const {
    if (angle > 0)
        return angle;
    return preset == Preset::coarse ? kCoarseAngle : kSmoothAngle;
}

int MeshSettings::subdLevelOrDefault() const {
    if (subdLevel > 0)
        return std::min(subdLevel, 6);
    return preset == Preset::coarse ? kCoarseSubdLevel : kSmoothSubdLevel;
}

}  // namespace vantro::meshing
