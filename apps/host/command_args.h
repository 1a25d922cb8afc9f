#pragma once
// CommandArgs: one line of the host's command language split into words, with the
// words after the command name sorted into positional arguments and key=value options,
// and the parsers that turn argument text into the SDK's values.
//
// Words are separated by blanks; double quotes group a word that holds blanks (the
// quotes are dropped; there are no escapes, so Windows paths keep their backslashes).
// An unquoted word of the form key=value whose key is letters only is an option; keys
// compare without ASCII case. Points, vectors and colours are single words with
// comma-separated numbers ("10,0,-2.5", "255,128,0").
//
// The parsers never throw: each returns nothing (std::nullopt / false) and sets a
// message ("expected a number, got \"abc\"") when the text does not fit.
// Any thread; values only.

#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/geometry/on.h"
#include "sdk/geometry/on_color.h"
#include "sdk/geometry/on_point.h"

namespace vantro::host {

struct Word {
    std::string text;
    bool quoted = false;  // written in double quotes: never an option, may be empty
};

// Splits a line into words. False with a message for an unterminated quote.
bool splitWords(std::string_view line, std::vector<Word>& words, std::string& error);

class CommandArgs {
public:
    struct Option {
        std::string key;    // as written
        std::string value;  // may be empty ("name=")
    };

    CommandArgs() = default;
    // words: the words after the command name.
    explicit CommandArgs(const std::vector<Word>& words);

    size_t count() const { return positional_.size(); }
    // Positional argument i; i must be < count().
    const std::string& operator[](size_t i) const { return positional_[i]; }
    const std::vector<std::string>& positional() const { return positional_; }

    // The value of option key; null when absent. When an option is given twice the
    // last one counts.
    const std::string* option(std::string_view key) const;
    const std::vector<Option>& options() const { return options_; }
    // False with a message naming the first option whose key is not in allowed.
    bool onlyOptions(std::span<const std::string_view> allowed, std::string& error) const;
    bool onlyOptions(std::initializer_list<std::string_view> allowed, std::string& error) const {
        return onlyOptions(std::span<const std::string_view>(allowed.begin(), allowed.size()), error);
    }

private:
    std::vector<std::string> positional_;
    std::vector<Option> options_;
};

// ASCII case-insensitive equality.
bool sameWord(std::string_view a, std::string_view b);

// A finite decimal number.
std::optional<double> parseNumber(std::string_view text, std::string& error);
// A decimal integer in [min, max].
std::optional<long long> parseInteger(std::string_view text, long long min, long long max, std::string& error);
// "x,y,z" with finite numbers.
std::optional<ON_3dPoint> parsePoint(std::string_view text, std::string& error);
std::optional<ON_3dVector> parseVector(std::string_view text, std::string& error);
// "r,g,b" with integers 0-255.
std::optional<ON_Color> parseColor(std::string_view text, std::string& error);
// on/off, yes/no, true/false, 1/0.
std::optional<bool> parseSwitch(std::string_view text, std::string& error);
// A unit name of the document format (millimeters, inches, ...; case ignored).
std::optional<ON::LengthUnitSystem> parseUnits(std::string_view text, std::string& error);

// One of the words (case ignored); the index of the match. The message lists them.
std::optional<size_t> parseChoice(std::string_view text, std::span<const std::string_view> words, std::string& error);
inline std::optional<size_t> parseChoice(std::string_view text, std::initializer_list<std::string_view> words,
                                         std::string& error) {
    return parseChoice(text, std::span<const std::string_view>(words.begin(), words.size()), error);
}

// "\"text\"", for messages.
std::string inQuotes(std::string_view text);

}  // namespace vantro::host
