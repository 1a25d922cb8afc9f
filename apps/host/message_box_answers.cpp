#include "message_box_answers.h"

#include <algorithm>
#include <cctype>

namespace vantro::host {

namespace {

std::string buttonName(int button) {
    switch (button) {
        case IDYES: return "Yes";
        case IDNO: return "No";
        case IDCANCEL: return "Cancel";
        default: return "OK";
    }
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

}  // namespace

std::string messageBoxIconName(uint32_t flags) {
    switch (flags & 0xF0) {
        case MB_ICONERROR: return "error";
        case MB_ICONQUESTION: return "question";
        case MB_ICONWARNING: return "warning";
        case MB_ICONINFORMATION: return "information";
        default: return "no icon";
    }
}

std::string messageBoxButtonsName(uint32_t flags) {
    std::string names;
    for (int button : RhinoMessageBoxButtons(flags))
        names += (names.empty() ? "" : "/") + buttonName(button);
    return names;
}

MessageBoxAnswers::MessageBoxAnswers(HostOutput& output, std::deque<bool> answers,
                                     std::function<bool(std::string& line)> readLine)
    : output_(output), answers_(std::move(answers)), readLine_(std::move(readLine)) {}

int MessageBoxAnswers::answer(const RhinoMessageBox& box) {
    output_.line("[message box] " + box.title.ToUtf8() + " (" + messageBoxIconName(box.flags) + ", " +
                 messageBoxButtonsName(box.flags) + (box.smallIcon ? ", plug-in icon" : "") + ")");
    output_.line(box.text.ToUtf8());
    const std::vector<int> buttons = RhinoMessageBoxButtons(box.flags);
    const bool yesNo = std::find(buttons.begin(), buttons.end(), IDYES) != buttons.end();
    if (!yesNo) {
        output_.line("[answer] " + buttonName(buttons.front()));
        return buttons.front();
    }
    if (!answers_.empty()) {
        const int result = answers_.front() ? IDYES : IDNO;
        answers_.pop_front();
        output_.line("[answer] " + buttonName(result) + " (--answer)");
        return result;
    }
    bool answered = false;
    const int fromTerminal = askTerminal(box, answered);
    if (answered)
        return fromTerminal;
    const int result = RhinoMessageBoxDefault(box.flags);
    output_.line("[answer] " + buttonName(result) + " (default: no answer given)");
    return result;
}

int MessageBoxAnswers::askTerminal(const RhinoMessageBox& box, bool& answered) {
    if (!readLine_)
        return 0;
    const std::vector<int> buttons = RhinoMessageBoxButtons(box.flags);
    for (;;) {
        output_.write(messageBoxButtonsName(box.flags) + "? ");
        std::string line;
        if (!readLine_(line))
            return 0;
        const std::string word = lowerCase(line);
        for (int button : buttons) {
            const std::string name = lowerCase(buttonName(button));
            if (!word.empty() && name.compare(0, word.size(), word) == 0) {
                answered = true;
                output_.line("[answer] " + buttonName(button) + " (terminal)");
                return button;
            }
        }
    }
}

}  // namespace vantro::host
