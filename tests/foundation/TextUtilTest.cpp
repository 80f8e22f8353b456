#include <gtest/gtest.h>

#include "foundation/TextUtil.h"

namespace qv {

TEST(TextUtilTest, Cp1252RoundTripsEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string utf8 = Cp1252ToUtf8(all);
    EXPECT_EQ(Utf8ToCp1252(utf8), all);
}

TEST(TextUtilTest, Cp1252ConversionTable) {
    struct Case {
        const char* cp1252;
        const char* utf8;
    };
    const Case cases[] = {
        {"abc", "abc"},
        {"\x80", "\xE2\x82\xAC"},          // euro sign
        {"Fran\xE7" "ais", "Fran\xC3\xA7" "ais"},
        {"\x9F", "\xC5\xB8"},              // Y with diaeresis
        {"\xFC\xDF", "\xC3\xBC\xC3\x9F"},
        {"\x99", "\xE2\x84\xA2"},          // trade mark
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8);
        EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252);
    }
}

TEST(TextUtilTest, CharactersOutsideTheCodePageAndBrokenUtf8AreReplaced) {
    EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD" "x"), "?x");         // a CJK character
    EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80", '_'), "_");     // an emoji
    EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");                    // cut sequence
    EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");                 // overlong form
    EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");            // surrogate
    EXPECT_EQ(Utf8ToCp1252("\xFF"), "?");
}

TEST(TextUtilTest, SplitLinesAndCaseHelpers) {
    const auto lines = SplitLines("a\r\nb\n\nc\rd\r\n");
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "", "c", "d"}));
    EXPECT_TRUE(SplitLines("").empty());
    EXPECT_EQ(SplitLines("\r\n"), (std::vector<std::string>{""}));
    EXPECT_EQ(SplitLines("x\r\r\n"), (std::vector<std::string>{"x", ""}));
    EXPECT_TRUE(SameTextNoCase("<*** BEGIN ***>", "<*** Begin ***>"));
    EXPECT_FALSE(SameTextNoCase("abc", "abcd"));
    EXPECT_TRUE(StartsWithNoCase("* error: x", "* Error:"));
    EXPECT_FALSE(StartsWithNoCase("* Err", "* Error:"));
    EXPECT_EQ(LowerAscii("-UNINSTALL\xC4"), "-uninstall\xC4");
    EXPECT_EQ(UpperAscii("enu"), "ENU");
}

}  // namespace qv

namespace qv {
namespace {

TEST(TextUtilTrimTest, ControlsAndBlanksGoAtBothEnds) {
    EXPECT_EQ(TrimText("  a b \r\n"), "a b");
    EXPECT_EQ(TrimText("\t\x01x"), "x");
    EXPECT_EQ(TrimText("   "), "");
    EXPECT_EQ(TrimText("\xE9 "), "\xE9");
}

TEST(TextUtilFormatTest, EachPlaceTakesTheNextValue) {
    const struct {
        const char* pattern;
        std::vector<std::string> values;
        const char* expected;
    } cases[] = {
        {"%s invites %s", {"Ann", "Bo"}, "Ann invites Bo"},
        {"%s and %s", {"%s", "x"}, "%s and x"},  // a value's own %s stays
        {"%s and %s", {"a"}, "a and %s"},        // values run out
        {"none", {"a"}, "none"},                 // places run out
        {"", {}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatS(c.pattern, c.values), c.expected) << c.pattern;
}

}  // namespace
}  // namespace qv
