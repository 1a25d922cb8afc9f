#pragma once
// OutputDebugStringW's stand-in: writes to stderr, or to a sink tests install.

#include <functional>
#include <string_view>

namespace vantro::platform {

void outputDebugString(std::u16string_view text);

// Replaces the destination of debug output (nullptr restores stderr). Thread-safe.
using DebugSink = std::function<void(std::u16string_view)>;
void setDebugSink(DebugSink sink);

}  // namespace vantro::platform
