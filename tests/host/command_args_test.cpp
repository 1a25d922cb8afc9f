// Splitting command lines into words: Windows paths keep their backslashes, quotes
// group blanks, and an open quote is refused. (The argument parsers' refusals are
// checked through the program, in vantro_host_test.cpp.)

#include "command_args.h"

#include <gtest/gtest.h>

namespace vantro::host {
namespace {

std::vector<Word> split(std::string_view line) {
    std::vector<Word> words;
    std::string error;
    EXPECT_TRUE(splitWords(line, words, error)) << error;
    return words;
}

// Blanks separate words; quotes group blanks and are dropped; backslashes stay.
TEST(SplitWords, QuotesGroupAndBackslashesStay) {
    const auto words = split("  Open \"C:\\My Files\\a b.json\"\tmerge=on  ");
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].text, "Open");
    EXPECT_EQ(words[1].text, "C:\\My Files\\a b.json");
    EXPECT_TRUE(words[1].quoted);
    EXPECT_EQ(words[2].text, "merge=on");
    EXPECT_FALSE(words[2].quoted);
    // A quote inside a word joins the parts; an empty quoted word survives.
    const auto mixed = split("name=\"Big Box\" \"\"");
    ASSERT_EQ(mixed.size(), 2u);
    EXPECT_EQ(mixed[0].text, "name=Big Box");
    EXPECT_EQ(mixed[1].text, "");
    EXPECT_TRUE(split(" \t ").empty());
}

// An unterminated quote is an error, not a guess.
TEST(SplitWords, UnterminatedQuoteIsRefused) {
    std::vector<Word> words;
    std::string error;
    EXPECT_FALSE(splitWords("Print \"open", words, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace vantro::host
