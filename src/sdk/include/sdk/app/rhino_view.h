#pragma once
// CRhinoView: a view of a document: one viewport and the display pipeline that draws
// it. Views are created by CRhinoDoc::AddView (or with a new document) and live until
// their document closes.
// Thread-safety: main thread only.

#include <memory>

#include "sdk/app/rhino_display_pipeline.h"
#include "sdk/app/rhino_viewport.h"

class CRhinoDoc;

class CRhinoView {
public:
    CRhinoView(const CRhinoView&) = delete;
    CRhinoView& operator=(const CRhinoView&) = delete;
    ~CRhinoView();

    CRhinoViewport& Viewport() const { return *viewport_; }
    CRhinoViewport& ActiveViewport() const { return *viewport_; }
    CRhinoDisplayPipeline& DisplayPipeline() const { return *pipeline_; }
    CRhinoDoc* Document() const { return doc_; }
    unsigned int DocumentRuntimeSerialNumber() const;

    // Draws one frame: every enabled conduit that applies to this view has
    // ExecConduit called for each of its channels, in channel order.
    void Redraw();
    // Number of frames drawn so far.

private:
    friend class CRhinoDoc;
    CRhinoView(CRhinoDoc& doc, const ON_Viewport& vp, const ON_wString& name);

    CRhinoDoc* doc_;
    std::unique_ptr<CRhinoViewport> viewport_;
    std::unique_ptr<CRhinoDisplayPipeline> pipeline_;
    unsigned int redraws_ = 0;
};
