#pragma once
// CRhinoDisplayConduit: a hook into display pipelines. A conduit is constructed with
// the channels it wants (a mask of channel bits); it applies to a pipeline when it is
// enabled for the pipeline's document and either bound to that pipeline's viewport or
// bound to no viewport at all. Applicable conduits get ExecConduit for their channels
// when a frame is drawn and NotifyConduit for pipeline events:
//   2 CN_PIPELINECLOSED: the view is closing (its document closes);
//   3 CN_FRAMESIZECHANGED: the screen port changed;
//   5 CN_PROJECTIONCHANGED: the viewport's projection changed;
//   7 CN_CAMERACHANGED: the viewport's camera changed (moved, or after 3 and 5);
//   1 CN_PIPELINEOPENED: a view was created.
// Conduits are registered with the host while they exist. Main thread only.

#include <set>
#include <cstdint>

class CRhinoDisplayPipeline;
class CRhinoView;
class CRhinoViewport;

class CRhinoDisplayConduit {
public:
    enum EConduitNotifiers : unsigned int {
        CN_NONE = 0,
        CN_PIPELINEOPENED = 1,
        CN_PIPELINECLOSED = 2,
        CN_FRAMESIZECHANGED = 3,
        CN_PROJECTIONCHANGED = 5,
        CN_CAMERACHANGED = 7,
    };

    // Channel bits, called in this order when a frame is drawn.
    enum CSupportChannels : unsigned int {
        SC_CALCBOUNDINGBOX = 0x00000001,
        SC_CALCCLIPPINGPLANES = 0x00000002,
        SC_SETUPFRUSTUM = 0x00000004,
        SC_INITFRAMEBUFFER = 0x00000008,
        SC_SETUPLIGHTING = 0x00000010,
        SC_DRAWBACKGROUND = 0x00000020,
        SC_PREDRAWOBJECTS = 0x00000040,
        SC_DRAWOBJECT = 0x00000080,
        SC_POSTDRAWOBJECTS = 0x00000100,
        SC_DRAWFOREGROUND = 0x00000200,
        SC_DRAWOVERLAY = 0x00000400,
    };

    explicit CRhinoDisplayConduit(unsigned int channelMask);
    CRhinoDisplayConduit(const CRhinoDisplayConduit&) = delete;
    CRhinoDisplayConduit& operator=(const CRhinoDisplayConduit&) = delete;
    virtual ~CRhinoDisplayConduit();

    // Called for each channel of the mask while a frame is drawn. Set terminate to
    // skip the remaining channels of this frame. The result is ignored.
    virtual bool ExecConduit(CRhinoDisplayPipeline& pipeline, unsigned int channel, bool& terminate) = 0;
    // Called for pipeline events (see above). The base does nothing.
    virtual void NotifyConduit(EConduitNotifiers notifier, CRhinoDisplayPipeline& pipeline);

    unsigned int ChannelMask() const { return mask_; }

    // Restricts the conduit to a viewport (several may be bound). Always true.
    bool Bind(const CRhinoViewport& viewport);
    bool Bind(const CRhinoView& view);
    void UnbindAll() { bound_.clear(); }
    // Bound to at least one viewport.
    bool IsBound() const { return !bound_.empty(); }
    // Explicitly bound to this viewport / to the pipeline's viewport (a conduit bound
    // to nothing is not "bound" here, although it applies everywhere).
    bool IsBound(const CRhinoViewport& viewport) const;
    bool IsBound(const CRhinoDisplayPipeline& pipeline) const;

    // Turns the conduit on for the document with that runtime serial number (one at a
    // time). Returns false for serial 0.
    bool Enable(unsigned int docSerial);
    void Disable() { docSerial_ = 0; }
    bool IsEnabled() const { return docSerial_ != 0; }

    // Whether the conduit applies to a pipeline (enabled for its document and bound to
    // its viewport or to none).
    bool AppliesTo(const CRhinoDisplayPipeline& pipeline) const;

private:
    unsigned int mask_;
    unsigned int docSerial_ = 0;
    std::set<uint64_t> bound_;  // viewport serial numbers
};
