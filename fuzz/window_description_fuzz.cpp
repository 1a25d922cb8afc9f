// Fuzz target for the window-description parser: a description file is written by
// whichever process published the window, so any bytes may be there. A file that
// parses must describe a window that writes out as text parsing to the same window.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/posix/window_description.h"

using namespace vantro::platform;

namespace {

bool sameWindow(const WindowInfo& a, const WindowInfo& b) {
    return a.handle == b.handle && a.ownerPid == b.ownerPid && a.ownerWindow == b.ownerWindow &&
           a.visible == b.visible && a.className == b.className && a.title == b.title;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto info = posix::parseDescription(text);
    if (!info)
        return 0;
    const std::string written = posix::describe(*info);
    const auto again = posix::parseDescription(written);
    if (!again || !sameWindow(*info, *again) || posix::describe(*again) != written)
        std::abort();
    return 0;
}
