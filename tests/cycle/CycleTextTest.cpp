// Names, addresses, jitter and summary texts of the cycle.
#include "core/DateTime.h"
#include "cycle/CycleText.h"
#include <gtest/gtest.h>

namespace sf {
namespace {

TDateTime AtSecond(int s)
{
    TDateFields f;
    f.Year = 2010, f.Month = 5, f.Day = 10, f.Hour = 14, f.Minute = 21, f.Second = s;
    return EncodeDateTime(f);
}

TEST(CycleText, PngMosaicsAreOnlyTheNationalAndUsradKeys)
{
    EXPECT_TRUE(IsPngMosaicName("N0R_0"));
    EXPECT_TRUE(IsPngMosaicName("n0r_0"));
    EXPECT_TRUE(IsPngMosaicName("ab01_usrad"));
    EXPECT_FALSE(IsPngMosaicName("N0R_01"));
    EXPECT_FALSE(IsPngMosaicName("LOT_N0R_0"));
    EXPECT_FALSE(IsPngMosaicName("ConUS"));
    EXPECT_FALSE(IsPngMosaicName("USRad"));
    EXPECT_EQ("N0R_0.wld", WorldFileNameOf("N0R_0"));
    EXPECT_EQ("N0R_0.png", ImageFileNameOf("N0R_0"));
    EXPECT_EQ("LOT_N0R_0.gfw", WorldFileNameOf("LOT_N0R_0"));
    EXPECT_EQ("LOT_N0R_0.gif", ImageFileNameOf("LOT_N0R_0"));
}

TEST(CycleText, LegendNameAndAddress)
{
    EXPECT_EQ("LOT_N0R_Legend_0.gif", LegendNameOf("LOT_N0R_0"));
    EXPECT_EQ("http://h/ridge/Legend/N0R/LOT_N0R_Legend_0.gif",
              LegendURL("http://h/ridge/RadarImg/", "LOT_N0R_Legend_0.gif"));
    EXPECT_EQ("http://h/ridge/Legend/N1P/LOT_N1P_Legend_0.gif",
              LegendURL("http://h/ridge/radarimg/", "LOT_N1P_Legend_0.gif"));
}

TEST(CycleText, ListingAddresses)
{
    EXPECT_EQ("http://h/ridge/RadarImg/N0R/LOT/", SiteListingURL("http://h/ridge/RadarImg/", "LOT_N0R_0"));
    EXPECT_EQ("http://h/ridge/Conus/RadarImg/?C=N;O=A", MosaicListingURL("http://h/ridge/Conus/RadarImg/N0R_0.gif"));
    EXPECT_EQ("http://h/a/", URLFolder("http://h/a/b.gif"));
    EXPECT_EQ("", URLFolder("nofolder"));
}

TEST(CycleText, BasesMatchIgnoringCaseAndNeverWhenEmpty)
{
    EXPECT_TRUE(StartsWithText("HTTP://H/Ridge/RadarImg/N0R/x.gif", "http://h/ridge/radarimg/"));
    EXPECT_FALSE(StartsWithText("http://h/ridge/Conus/RadarImg/x.gif", "http://h/ridge/RadarImg/"));
    EXPECT_FALSE(StartsWithText("http://h/x.gif", ""));
    EXPECT_FALSE(StartsWithText("http://h", "http://h/ridge/"));
}

TEST(CycleText, JitterIsTheSecondsUpToTenThenTheirTens)
{
    EXPECT_DOUBLE_EQ(0, JitterAt(AtSecond(0)) / kOneSecond);
    EXPECT_NEAR(10, JitterAt(AtSecond(10)) / kOneSecond, 1e-6);
    EXPECT_NEAR(1, JitterAt(AtSecond(11)) / kOneSecond, 1e-6);
    EXPECT_NEAR(5, JitterAt(AtSecond(59)) / kOneSecond, 1e-6);
    EXPECT_NEAR(2, JitterAt(AtSecond(20)) / kOneSecond, 1e-6);
}

TEST(CycleText, ReferenceTimeKeepsARecentImageOnly)
{
    const TDateTime now = AtSecond(0);
    EXPECT_EQ(now - 0.5, ReferenceTime(now - 0.5, now));
    EXPECT_EQ(now - 0.95, ReferenceTime(now - 1.0, now));
    EXPECT_EQ(now - 0.95, ReferenceTime(now - 100, now));
}

TEST(CycleText, NextAttemptAfterANewImage)
{
    const TDateTime image = AtSecond(0) - 2 * kOneMinute; // 14:19
    const TDateTime j = 3 * kOneSecond;
    EXPECT_NEAR(image + 5 * kOneMinute + j, NextAfterNewImage(image, 5 * kOneMinute, AtSecond(0), j), 1e-9);
    const TDateTime late = image + 11 * kOneMinute; // found at 14:30
    EXPECT_NEAR(late + kOneMinute + j, NextAfterNewImage(image, 5 * kOneMinute, late, j), 1e-9);
    // Exactly at image time + interval counts as past.
    const TDateTime edge = image + 5 * kOneMinute;
    EXPECT_NEAR(edge + kOneMinute, NextAfterNewImage(image, 5 * kOneMinute, edge, 0), 1e-9);
}

TEST(CycleText, SummaryPieces)
{
    EXPECT_EQ("1.500", SecondsText(1.5 * kOneSecond));
    EXPECT_EQ("12.045", SecondsText(12.045 * kOneSecond));
    EXPECT_EQ("0.000", SecondsText(0));
    EXPECT_EQ("LOT_N0R_0,N0R_0", ProcessedListText(",LOT_N0R_0,N0R_0"));
    EXPECT_EQ("", ProcessedListText(""));
    EXPECT_EQ("A", ProcessedListText(" ,,A "));
}

} // namespace
} // namespace sf
