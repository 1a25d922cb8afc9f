#include "host_output.h"

namespace vantro::host {

void HostOutput::write(std::string_view utf8) {
    if (utf8.empty())
        return;
    std::lock_guard lock(mutex_);
    sink_(utf8);
    atLineStart_ = utf8.back() == '\n';
}

void HostOutput::line(std::string_view utf8) {
    std::string text;
    text.reserve(utf8.size() + 2);
    std::lock_guard lock(mutex_);
    if (!atLineStart_)
        text += '\n';
    text += utf8;
    text += '\n';
    sink_(text);
    atLineStart_ = true;
}

bool HostOutput::atLineStart() const {
    std::lock_guard lock(mutex_);
    return atLineStart_;
}

}  // namespace vantro::host
