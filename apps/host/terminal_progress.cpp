#include "terminal_progress.h"

#include <algorithm>
#include <cstdio>

namespace vantro::host {

namespace {

constexpr std::string_view kEraseToLineEnd = "\x1b[K";

}  // namespace

std::string progressLineText(const RhinoProgressMeterRun& run, int position) {
    std::string text = run.label.ToUtf8();
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    const long long range = static_cast<long long>(run.upper) - run.lower;
    const long long done = std::clamp<long long>(static_cast<long long>(position) - run.lower, 0, range);
    const long long percent = range <= 0 ? 100 : done * 100 / range;
    if (!text.empty())
        text += ' ';
    return text + std::to_string(percent) + "%";
}

TerminalProgress::~TerminalProgress() { wipe(); }

void TerminalProgress::show(const RhinoProgressMeterRun& run, int position) {
    if (run.ended) {
        wipe();
        return;
    }
    std::string text = progressLineText(run, position);
    if (text == shown_)
        return;
    shown_ = std::move(text);
    write_("\r" + shown_ + std::string(kEraseToLineEnd));
}

void TerminalProgress::wipe() {
    if (shown_.empty())
        return;
    shown_.clear();
    write_("\r" + std::string(kEraseToLineEnd));
}

StandardErrorProgress::StandardErrorProgress() {
    if (!standardErrorIsTerminal())
        return;
    progress_ = std::make_unique<TerminalProgress>([](std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fflush(stderr);
    });
    RhinoApp().SetProgressSink([progress = progress_.get()](const RhinoProgressMeterRun& run, int position) {
        progress->show(run, position);
    });
}

StandardErrorProgress::~StandardErrorProgress() {
    if (progress_)
        RhinoApp().SetProgressSink(nullptr);
}

}  // namespace vantro::host
