#pragma once
// The text of a window's description file (docs/platform.md, "Window stand-in"): written by
// the process that publishes the window, read by every process that lists windows.
// Pure functions, no I/O. Internal to src/platform/posix.

#include "platform/window.h"

#include <optional>
#include <string>
#include <string_view>

namespace vantro::platform::posix {

// The file text for info.
std::string describe(const WindowInfo& info);

// Parses a description file. nullopt for anything malformed (a hand-edited or foreign
// file is not a window); unknown keys are skipped.
std::optional<WindowInfo> parseDescription(std::string_view text);

}  // namespace vantro::platform::posix
