#include "idle_observer.h"

#include "plugin/velora_plugin.h"

IdleObserver::IdleObserver(VeloraPlugin* plugin, const ON_UUID& plugInId) : CRhinoIsIdle(plugInId), plugin(plugin) {
    Register();
}

void IdleObserver::Notify(const CParameters&) { plugin->OnIdle(); }
