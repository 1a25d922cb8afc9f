#include "host_options.h"

#include <string_view>

namespace vantro::host {

const char* const kDefaultPluginPath = VANTRO_DEFAULT_PLUGIN_PATH;

const char* hostUsage() {
    return "usage: vantro-host [document.json|document.3dm] [--plugin PATH]... [--script FILE]\n"
           "                   [--command LINE]... [--answer yes|no]... [--watch] [--log-events]\n"
           "                   [--echo] [--help]\n"
           "       vantro-host export document.json|document.3dm [-o FILE.dae] [--no-overwrite]\n"
           "                          [--precision N] [--schema-valid] [--plugin PATH]\n"
           "\n"
           "export writes the document as COLLADA (.dae) with a folder of texture copies beside it,\n"
           "through the plug-in's own \"Export as COLLADA\" (--plugin PATH, else the module built\n"
           "with this host);\n"
           "without -o the file is the document's path with .dae for its extension; -o FOLDER/\n"
           "puts that name in FOLDER. --no-overwrite cancels the export when the file exists.\n"
           "--precision N writes positions, normals and texture coordinates with N decimals (0-6)\n"
           "instead of the renderer's 3 (metres to the millimetre), for other tools.\n"
           "--schema-valid writes a file the strict COLLADA 1.4.1 schema accepts, for importers\n"
           "that validate it (they refuse a textured export otherwise); the renderer reads the\n"
           "default layout, so leave it out for Velora.\n"
           "\n"
           "--watch follows the document's file: each save another program makes is applied to\n"
           "the open document as edits, one line per save, until Quit, SIGINT or SIGTERM (after\n"
           "the commands and script; standard input still takes commands).\n"
           "\n"
           "--answer answers the plug-ins' Yes/No message boxes in order; when the answers run\n"
           "out a box is answered at the terminal, or else takes its default button.\n"
           "\n"
           "exit status: 0 done; 1 the document (or script) cannot be read; 2 bad command line;\n"
           "  3 a command or plug-in load failed; export only: 4 the file cannot be written\n"
           "  (missing folder, no permission, device full), 5 export cancelled (no file name,\n"
           "  or the file exists and --no-overwrite), 6 the export failed before writing.\n";
}

namespace {

bool parseExportOptions(int argc, const char* const* argv, HostOptions& out, std::string& error) {
    out.action = HostOptions::Action::exportModel;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "-o" || arg == "--output") {
            if (i + 1 >= argc)
                return (error = std::string(arg) + " needs a value", false);
            if (!out.output.empty())
                return (error = "only one " + std::string(arg) + " may be given", false);
            out.output = argv[++i];
            if (out.output.empty())
                return (error = std::string(arg) + " needs a file name", false);
        } else if (arg == "--plugin") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return (error = "--plugin needs the module's path", false);
            if (!out.plugins.empty())
                return (error = "export: only one --plugin may be given", false);
            out.plugins.push_back(argv[++i]);
        } else if (arg == "--no-overwrite") {
            out.overwrite = false;
        } else if (arg == "--precision") {
            const std::string_view n = i + 1 < argc ? std::string_view(argv[++i]) : std::string_view();
            if (n.size() != 1 || n[0] < '0' || n[0] > '6')
                return (error = "--precision needs a number of decimals from 0 to 6", false);
            out.precision = n[0] - '0';
        } else if (arg == "--schema-valid") {
            out.schemaValid = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return (error = "export: unknown option " + std::string(arg), false);
        } else if (!out.document.empty()) {
            return (error = "export: only one document may be given (" + out.document + ", " + std::string(arg) + ")",
                    false);
        } else {
            out.document = arg;
        }
    }
    if (out.document.empty() && !out.help)
        return (error = "export: which document? (.json or .3dm)", false);
    return true;
}

}  // namespace

bool parseHostOptions(int argc, const char* const* argv, HostOptions& out, std::string& error) {
    if (argc > 1 && std::string_view(argv[1]) == "export")
        return parseExportOptions(argc, argv, out, error);
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 < argc)
                return argv[++i];
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
        } else if (arg == "--watch") {
            out.watch = true;
        } else if (arg == "--plugin") {
            if (!(v = value()))
                return false;
            out.plugins.emplace_back(v);
        } else if (arg == "--script") {
            if (!(v = value()))
                return false;
            if (!out.script.empty())
                return (error = "only one --script may be given", false);
            out.script = v;
        } else if (arg == "--command" || arg == "-c") {
            if (!(v = value()))
                return false;
            out.commands.emplace_back(v);
        } else if (arg == "--answer") {
            if (!(v = value()))
                return false;
            const std::string_view answer = v;
            if (answer != "yes" && answer != "no")
                return (error = "--answer takes yes or no, not \"" + std::string(answer) + "\"", false);
            out.answers.push_back(answer == "yes");
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
    if (out.watch && out.document.empty() && !out.help)
        return (error = "--watch needs a document to follow", false);
    return true;
}

}  // namespace vantro::host
