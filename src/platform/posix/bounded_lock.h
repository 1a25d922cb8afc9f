#pragma once
// A flock that waits a bounded time: the holder of a lock is another process, and
// one that hangs (or an outsider holding the lock on purpose) must not hang us.
// Internal to src/platform/posix.

#include <chrono>

namespace vantro::platform::posix {

// Takes flock(LOCK_EX) on fd, polling until timeout has passed. False when the
// lock stayed held that long (errno EWOULDBLOCK) or flock failed otherwise.
bool lockExclusiveWithin(int fd, std::chrono::milliseconds timeout);

}  // namespace vantro::platform::posix
