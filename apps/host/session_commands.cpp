// Session commands: Info and List, Units, Print and StatusBar, Wait and Idle for
// scripted timing, the plug-in's menu commands, Help and Quit.

#include <algorithm>
#include <chrono>

#include "document_info.h"
#include "host_session.h"
#include "document_watcher.h"
#include "sdk/app/rhino_app.h"
#include "sdk/document/rhino_doc.h"

namespace vantro::host {

namespace {

using Outcome = CommandOutcome;

void printLines(HostSession& session, const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        session.message(line);
}

Outcome info(HostSession& session, const CommandArgs& args) {
    if (args.count() != 0 || !args.options().empty())
        return Outcome::bad("expected no arguments");
    printLines(session, documentSummary(*session.document()));
    return Outcome::ok();
}

Outcome list(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() > 1 || !args.options().empty())
        return Outcome::bad("expected what to list");
    const auto what =
        args.count() == 0
            ? std::optional<size_t>(0)
            : parseChoice(args[0], {"objects", "layers", "materials", "mappings", "blocks", "views"}, error);
    if (!what)
        return Outcome::bad(error);
    using Listing = std::vector<std::string> (*)(const CRhinoDoc&);
    static constexpr Listing kListings[] = {objectListing,  layerListing, materialListing,
                                            mappingListing, blockListing, viewListing};
    const std::vector<std::string> lines = kListings[*what](*session.document());
    if (lines.empty())
        session.message("(none)");
    printLines(session, lines);
    return Outcome::ok();
}

Outcome units(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1)
        return Outcome::bad("expected a unit");
    if (!args.onlyOptions({"scale"}, error))
        return Outcome::bad(error);
    const auto unit = parseUnits(args[0], error);
    if (!unit)
        return Outcome::bad(error);
    bool scale = false;
    if (const std::string* text = args.option("scale")) {
        const auto on = parseSwitch(*text, error);
        if (!on)
            return Outcome::bad("scale: " + error);
        scale = *on;
    }
    CRhinoDoc& doc = *session.document();
    if (doc.UnitSystem() == *unit) {
        session.message("The units are already " + args[0] + ".");
        return Outcome::ok();
    }
    if (!doc.SetUnitSystem(*unit, scale))
        return Outcome::fail("the units could not be changed");
    session.message("Units: " + args[0] + (scale ? " (objects scaled)." : " (objects keep their numbers)."));
    return Outcome::ok();
}

Outcome print(HostSession& session, const CommandArgs&) {
    session.message(session.currentArguments());
    return Outcome::ok();
}

Outcome statusBar(HostSession& session, const CommandArgs& args) {
    if (args.count() != 0 || !args.options().empty())
        return Outcome::bad("expected no arguments");
    session.message("Status bar: " + inQuotes(RhinoApp().StatusBarMessagePane().ToUtf8()));
    const std::vector<RhinoProgressMeterRun>& meters = RhinoApp().ProgressMeterHistory();
    std::string line = "Progress meters: " + std::to_string(meters.size());
    if (!meters.empty()) {
        const RhinoProgressMeterRun& last = meters.back();
        line += " (last: " + inQuotes(last.label.ToUtf8()) + " " + std::to_string(last.lower) + ".." +
                std::to_string(last.upper) + ", " + std::to_string(last.positions.size()) + " positions, " +
                (last.ended ? "ended)" : "running)");
    }
    session.message(line);
    return Outcome::ok();
}

Outcome wait(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected milliseconds");
    const auto ms = parseInteger(args[0], 0, 600000, error);
    if (!ms)
        return Outcome::bad(error);
    // The host is idle while it waits: the idle pump keeps running, and saves of a
    // followed file are applied meanwhile.
    waitFollowing(session, static_cast<int>(*ms));
    return Outcome::ok();
}

Outcome idle(HostSession&, const CommandArgs& args) {
    std::string error;
    if (args.count() > 1 || !args.options().empty())
        return Outcome::bad("expected an optional count");
    long long count = 1;
    if (args.count() == 1) {
        const auto n = parseInteger(args[0], 1, 1000000, error);
        if (!n)
            return Outcome::bad(error);
        count = *n;
    }
    for (long long i = 0; i < count; ++i)
        RhinoApp().OnIdle();
    return Outcome::ok();
}

Outcome plugins(HostSession& session, const CommandArgs& args) {
    if (args.count() != 0 || !args.options().empty())
        return Outcome::bad("expected no arguments");
    const std::vector<CRhinoPlugIn*> loaded = session.plugins().loadedPlugIns();
    if (session.plugins().modules().empty())
        session.message("No plug-in modules.");
    for (const LoadedPlugin& module : session.plugins().modules()) {
        const PluginIdentity& id = module.identity;
        std::string line =
            inQuotes(id.name) + " id=" + id.id + " version=" + inQuotes(id.version) + " file=" + inQuotes(module.path);
        line += module.loadResult == 1 ? " loaded" : module.loadResult == -1 ? " refused" : " failed";
        session.message(line);
    }
    return Outcome::ok();
}

Outcome menu(HostSession& session, const CommandArgs& args) {
    std::string error;
    if (args.count() == 0 && args.options().empty())
        return showMenus(session);
    if (args.count() != 1 || !args.options().empty())
        return Outcome::bad("expected a command identifier");
    const auto id = parseInteger(args[0], 0, 65535, error);
    if (!id)
        return Outcome::bad(error);
    if (session.plugins().loadedPlugIns().empty())
        return Outcome::fail("no plug-in is loaded");
    const bool handled = session.plugins().menuCommand(static_cast<uintptr_t>(*id));
    session.message("Menu command " + args[0] + (handled ? ": handled." : ": not handled."));
    return Outcome::ok();
}

Outcome menuOpen(HostSession& session, const CommandArgs& args) {
    if (args.count() != 0 || !args.options().empty())
        return Outcome::bad("expected no arguments");
    const int opened = session.plugins().openMenus();
    session.message("Opened " + std::to_string(opened) + " plug-in menu(s).");
    return Outcome::ok();
}

std::string usageLine(const CommandSpec& spec) {
    return std::string(spec.name) + (spec.usage.empty() ? "" : " " + std::string(spec.usage));
}

Outcome help(HostSession& session, const CommandArgs& args) {
    const CommandTable& table = session.commands();
    if (args.count() > 0) {
        std::string name = args[0];
        for (size_t i = 1; i < args.count(); ++i)
            name += " " + args[i];
        std::vector<const CommandSpec*> specs = table.family(args[0]);
        if (const CommandSpec* spec = table.byName(name))
            specs = {spec};
        if (specs.empty())
            return Outcome::bad("no command " + inQuotes(name));
        for (const CommandSpec* spec : specs)
            session.message(usageLine(*spec) + "\n    " + std::string(spec->help));
        return Outcome::ok();
    }
    size_t width = 0;
    for (const CommandSpec& spec : table.all())
        width = std::max(width, spec.name.size());
    session.message("Commands (Help <command> shows its arguments):");
    for (const CommandSpec& spec : table.all())
        session.message("  " + std::string(spec.name) + std::string(width + 2 - spec.name.size(), ' ') +
                        std::string(spec.help));
    std::string others;
    for (CRhinoCommand* command : RhinoApp().Commands())
        others += (others.empty() ? "" : ", ") + ON_wString(command->EnglishCommandName()).ToUtf8();
    if (!others.empty())
        session.message("Commands of the application and its plug-ins: " + others);
    session.message("Objects: @serial, id or name. Table entries: index, id or name. # starts a comment.");
    return Outcome::ok();
}

Outcome quit(HostSession&, const CommandArgs& args) {
    if (args.count() != 0 || !args.options().empty())
        return Outcome::bad("expected no arguments");
    return {CommandOutcome::quit, {}};
}

}  // namespace

void addSessionCommands(CommandTable& table) {
    table.add({"Info", "", "Summarises the document: units, objects by type, layers, materials, blocks, views.", info});
    table.add({"List", "[objects|layers|materials|mappings|blocks|views]", "Lists objects or table entries.", list});
    table.add({"Units", "<unit> [scale=on|off]", "Changes the document's units, scaling the objects or not.", units});
    table.add({"Print", "<text>", "Prints text in the command area.", print, false});
    table.add({"StatusBar", "", "Shows the status bar's message pane and its progress meters.", statusBar, false});
    table.add({"Wait", "<milliseconds>",
               "Waits, idle: the idle pump runs every 20 ms and saves of a followed file are applied meanwhile.", wait,
               false});
    table.add({"Idle", "[count]", "Runs the idle pump (once, or count times).", idle, false, false});
    table.add({"Plugins", "", "Lists the plug-in modules and whether they loaded.", plugins, false});
    table.add({"Menu", "[command id]",
               "Shows the plug-in menus as opened; with an id, runs that menu or dock-bar command (31771-31781) "
               "whatever its state.",
               menu, false});
    table.add({"MenuOpen", "", "Opens the plug-in menus (they refresh their items).", menuOpen, false});
    table.add({"Help", "[command]", "Lists the commands, or shows one command's arguments.", help, false});
    table.add({"Quit", "", "Ends vantro-host.", quit, false});
    table.add({"Exit", "", "Ends vantro-host.", quit, false});
}

}  // namespace vantro::host
