// Finding a line in a child's output is the same whatever started the child; only
// reading more of it (readSome) is the system's.

#include <algorithm>
#include <chrono>

#include "support/child_process.h"

namespace vantro::test {

std::string ChildProcess::waitForLine(const std::string& text, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto remainingMs = [&] {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        return static_cast<int>(std::max<long long>(0, left));
    };
    for (;;) {
        const size_t found = output_.find(text, scanned_);
        if (found != std::string::npos) {
            size_t begin = output_.rfind('\n', found);
            begin = begin == std::string::npos ? 0 : begin + 1;
            const size_t end = output_.find('\n', found);
            if (end != std::string::npos) {
                scanned_ = end + 1;
                std::string line = output_.substr(begin, end - begin);
                // A Windows child ends its lines with CR LF.
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return line;
            }
        }
        if (remainingMs() == 0 || (!readSome(remainingMs()) && stdoutFd_ < 0))
            return {};
    }
}

}  // namespace vantro::test
