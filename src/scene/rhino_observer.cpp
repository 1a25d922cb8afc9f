#include "scene/rhino_observer.h"

#include "plugin/velora_plugin.h"

RhinoObserver::RhinoObserver(VeloraPlugin* plugin) : plugin(plugin) { Register(); }

void RhinoObserver::OnCloseDocument(CRhinoDoc&) { plugin->StopLink(); }

void RhinoObserver::OnNewDocument(CRhinoDoc&) { plugin->StopLink(); }

void RhinoObserver::OnBeginOpenDocument(CRhinoDoc&, const char16_t*, bool merge, bool) {
    // A merge imports into the linked document, which stays linked.
    if (!merge) plugin->StopLink();
}

void RhinoObserver::OnBeginSaveDocument(CRhinoDoc& doc, const char16_t* fileName, bool exportSelected) {
    // Exporting the selection leaves the document's name as it is.
    if (!exportSelected) plugin->CheckSavedName(&doc, fileName);
}
