#pragma once
// hashData: the byte hash the Windows shell utility library calls HashData. The
// link statistics publish it for the link name, and a renderer may compare it with
// what it computed itself, so it must give exactly the Windows function's bytes.
//
// On Windows win32/hash_data.cpp calls the system's HashData. Elsewhere
// posix/hash_data.cpp computes the same bytes. tests/link/hash_data_test.cpp holds both to the outputs of
// the Windows function in tests/data/hashdata/ (written by scripts/hashdata-golden.sh):
// the Linux build's copy, and under Wine the system function itself.
//
// Pure; any thread.

#include <cstdint>
#include <span>

namespace vantro::platform {

// Hashes data into every byte of hash (any size, 0 included; data may be empty).
// Output byte i depends only on data and on i modulo 256, so the first n bytes of a
// longer hash are the n-byte hash.
void hashData(std::span<const uint8_t> data, std::span<uint8_t> hash);

}  // namespace vantro::platform
