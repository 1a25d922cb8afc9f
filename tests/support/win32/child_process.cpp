// ChildProcess on Windows: CreateProcessW with the child's stdout on an anonymous
// pipe. A Windows program cannot be sent a signal, so kill and the destructor end the
// child with TerminateProcess and the exit code 128 + signal, the code a POSIX test
// reads for a killed child.

#include "support/child_process.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/utf.h"

namespace vantro::test {
namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// One argument quoted so that the runtime's command-line splitting gives it back.
std::string quoteArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

// Handles live in the int fields of the class; kernel handles keep their meaning in
// 32 bits (HandleToLong).
int fromHandle(HANDLE handle) { return static_cast<int>(::HandleToLong(handle)); }
HANDLE toHandle(int field) { return ::LongToHandle(field); }

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        throw std::runtime_error("CreatePipe failed");
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                                 0, nullptr);

    std::string line = quoteArgument(program);
    for (const std::string& arg : args) {
        line += ' ';
        line += quoteArgument(arg);
    }
    std::u16string wideLine = platform::fromUtf8(line);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = writeEnd;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(wideLine.data()), nullptr, nullptr, TRUE,
                                          0, nullptr, nullptr, &startup, &process);
    ::CloseHandle(writeEnd);
    if (input != INVALID_HANDLE_VALUE)
        ::CloseHandle(input);
    if (!started) {
        ::CloseHandle(readEnd);
        throw std::runtime_error("cannot start " + program);
    }
    ::CloseHandle(process.hThread);
    pid_ = static_cast<int>(process.dwProcessId);
    status_ = fromHandle(process.hProcess);
    stdoutFd_ = fromHandle(readEnd);
}

ChildProcess::~ChildProcess() {
    if (!exited_ && pid_ > 0) {
        kill(15);
        wait(2000);
    }
    if (stdoutFd_ >= 0)
        ::CloseHandle(toHandle(stdoutFd_));
    if (pid_ > 0)
        ::CloseHandle(toHandle(status_));
}

bool ChildProcess::readSome(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (stdoutFd_ < 0)
            return false;
        DWORD available = 0;
        if (!::PeekNamedPipe(toHandle(stdoutFd_), nullptr, 0, nullptr, &available, nullptr)) {
            ::CloseHandle(toHandle(stdoutFd_));  // the child closed its end
            stdoutFd_ = -1;
            return false;
        }
        if (available > 0) {
            char buffer[4096];
            DWORD n = 0;
            if (!::ReadFile(toHandle(stdoutFd_), buffer, std::min<DWORD>(available, sizeof buffer), &n, nullptr) ||
                n == 0) {
                ::CloseHandle(toHandle(stdoutFd_));
                stdoutFd_ = -1;
                return false;
            }
            output_.append(buffer, n);
            return true;
        }
        if (remainingMs(deadline) == 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

int ChildProcess::wait(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!exited_) {
        readSome(std::min(remainingMs(deadline), 20));
        if (::WaitForSingleObject(toHandle(status_), 0) == WAIT_OBJECT_0)
            exited_ = true;
        else if (remainingMs(deadline) == 0)
            return -1;
    }
    while (readSome(100)) {}
    DWORD code = 0;
    ::GetExitCodeProcess(toHandle(status_), &code);
    return static_cast<int>(code);
}

void ChildProcess::kill(int signal) {
    if (!exited_ && pid_ > 0)
        ::TerminateProcess(toHandle(status_), static_cast<UINT>(128 + signal));
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args, int timeoutMs) {
    ChildProcess child(program, args);
    RunResult result;
    result.exitCode = child.wait(timeoutMs);
    result.output = child.output();
    return result;
}

}  // namespace vantro::test
