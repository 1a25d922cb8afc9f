#include "camera_observer.h"

#include "send_camera.h"
#include "plugin/velora_plugin.h"
#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_display_pipeline.h"
#include "sdk/app/rhino_view.h"

CameraObserver::CameraObserver(VeloraPlugin* plugin) : CRhinoDisplayConduit(kChannels), plugin(plugin) {}

void CameraObserver::FollowView(CRhinoView* followed) {
    StopFollowing();
    if (!followed)
        followed = RhinoApp().ActiveView();
    if (!followed)
        return;
    CRhinoViewport& viewport = followed->Viewport();
    if (!viewport.VP().IsPerspectiveProjection())
        return;
    bound = true;
    view = followed;
    Bind(viewport);
    Enable(followed->DocumentRuntimeSerialNumber());
    if (plugin)
        SendCamera(*plugin, viewport.VP());
}

void CameraObserver::StopFollowing() {
    if (bound) {
        UnbindAll();
        Disable();
    }
    bound = false;
    view = nullptr;
}

bool CameraObserver::ExecConduit(CRhinoDisplayPipeline&, unsigned int, bool&) {
    return true;  // draws nothing: the channel only keeps the conduit in the pipeline
}

void CameraObserver::NotifyConduit(EConduitNotifiers notifier, CRhinoDisplayPipeline& pipeline) {
    if (notifier != CN_PIPELINECLOSED && notifier != CN_PROJECTIONCHANGED && notifier != CN_CAMERACHANGED)
        return;
    const CRhinoViewport* viewport = pipeline.GetRhinoVP();
    if (!viewport || !IsBound(pipeline))
        return;
    if (notifier == CN_PIPELINECLOSED)
        StopFollowing();
    else if (notifier == CN_CAMERACHANGED && plugin)
        SendCamera(*plugin, viewport->VP());
}
