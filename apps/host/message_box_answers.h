#pragma once
// The host's message boxes: a plug-in's box is printed in the output, and a box that
// asks a question is answered from the --answer list (in order), then from the
// terminal when standard input is one, else with the box's default button, saying
// so. Boxes with a single button need no answer.
//
// Printed as:
//   [message box] <title> (<icon>, <buttons>)
//   <text, line by line>
//   [answer] Yes (--answer)          or (terminal), or (default: no answer given)
// Main thread only.

#include <deque>
#include <functional>
#include <string>

#include "host_output.h"
#include "sdk/app/rhino_message_box.h"

namespace vantro::host {

class MessageBoxAnswers {
public:
    // readLine reads one line from the terminal (false at end of input); null when
    // standard input is not a terminal.
    MessageBoxAnswers(HostOutput& output, std::deque<bool> answers, std::function<bool(std::string& line)> readLine);

    // The handler for RhinoSetMessageBoxHandler.
    int answer(const RhinoMessageBox& box);

private:
    int askTerminal(const RhinoMessageBox& box, bool& answered);

    HostOutput& output_;
    std::deque<bool> answers_;  // true: Yes
    std::function<bool(std::string&)> readLine_;
};

// "error", "question", "warning", "information" or "no icon"; "OK", "Yes/No", ...
std::string messageBoxIconName(uint32_t flags);
std::string messageBoxButtonsName(uint32_t flags);

}  // namespace vantro::host
