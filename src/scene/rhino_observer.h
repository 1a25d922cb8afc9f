#pragma once
// RhinoObserver: the plug-in's document event watcher. It registers itself with the
// host at construction and stays disabled until the link starts; while enabled it
// stops the link when the linked document closes or is replaced, checks the name of
// every full save (VeloraPlugin::CheckSavedName), and records edits for the idle
// processing.
//
// Compiled into the plug-in library (vantro_plugin), not vantro_scene: it reports to
// the plug-in object, and the scene library stays free of plug-in includes.
// Main thread only.

#include "sdk/rhino_event_watcher.h"

class VeloraPlugin;

class RhinoObserver : public CRhinoEventWatcher {
public:
    // Registers with the host, disabled. plugin is not owned and outlives it.
    explicit RhinoObserver(VeloraPlugin* plugin);

    void OnCloseDocument(CRhinoDoc& doc) override;
    void OnNewDocument(CRhinoDoc& doc) override;
    void OnBeginOpenDocument(CRhinoDoc& doc, const char16_t* fileName, bool merge, bool reference) override;
    void OnBeginSaveDocument(CRhinoDoc& doc, const char16_t* fileName, bool exportSelected) override;

    VeloraPlugin* const plugin;
};
