#pragma once
// SHA-256 (FIPS 180-4), used to shorten long kernel object names into POSIX names
// deterministically. Internal to the POSIX platform layer.

#include <array>
#include <cstdint>
#include <string_view>

namespace vantro::platform::posix {

std::array<uint8_t, 32> sha256(std::string_view bytes);

}  // namespace vantro::platform::posix
