// Splitting command lines into words and options, and the argument parsers: what they
// accept and that they refuse everything else with a message.

#include "command_args.h"

#include <cmath>

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

// Numbers are finite decimals; anything else is refused.
TEST(Parsers, Numbers) {
    std::string error;
    EXPECT_EQ(parseNumber("-2.5e3", error), -2500.0);
    EXPECT_EQ(parseNumber("+4", error), 4.0);
    for (const char* bad : {"", "1e999", "nan", "inf", "1,5", "0x10", "1.5m", " 1", "--1"}) {
        error.clear();
        EXPECT_FALSE(parseNumber(bad, error).has_value()) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    EXPECT_EQ(parseInteger("255", 0, 255, error), 255);
    EXPECT_FALSE(parseInteger("256", 0, 255, error).has_value());
    EXPECT_FALSE(parseInteger("-1", 0, 255, error).has_value());
    EXPECT_FALSE(parseInteger("1.0", 0, 255, error).has_value());
    EXPECT_FALSE(parseInteger("99999999999999999999", 0, 255, error).has_value());
}

// Points take exactly three numbers; colours three whole numbers 0 to 255.
TEST(Parsers, PointsAndColours) {
    std::string error;
    const auto p = parsePoint("1,-2,3.5", error);
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(*p, ON_3dPoint(1, -2, 3.5));
    for (const char* bad : {"1,2", "1,2,3,4", "1,2,", ",1,2", "1,,2", "a,b,c", ""})
        EXPECT_FALSE(parsePoint(bad, error).has_value()) << bad;
    const auto c = parseColor("255,128,0", error);
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(*c, ON_Color(255, 128, 0));
    for (const char* bad : {"256,0,0", "-1,0,0", "1.5,0,0", "1,2", "1,2,3,4"})
        EXPECT_FALSE(parseColor(bad, error).has_value()) << bad;
}

// Switches, units and choices ignore case and name the allowed words when refusing.
TEST(Parsers, WordsIgnoreCase) {
    std::string error;
    EXPECT_EQ(parseSwitch("ON", error), true);
    EXPECT_EQ(parseSwitch("no", error), false);
    EXPECT_FALSE(parseSwitch("maybe", error).has_value());
    EXPECT_EQ(parseUnits("Inches", error), ON::LengthUnitSystem::Inches);
    EXPECT_EQ(parseUnits("nauticalmiles", error), ON::LengthUnitSystem::NauticalMiles);
    EXPECT_FALSE(parseUnits("furlongs", error).has_value());
    EXPECT_NE(error.find("millimeters"), std::string::npos);
    EXPECT_EQ(parseChoice("BREP", {"mesh", "brep"}, error), 1u);
    EXPECT_FALSE(parseChoice("nurbs", {"mesh", "brep"}, error).has_value());
    EXPECT_EQ(error, "expected mesh or brep, got \"nurbs\"");
}

}  // namespace
}  // namespace vantro::host
