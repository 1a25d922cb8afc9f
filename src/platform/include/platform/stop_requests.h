#pragma once
// Requests from outside to end the process, turned into a flag that a long-running
// program polls, so that it lets go of its shared memory before it ends: SIGTERM and
// SIGINT on POSIX; the console's Ctrl+C, Ctrl+Break and close events on Windows.
// Writes into a pipe whose reader has gone fail with an error instead of ending the
// process (POSIX ignores SIGPIPE, and SIGXFSZ so that a file-size limit fails the write; Windows has neither signal).

namespace vantro::platform {

// Installs the handlers; call once, early, from the main thread.
void watchStopRequests();

// 0 while no stop was requested, else the C signal number of the latest request:
// SIGTERM (15) or SIGINT (2); on Windows Ctrl+C is SIGINT, Ctrl+Break SIGBREAK (21)
// and closing the console, logging off or shutting down SIGTERM. Any thread.
int stopRequest();

}  // namespace vantro::platform
