#pragma once
// CommandTable: the host's own commands, by name. A name is one word ("Move") or a
// family word and a verb ("Layer Add"); both are matched without ASCII case.
// Main thread only (the table is built once, then read).

#include <string>
#include <string_view>
#include <vector>

#include "command_args.h"

namespace vantro::host {

class HostSession;

// What a command did. Bad arguments get the usage line printed after the message;
// a failure (the document refused the edit, a file could not be read) only the message.
// Either way the document is as it was.
struct CommandOutcome {
    enum Kind { done, failed, badArguments, quit };
    Kind kind = done;
    std::string message;  // shown as "<Command>: <message>" when not empty

    static CommandOutcome ok() { return {}; }
    static CommandOutcome bad(std::string why) { return {badArguments, std::move(why)}; }
    static CommandOutcome fail(std::string why = {}) { return {failed, std::move(why)}; }
};

struct CommandSpec {
    std::string_view name;   // "Move", "Layer Add"
    std::string_view usage;  // the arguments: "<object> <offset x,y,z>"
    std::string_view help;   // one line
    CommandOutcome (*run)(HostSession& session, const CommandArgs& args);
    bool needsDocument = true;  // refused while no document is open
    bool idleAfter = true;      // the idle pump runs after the command
};

class CommandTable {
public:
    void add(const CommandSpec& spec) { specs_.push_back(spec); }

    // The command the line's first words name; consumed gets how many words the name
    // took (1 or 2). Null when none matches.
    const CommandSpec* find(const std::vector<Word>& words, size_t& consumed) const;
    // The commands of a family ("Layer" gives Layer Add, Layer Set, ...), in table order;
    // empty when word names no family.
    std::vector<const CommandSpec*> family(std::string_view word) const;
    // A command by its full name ("layer add"), null when there is none.
    const CommandSpec* byName(std::string_view name) const;

    const std::vector<CommandSpec>& all() const { return specs_; }

private:
    std::vector<CommandSpec> specs_;
};

// The family word of a name ("Layer" for "Layer Add", the name itself for "Move").
std::string_view familyOf(std::string_view name);

}  // namespace vantro::host
