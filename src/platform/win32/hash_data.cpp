// On Windows the link's hash is the system's own HashData: a renderer compares it with
// what it computed with that very function.

#include "platform/hash_data.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// clang-format off: shlwapi.h needs windows.h first.
#include <shlwapi.h>
// clang-format on

namespace vantro::platform {

void hashData(std::span<const uint8_t> data, std::span<uint8_t> hash) {
    if (hash.empty())
        return;
    // The function refuses a null source even for zero bytes.
    static const uint8_t kNothing = 0;
    const uint8_t* source = data.empty() ? &kNothing : data.data();
    ::HashData(const_cast<BYTE*>(source), static_cast<DWORD>(data.size()), hash.data(),
               static_cast<DWORD>(hash.size()));
}

}  // namespace vantro::platform
