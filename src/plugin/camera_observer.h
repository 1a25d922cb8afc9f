#pragma once
// CameraObserver: follows one perspective view's camera for the renderer. It is a
// display conduit on the frame-buffer channel (mask 8) that draws nothing; it is
// there for the pipeline's notifications: every camera change of the followed view
// (notification 7) sends the camera (SendCamera), and the view closing (2) ends the
// following until FollowView is called again.
//
// Built by the plug-in object at load; bound and enabled only between FollowView and
// StopFollowing. Parallel views are not followed. Main thread only.
//
// Compiled into the plug-in library (vantro_plugin), not vantro_link: it reports to
// the plug-in object, and the link library stays free of plug-in includes.

#include "sdk/app/rhino_display_conduit.h"

class CRhinoView;
class VeloraPlugin;

class CameraObserver : public CRhinoDisplayConduit {
public:
    static constexpr unsigned int kChannels = SC_INITFRAMEBUFFER;  // 8

    // plugin is not owned and must outlive the observer (both live until exit).
    explicit CameraObserver(VeloraPlugin* plugin);

    // Stops following, then follows view (the active view when null) when it is a
    // perspective view: binds to its viewport, enables for its document and sends
    // its camera at once. A parallel view, or no view at all, is not followed.
    void FollowView(CRhinoView* view);
    // Disables and unbinds the conduit; nothing when not following.
    void StopFollowing();
    // The view followed; null when not following.
    CRhinoView* FollowedView() const { return bound ? view : nullptr; }

    bool ExecConduit(CRhinoDisplayPipeline& pipeline, unsigned int channel, bool& terminate) override;
    void NotifyConduit(EConduitNotifiers notifier, CRhinoDisplayPipeline& pipeline) override;

    VeloraPlugin* const plugin;
    bool bound = false;          // bound to a viewport and enabled
    CRhinoView* view = nullptr;  // the view followed while bound
};
