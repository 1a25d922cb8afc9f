#pragma once
// CameraObserver: follows one view's camera for the renderer. It is a display conduit
// on the frame-buffer channel (mask 8), so the host calls it whenever the followed
// view draws a frame or changes its camera, projection or size.
//
// Built by the plug-in object at load; enabled only between FollowView and
// StopFollowing. Main thread only.
//
// Compiled into the plug-in library (vantro_plugin), not vantro_link: it reports to
// the plug-in object, and the link library stays free of plug-in includes.

#include "sdk/rhino_display_conduit.h"

class CRhinoView;
class VeloraPlugin;

class CameraObserver : public CRhinoDisplayConduit {
public:
    static constexpr unsigned int kChannels = SC_INITFRAMEBUFFER;  // 8

    // plugin is not owned and must outlive the observer (both live until exit).
    explicit CameraObserver(VeloraPlugin* plugin);

    // Binds the conduit to view and enables it for the view's document. A null view
    // (no active view) only stops following.
    void FollowView(CRhinoView* view);
    // Disables and unbinds the conduit; nothing when not following.
    void StopFollowing();
    // The view followed; null when not following.
    CRhinoView* FollowedView() const { return view; }

    bool ExecConduit(CRhinoDisplayPipeline& pipeline, unsigned int channel, bool& terminate) override;

    VeloraPlugin* const plugin;
    CRhinoView* view = nullptr;
};
