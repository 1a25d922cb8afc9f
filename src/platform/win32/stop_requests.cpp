#include "platform/stop_requests.h"

#include <atomic>
#include <csignal>

#include "win32/windows_api.h"

namespace vantro::platform {

namespace {

std::atomic<int> gStopSignal{0};

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI onConsoleControl(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT: gStopSignal.store(SIGINT); return TRUE;
        case CTRL_BREAK_EVENT: gStopSignal.store(SIGBREAK); return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            gStopSignal.store(SIGTERM);
            // The process ends as soon as this returns: give the main thread the time
            // the system allows (5 s) to let go of the channel; its exit ends this wait.
            ::Sleep(4000);
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

void watchStopRequests() { ::SetConsoleCtrlHandler(onConsoleControl, TRUE); }

int stopRequest() { return gStopSignal.load(); }

}  // namespace vantro::platform
