#include "posix/bounded_lock.h"

#include <algorithm>
#include <cerrno>
#include <sys/file.h>
#include <thread>

namespace vantro::platform::posix {

bool lockExclusiveWithin(int fd, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    // Critical sections are a few system calls, and a holder in a tight loop takes the
    // lock again at once: waiters must look often (yield first, then naps of at most
    // half a millisecond), or one process runs whole bursts while the others sleep.
    // A lock stuck for the whole timeout still costs only a few thousand system calls.
    std::chrono::microseconds nap(20);
    int yields = 0;
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
        if (yields < 16) {
            ++yields;
            std::this_thread::yield();
            continue;
        }
        std::this_thread::sleep_for(
            std::min<Clock::duration>(nap, std::chrono::duration_cast<Clock::duration>(deadline - now)));
        nap = std::min<std::chrono::microseconds>(nap * 2, std::chrono::microseconds(500));
    }
}

}  // namespace vantro::platform::posix
