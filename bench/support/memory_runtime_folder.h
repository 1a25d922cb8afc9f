#pragma once
// Puts the links of a benchmark run in memory, as a desktop session does: its runtime
// folder ($XDG_RUNTIME_DIR) is a tmpfs, and a Windows named mapping lives in memory
// too. Without one, the links' mappings are files under /tmp, which on a machine whose
// /tmp is on disk makes the kernel write every dirty page of a channel back, so that
// the link's costs become the disk's (sending 10,000 materials took 11.8x the time of
// 1,000 there, 10.0x in memory).
//
// Does nothing when VANTRO_RUNTIME_DIR or XDG_RUNTIME_DIR is set, or when there is no
// /dev/shm. The folder it makes is private to the user and removed at exit.

namespace vantro::bench {

void UseMemoryRuntimeFolder();

}  // namespace vantro::bench
