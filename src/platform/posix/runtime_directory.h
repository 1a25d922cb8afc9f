#pragma once
// Where the window stand-in keeps its files. Internal to src/platform/posix.

#include <string>

namespace vantro::platform::posix {

// $VANTRO_RUNTIME_DIR, else $XDG_RUNTIME_DIR/vantro, else /tmp/vantro-<uid>, created
// (mode 0700) when missing. Empty when it cannot be made, or when the /tmp fallback
// is not a real directory owned by us and closed to others (someone may have
// planted it there first).
std::string runtimeDirectory();

}  // namespace vantro::platform::posix
