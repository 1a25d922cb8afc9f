// The plug-in object owns what its load creates: before a load (as after a refused
// one) every hook the host can call copes with the missing parts, and a plug-in object
// that goes away takes its observers out of the host with it.

#include <gtest/gtest.h>

#include "plugin/plugin_identity.h"
#include "plugin/velora_plugin.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "settings/plugin_settings.h"
#include "support/test_environment.h"

// The plug-in object a module would hold; the plug-in library reaches it by name.
VeloraPlugin& ThePlugIn() {
    static VeloraPlugin plugin;
    return plugin;
}

namespace {

using namespace vantro::plugin;

class PluginOwnershipTest : public ::testing::Test {
protected:
    PluginOwnershipTest() {
        PluginSettings settings;  // no older-copy check: the test is no installed module
        settings.SetCheckPluginVersion(false);
        settings.SetSkipVeloraCheck(true);
    }
    vantro::test::TestEnvironment env;
};

// Nothing loaded: no sub-object exists, and the command, menu, idle and edit hooks
// answer without one (a load refused by the older-copy check leaves the same state
// but for the settings).
TEST_F(PluginOwnershipTest, HooksOfAPluginWithoutSubObjectsAnswerSafely) {
    VeloraPlugin plugin;
    EXPECT_TRUE(!plugin.settings() && !plugin.connection() && !plugin.materials() && !plugin.scene() && !plugin.ui() &&
                !plugin.cameraObserver() && !plugin.documentObserver() && !plugin.idleObserver() && !plugin.changes());
    CRhinoDoc* doc = RhinoApp().NewDocument();
    EXPECT_FALSE(plugin.StartLink(doc));
    EXPECT_EQ(plugin.linkState, VeloraPlugin::kLinkStopped);
    for (uint32_t id = kMenuStart; id < kMenuExportCollada; ++id)
        plugin.OnPlugInMenuCommand(id);
    plugin.OnInitPlugInMenuPopups(1, 0);
    plugin.SetCameraSync(true);
    plugin.ToggleCameraSync();
    plugin.MarkObjectAdded(1);
    plugin.OnIdle();
    plugin.UpdateUnitScale(doc);
    EXPECT_FALSE(plugin.ProcessChanges());
    EXPECT_FALSE(plugin.StopLink());
    EXPECT_EQ(plugin.changes(), nullptr);
}

// A loaded plug-in registers its document observer and camera conduit with the host;
// once the object is gone they are gone too, and a new document's events reach
// nothing of it (a freed observer still registered would be a use after free).
TEST_F(PluginOwnershipTest, DestroyedPluginLeavesNoObserverInTheHost) {
    const size_t watchers = RhinoApp().eventWatchers().size(), conduits = RhinoApp().conduits().size();
    {
        VeloraPlugin plugin;
        ASSERT_EQ(plugin.OnLoadPlugIn(), 1);
        EXPECT_TRUE(plugin.settings() && plugin.connection() && plugin.materials() && plugin.scene() && plugin.ui() &&
                    plugin.cameraObserver() && plugin.documentObserver() && plugin.idleObserver());
        EXPECT_EQ(plugin.changes(), nullptr);  // only while the link runs
        EXPECT_EQ(RhinoApp().eventWatchers().size(), watchers + 1);
        EXPECT_EQ(RhinoApp().conduits().size(), conduits + 1);
    }
    EXPECT_EQ(RhinoApp().eventWatchers().size(), watchers);
    EXPECT_EQ(RhinoApp().conduits().size(), conduits);
    RhinoApp().NewDocument();
    RhinoApp().OnIdle();
}

}  // namespace
