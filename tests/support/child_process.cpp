#include "support/child_process.h"

#include <fcntl.h>

#include <chrono>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vantro::test {
namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    // A child never reads the terminal a test was started from (a host would ask it).
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeFds[1]);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        throw std::runtime_error("cannot start " + program);
    }
    stdoutFd_ = pipeFds[0];
}

ChildProcess::~ChildProcess() {
    // SIGTERM first: a peer still holding a channel whose creator has gone lets go of
    // it on SIGTERM, where SIGKILL would leave the names in /dev/shm with no holder.
    if (!exited_ && pid_ > 0) {
        ::kill(pid_, SIGTERM);
        if (wait(2000) < 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
        }
    }
    if (stdoutFd_ >= 0)
        close(stdoutFd_);
}

bool ChildProcess::readSome(int timeoutMs) {
    if (stdoutFd_ < 0)
        return false;
    pollfd pfd{stdoutFd_, POLLIN, 0};
    if (poll(&pfd, 1, timeoutMs) <= 0)
        return false;
    char buffer[4096];
    ssize_t n = read(stdoutFd_, buffer, sizeof buffer);
    if (n <= 0) {
        close(stdoutFd_);
        stdoutFd_ = -1;
        return false;
    }
    output_.append(buffer, static_cast<size_t>(n));
    return true;
}

int ChildProcess::wait(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!exited_) {
        readSome(std::min(remainingMs(deadline), 20));
        pid_t done = waitpid(pid_, &status_, WNOHANG);
        if (done == pid_)
            exited_ = true;
        else if (remainingMs(deadline) == 0)
            return -1;
    }
    while (readSome(100)) {}
    if (WIFEXITED(status_))
        return WEXITSTATUS(status_);
    return 128 + WTERMSIG(status_);
}

void ChildProcess::kill(int signal) {
    if (!exited_ && pid_ > 0)
        ::kill(pid_, signal);
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args, int timeoutMs) {
    ChildProcess child(program, args);
    RunResult result;
    result.exitCode = child.wait(timeoutMs);
    result.output = child.output();
    return result;
}

}  // namespace vantro::test
