#include "sdk/geometry/on_viewport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
bool finite(const ON_3dVector& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
}  // namespace

ON_Viewport::ON_Viewport() : location_(0, -100, 50), direction_(0, 100, -50), up_(0, 0, 1), target_(0, 0, 0) {
    SetCamera35mmLensLength(50.0);
}

bool ON_Viewport::SetProjection(ON::view_projection projection) {
    if (projection != ON::parallel_view && projection != ON::perspective_view)
        return false;
    if (projection == projection_)
        return true;
    projection_ = projection;
    if (projection == ON::parallel_view) {
        // A parallel camera shows the extent the perspective one showed at the target.
        const double distance = location_.DistanceTo(target_);
        const double s = (near_ > 0.0 && distance > 0.0) ? distance / near_ : 1.0;
        SetFrustum(left_ * s, right_ * s, bottom_ * s, top_ * s, 0.001, std::max(far_, distance * 2.0));
    } else {
        SetCamera35mmLensLength(50.0);
    }
    return true;
}

bool ON_Viewport::SetCameraLocation(const ON_3dPoint& location) {
    if (!location.IsValid())
        return false;
    location_ = location;
    return true;
}

bool ON_Viewport::SetCameraDirection(const ON_3dVector& direction) {
    if (!finite(direction) || direction.IsZero())
        return false;
    direction_ = direction;
    return true;
}

bool ON_Viewport::SetCameraUp(const ON_3dVector& up) {
    if (!finite(up) || up.IsZero())
        return false;
    up_ = up;
    return true;
}

bool ON_Viewport::SetTargetPoint(const ON_3dPoint& target) {
    if (!target.IsValid())
        return false;
    target_ = target;
    return true;
}

bool ON_Viewport::GetCameraFrame(ON_3dVector* x, ON_3dVector* y, ON_3dVector* z) const {
    ON_3dVector back = -direction_;
    if (!back.Unitize())
        return false;
    ON_3dVector right = ON_CrossProduct(up_, back);
    if (!right.Unitize())
        return false;
    const ON_3dVector upright = ON_CrossProduct(back, right);
    if (x)
        *x = right;
    if (y)
        *y = upright;
    if (z)
        *z = back;
    return true;
}

bool ON_Viewport::IsValidCamera() const {
    return location_.IsValid() && target_.IsValid() && GetCameraFrame(nullptr, nullptr, nullptr);
}

bool ON_Viewport::SetFrustum(double left, double right, double bottom, double top, double nearDist, double farDist) {
    const double values[6] = {left, right, bottom, top, nearDist, farDist};
    for (double v : values)
        if (!std::isfinite(v))
            return false;
    if (!(left < right) || !(bottom < top) || !(nearDist < farDist))
        return false;
    if (projection_ == ON::perspective_view && !(nearDist > 0.0))
        return false;
    left_ = left;
    right_ = right;
    bottom_ = bottom;
    top_ = top;
    near_ = nearDist;
    far_ = farDist;
    return true;
}

bool ON_Viewport::GetFrustum(double* left, double* right, double* bottom, double* top, double* nearDist,
                             double* farDist) const {
    if (left)
        *left = left_;
    if (right)
        *right = right_;
    if (bottom)
        *bottom = bottom_;
    if (top)
        *top = top_;
    if (nearDist)
        *nearDist = near_;
    if (farDist)
        *farDist = far_;
    return right_ > left_ && top_ > bottom_;
}

bool ON_Viewport::SetScreenPort(int left, int right, int bottom, int top) {
    if (left == right || bottom == top)
        return false;
    portLeft_ = left;
    portRight_ = right;
    portBottom_ = bottom;
    portTop_ = top;
    return true;
}

bool ON_Viewport::GetScreenPort(int* left, int* right, int* bottom, int* top) const {
    if (left)
        *left = portLeft_;
    if (right)
        *right = portRight_;
    if (bottom)
        *bottom = portBottom_;
    if (top)
        *top = portTop_;
    return true;
}

bool ON_Viewport::SetFrustumAspect(double aspect) {
    if (!(aspect > 0.0) || !std::isfinite(aspect) || !(right_ > left_) || !(top_ > bottom_))
        return false;
    const double halfW = (right_ - left_) * 0.5, halfH = (top_ - bottom_) * 0.5;
    const double centreX = (left_ + right_) * 0.5, centreY = (bottom_ + top_) * 0.5;
    const double half = std::min(halfW, halfH);
    const double newHalfW = aspect >= 1.0 ? half * aspect : half;
    const double newHalfH = aspect >= 1.0 ? half : half / aspect;
    return SetFrustum(centreX - newHalfW, centreX + newHalfW, centreY - newHalfH, centreY + newHalfH, near_, far_);
}

double ON_Viewport::ScreenPortAspect() const {
    const double w = std::abs(portRight_ - portLeft_);
    const double h = std::abs(portBottom_ - portTop_);
    return h > 0.0 ? w / h : 1.0;
}

bool ON_Viewport::SetCamera35mmLensLength(double lensLength) {
    if (projection_ != ON::perspective_view || !(lensLength > 0.0) || !std::isfinite(lensLength))
        return false;
    const double nearDist = near_ > 0.0 ? near_ : 0.1;
    const double farDist = far_ > nearDist ? far_ : 10000.0;
    const double half = nearDist * 12.0 / lensLength;
    const double aspect = ScreenPortAspect();
    const double halfW = aspect >= 1.0 ? half * aspect : half;
    const double halfH = aspect >= 1.0 ? half : half / aspect;
    return SetFrustum(-halfW, halfW, -halfH, halfH, nearDist, farDist);
}

bool ON_Viewport::GetCamera35mmLensLength(double* lensLength) const {
    if (!lensLength || projection_ != ON::perspective_view || !(near_ > 0.0))
        return false;
    const double h = std::min(right_ - left_, top_ - bottom_) * 0.5;
    if (!(h > 0.0))
        return false;
    *lensLength = 12.0 * near_ / h;
    return true;
}

bool ON_Viewport::GetCameraAngle(double* halfDiagonal, double* halfVertical, double* halfHorizontal) const {
    if (projection_ != ON::perspective_view || !(near_ > 0.0) || !(right_ > left_) || !(top_ > bottom_))
        return false;
    // An asymmetric frustum counts by its smaller side, so the angle never promises
    // more than is seen on both sides of the view direction.
    const double w = std::min(std::fabs(left_), std::fabs(right_));
    const double h = std::min(std::fabs(bottom_), std::fabs(top_));
    if (halfDiagonal)
        *halfDiagonal = std::atan(std::hypot(w, h) / near_);
    if (halfVertical)
        *halfVertical = std::atan(h / near_);
    if (halfHorizontal)
        *halfHorizontal = std::atan(w / near_);
    return true;
}
