#include "platform/debug_output.h"

#include <mutex>

#include "win32/windows_api.h"

namespace vantro::platform {
namespace {

std::mutex sinkMutex;
DebugSink currentSink;  // guarded by sinkMutex

}  // namespace

void outputDebugString(std::u16string_view text) {
    // The sink runs under the mutex, so once setDebugSink returns no call into the
    // previous sink is still running; a sink must not call outputDebugString.
    std::lock_guard<std::mutex> guard(sinkMutex);
    if (currentSink)
        currentSink(text);
    else
        ::OutputDebugStringW(win32::wide(text).c_str());
}

void setDebugSink(DebugSink sink) {
    std::lock_guard<std::mutex> guard(sinkMutex);
    currentSink = std::move(sink);
}

}  // namespace vantro::platform
