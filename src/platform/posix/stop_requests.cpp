#include "platform/stop_requests.h"

#include <atomic>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace vantro::platform {

namespace {

std::atomic<int> gStopSignal{0};

extern "C" void onStopSignal(int signal) { gStopSignal.store(signal, std::memory_order_relaxed); }

// A signal handler runs in whichever thread the kernel picks and, under a sanitizer
// that defers signals to its own safe points, sometimes not at all while that thread
// sleeps in a plain system call. Waiting for the signal in a thread of its own, with
// the signals blocked everywhere else, makes the request arrive wherever the program
// happens to be.
void waitForStopSignals(sigset_t signals) {
    for (;;) {
        int signal = 0;
        if (::sigwait(&signals, &signal) == 0)
            gStopSignal.store(signal, std::memory_order_relaxed);
    }
}

void installHandlers() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

void startWaiter() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    // Threads started from here on inherit the mask; children we launch reset it.
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    try {
        std::thread(waitForStopSignals, signals).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the handlers still catch the signals, unblocked again.
        ::pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
    }
}

}  // namespace

void watchStopRequests() {
    // Whoever reads our output may go first (a host that launched us and ended): a
    // write into the closed pipe must fail quietly, not end us before we let go of the
    // channel, or its names stay behind with no holder left to remove them. A
    // file-size limit likewise fails the write (--obj, --preview) instead of ending us.
    static std::once_flag once;
    std::call_once(once, [] {
        std::signal(SIGPIPE, SIG_IGN);
        std::signal(SIGXFSZ, SIG_IGN);
        // Handlers stay for a thread that was started before and never blocked them.
        installHandlers();
        startWaiter();
    });
}

int stopRequest() { return gStopSignal.load(std::memory_order_relaxed); }

}  // namespace vantro::platform
