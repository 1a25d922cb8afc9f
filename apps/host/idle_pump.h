#pragma once
// The host's idle time. The modelling application calls its idle hooks again and again
// while it is idle, not once per command: a plug-in that put work off (a change set
// kept because the scene was busy, a renderer that closed the link) gets to it without
// waiting for the user. The host is idle while it waits for the next line of standard
// input (with the followed file) and during the Wait command; the pump then runs every kIdleInterval.
// Main thread only (the pump raises the idle event there).

#include <chrono>

namespace vantro::host {

inline constexpr std::chrono::milliseconds kIdleInterval{20};

// Waits for duration, running the idle pump every kIdleInterval meanwhile.
void idleFor(std::chrono::milliseconds duration);

}  // namespace vantro::host
