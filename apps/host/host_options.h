#pragma once
// Command line of vantro-host.
//
//   vantro-host [document.json|document.3dm] [--plugin PATH]... [--script FILE]
//               [--command LINE]... [--log-events] [--echo] [--help]
//
// Start-up: the plug-ins load (in the order given), then the document opens (a new,
// empty one without a document argument), then the --command lines run, then the
// script; without a script, commands are read from standard input (with a prompt when
// it is a terminal). See docs/host.md.

#include <string>
#include <vector>

namespace vantro::host {

struct HostOptions {
    std::string document;               // empty: start with a new document
    std::vector<std::string> plugins;   // module files to load
    std::string script;                 // empty: read standard input
    std::vector<std::string> commands;  // lines run before the script
    bool logEvents = false;             // log every application event (EventLog)
    bool echo = false;                  // print each line before running it
    bool help = false;
};

// Parses argv[1..argc-1]. False with a message for unknown options, missing values or
// a second document.
bool parseHostOptions(int argc, const char* const* argv, HostOptions& out, std::string& error);

// The usage text shown for --help and after a parse error.
const char* hostUsage();

}  // namespace vantro::host
