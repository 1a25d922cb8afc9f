#pragma once
// Starts a real child process (the peer, the host) and collects its output, so that
// tests can assert what another process saw.

#include <string>
#include <vector>

namespace vantro::test {

class ChildProcess {
public:
    // Starts program with args (argv[0] is added); stdout is captured, stderr is
    // passed through. Throws std::runtime_error when the program cannot start.
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    // Ends the child if it still runs (SIGTERM, then SIGKILL after 2 s), then reaps it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    int pid() const { return pid_; }

    // Reads stdout until a line containing text appears or timeoutMs passes; returns
    // that line, or an empty string on timeout or end of output.
    std::string waitForLine(const std::string& text, int timeoutMs = 10000);

    // Waits for the child to end (reading the rest of stdout); returns its exit code,
    // 128 + signal when killed, or -1 on timeout.
    int wait(int timeoutMs = 30000);

    void kill(int signal = 9);

    // Everything read from stdout so far.
    const std::string& output() const { return output_; }

private:
    bool readSome(int timeoutMs);

    int pid_ = -1;
    int stdoutFd_ = -1;
    bool exited_ = false;
    int status_ = 0;
    std::string output_;
    size_t scanned_ = 0;
};

// Runs a program to completion and returns {exit code, stdout}.
struct RunResult {
    int exitCode = -1;
    std::string output;
};
RunResult runProgram(const std::string& program, const std::vector<std::string>& args, int timeoutMs = 60000);

}  // namespace vantro::test
