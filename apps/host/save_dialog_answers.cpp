// The save-file dialogs a plug-in opens on its own (its "Export as COLLADA" clicked in
// the menu or on the toolbar): printed as a user sees them and answered as a user
// would, with the file the SaveDialog command queued, else with the dialog's proposal
// (the user presses Save). The answer is checked as the Export command checks its file;
// a file that cannot be written cancels the dialog with the reason. Printed as:
//   [save dialog] "Export collada file" proposes "/docs/room.dae"
//   [answer] "/docs/room.dae"              or  [answer] Cancel (<why>)

#include <deque>
#include <optional>
#include <string>

#include "host_session.h"
#include "model_export.h"
#include "platform/utf.h"
#include "sdk/app/save_file_dialog.h"

namespace vantro::host {

namespace {

using Outcome = CommandOutcome;

// The queued answers: a file (UTF-8, as typed) or nullopt for Cancel. Main thread.
std::deque<std::optional<std::string>>& queuedAnswers() {
    static std::deque<std::optional<std::string>> answers;
    return answers;
}

std::optional<std::u16string> answer(HostSession& session, const sdk::SaveFileRequest& dialog) {
    const std::string title = platform::toUtf8(dialog.title);
    const std::string proposal = platform::toUtf8(dialog.initialFile);
    session.message("[save dialog] " + inQuotes(title) +
                    (proposal.empty() ? " proposes no file" : " proposes " + inQuotes(proposal)));
    std::optional<std::string> file = std::string();
    if (!queuedAnswers().empty()) {
        file = queuedAnswers().front();
        queuedAnswers().pop_front();
    }
    if (!file) {
        session.message("[answer] Cancel (SaveDialog cancel)");
        return std::nullopt;
    }
    ExportRequest request;
    request.file = *file;
    std::string reason;
    std::optional<std::u16string> chosen = answerSaveDialog(request, dialog, reason);
    session.message(chosen ? "[answer] " + inQuotes(platform::toUtf8(*chosen)) : "[answer] Cancel (" + reason + ")");
    return chosen;
}

Outcome saveDialog(HostSession& session, const CommandArgs& args) {
    if (!args.options().empty() || args.count() != 1 || args[0].empty())
        return Outcome::bad("expected a file or cancel");
    if (args[0] == "cancel")
        queuedAnswers().emplace_back(std::nullopt);
    else
        queuedAnswers().emplace_back(args[0]);
    session.message("The next save dialog is answered with " +
                    (args[0] == "cancel" ? std::string("Cancel") : inQuotes(args[0])) + ".");
    return Outcome::ok();
}

}  // namespace

void installSaveDialogDriver(HostSession& session) {
    queuedAnswers().clear();
    sdk::SetSaveFileHandler([&session](const sdk::SaveFileRequest& dialog) { return answer(session, dialog); });
}

void addSaveDialogCommands(CommandTable& table) {
    table.add({"SaveDialog", "<file>|cancel",
               "Answers the next save dialog a plug-in opens with file (relative to the working directory) or "
               "cancels it; unanswered dialogs take their proposal.",
               saveDialog, false});
}

}  // namespace vantro::host
