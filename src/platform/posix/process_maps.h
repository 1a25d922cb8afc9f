#pragma once
// Whether a process maps a given file, read from /proc/<pid>/maps. Internal to
// src/platform/posix.

#include <cstdint>

#include "platform/shared_memory.h"

namespace vantro::platform::posix {

// yes when a line of /proc/<pid>/maps names the file (device and inode) device,
// inode; no when none does or the process is gone; unknown when the list cannot be
// read (another user's process).
SharedMemory::MappedBy processMapsFile(uint32_t pid, uint64_t device, uint64_t inode);

// The same test on the text of a maps file (one mapping a line: "start-end perms
// offset MAJOR:MINOR inode path", numbers of the device in hex). Lines that do not
// parse are skipped.
bool mapsTextNamesFile(const char* text, size_t length, uint64_t device, uint64_t inode);

}  // namespace vantro::platform::posix
