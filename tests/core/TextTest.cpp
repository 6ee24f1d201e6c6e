#include "core/Text.h"
#include <gtest/gtest.h>

namespace sf {
namespace {

TEST(GetField, NumbersFieldsFromOne)
{
    EXPECT_EQ(GetField("IL,Chicago,LOT", 1, ','), "IL");
    EXPECT_EQ(GetField("IL,Chicago,LOT", 2, ','), "Chicago");
    EXPECT_EQ(GetField("IL,Chicago,LOT", 3, ','), "LOT");
}

TEST(GetField, BeyondTheLastFieldIsEmpty)
{
    EXPECT_EQ(GetField("IL,Chicago,LOT", 4, ','), "");
    EXPECT_EQ(GetField("IL,Chicago,LOT", 100, ','), "");
}

TEST(GetField, ZeroOrNegativeGivesTheFirstField)
{
    EXPECT_EQ(GetField("IL,Chicago,LOT", 0, ','), "IL");
    EXPECT_EQ(GetField("IL,Chicago,LOT", -5, ','), "IL");
}

TEST(GetField, TextWithoutDelimiterIsItsOwnFieldForEveryNumber)
{
    EXPECT_EQ(GetField("LOT", 1, ','), "LOT");
    EXPECT_EQ(GetField("LOT", 3, ','), "LOT");
    EXPECT_EQ(GetField("LOT", 0, ','), "LOT");
}

TEST(GetField, TextShorterThanTwoCharactersIsEmpty)
{
    EXPECT_EQ(GetField("X", 1, ','), "");
    EXPECT_EQ(GetField(",", 1, ','), "");
    EXPECT_EQ(GetField("", 1, ','), "");
    // Two characters are enough.
    EXPECT_EQ(GetField("XY", 1, ','), "XY");
    EXPECT_EQ(GetField("X,", 1, ','), "X");
    EXPECT_EQ(GetField(",X", 2, ','), "X");
}

TEST(GetField, EmptyFieldsCountAndAreNotTrimmed)
{
    EXPECT_EQ(GetField("a,,b", 2, ','), "");
    EXPECT_EQ(GetField("a,,b", 3, ','), "b");
    EXPECT_EQ(GetField("a,b,", 3, ','), "");
    EXPECT_EQ(GetField("a,b,", 2, ','), "b");
    EXPECT_EQ(GetField(" a , b ", 2, ','), " b ");
    EXPECT_EQ(GetField("Short Range Reflectivity, N0R", 2, ','), " N0R");
}

TEST(GetField, TabLineReturnsEveryFieldAsStored)
{
    const std::string fields[10] = {"IL,Chicago,LOT", "Short Range Reflectivity, N0R", "LOT_N0R_0.gif", " Waiting ",
                                    "", "TRUE", "FALSE", "03/05/2009 23:15:02", "", "12/31/2009 00:00:00"};
    std::string line;
    for (int i = 0; i < 10; ++i)
        line += (i ? "\t" : "") + fields[i];
    ASSERT_EQ(FieldCount(line, '\t'), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(GetField(line, i + 1, '\t'), fields[i]) << "field " << i + 1;
    EXPECT_EQ(GetField(line, 11, '\t'), "");
}

TEST(FieldCount, CountsDelimitersPlusOneOrZero)
{
    EXPECT_EQ(FieldCount("a", ','), 0);
    EXPECT_EQ(FieldCount("", ','), 0);
    EXPECT_EQ(FieldCount("a,b", ','), 2);
    EXPECT_EQ(FieldCount(",", ','), 2);
    EXPECT_EQ(FieldCount("a,b,", ','), 3);
    EXPECT_EQ(FieldCount("a,,b", ','), 3);
    EXPECT_EQ(FieldCount("a\tb", ','), 0);
}

TEST(Trim, RemovesBlanksAndControlCharactersAtBothEndsOnly)
{
    EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
    EXPECT_EQ(Trim("\x01x\x1f"), "x");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("\xc3\xa9"), "\xc3\xa9"); // UTF-8 bytes are not control characters
}

TEST(CaseHelpers, AsciiOnlyCaseRules)
{
    EXPECT_EQ(UpperCase("DownLoadList.txt"), "DOWNLOADLIST.TXT");
    EXPECT_EQ(LowerCase("LOT_N0R_0.BMP"), "lot_n0r_0.bmp");
    EXPECT_EQ(UpperCase("\xc3\xa9"), "\xc3\xa9");
    EXPECT_TRUE(SameText("DownLoadList.Txt", "DOWNLOADLIST.txt"));
    EXPECT_FALSE(SameText("abc", "abcd"));
    EXPECT_EQ(CompareText("apple", "BANANA"), -1);
    EXPECT_EQ(CompareText("Banana", "apple"), 1);
    EXPECT_EQ(CompareText("ab", "AB"), 0);
    EXPECT_EQ(CompareText("ab", "ABC"), -1);
    // "_" sorts after letters only when letters are compared upper-cased.
    EXPECT_EQ(CompareText("a_", "AZ"), 1);
}

TEST(Pos, IsOneBasedAndZeroWhenAbsent)
{
    EXPECT_EQ(Pos("!!", "!!Conus"), 1);
    EXPECT_EQ(Pos(".TXT", "MY LOG.TXT"), 7);
    EXPECT_EQ(Pos("x", "abc"), 0);
    EXPECT_EQ(Pos("", "abc"), 0);
}

TEST(StartsEnds, ExactCase)
{
    EXPECT_TRUE(StartsWith("!!CONUS", "!!"));
    EXPECT_FALSE(StartsWith("!", "!!"));
    EXPECT_TRUE(EndsWith("a.gfw", ".gfw"));
    EXPECT_FALSE(EndsWith("a.GFW", ".gfw"));
}

TEST(TryStrToInt, StrictDecimalAndOptionalHex)
{
    long long v = 0;
    EXPECT_TRUE(TryStrToInt("594", v));
    EXPECT_EQ(v, 594);
    EXPECT_TRUE(TryStrToInt("-12", v));
    EXPECT_EQ(v, -12);
    EXPECT_TRUE(TryStrToInt("+7", v));
    EXPECT_EQ(v, 7);
    v = 99;
    EXPECT_FALSE(TryStrToInt("", v));
    EXPECT_FALSE(TryStrToInt("-", v));
    EXPECT_FALSE(TryStrToInt("12a", v));
    EXPECT_FALSE(TryStrToInt("1 2", v));
    EXPECT_FALSE(TryStrToInt("0x10", v)); // hex only when asked
    EXPECT_EQ(v, 99);                     // failures leave the value alone
    EXPECT_TRUE(TryStrToInt("0x10", v, true));
    EXPECT_EQ(v, 16);
    EXPECT_TRUE(TryStrToInt("0XfF", v, true));
    EXPECT_EQ(v, 255);
    EXPECT_FALSE(TryStrToInt("0x", v, true));
    EXPECT_FALSE(TryStrToInt("0xG", v, true));
    EXPECT_TRUE(TryStrToInt("9223372036854775807", v));
    EXPECT_EQ(v, 9223372036854775807LL);
    EXPECT_TRUE(TryStrToInt("-9223372036854775808", v));
    EXPECT_EQ(v, -9223372036854775807LL - 1);
    EXPECT_FALSE(TryStrToInt("9223372036854775808", v));
    EXPECT_FALSE(TryStrToInt("99999999999999999999", v));
}

TEST(SplitLines, AcceptsCrLfAndLfAndDropsOnlyTheFinalEmptyLine)
{
    EXPECT_EQ(SplitLines("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitLines("a\r\n"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(SplitLines(""), (std::vector<std::string>{}));
    EXPECT_EQ(SplitLines("\n"), (std::vector<std::string>{""}));
    EXPECT_EQ(SplitLines("a\tb \r\n"), (std::vector<std::string>{"a\tb "}));
}

} // namespace
} // namespace sf
