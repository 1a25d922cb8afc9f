#pragma once
// Processes: ids, image paths, liveness.

#include <cstdint>
#include <string>

namespace vantro::platform {

// All functions may be called from any thread.

uint32_t currentProcessId();

// Fills ids with the ids of running processes (from /proc), like EnumProcesses: at
// most capacityBytes / 4 ids; bytesReturned gets the bytes written. A full array
// is a success (bytesReturned == capacity rounded down to 4: retry larger). ids may
// be null only when capacityBytes < 4. False on failure or a null bytesReturned.
bool enumProcesses(uint32_t* ids, uint32_t capacityBytes, uint32_t* bytesReturned);

// The full path of the process's executable image (/proc/<pid>/exe) in UTF-16.
// maxUnits is the caller's buffer size including its terminator, as for
// QueryFullProcessImageNameW: a path of maxUnits units or more fails. False when
// the process is gone, not ours to inspect (another user's, a kernel thread) or the
// path is too long; out is then unchanged. An executable deleted since it started
// reads with the kernel's " (deleted)" suffix.
bool queryProcessImagePath(uint32_t pid, std::u16string& out, size_t maxUnits = 260);

// True while the process runs (also when it belongs to another user). A zombie, which
// has ended and waits only to be reaped, is not alive. False for pid 0.
bool isProcessAlive(uint32_t pid);

}  // namespace vantro::platform
