#pragma once
// CRhinoDisplayPipeline: draws one view. The stand-in draws nothing; it calls the
// display conduits' channels on Redraw and passes them notifications.
// Thread-safety: main thread only.

class CRhinoViewport;

class CRhinoDisplayPipeline {
public:
    explicit CRhinoDisplayPipeline(CRhinoViewport& viewport) : viewport_(&viewport) {}
    CRhinoDisplayPipeline(const CRhinoDisplayPipeline&) = delete;
    CRhinoDisplayPipeline& operator=(const CRhinoDisplayPipeline&) = delete;

    // The viewport the pipeline draws; never null for a pipeline of a view.
    CRhinoViewport* GetRhinoVP() const { return viewport_; }

    // Sends a notification (CRhinoDisplayConduit::EConduitNotifiers) to every enabled
    // conduit that applies to this pipeline's viewport. Host side.
    void NotifyConduits(unsigned int notifier);
    // Calls ExecConduit for each channel of every applicable conduit. Host side.
    void DrawFrame();

private:
    CRhinoViewport* viewport_;
};
