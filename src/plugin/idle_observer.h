#pragma once
// IdleObserver: hands the host's idle notifications to the plug-in object
// (VeloraPlugin::OnIdle), where pending edits are applied and a link the renderer
// closed is stopped. It registers itself at construction and stays disabled until
// the link starts.
//
// Compiled into the plug-in library (vantro_plugin), like RhinoObserver.
// Main thread only.

#include "sdk/document/rhino_event_watcher_ex.h"

class VeloraPlugin;

class IdleObserver : public CRhinoIsIdle {
public:
    // Registers with the host, disabled. plugin is not owned and outlives it.
    IdleObserver(VeloraPlugin* plugin, const ON_UUID& plugInId);

    void Notify(const CParameters& parameters) override;

    VeloraPlugin* const plugin;
};
