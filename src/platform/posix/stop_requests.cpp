#include "platform/stop_requests.h"

#include <csignal>

namespace vantro::platform {

namespace {

volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void onStopSignal(int signal) { gStopSignal = signal; }

}  // namespace

void watchStopRequests() {
    // Whoever reads our output may go first (a host that launched us and ended): a
    // write into the closed pipe must fail quietly, not end us before we let go of the
    // channel, or its names stay behind with no holder left to remove them. A
    // file-size limit likewise fails the write (--obj, --preview) instead of ending us.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

int stopRequest() { return gStopSignal; }

}  // namespace vantro::platform
