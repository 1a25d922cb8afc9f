#pragma once
// Processes: ids, image paths, liveness.

#include <cstdint>
#include <string>

namespace vantro::platform {

uint32_t currentProcessId();

// Fills ids with the ids of running processes, like EnumProcesses: at most
// capacityBytes / 4 ids; bytesReturned gets the bytes written. False on failure.
bool enumProcesses(uint32_t* ids, uint32_t capacityBytes, uint32_t* bytesReturned);

// The full path of the process's executable image, at most maxUnits UTF-16 units.
// False when the process is gone, not ours to inspect, or the path is longer.
bool queryProcessImagePath(uint32_t pid, std::u16string& out, size_t maxUnits = 260);

bool isProcessAlive(uint32_t pid);

}  // namespace vantro::platform
