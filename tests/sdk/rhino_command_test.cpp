// Commands: running scripts, answering option questions, and the idle notification
// after every command.

#include <gtest/gtest.h>

#include "sdk_test_support.h"

using namespace vantro::sdktest;

namespace {

// Asks the six questions of an action command and records the answers.
class ActionCommand : public CRhinoCommand {
public:
    ON_UUID CommandUUID() override { return ON_UuidFromString(u"0d0d0d0d-1111-2222-3333-444444444444"); }
    const char16_t* EnglishCommandName() override { return u"Action"; }
    result RunCommand(const CRhinoCommandContext& context) override {
        docSerial = context.m_rhino_doc_sn;
        CRhinoGetOption go;
        go.SetCommandPrompt(u"Select action:");
        go.AcceptNothing(true);
        for (const char16_t* name : {u"About", u"Start", u"Stop", u"CameraSync", u"CameraStop", u"Settings"})
            go.AddCommandOption(CRhinoCommandOptionName(name, name));
        const CRhinoGet::result r = go.GetOption();
        if (r == CRhinoGet::nothing) {
            answers.push_back("nothing");
            return success;
        }
        if (r == CRhinoGet::cancel) {
            answers.push_back("cancel");
            return cancel;
        }
        if (r != CRhinoGet::option || !go.Option()) return failure;
        answers.push_back(utf8(go.Option()->m_english_option_name) + "#" + std::to_string(go.Option()->m_option_index));
        return success;
    }
    std::vector<std::string> answers;
    unsigned int docSerial = 0;
};

class CountingIdle : public CRhinoIsIdle {
public:
    CountingIdle() : CRhinoIsIdle(ON_CreateUuid()) {}
    void Notify(const CParameters& p) override {
        ++count;
        last = p.m_idle_count;
    }
    int count = 0;
    unsigned int last = 0;
};

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        RhinoApp().NewDocument();
        RhinoApp().ClearCommandHistoryWindow();
    }
    void TearDown() override {
        RhinoApp().SetCommandInput(nullptr);
        RhinoApp().CloseDocument();
    }
    ActionCommand command;
};

}  // namespace

// Options match exactly or by unambiguous prefix, ignoring case and the '_' and '-'
// prefixes; each command gets its own answers and leftover tokens start the next one.
TEST_F(CommandTest, ScriptAnswersOptions) {
    EXPECT_EQ(RhinoApp().RunScript(u"Action Start"), CRhinoCommand::success);
    RhinoApp().RunScript(u"_action _stop -Action camerasy action AB");
    EXPECT_EQ(command.answers, (std::vector<std::string>{"Start#2", "Stop#3", "CameraSync#4", "About#1"}));
    EXPECT_EQ(command.docSerial, RhinoApp().ActiveDoc()->RuntimeSerialNumber());
    EXPECT_EQ(RhinoApp().FindCommand(u"ACTION"), &command);
}

// Enter answers nothing, Cancel cancels, unknown and ambiguous answers are reported
// and the next token is read; running out of input answers nothing when accepted.
TEST_F(CommandTest, NothingCancelUnknownAndEndOfInput) {
    EXPECT_EQ(RhinoApp().RunScript(u"Action Enter"), CRhinoCommand::success);
    EXPECT_EQ(RhinoApp().RunScript(u"Action _Cancel"), CRhinoCommand::cancel);
    EXPECT_EQ(RhinoApp().RunScript(u"Action Camera Bogus Settings"), CRhinoCommand::success);
    EXPECT_EQ(RhinoApp().RunScript(u"Action"), CRhinoCommand::success);
    EXPECT_EQ(command.answers, (std::vector<std::string>{"nothing", "cancel", "Settings#6", "nothing"}));
    const ON_wString history = RhinoApp().CommandHistoryWindowText();
    EXPECT_NE(history.Find(u"Unknown command option \"Camera\"."), -1);
    EXPECT_NE(history.Find(u"Unknown command option \"Bogus\"."), -1);
    EXPECT_EQ(RhinoApp().RunScript(u"NoSuchCommand"), CRhinoCommand::unknown_command);
    EXPECT_NE(RhinoApp().CommandHistoryWindowText().Find(u"Unknown command: NoSuchCommand"), -1);
}

// When the script runs out, the interactive input answers, seeing the prompt with its
// options.
TEST_F(CommandTest, InteractiveInputAnswersAfterTheScript) {
    std::vector<std::string> prompts;
    RhinoApp().SetCommandInput([&](const ON_wString& prompt, ON_wString& line) {
        prompts.push_back(utf8(prompt));
        line = u"stop";
        return true;
    });
    RhinoApp().RunScript(u"Action");
    EXPECT_EQ(command.answers, std::vector<std::string>{"Stop#3"});
    EXPECT_EQ(prompts, std::vector<std::string>{"Select action: ( About Start Stop CameraSync CameraStop Settings )"});
}

// Option names must be plain words.
TEST_F(CommandTest, OptionNamesAreValidated) {
    CRhinoGetOption go;
    EXPECT_EQ(go.AddCommandOption(CRhinoCommandOptionName(u"Good_1", u"Good_1")), 1);
    EXPECT_EQ(go.AddCommandOption(CRhinoCommandOptionName(u"Two words", u"Two words")), 0);
    EXPECT_EQ(go.AddCommandOption(CRhinoCommandOptionName(u"", u"")), 0);
    EXPECT_EQ(go.OptionCount(), 1);
    EXPECT_EQ(go.Option(), nullptr);
}

// Every command is bracketed by begin/end events and followed by one idle
// notification to enabled idle watchers.
TEST_F(CommandTest, EventsAndIdleAfterEachCommand) {
    RecordingWatcher watcher;
    CountingIdle idle;
    idle.Register();
    RhinoApp().RunScript(u"Action Start");  // idle watcher not enabled yet
    EXPECT_EQ(idle.count, 0);
    idle.Enable(true);
    const unsigned int before = RhinoApp().IdleCount();
    RhinoApp().RunScript(u"Action Start Action Cancel");
    EXPECT_EQ(idle.count, 2);
    EXPECT_EQ(idle.last, before + 2);
    EXPECT_EQ(watcher.take(), (std::vector<std::string>{"BeginCommand", "EndCommand 0", "BeginCommand", "EndCommand 0",
                                                        "BeginCommand", "EndCommand 1"}));
    idle.UnRegister();
    RhinoApp().OnIdle();
    EXPECT_EQ(idle.count, 2);
}
