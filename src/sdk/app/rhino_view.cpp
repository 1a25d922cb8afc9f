#include "sdk/app/rhino_view.h"

#include <algorithm>
#include <atomic>

#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_display_conduit.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/document/rhino_event_watcher.h"

namespace {
std::atomic<uint64_t> nextViewportSerial{1};
}  // namespace

CRhinoView::CRhinoView(CRhinoDoc& doc, const ON_Viewport& vp, const ON_wString& name)
    : doc_(&doc),
      viewport_(new CRhinoViewport(*this, vp, name)),
      pipeline_(std::make_unique<CRhinoDisplayPipeline>(*viewport_)) {}

CRhinoView::~CRhinoView() = default;

unsigned int CRhinoView::DocumentRuntimeSerialNumber() const { return doc_->RuntimeSerialNumber(); }

void CRhinoView::Redraw() {
    ++redraws_;
    pipeline_->DrawFrame();
}

CRhinoViewport::CRhinoViewport(CRhinoView& view, const ON_Viewport& vp, const ON_wString& name)
    : view_(&view), vp_(vp), name_(name), serial_(nextViewportSerial.fetch_add(1)) {}

CRhinoDisplayPipeline* CRhinoViewport::DisplayPipeline() const { return &view_->DisplayPipeline(); }

void CRhinoViewport::notifyCameraChanged() {
    view_->DisplayPipeline().NotifyConduits(CRhinoDisplayConduit::CN_CAMERACHANGED);
}

bool CRhinoViewport::SetVP(const ON_Viewport& vp) {
    if (!vp.IsValidCamera())
        return false;
    if (vp == vp_)
        return true;
    const bool projectionChanged = vp.Projection() != vp_.Projection();
    vp_ = vp;
    if (projectionChanged) {
        view_->DisplayPipeline().NotifyConduits(CRhinoDisplayConduit::CN_PROJECTIONCHANGED);
        notifyCameraChanged();
        view_->Document()->raise([&](CRhinoEventWatcher& w) { w.OnViewModified(view_); });
    } else {
        notifyCameraChanged();
    }
    return true;
}

bool CRhinoViewport::SetCamera(const ON_3dPoint& location, const ON_3dPoint& target, const ON_3dVector& up) {
    ON_Viewport vp = vp_;
    if (!location.IsValid() || !target.IsValid() || location == target)
        return false;
    if (!vp.SetCameraLocation(location) || !vp.SetCameraDirection(target - location) || !vp.SetTargetPoint(target) ||
        !vp.SetCameraUp(up) || !vp.IsValidCamera())
        return false;
    return SetVP(vp);
}

bool CRhinoViewport::SetProjection(ON::view_projection projection) {
    ON_Viewport vp = vp_;
    if (!vp.SetProjection(projection))
        return false;
    return SetVP(vp);
}

bool CRhinoViewport::SetScreenPort(int left, int right, int bottom, int top) {
    ON_Viewport vp = vp_;
    if (!vp.SetScreenPort(left, right, bottom, top))
        return false;
    // The view's window changed shape: its camera refits the frustum to it before the
    // conduits hear of the new size, so the camera they read matches the window.
    vp.SetFrustumAspect(vp.ScreenPortAspect());
    if (vp == vp_)
        return true;
    vp_ = vp;
    view_->DisplayPipeline().NotifyConduits(CRhinoDisplayConduit::CN_FRAMESIZECHANGED);
    notifyCameraChanged();
    return true;
}

void CRhinoDisplayPipeline::NotifyConduits(unsigned int notifier) {
    const std::vector<CRhinoDisplayConduit*> snapshot = RhinoApp().conduits();
    for (CRhinoDisplayConduit* conduit : snapshot) {
        // A conduit destroyed or unregistered by an earlier one is skipped.
        const auto& live = RhinoApp().conduits();
        if (std::find(live.begin(), live.end(), conduit) == live.end())
            continue;
        if (conduit->AppliesTo(*this))
            conduit->NotifyConduit(static_cast<CRhinoDisplayConduit::EConduitNotifiers>(notifier), *this);
    }
}

void CRhinoDisplayPipeline::DrawFrame() {
    const std::vector<CRhinoDisplayConduit*> snapshot = RhinoApp().conduits();
    std::vector<CRhinoDisplayConduit*> done;
    for (unsigned int channel = 1; channel <= CRhinoDisplayConduit::SC_DRAWOVERLAY; channel <<= 1) {
        for (CRhinoDisplayConduit* conduit : snapshot) {
            const auto& live = RhinoApp().conduits();
            if (std::find(live.begin(), live.end(), conduit) == live.end())
                continue;
            if (!(conduit->ChannelMask() & channel) || !conduit->AppliesTo(*this))
                continue;
            if (std::find(done.begin(), done.end(), conduit) != done.end())
                continue;
            bool terminate = false;
            conduit->ExecConduit(*this, channel, terminate);
            if (terminate)
                done.push_back(conduit);
        }
    }
}

CRhinoDisplayConduit::CRhinoDisplayConduit(unsigned int channelMask) : mask_(channelMask) {
    RhinoApp().registerConduit(this);
}

CRhinoDisplayConduit::~CRhinoDisplayConduit() { RhinoApp().unregisterConduit(this); }

void CRhinoDisplayConduit::NotifyConduit(EConduitNotifiers, CRhinoDisplayPipeline&) {}

bool CRhinoDisplayConduit::Bind(const CRhinoViewport& viewport) {
    bound_.insert(viewport.ViewportSerialNumber());
    return true;
}

bool CRhinoDisplayConduit::Bind(const CRhinoView& view) { return Bind(view.Viewport()); }

bool CRhinoDisplayConduit::IsBound(const CRhinoViewport& viewport) const {
    return bound_.count(viewport.ViewportSerialNumber()) != 0;
}

bool CRhinoDisplayConduit::IsBound(const CRhinoDisplayPipeline& pipeline) const {
    const CRhinoViewport* viewport = pipeline.GetRhinoVP();
    return viewport && IsBound(*viewport);
}

bool CRhinoDisplayConduit::Enable(unsigned int docSerial) {
    if (docSerial == 0)
        return false;
    docSerial_ = docSerial;
    return true;
}

bool CRhinoDisplayConduit::AppliesTo(const CRhinoDisplayPipeline& pipeline) const {
    const CRhinoViewport* viewport = pipeline.GetRhinoVP();
    if (!viewport || docSerial_ == 0 || viewport->View().DocumentRuntimeSerialNumber() != docSerial_)
        return false;
    return bound_.empty() || IsBound(*viewport);
}
