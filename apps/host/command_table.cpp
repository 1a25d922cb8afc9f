#include "command_table.h"

namespace vantro::host {

std::string_view familyOf(std::string_view name) { return name.substr(0, name.find(' ')); }

namespace {

// The verb of a family command ("Add" of "Layer Add"); empty for a plain command.
std::string_view verbOf(std::string_view name) {
    const size_t space = name.find(' ');
    return space == std::string_view::npos ? std::string_view() : name.substr(space + 1);
}

}  // namespace

const CommandSpec* CommandTable::find(const std::vector<Word>& words, size_t& consumed) const {
    consumed = 0;
    if (words.empty() || words[0].quoted)
        return nullptr;
    for (const CommandSpec& spec : specs_) {
        if (!sameWord(familyOf(spec.name), words[0].text))
            continue;
        const std::string_view verb = verbOf(spec.name);
        if (verb.empty()) {
            consumed = 1;
            return &spec;
        }
        if (words.size() > 1 && !words[1].quoted && sameWord(verb, words[1].text)) {
            consumed = 2;
            return &spec;
        }
    }
    return nullptr;
}

std::vector<const CommandSpec*> CommandTable::family(std::string_view word) const {
    std::vector<const CommandSpec*> members;
    for (const CommandSpec& spec : specs_)
        if (!verbOf(spec.name).empty() && sameWord(familyOf(spec.name), word))
            members.push_back(&spec);
    return members;
}

const CommandSpec* CommandTable::byName(std::string_view name) const {
    for (const CommandSpec& spec : specs_)
        if (sameWord(spec.name, name))
            return &spec;
    return nullptr;
}

}  // namespace vantro::host
