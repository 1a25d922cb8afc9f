#include "discovery/check_velora.h"

#include "velora_versions.h"
#include "link/compare_versions.h"
#include "platform/launch.h"

namespace vantro::discovery {

int CheckVelora(VeloraQuestions& questions) {
    const std::u16string running = GetRunningVersion();
    if (CompareVersions(running, kMinimumVeloraVersion) >= 0)
        return 1;
    const std::u16string installed = GetInstalledVersion();
    if (CompareVersions(installed, kMinimumVeloraVersion) < 0) {
        if (questions.AskNewerVelora())
            platform::shellOpen(questions.HomePageUrl());
        return 0;
    }
    if (running == u"0.0.0.0") {
        if (questions.AskStartVelora(true))
            LaunchVelora(installed);
    } else {
        questions.AskStartVelora(false);
    }
    return 1;
}

}  // namespace vantro::discovery
