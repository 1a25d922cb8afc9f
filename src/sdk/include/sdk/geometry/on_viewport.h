#pragma once
// ON_Viewport: a camera: projection (parallel or perspective), location, direction,
// up vector, target point, view frustum and screen port.
//
// The frustum (left, right, bottom, top, near, far) is in camera coordinates at the
// near plane; for a perspective camera its extent over `near` gives the view angles.
// The default camera is a perspective camera at (0, -100, 50) looking at the origin
// with up (0, 0, 1), a 50 mm lens on a 1000 x 600 port.
// Thread-safety: a value type.

#include "sdk/geometry/on.h"
#include "sdk/geometry/on_point.h"

class ON_Viewport {
public:
    ON_Viewport();

    ON::view_projection Projection() const { return projection_; }
    // Changes the projection and keeps the camera; false for unknown_view.
    bool SetProjection(ON::view_projection projection);
    bool IsPerspectiveProjection() const { return projection_ == ON::perspective_view; }

    ON_3dPoint CameraLocation() const { return location_; }
    ON_3dVector CameraDirection() const { return direction_; }
    ON_3dVector CameraUp() const { return up_; }
    ON_3dPoint TargetPoint() const { return target_; }

    // Each setter refuses (false, nothing changed) a non-finite value; direction and
    // up must be non-zero.
    bool SetCameraLocation(const ON_3dPoint& location);
    bool SetCameraDirection(const ON_3dVector& direction);
    bool SetCameraUp(const ON_3dVector& up);
    bool SetTargetPoint(const ON_3dPoint& target);

    // The camera frame: X right, Y up (up made perpendicular to the direction), Z
    // pointing back from the target toward the camera. False when direction and up are
    // parallel.
    bool GetCameraFrame(ON_3dVector* x, ON_3dVector* y, ON_3dVector* z) const;
    // Location, direction and up consistent and finite (up not parallel to direction).
    bool IsValidCamera() const;

    // Frustum in camera coordinates; requires left < right, bottom < top and
    // 0 < near < far (perspective) or near < far (parallel).
    bool SetFrustum(double left, double right, double bottom, double top, double nearDist, double farDist);
    bool GetFrustum(double* left, double* right, double* bottom, double* top, double* nearDist, double* farDist) const;

    // Makes the frustum's width / height equal aspect around its centre, keeping its
    // smaller side (what a lens length or a parallel view's extent is measured on), as
    // a view does when its window changes shape. False, nothing changed, for an
    // aspect that is not positive and finite or an invalid frustum.
    bool SetFrustumAspect(double aspect);

    // Screen port in pixels; left != right and bottom != top. The frustum is not
    // changed (the view that owns the port refits it: SetFrustumAspect).
    bool SetScreenPort(int left, int right, int bottom, int top);
    bool GetScreenPort(int* left, int* right, int* bottom, int* top) const;
    // |width / height| of the screen port.
    double ScreenPortAspect() const;

    // 35 mm equivalent lens: the smaller half-extent of the frustum covers 12 mm of
    // film at the lens length (the film is 24 mm on its short side); the other follows
    // the port's aspect. Perspective only; false for a non-positive length.
    bool SetCamera35mmLensLength(double lensLength);
    bool GetCamera35mmLensLength(double* lensLength) const;

    // Half view angles in radians of a perspective camera, from the frustum: half
    // the diagonal, vertical and horizontal extents (the smaller side of an
    // asymmetric frustum counts). Any output may be null. False for a parallel
    // projection or an invalid frustum (outputs untouched).
    bool GetCameraAngle(double* halfDiagonal, double* halfVertical, double* halfHorizontal) const;

    friend bool operator==(const ON_Viewport&, const ON_Viewport&) = default;

private:
    ON::view_projection projection_ = ON::perspective_view;
    ON_3dPoint location_;
    ON_3dVector direction_;
    ON_3dVector up_;
    ON_3dPoint target_;
    double left_ = 0, right_ = 0, bottom_ = 0, top_ = 0, near_ = 0, far_ = 0;
    int portLeft_ = 0, portRight_ = 1000, portBottom_ = 600, portTop_ = 0;
};
