#include "platform/debug_output.h"

#include "posix/unique_fd.h"
#include "platform/utf.h"

#include <mutex>
#include <unistd.h>

namespace vantro::platform {
namespace {

std::mutex sinkMutex;
DebugSink currentSink;  // guarded by sinkMutex

void writeToStderr(std::u16string_view text) {
    std::string bytes = toUtf8(text);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = posix::retryOnInterrupt([&] { return ::write(2, bytes.data() + done, bytes.size() - done); });
        if (n <= 0)
            return;  // nowhere to report a failing stderr
        done += static_cast<size_t>(n);
    }
}

}  // namespace

void outputDebugString(std::u16string_view text) {
    // The sink runs under the mutex, so once setDebugSink returns no call into the
    // previous sink is still running; a sink must not call outputDebugString.
    std::lock_guard<std::mutex> guard(sinkMutex);
    if (currentSink)
        currentSink(text);
    else
        writeToStderr(text);
}

void setDebugSink(DebugSink sink) {
    std::lock_guard<std::mutex> guard(sinkMutex);
    currentSink = std::move(sink);
}

}  // namespace vantro::platform
