#pragma once
// CRhinoViewport: the camera of a view, and the edits the host makes to it. Changing
// the camera or projection tells the display conduits that watch this viewport (see
// CRhinoDisplayConduit) what changed, as the display pipeline does when it redraws:
//   camera moved (SetCamera, SetVP with the same projection): notification 7;
//   projection changed (SetProjection, SetVP): notification 5, then 7, then the
//     watchers' OnViewModified;
//   screen port resized: notification 3, then 7.
// Thread-safety: main thread only.

#include <cstdint>

#include "sdk/geometry/on_string.h"
#include "sdk/geometry/on_viewport.h"

class CRhinoView;
class CRhinoDisplayPipeline;

class CRhinoViewport {
public:
    CRhinoViewport(const CRhinoViewport&) = delete;
    CRhinoViewport& operator=(const CRhinoViewport&) = delete;

    const ON_Viewport& VP() const { return vp_; }
    // Replaces the camera and projection; false (unchanged) when vp has no valid
    // camera. Notifies as above; nothing when vp equals the current one.
    bool SetVP(const ON_Viewport& vp);
    // Moves the camera: location, target (direction = target - location) and up.
    // False (unchanged) when location equals target, up is zero or parallel to the
    // direction, or a number is not finite.
    bool SetCamera(const ON_3dPoint& location, const ON_3dPoint& target, const ON_3dVector& up);
    // Switches projection keeping the camera; false for unknown_view. No change, no
    // notification.
    bool SetProjection(ON::view_projection projection);
    // Resizes the view's window: the frustum is refitted to the port's aspect
    // (ON_Viewport::SetFrustumAspect) before the notifications.
    bool SetScreenPort(int left, int right, int bottom, int top);

    const ON_wString& Name() const { return name_; }
    // Unique among all viewports of the process; never reused.
    uint64_t ViewportSerialNumber() const { return serial_; }
    CRhinoView& View() const { return *view_; }
    CRhinoDisplayPipeline* DisplayPipeline() const;

private:
    friend class CRhinoView;
    CRhinoViewport(CRhinoView& view, const ON_Viewport& vp, const ON_wString& name);
    void notifyCameraChanged();

    CRhinoView* view_;
    ON_Viewport vp_;
    ON_wString name_;
    uint64_t serial_;
};
