#pragma once
// HostOutput: where everything the host shows goes (stdout in vantro-host, a string in
// tests): the command area's text as it is printed, the host's own messages and the
// event log.
//
// Text printed without a final line break (the command area allows that) stays open;
// line() first ends such an open line so that every host message and log entry starts
// a line of its own.
// Thread-safety: any thread (the application's Print may be called from a plug-in's
// worker threads); writes are serialised, each write reaches the sink whole.

#include <functional>
#include <mutex>
#include <string>
#include <string_view>

namespace vantro::host {

class HostOutput {
public:
    using Sink = std::function<void(std::string_view utf8)>;

    explicit HostOutput(Sink sink) : sink_(std::move(sink)) {}

    // Writes text as it is.
    void write(std::string_view utf8);
    // Writes text as one line: a line break first when the output stands in the
    // middle of a line, and one after the text.
    void line(std::string_view utf8);
    // Whether the last text written ended a line (true before anything is written).
    bool atLineStart() const;

private:
    mutable std::mutex mutex_;  // guards sink_ calls and atLineStart_
    Sink sink_;
    bool atLineStart_ = true;
};

}  // namespace vantro::host
