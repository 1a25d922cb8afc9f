#pragma once
// Base64 (RFC 4648, standard alphabet, with '=' padding) for the binary payloads of
// documents: embedded bitmaps and files.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::docio {

// Encodes bytes; the result's length is 4 * ceil(size / 4 * 3). Any thread.
std::string encodeBase64(const uint8_t* data, size_t size);

// Decodes text strictly: only the 64 alphabet characters, a length that is a multiple
// of 4, at most two '=' and only at the end, and zero bits after the last byte.
// Nothing (no value) for anything else, including whitespace. Any thread.
std::optional<std::vector<uint8_t>> decodeBase64(std::string_view text);

}  // namespace vantro::docio
