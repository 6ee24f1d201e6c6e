#include "core/Files.h"
#include <gtest/gtest.h>

namespace sf {
namespace {

TEST(MaskMatches, StarMatchesAnyRunIgnoringCase)
{
    EXPECT_TRUE(MaskMatches("*.tmp", "image.tmp"));
    EXPECT_TRUE(MaskMatches("*.tmp", "IMAGE.TMP"));
    EXPECT_TRUE(MaskMatches("*.Bmp", "lot_n0r_0.bmp"));
    EXPECT_TRUE(MaskMatches("*.tmp", ".tmp"));
    EXPECT_FALSE(MaskMatches("*.tmp", "image.tmpx"));
    EXPECT_FALSE(MaskMatches("*.tmp", "imagetmp"));
    EXPECT_TRUE(MaskMatches("LOT*.gif", "LOT_N0R_0.gif"));
    EXPECT_TRUE(MaskMatches("*", "anything.at.all"));
    EXPECT_TRUE(MaskMatches("a*b*c", "aXXbYYc"));
    EXPECT_FALSE(MaskMatches("a*b*c", "aXXbYY"));
}

TEST(MaskMatches, StarDotStarMatchesEveryName)
{
    EXPECT_TRUE(MaskMatches("*.*", "noextension"));
    EXPECT_TRUE(MaskMatches("*.*", "a.b.c"));
    EXPECT_TRUE(MaskMatches("*.*", ".hidden"));
}

TEST(MaskMatches, QuestionMarkIsOneCharacterOrNoneBeforeTheDot)
{
    EXPECT_TRUE(MaskMatches("B?.bmp", "B1.bmp"));
    EXPECT_TRUE(MaskMatches("B?.bmp", "b9.BMP"));
    EXPECT_TRUE(MaskMatches("B?.bmp", "B.bmp")); // the series' base image is listed too
    EXPECT_FALSE(MaskMatches("B?.bmp", "B10.bmp"));
    EXPECT_FALSE(MaskMatches("B?.bmp", "B1.bmp.part"));
    EXPECT_TRUE(MaskMatches("a??", "a"));
    EXPECT_TRUE(MaskMatches("a??", "ab"));
    EXPECT_FALSE(MaskMatches("a??", "abcd"));
    EXPECT_FALSE(MaskMatches("a?c", "ac")); // only at a "." or at the end
    EXPECT_FALSE(MaskMatches("a?b", "a.b"));
}

TEST(MaskMatches, DotBeforeWildcardAlsoMatchesTheEnd)
{
    EXPECT_TRUE(MaskMatches("readme.*", "readme"));
    EXPECT_TRUE(MaskMatches("readme.*", "README.txt"));
    EXPECT_TRUE(MaskMatches("*.", "noextension"));
    EXPECT_FALSE(MaskMatches("*.", "has.ext"));
}

TEST(MaskMatches, TemporarySaveNamesMatchNoSeriesPattern)
{
    const std::string temp = ".stormfetch-a1B2c3.part";
    for (const char* mask : {"*.tmp", "B?.bmp", "*.Bmp", "*.gif", "*.sat", "LOT*.bmp", "?.bmp"})
        EXPECT_FALSE(MaskMatches(mask, temp)) << mask;
}

TEST(MaskMatches, LiteralNameMatchesItsCaseVariants)
{
    EXPECT_TRUE(MaskMatches("DownLoadList.txt", "DownLoadList.Txt"));
    EXPECT_FALSE(MaskMatches("DownLoadList.txt", "DownLoadList.txt2"));
}

} // namespace
} // namespace sf
