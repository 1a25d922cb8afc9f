// The host's message boxes: printed with title, icon, buttons and text; questions
// answered from --answer in order, then the terminal, then the default, saying which.

#include <gtest/gtest.h>

#include "message_box_answers.h"

namespace vantro::host {
namespace {

struct Printed {
    std::string text;
    HostOutput output{[this](std::string_view utf8) { text += utf8; }};
};

RhinoMessageBox box(uint32_t flags, const char16_t* title = u"Velora Vantro - Q") {
    RhinoMessageBox b;
    b.title = title;
    b.text = u"Line one\nline two";
    b.flags = flags;
    return b;
}

// --answer words are used by questions only, in order; then the default is taken.
TEST(MessageBoxAnswers, AnswersInOrderThenTheDefault) {
    Printed printed;
    MessageBoxAnswers answers(printed.output, {false, true}, nullptr);
    EXPECT_EQ(answers.answer(box(MB_OK | MB_ICONINFORMATION)), IDOK);
    EXPECT_EQ(answers.answer(box(MB_YESNO | MB_ICONQUESTION)), IDNO);
    EXPECT_EQ(answers.answer(box(MB_YESNO | MB_ICONQUESTION)), IDYES);
    EXPECT_EQ(answers.answer(box(MB_YESNO | MB_DEFBUTTON2)), IDNO);
    EXPECT_EQ(printed.text,
              "[message box] Velora Vantro - Q (information, OK)\nLine one\nline two\n[answer] OK\n"
              "[message box] Velora Vantro - Q (question, Yes/No)\nLine one\nline two\n[answer] No (--answer)\n"
              "[message box] Velora Vantro - Q (question, Yes/No)\nLine one\nline two\n[answer] Yes (--answer)\n"
              "[message box] Velora Vantro - Q (no icon, Yes/No)\nLine one\nline two\n"
              "[answer] No (default: no answer given)\n");
}

// At a terminal, unclear answers are asked again; a prefix of a button's name picks it;
// the end of input falls back to the default.
TEST(MessageBoxAnswers, TerminalAnswersByPrefix) {
    Printed printed;
    std::vector<std::string> typed{"maybe", "", "N"};
    MessageBoxAnswers answers(printed.output, {}, [&](std::string& line) {
        if (typed.empty())
            return false;
        line = typed.front();
        typed.erase(typed.begin());
        return true;
    });
    EXPECT_EQ(answers.answer(box(MB_YESNO | MB_ICONQUESTION)), IDNO);
    EXPECT_NE(printed.text.find("Yes/No? Yes/No? Yes/No? "), std::string::npos) << printed.text;
    EXPECT_NE(printed.text.find("[answer] No (terminal)"), std::string::npos) << printed.text;
    EXPECT_EQ(answers.answer(box(MB_YESNO | MB_ICONQUESTION)), IDYES);
    EXPECT_NE(printed.text.find("[answer] Yes (default: no answer given)"), std::string::npos) << printed.text;
}

}  // namespace
}  // namespace vantro::host
