// vantro-host: a headless stand-in for the modelling application. It loads plug-in
// modules, opens a document and runs commands (its own editing commands and the
// plug-ins' commands) from a script, the command line or standard input, with the
// application's events and idle processing as the modelling application has them.
//
// `vantro-host export <document>` instead exports the document as COLLADA and ends
// (export_action.h).
//
// Exit status (HostExit): 0 when every command succeeded; 1 when start-up failed
// (unreadable script, document that cannot be opened); 2 for a bad command line; 3 when
// the run completed but some command (or a plug-in load) failed; the export action
// adds 4 (file cannot be written), 5 (cancelled) and 6 (failed before writing).

#include <csignal>
#include <cstdio>
#include <deque>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "event_log.h"
#include "export_action.h"
#include "host_options.h"
#include "host_session.h"
#include "message_box_answers.h"
#include "plugin_module.h"
#include "terminal_progress.h"
#include "sdk/io/document_formats.h"
#include "sdk/app/rhino_app.h"
#include "sdk/app/rhino_message_box.h"

namespace {

using namespace vantro::host;

bool readLines(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream in(path);
    if (!in)
        return false;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return !in.bad();
}

void loadPlugins(HostSession& session, const HostOptions& options, int& failures) {
    for (const std::string& path : options.plugins) {
        std::string error;
        const int result = session.plugins().load(path, error);
        const LoadedPlugin& module = session.plugins().modules().back();
        if (result == 1)
            session.message("Loaded plug-in " + inQuotes(module.identity.name) + " from " + inQuotes(path) + ".");
        else if (result == -1)
            session.message("The plug-in " + inQuotes(module.identity.name) + " declined to load.");
        if (!error.empty())
            session.message("Plug-in " + inQuotes(path) + ": " + error);
        if (result == 0)
            ++failures;
    }
}

bool openStartDocument(HostSession& session, const HostOptions& options) {
    if (options.document.empty()) {
        RhinoApp().NewDocument();
        return true;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(options.document, ec);
    const std::string path = ec ? options.document : absolute.lexically_normal().string();
    // OpenDocument prints why a file could not be opened.
    if (!RhinoApp().OpenDocument(ON_wString::FromUtf8(path)))
        return false;
    session.message("Opened " + inQuotes(path) + ".");
    return true;
}

// Runs lines until one quits.
void runLines(HostSession& session, const std::vector<std::string>& lines, bool echo) {
    for (const std::string& line : lines) {
        if (echo)
            session.output().line("> " + line);
        session.runLine(line);
        if (session.quitRequested())
            return;
    }
}

// Reads commands from standard input until Quit or its end. Waiting for a line is idle
// time: the idle pump runs meanwhile, and saves of a followed file are applied.
void runStandardInput(HostSession& session, bool echo) {
    // No read-ahead: the loop waits on the descriptor itself, together with the
    // followed file, and a plug-in's question reads its answer from the same stream.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    const bool interactive = standardInputIsTerminal();
    if (interactive) {
        // A plug-in command that asks a question reads its answer from the terminal.
        RhinoApp().SetCommandInput([&session](const ON_wString& prompt, ON_wString& line) {
            session.output().write(prompt.ToUtf8() + " ");
            std::string answer;
            if (!std::getline(std::cin, answer))
                return false;
            line = ON_wString::FromUtf8(answer);
            return true;
        });
    }
    followUntilQuit(session, 0, interactive, echo);
    RhinoApp().SetCommandInput(nullptr);
}

int run(const HostOptions& options) {
    std::vector<std::string> script;
    if (!options.script.empty() && !readLines(options.script, script)) {
        std::fprintf(stderr, "vantro-host: cannot read the script %s\n", options.script.c_str());
        return kExitStartFailed;
    }
    HostOutput output([](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); });
    vantro::docio::registerDocumentFormats(RhinoApp());
    std::unique_ptr<EventLog> eventLog = options.logEvents ? std::make_unique<EventLog>(output) : nullptr;
    HostSession session(output);
    const StandardErrorProgress progress;
    std::function<bool(std::string&)> readLine;
    if (standardInputIsTerminal())
        readLine = [](std::string& line) { return static_cast<bool>(std::getline(std::cin, line)); };
    MessageBoxAnswers boxes(output, std::deque<bool>(options.answers.begin(), options.answers.end()), readLine);
    RhinoSetMessageBoxHandler([&boxes](const RhinoMessageBox& box) { return boxes.answer(box); });
    int failures = 0;
    loadPlugins(session, options, failures);
    RhinoApp().InitRhino();
    int status = 0;
    if (openStartDocument(session, options)) {
        std::string error;
        // Before anything says the file is followed: a stop from then on ends cleanly.
        if (options.watch)
            installStopSignals();
        if (options.watch && !session.watcher().start(error)) {
            session.message("--watch: " + error);
            status = kExitStartFailed;
        }
        if (options.watch && session.watcher().following())
            session.message("Following " + inQuotes(session.watcher().path()) + " (" + session.watcher().method() +
                            ").");
        runLines(session, options.commands, options.echo);
        // --command lines alone make the whole run; otherwise the script or the input.
        // Following a file, the run goes on after them until Quit or a stop signal.
        if (!session.quitRequested() && !options.script.empty())
            runLines(session, script, options.echo);
        if (!session.quitRequested() && options.script.empty() && (options.commands.empty() || options.watch))
            runStandardInput(session, options.echo);
        else if (!session.quitRequested() && options.watch)
            followUntilQuit(session, -1, false, options.echo);
        if (status == 0)
            status = failures + session.failures() > 0 ? kExitCommandFailed : kExitOk;
    } else {
        status = kExitStartFailed;
    }
    RhinoApp().CloseRhino();
    RhinoSetMessageBoxHandler(nullptr);
    std::fflush(stdout);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // Under a file-size limit a write must fail (EFBIG), which every writer reports and
    // cleans up after, instead of ending the session with its unsaved edits.
    std::signal(SIGXFSZ, SIG_IGN);
    HostOptions options;
    std::string error;
    if (!parseHostOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "vantro-host: %s\n%s", error.c_str(), hostUsage());
        return kExitBadCommandLine;
    }
    if (options.help) {
        std::fputs(hostUsage(), stdout);
        return kExitOk;
    }
    return options.action == HostOptions::Action::exportModel ? runExportAction(options) : run(options);
}
