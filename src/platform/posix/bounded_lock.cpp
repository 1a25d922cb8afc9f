#include "posix/bounded_lock.h"

#include <algorithm>
#include <cerrno>
#include <sys/file.h>
#include <thread>

namespace vantro::platform::posix {

bool lockExclusiveWithin(int fd, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    // Critical sections are a few system calls: start with short naps so that a
    // busy lock costs little latency, and back off so that a stuck one costs no CPU.
    std::chrono::microseconds nap(200);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        Clock::time_point now = Clock::now();
        if (now >= deadline) {
            errno = EWOULDBLOCK;
            return false;
        }
        std::this_thread::sleep_for(
            std::min<Clock::duration>(nap, std::chrono::duration_cast<Clock::duration>(deadline - now)));
        nap = std::min<std::chrono::microseconds>(nap * 2, std::chrono::milliseconds(20));
    }
}

}  // namespace vantro::platform::posix
