#include "link/camera_observer.h"

#include "sdk/rhino_view.h"

CameraObserver::CameraObserver(VeloraPlugin* plugin) : CRhinoDisplayConduit(kChannels), plugin(plugin) {}

void CameraObserver::FollowView(CRhinoView* followed) {
    StopFollowing();
    if (!followed) return;
    view = followed;
    Bind(*followed);
    Enable(followed->DocumentRuntimeSerialNumber());
}

void CameraObserver::StopFollowing() {
    Disable();
    UnbindAll();
    view = nullptr;
}

bool CameraObserver::ExecConduit(CRhinoDisplayPipeline&, unsigned int, bool&) { return true; }
