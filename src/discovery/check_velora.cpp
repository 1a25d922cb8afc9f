#include "discovery/check_velora.h"

#include "velora_versions.h"
#include "link/compare_versions.h"
#include "platform/launch.h"
#include "ui/plugin_ui.h"
#include "ui/web_addresses.h"

using namespace vantro::ui;

namespace vantro::discovery {

int CheckVelora(PluginUi& ui) {
    const std::u16string running = GetRunningVersion();
    if (CompareVersions(running, kMinimumVeloraVersion) >= 0)
        return 1;
    const std::u16string installed = GetInstalledVersion();
    if (CompareVersions(installed, kMinimumVeloraVersion) < 0) {
        if (ui.AskNewerVelora())
            platform::shellOpen(HomePageUrl().Array());
        return 0;
    }
    if (running == u"0.0.0.0") {
        if (ui.AskStartVelora(true))
            LaunchVelora(installed);
    } else {
        ui.AskStartVelora(false);
    }
    return 1;
}

}  // namespace vantro::discovery
