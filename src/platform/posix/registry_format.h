#pragma once
// The registry store's on-disk text: the values file of a key and the directory
// names of keys (docs/platform.md, "Registry store"). Pure functions, no I/O.
// Internal to src/platform/posix.

#include "platform/registry.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantro::platform::posix {

// Parses a values file. nullopt when anything in it is malformed, including two
// names that differ only in case; the caller reports the key as corrupt.
std::optional<std::vector<RegValue>> parseValues(std::string_view text);

// The file text for values, in order, with its header comment.
std::string formatValues(const std::vector<RegValue>& values);

// The directory name of a key name: UTF-8, with '%', '/', control characters and a
// leading '.' written as %XX and unpaired surrogates as %uXXXX.
std::string encodeKeyName(std::u16string_view name);

// The key name of a directory name; nullopt when the directory name is not the
// encoding of any key name (not made by this store: ignored).
std::optional<std::u16string> decodeKeyName(std::string_view fileName);

}  // namespace vantro::platform::posix
