// A renderer stand-in with several top-level windows, for the tests of which window
// is the renderer's main window. Its image path contains "velora", so the link takes
// it for a renderer process.
//   velora_windows_child MESSAGES CLASS=TITLE[=hidden] ...
// Publishes the windows in the order given (the first is in front), prints
// "READY <handle> ...", then prints "MESSAGE window=<index> id=0x<id> wParam=<w>
// lParam=<l>" for each message posted to any of them until MESSAGES have come (0:
// until ended) or 30 s have passed, and exits 0 (1 when a window could not be
// published).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/utf.h"
#include "platform/window.h"

using namespace vantro::platform;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s MESSAGES CLASS=TITLE[=hidden] ...\n", argv[0]);
        return 2;
    }
    const int wanted = std::atoi(argv[1]);
    std::vector<Window> windows(static_cast<size_t>(argc - 2));
    std::string ready = "READY";
    // A new top-level window goes in front of the others: publish the first given last.
    for (int i = argc - 1; i >= 2; --i) {
        const std::string_view spec = argv[i];
        const size_t equals = spec.find('=');
        const std::string_view rest = equals == spec.npos ? std::string_view() : spec.substr(equals + 1);
        const size_t second = rest.find('=');
        WindowInfo info;
        info.className = fromUtf8(spec.substr(0, equals));
        info.title = fromUtf8(rest.substr(0, second));
        info.visible = second == rest.npos || rest.substr(second + 1) != "hidden";
        if (!Window::publish(info, windows[size_t(i - 2)]))
            return 1;
    }
    for (const Window& window : windows) {
        ready += ' ';
        ready += std::to_string(window.handle());
    }
    std::printf("%s\n", ready.c_str());
    std::fflush(stdout);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int received = 0; (wanted == 0 || received < wanted) && std::chrono::steady_clock::now() < deadline;) {
        for (size_t i = 0; i < windows.size(); ++i) {
            WindowMessage message;
            if (!windows[i].receive(message, 5))
                continue;
            std::printf("MESSAGE window=%zu id=0x%X wParam=%llu lParam=%llu\n", i, message.message,
                        static_cast<unsigned long long>(message.wParam),
                        static_cast<unsigned long long>(message.lParam));
            std::fflush(stdout);
            ++received;
        }
    }
    return 0;
}
