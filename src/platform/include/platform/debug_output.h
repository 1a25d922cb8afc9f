#pragma once
// OutputDebugStringW's stand-in: writes to stderr, or to a sink tests install.

#include <functional>
#include <string_view>

namespace vantro::platform {

// Writes text as UTF-8 to stderr in one piece, or hands it to the installed sink.
// Any thread; calls are serialised, and a sink must not call back into this function.
void outputDebugString(std::u16string_view text);

// Replaces the destination of debug output (nullptr restores stderr). Thread-safe;
// once it returns, the previous sink is no longer running and will not be called.
using DebugSink = std::function<void(std::u16string_view)>;
void setDebugSink(DebugSink sink);

}  // namespace vantro::platform
