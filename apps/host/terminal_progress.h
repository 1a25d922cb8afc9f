#pragma once
// TerminalProgress: the status bar's progress meter drawn on a terminal while it runs,
// so that a user watching a long open, start or export sees that work goes on.
//
// One line, redrawn in place: a carriage return, the meter's label and the share done
// ("Velora Vantro: loading materials… 42%"), then an erase to the end of the line; the
// line is wiped when the meter ends. The text is written again only when it changes,
// so a meter stepped millions of times writes at most a hundred and one lines.
//
// The host installs it (CRhinoApp::SetProgressSink) only when standard error is a
// terminal; into a pipe or a file nothing is drawn. Same thread as the meter.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "sdk/app/rhino_app.h"

namespace vantro::host {

// "<label> <share>%": the label without trailing blanks, the share of lower..upper
// that position has reached, in whole percent (100 for an empty range).
std::string progressLineText(const RhinoProgressMeterRun& run, int position);

class TerminalProgress {
public:
    explicit TerminalProgress(std::function<void(std::string_view)> write) : write_(std::move(write)) {}
    // Wipes a line still shown.
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // One step of the meter (CRhinoApp's progress sink).
    void show(const RhinoProgressMeterRun& run, int position);

private:
    void wipe();

    std::function<void(std::string_view)> write_;
    std::string shown_;  // the text on the line now; empty when nothing is drawn
};

// Whether standard error is a terminal (posix/plugin_module.cpp).
bool standardErrorIsTerminal();

// For the length of a run: a TerminalProgress on standard error as the application's
// progress sink when standard error is a terminal, nothing otherwise. Main thread.
class StandardErrorProgress {
public:
    StandardErrorProgress();
    ~StandardErrorProgress();
    StandardErrorProgress(const StandardErrorProgress&) = delete;
    StandardErrorProgress& operator=(const StandardErrorProgress&) = delete;

private:
    std::unique_ptr<TerminalProgress> progress_;
};

}  // namespace vantro::host
