// velora-wake-listener: the renderer's window and nothing else, for bench_plugin. It
// publishes a main window as the renderer does ("Velora 8.3.0", class "VELORA START";
// "velora" in the program name lets the link's peer search find it), prints
// "READY" and then "WAKE <n>" the moment each wake-up message arrives, and never
// opens a connection, so that a link can be stopped and started again while it runs.
// It ends when its parent (the benchmark) is gone or after an hour.

#include <cstdio>
#include <unistd.h>

#include "platform/process.h"
#include "platform/window.h"

int main() {
    namespace platform = vantro::platform;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    platform::WindowInfo info;
    info.className = u"VELORA START";
    info.title = u"Velora 8.3.0";
    platform::Window window;
    if (!platform::Window::publish(info, window))
        return 1;
    std::printf("READY window=%llu\n", static_cast<unsigned long long>(window.handle()));
    const uint32_t parent = static_cast<uint32_t>(getppid());
    unsigned wakes = 0;
    for (int idle = 0; idle < 3600 && platform::isProcessAlive(parent);) {
        platform::WindowMessage message;
        if (!window.receive(message, 1000)) {
            ++idle;
            continue;
        }
        if (message.message == 0x8729)
            std::printf("WAKE %u\n", ++wakes);
    }
    return 0;
}
