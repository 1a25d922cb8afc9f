#include "host_options.h"

#include <string_view>

namespace vantro::host {

const char* hostUsage() {
    return "usage: vantro-host [document.json|document.3dm] [--plugin PATH]... [--script FILE]\n"
           "                   [--command LINE]... [--log-events] [--echo] [--help]\n";
}

bool parseHostOptions(int argc, const char* const* argv, HostOptions& out, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 < argc) return argv[++i];
            error = std::string(arg) + " needs a value";
            return nullptr;
        };
        const char* v = nullptr;
        if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "--log-events") {
            out.logEvents = true;
        } else if (arg == "--echo") {
            out.echo = true;
        } else if (arg == "--plugin") {
            if (!(v = value())) return false;
            out.plugins.emplace_back(v);
        } else if (arg == "--script") {
            if (!(v = value())) return false;
            if (!out.script.empty()) return (error = "only one --script may be given", false);
            out.script = v;
        } else if (arg == "--command" || arg == "-c") {
            if (!(v = value())) return false;
            out.commands.emplace_back(v);
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + std::string(arg);
            return false;
        } else if (!out.document.empty()) {
            error = "only one document may be given (" + out.document + ", " + std::string(arg) + ")";
            return false;
        } else {
            out.document = arg;
        }
    }
    return true;
}

}  // namespace vantro::host
