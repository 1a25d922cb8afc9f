#pragma once
// Command line of vantro-host.
//
//   vantro-host [document.json|document.3dm] [--plugin PATH]... [--script FILE]
//               [--command LINE]... [--answer yes|no]... [--watch] [--log-events] [--echo]
//               [--help]
//   vantro-host export document.(json|3dm) [-o FILE] [--no-overwrite] [--precision N]
//                      [--schema-valid] [--plugin PATH]
//
// Start-up: the plug-ins load (in the order given), then the document opens (a new,
// empty one without a document argument), then the --command lines run, then the
// script; without a script, commands are read from standard input (with a prompt when
// it is a terminal). The export action loads the plug-in (the one given, else
// kDefaultPluginPath), opens the document, runs the plug-in's COLLADA export and ends.
// See docs/host.md.

#include <string>
#include <vector>

namespace vantro::host {

// Exit status of vantro-host (hostUsage lists them).
enum HostExit : int {
    kExitOk = 0,
    kExitStartFailed = 1,  // the document (or the script) cannot be read
    kExitBadCommandLine = 2,
    kExitCommandFailed = 3,    // a command or a plug-in load failed
    kExitUnwritable = 4,       // export: the file cannot be written
    kExitExportCancelled = 5,  // export: no file to write, or --no-overwrite and it exists
    kExitExportFailed = 6,     // export: stopped before writing
};

struct HostOptions {
    enum class Action { run, exportModel };
    Action action = Action::run;
    std::string document;               // empty: start with a new document
    std::vector<std::string> plugins;   // module files to load (export: at most one)
    std::string script;                 // empty: read standard input
    std::vector<std::string> commands;  // lines run before the script
    std::vector<bool> answers;          // Yes (true) / No answers to message boxes, in order
    bool logEvents = false;             // log every application event (EventLog)
    bool echo = false;                  // print each line before running it
    bool watch = false;                 // follow the document's file (Watch on) until quit
    bool help = false;
    std::string output;        // export: the file to write (empty: proposed)
    bool overwrite = true;     // export: replace an existing file
    int precision = -1;        // export: decimals 0..6 of the numbers; -1: the setting
    bool schemaValid = false;  // export: the schema-valid form; false: the setting
};

// The plug-in module built with this host, which the export action loads when no
// --plugin is given.
extern const char* const kDefaultPluginPath;

// Parses argv[1..argc-1]; argv[1] "export" selects the export action, whose document
// is required. False with a message for unknown options, missing values, a missing or
// second document.
bool parseHostOptions(int argc, const char* const* argv, HostOptions& out, std::string& error);

// The usage text shown for --help and after a parse error, with the exit statuses.
const char* hostUsage();

}  // namespace vantro::host
