#pragma once
// Case-insensitive text matching and word splitting for material names, which come
// from users in any script.
//
// Case: every code point is mapped to its simple (one-to-one) Unicode uppercase
// mapping before comparing, so "ВОДА" contains "вода" and "AGUA" contains "agua".
// Mappings that change the length (ß -> SS) are not applied. Unpaired surrogates are
// compared as they are.
//
// Words: a word is a maximal run of word characters, which are the characters of
// "\w" in Unicode regular expressions: letters of any script (Alphabetic), combining
// marks, decimal digits of any script, connector punctuation (the underscore) and the
// joiners U+200C/U+200D. So "Château" and "материалeau" are single words.
//
// All functions are pure and may be called from any thread.

#include <string>
#include <string_view>
#include <vector>

namespace vantro::materials {

// text with every code point replaced by its simple uppercase mapping.
std::u16string UpperCaseText(std::u16string_view text);

// True when needle occurs in haystack ignoring case as described above. An empty
// needle is contained in any text.
bool ContainsIgnoringCase(std::u16string_view haystack, std::u16string_view needle);

// True when a and b are equal ignoring case.
bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);

// The words of text in order, as views into text.
std::vector<std::u16string_view> SplitWords(std::u16string_view text);

}  // namespace vantro::materials
