#pragma once
// Reading a whole file whose name came from another process.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace vantro::platform {

// The bytes of the regular file at path (UTF-8), when it has at most maxBytes. Only
// the opened file is checked -- a path checked first may be swapped for a pipe or a
// device before it is opened -- and opening never waits for a pipe's writer.
// nullopt when the file cannot be opened, is not a regular file, is larger than
// maxBytes or shrinks while it is read. Any thread.
std::optional<std::vector<std::byte>> readRegularFile(std::string_view path, uint64_t maxBytes);

}  // namespace vantro::platform
