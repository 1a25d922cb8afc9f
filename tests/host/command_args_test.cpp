// Splitting command lines into words and options: Windows paths keep their
// backslashes, quotes group blanks and keep "=" in a positional word, and an open quote
// is refused. (The argument parsers' refusals are checked through the program, in
// vantro_host_test.cpp.)

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

// Unquoted key=value words with a letters-only key are options; the last one counts.
TEST(CommandArgs, SortsOptionsFromPositionalWords) {
    const CommandArgs args(split("Box 1,2,3 Name=A layer=Glass \"x=y\" 2=3 =v name=B"));
    ASSERT_EQ(args.count(), 5u);
    EXPECT_EQ(args[0], "Box");
    EXPECT_EQ(args[2], "x=y");
    EXPECT_EQ(args[3], "2=3");
    EXPECT_EQ(args[4], "=v");
    ASSERT_NE(args.option("NAME"), nullptr);
    EXPECT_EQ(*args.option("name"), "B");
    EXPECT_EQ(args.option("colour"), nullptr);
    std::string error;
    EXPECT_TRUE(args.onlyOptions({"name", "layer"}, error));
    EXPECT_FALSE(args.onlyOptions({"name"}, error));
    EXPECT_EQ(error, "unknown option \"layer=\"");
}

}  // namespace
}  // namespace vantro::host
