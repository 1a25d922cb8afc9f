#pragma once
// The host's idle time. The modelling application calls its idle hooks again and again
// while it is idle, not once per command: a plug-in that put work off (a change set
// kept because the scene was busy, a renderer that closed the link) gets to it without
// waiting for the user. The host is idle while it waits for the next line of standard
// input and during the Wait command; the pump then runs every kIdleInterval.
// Main thread only (the pump raises the idle event there).

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace vantro::host {

inline constexpr std::chrono::milliseconds kIdleInterval{20};

// Waits for duration, running the idle pump every kIdleInterval meanwhile.
void idleFor(std::chrono::milliseconds duration);

// Lines of standard input, read by a thread of their own so that the main thread can
// keep the idle pump going while no line has arrived. Every read of standard input
// goes through the one reader (commands, and the answers a plug-in's question or a
// message box takes from the terminal), so that no line is taken out of turn.
class InputLines {
public:
    InputLines();
    ~InputLines();
    InputLines(const InputLines&) = delete;
    InputLines& operator=(const InputLines&) = delete;

    // The next line; false at the end of input. With idle, the idle pump runs every
    // kIdleInterval until the line arrives (a command prompt); without, it just waits
    // (an answer inside a command, when the application is not idle).
    bool next(std::string& line, bool idle);

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<std::string> lines;  // guarded by mutex
        bool ended = false;             // guarded by mutex
    };
    // Shared with the reader thread, which may outlive this object: it is blocked in a
    // read of standard input that nothing can interrupt, so it is detached, not joined.
    std::shared_ptr<Shared> shared_;
};

}  // namespace vantro::host
