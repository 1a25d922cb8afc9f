#include "host_session.h"

#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"
#include "sdk/app/rhino_ui_dialog.h"
#include "sdk/app/save_file_dialog.h"

namespace vantro::host {

namespace {

bool isCommentOrBlank(std::string_view line) {
    const size_t first = line.find_first_not_of(" \t\r\n");
    return first == std::string_view::npos || line[first] == '#';
}

// The command name an application command is known by, without the leading '_' or
// '-' that scripts may put before it.
ON_wString applicationCommandName(const std::string& word) {
    size_t start = 0;
    while (start < word.size() && (word[start] == '_' || word[start] == '-'))
        ++start;
    return ON_wString::FromUtf8(std::string_view(word).substr(start));
}

}  // namespace

HostSession::HostSession(HostOutput& output) : output_(output) {
    addObjectCommands(table_);
    addLayerCommands(table_);
    addMaterialCommands(table_);
    addMappingCommands(table_);
    addBlockCommands(table_);
    addViewCommands(table_);
    addFileCommands(table_);
    addSessionCommands(table_);
    addUiCommands(table_);
    addSaveDialogCommands(table_);
    installDialogDriver(*this);
    installSaveDialogDriver(*this);
    RhinoApp().SetPrintSink([this](const ON_wString& text) { output_.write(text.ToUtf8()); });
}

HostSession::~HostSession() {
    RhinoApp().SetPrintSink(nullptr);
    RhinoSetDialogDriver(nullptr);
    sdk::SetSaveFileHandler(nullptr);
}

CRhinoDoc* HostSession::document() const { return RhinoApp().ActiveDoc(); }

void HostSession::message(std::string_view utf8) {
    std::string text = output_.atLineStart() ? std::string() : std::string("\n");
    text += utf8;
    text += '\n';
    RhinoApp().PrintText(ON_wString::FromUtf8(text));
}

std::string HostSession::currentArguments() const {
    const std::string_view line = currentLine_;
    const size_t first = line.find_first_not_of(" \t");
    const size_t end = first == std::string_view::npos ? first : line.find_first_of(" \t", first);
    const size_t start = end == std::string_view::npos ? end : line.find_first_not_of(" \t\r\n", end);
    if (start == std::string_view::npos)
        return {};
    const size_t last = line.find_last_not_of(" \t\r\n");
    return std::string(line.substr(start, last + 1 - start));
}

CommandOutcome::Kind HostSession::runLine(std::string_view line) {
    if (isCommentOrBlank(line))
        return CommandOutcome::done;
    currentLine_ = line;
    std::vector<Word> words;
    std::string error;
    if (!splitWords(line, words, error)) {
        message("Error: " + error + "; nothing was done.");
        ++failures_;
        RhinoApp().OnIdle();
        return CommandOutcome::badArguments;
    }
    size_t consumed = 0;
    if (const CommandSpec* spec = table_.find(words, consumed))
        return runHostCommand(*spec, words, consumed);
    if (!words[0].quoted && RhinoApp().FindCommand(applicationCommandName(words[0].text)))
        return runApplicationCommand(line);
    reportUnknown(words);
    ++failures_;
    RhinoApp().OnIdle();
    return CommandOutcome::badArguments;
}

CommandOutcome::Kind HostSession::runHostCommand(const CommandSpec& spec, const std::vector<Word>& words,
                                                 size_t consumed) {
    const CommandArgs args(std::vector<Word>(words.begin() + static_cast<long>(consumed), words.end()));
    CommandOutcome outcome;
    if (spec.needsDocument && !document())
        outcome = CommandOutcome::fail("no document is open (use New or Open)");
    else
        outcome = spec.run(*this, args);
    if (!outcome.message.empty())
        message(std::string(spec.name) + ": " + outcome.message);
    if (outcome.kind == CommandOutcome::badArguments)
        printUsage(spec);
    if (outcome.kind == CommandOutcome::failed || outcome.kind == CommandOutcome::badArguments)
        ++failures_;
    if (outcome.kind == CommandOutcome::quit)
        quit_ = true;
    else if (spec.idleAfter)
        RhinoApp().OnIdle();
    return outcome.kind;
}

CommandOutcome::Kind HostSession::runApplicationCommand(std::string_view line) {
    // RunScript raises the command events and pumps idle after the command itself.
    const CRhinoCommand::result result = RhinoApp().RunScript(ON_wString::FromUtf8(line));
    if (result == CRhinoCommand::failure || result == CRhinoCommand::unknown_command) {
        ++failures_;
        return CommandOutcome::failed;
    }
    return result == CRhinoCommand::exit_rhino ? (quit_ = true, CommandOutcome::quit) : CommandOutcome::done;
}

void HostSession::reportUnknown(const std::vector<Word>& words) {
    const std::vector<const CommandSpec*> members = table_.family(words[0].text);
    if (members.empty()) {
        message("Unknown command " + inQuotes(words[0].text) + "; nothing was done. Type Help for the commands.");
        return;
    }
    std::string verbs;
    for (size_t i = 0; i < members.size(); ++i) {
        const std::string_view name = members[i]->name;
        verbs += (i == 0 ? "" : i + 1 == members.size() ? " or " : ", ") + std::string(name.substr(name.find(' ') + 1));
    }
    const std::string given = words.size() > 1 ? ", got " + inQuotes(words[1].text) : std::string();
    message(std::string(familyOf(members[0]->name)) + ": expected " + verbs + given + "; nothing was done.");
    for (const CommandSpec* member : members)
        printUsage(*member);
}

void HostSession::printUsage(const CommandSpec& spec) {
    std::string line = "Usage: " + std::string(spec.name);
    if (!spec.usage.empty())
        line += " " + std::string(spec.usage);
    message(line);
}

}  // namespace vantro::host
