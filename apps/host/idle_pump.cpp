#include "idle_pump.h"

#include <thread>

#include "sdk/app/rhino_app.h"

namespace vantro::host {

void idleFor(std::chrono::milliseconds duration) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    for (auto now = std::chrono::steady_clock::now(); now < deadline; now = std::chrono::steady_clock::now()) {
        RhinoApp().OnIdle();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        std::this_thread::sleep_for(std::min(left, kIdleInterval));
    }
}

}  // namespace vantro::host
