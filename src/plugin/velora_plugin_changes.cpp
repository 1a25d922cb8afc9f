// Change processing of the plug-in object: the pending change set, the idle hook and
// the application of edits to the scene.
//
// Until the change tracking lands no edit is recorded: there is never a change set
// (EnsureChangeSet, ExpandChanges and DependsOnChanges are not defined yet), and the
// idle hook only stops a link the renderer has closed.

#include "link/live_connection.h"
#include "plugin/velora_plugin.h"

void VeloraPlugin::OnIdle() {
    // The renderer sets the closed flag when it ends the link; the link stops here,
    // on the main thread, at the next idle.
    if (linkState == kLinkRunning && connection && !connection->IsActive()) {
        StopLink();
        return;
    }
    ProcessChanges();
}

void VeloraPlugin::ProcessChanges() {}

void VeloraPlugin::DiscardChanges() { changes = nullptr; }
