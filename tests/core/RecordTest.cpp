#include "CoreTestEnv.h"
#include "core/RadarObj.h"
#include <gtest/gtest.h>
#include <tuple>

using namespace sf;
using namespace sf::test;

namespace {

const TNaming kBmp{"http://h/ridge/RadarImg/", "http://h/ridge/Conus/RadarImg/", false};
const TNaming kGif{"http://h/ridge/RadarImg/", "http://h/ridge/Conus/RadarImg/", true};

TRadarObj Named(const std::string& radar, const std::string& product, const TNaming& n = kBmp)
{
    TRadarObj r;
    r.SetNames(radar, product, n);
    return r;
}

auto Fields(const TRadarObj& r)
{
    return std::tie(r.Radar, r.Product, r.ImageURL, r.WorldURL, r.RemoteName, r.SiteID, r.Bounds, r.LegendName,
                    r.LocalName, r.NextAttempt, r.LastImage, r.PrevImage, r.LastAttempt, r.Status, r.Accumulate,
                    r.Enabled, r.AccessErrors, r.ConversionErrors, r.SourceIndex, r.PixelSizeX, r.PixelSizeY, r.Top,
                    r.Left, r.Bottom, r.Right);
}

} // namespace

TEST(RecordCreate, DefaultsMakeANewRecordDueAtOnce)
{
    TFakeClock clock(TestNow(), -5.0 / 24.0);
    TRadarObj r = TRadarObj::Create(clock);
    EXPECT_DOUBLE_EQ(r.NextAttempt, TestNow() - 5.0 / 24.0 - 1);
    EXPECT_DOUBLE_EQ(r.LastAttempt, TestNow() - 5.0 / 24.0 - 1);
    EXPECT_DOUBLE_EQ(r.LastImage, TestNow() - 100);
    EXPECT_DOUBLE_EQ(r.PrevImage, r.LastImage);
    EXPECT_TRUE(r.Enabled);
    EXPECT_FALSE(r.Accumulate);
    EXPECT_EQ(r.Status, "");
    EXPECT_EQ(r.Bounds, "");
}

TEST(RecordNames, SiteLineGivesTheRidgeLayout)
{
    TRadarObj r = Named("IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    EXPECT_EQ(r.SiteID, "LOT");
    EXPECT_EQ(r.RemoteName, "LOT_N0R_0");
    EXPECT_EQ(r.LocalName, "LOT_N0R_0.bmp");
    EXPECT_EQ(r.ImageURL, "http://h/ridge/RadarImg/N0R/LOT_N0R_0.gif");
    EXPECT_EQ(r.WorldURL, "http://h/ridge/RadarImg/N0R/LOT_N0R_0.gfw");
    EXPECT_EQ(r.LegendName, "LOT_N0R_Legend_0.gif");
    EXPECT_EQ(r.Status, "New record");
    EXPECT_EQ(Named("IL,Chicago,LOT", "Short Range Reflectivity, N0R", kGif).LocalName, "LOT_N0R_0.gif");
}

TEST(RecordNames, MissingFieldsGiveEmptyParts)
{
    TRadarObj bare = Named("IL,Chicago,LOT", "N0R");
    EXPECT_EQ(bare.RemoteName, "LOT__0");
    EXPECT_EQ(bare.LocalName, "LOT__0.bmp");
    EXPECT_EQ(bare.ImageURL, "http://h/ridge/RadarImg//LOT__0.gif");
    EXPECT_EQ(Named("LOT", "Velocity, N0V").SiteID, "LOT");
    TRadarObj two = Named("IL,Chicago", "Velocity, N0V");
    EXPECT_EQ(two.SiteID, "");
    EXPECT_EQ(two.RemoteName, "_N0V_0");
    EXPECT_EQ(two.LegendName, "_N0V_Legend_0.gif");
}

TEST(RecordNames, ProductCodeIsTrimmed)
{
    EXPECT_EQ(Named("IL,Chicago,LOT", "Long Range Reflectivity ,  N0Z ").RemoteName, "LOT_N0Z_0");
}

TEST(RecordNames, MosaicLines)
{
    TRadarObj r = Named("!!ConUS,Iowa State University", ", ");
    EXPECT_EQ(r.SiteID, "ConUS");
    EXPECT_EQ(r.RemoteName, "ConUS");
    EXPECT_EQ(r.LocalName, "ConUS.bmp");
    EXPECT_EQ(r.ImageURL, "http://h/ridge/Conus/RadarImg/ConUS.gif");
    EXPECT_EQ(r.WorldURL, "http://h/ridge/Conus/RadarImg/ConUS.gfw");
    EXPECT_EQ(r.LegendName, "");
    TRadarObj nat = Named("!!Natxyz,anything", ", ");
    EXPECT_EQ(nat.RemoteName, "latest_radaronly");
    EXPECT_EQ(nat.LocalName, "Natxyz.bmp");
    EXPECT_EQ(Named("!!natabc,anything", ", ").RemoteName, "natabc");
}

TEST(RecordNames, NamesThatCannotBeFilesAreMarked)
{
    TRadarObj dots = Named("!!..,x", ", ");
    EXPECT_TRUE(dots.HasInvalidName());
    EXPECT_EQ(dots.Status, "Error invalid name");
    EXPECT_TRUE(Named("IL,Chicago,A/B", "Velocity, N0V").HasInvalidName());
    EXPECT_TRUE(Named("IL,Chicago,LOT", "Up, ../..").HasInvalidName());
    EXPECT_TRUE(Named("!!.,x", ", ").HasInvalidName());
    TRadarObj ok = Named("IL,Chicago,LOT", "Velocity, N0V");
    EXPECT_FALSE(ok.HasInvalidName());
    EXPECT_EQ(ok.Status, "New record");
}

TEST(RecordNames, PngMosaicRule)
{
    TRadarObj r;
    r.RemoteName = "n0r_0";
    EXPECT_TRUE(r.IsPngMosaic());
    r.RemoteName = "X01_USRADY";
    EXPECT_TRUE(r.IsPngMosaic());
    r.RemoteName = "LOT_N0R_0";
    EXPECT_FALSE(r.IsPngMosaic());
}

TEST(BoundsNumber, WidenedSingleWithFifteenDigits)
{
    EXPECT_EQ(BoundsNumber(0.017f), "0.017000000923872");
    EXPECT_EQ(BoundsNumber(-90.5f), "-90.5");
    EXPECT_EQ(BoundsNumber(0.0f), "0");
    EXPECT_EQ(BoundsNumber(123456.0f), "123456");
    EXPECT_EQ(BoundsNumber(0.1f), "0.100000001490116");
    EXPECT_EQ(BoundsNumber(-97.3456f), "-97.3455963134766");
    EXPECT_EQ(BoundsNumber(3e-5f), "0.0000299999992421363");
    EXPECT_EQ(BoundsNumber(1e-5f), "9.99999974737875E-6");
    EXPECT_EQ(BoundsNumber(1e20f), "1.00000002004088E20");
}

TEST(BoundsNumber, ScientificFromSixteenIntegerDigits)
{
    // Fifteen integer digits still print in full; from 1E15 on the text turns scientific.
    EXPECT_EQ(BoundsNumber(999999986991104.0f), "999999986991104");
    EXPECT_EQ(BoundsNumber(1125899906842624.0f), "1.12589990684262E15");
    EXPECT_EQ(BoundsNumber(-1125899906842624.0f), "-1.12589990684262E15");
    EXPECT_EQ(BoundsNumber(1e16f), "1.00000002725642E16");
}

class WorldFileTest : public ::testing::Test {
protected:
    TTempDir Dir;
    TRadarObj R;
    std::string Write(const std::string& text) { return Dir.Write("LOT_N0R_0.gfw", text); }
};

TEST_F(WorldFileTest, SixCrLfLinesGiveEdgesAndBounds)
{
    R.ReadWorldFile(Write("0.0117\r\n0\r\n0\r\n-0.0117\r\n-90.5\r\n45.25\r\n"));
    EXPECT_FLOAT_EQ(R.PixelSizeX, 0.0117f);
    EXPECT_FLOAT_EQ(R.PixelSizeY, -0.0117f);
    EXPECT_EQ(BoundsNumber(R.Left), "-90.5058517456055");
    EXPECT_EQ(BoundsNumber(R.Top), "45.2558517456055");
    // Right and Bottom are not known before the image size.
    EXPECT_EQ(R.Bounds, "-90.5058517456055,45.2558517456055,0,0");
    R.SetBounds(600, 550);
    EXPECT_EQ(R.Bounds, "-90.5058517456055,45.2558517456055,-83.4858551025391,38.8208503723145");
}

TEST_F(WorldFileTest, MissingFileOrWrongLineCountChangesNothing)
{
    R.Bounds = "keep";
    R.ReadWorldFile(Dir.Path() + "nothing.gfw");
    R.ReadWorldFile(Write("0.0117\r\n0\r\n0\r\n-0.0117\r\n-90.5\r\n45.25\r\n\r\n"));
    R.ReadWorldFile(Write("0.0117\r\n0\r\n0\r\n-0.0117\r\n-90.5\r\n"));
    EXPECT_EQ(R.Bounds, "keep");
    EXPECT_EQ(R.PixelSizeX, 0.0f);
}

TEST_F(WorldFileTest, TagLinesOfAWebPageAreRemoved)
{
    R.ReadWorldFile(Write("<html><body>\r\n<pre>0.0117\r\n0\r\n0\r\n-0.0117\r\n-90.5\r\n45.25\r\n</pre>\r\n</body></html>\r\n"));
    EXPECT_FLOAT_EQ(R.PixelSizeX, 0.0117f);
    EXPECT_EQ(BoundsNumber(R.Top), "45.2558517456055");
}

TEST_F(WorldFileTest, NumberFollowedByATagIsCutAway)
{
    R.ReadWorldFile(Write("<pre>\r\n0.0117\r\n0\r\n0\r\n-0.0117\r\n-90.5\r\n45.25</pre>\r\n"));
    EXPECT_EQ(R.PixelSizeX, 0.0f);
    EXPECT_EQ(R.Bounds, "");
}

TEST_F(WorldFileTest, ZeroKeepsTheStoredValue)
{
    R.Left = -80.0f;
    R.ReadWorldFile(Write("0.5\n0\n0\n-0.5\n0\n40\n"));
    EXPECT_FLOAT_EQ(R.Left, -80.25f);
    EXPECT_FLOAT_EQ(R.Top, 40.25f);
}

TEST_F(WorldFileTest, BadNumberKeepsWhatWasStoredBeforeIt)
{
    R.ReadWorldFile(Write("abc\n0\n0\n-0.5\n-90\n40\n"));
    EXPECT_FLOAT_EQ(R.Left, -90.0f); // stored, not shifted
    EXPECT_FLOAT_EQ(R.Top, 40.0f);
    EXPECT_EQ(R.PixelSizeX, 0.0f);
    EXPECT_EQ(R.PixelSizeY, 0.0f);
    EXPECT_EQ(R.Bounds, "");
}

TEST_F(WorldFileTest, EveryTagOnALineIsCutAndAnUnclosedTagStays)
{
    R.ReadWorldFile(Write("<a> <b>  0.5 \n0\n0\n-0.5\n-90\n40\n"));
    EXPECT_FLOAT_EQ(R.PixelSizeX, 0.5f);
    R = TRadarObj();
    // "<p" holds no ">": the line stays, so the file has seven lines and is ignored.
    R.ReadWorldFile(Write("<p\n0.5\n0\n0\n-0.5\n-90\n40\n"));
    EXPECT_EQ(R.PixelSizeX, 0.0f);
    EXPECT_EQ(R.Bounds, "");
}

TEST_F(WorldFileTest, PageFullOfTagsIsReadInOnePass)
{
    // A served page with very many tags on one line and very many tag-only lines.
    std::string page;
    for (int i = 0; i < 100000; ++i)
        page += "<br>\r\n";
    std::string tags;
    for (int i = 0; i < 100000; ++i)
        tags += "<i>";
    page += tags + "0.5\r\n0\r\n0\r\n-0.5\r\n-90\r\n40\r\n" + page;
    R.ReadWorldFile(Write(page));
    EXPECT_FLOAT_EQ(R.PixelSizeX, 0.5f);
    EXPECT_FLOAT_EQ(R.Left, -90.25f);
}

TEST_F(WorldFileTest, ValueBeyondTheSingleRangeIsNoNumber)
{
    R.ReadWorldFile(Write("0.5\n0\n0\n-0.5\n-90\n1e39\n"));
    EXPECT_FLOAT_EQ(R.Left, -90.0f); // stored before the bad value, not shifted
    EXPECT_EQ(R.Top, 0.0f);
    EXPECT_EQ(R.PixelSizeX, 0.0f);
    EXPECT_EQ(R.Bounds, "");
    float v = 1;
    EXPECT_FALSE(ParseFloatText("-3.5e38", v));
    EXPECT_TRUE(ParseFloatText("3.4e38", v));
}

TEST(RecordBounds, NoGeoReferenceEmptiesBounds)
{
    TRadarObj r;
    r.Left = 0.0f, r.PixelSizeX = 0.5f, r.Top = 40, r.PixelSizeY = -0.5f;
    r.Bounds = "old";
    r.SetBounds(10, 10);
    EXPECT_EQ(r.Bounds, "");
    r.Left = -90.0f;
    r.Bounds = "old";
    r.SetBounds(0, 10);
    EXPECT_EQ(r.Bounds, "");
    r.SetBounds(10, 4);
    EXPECT_EQ(r.Bounds, "-90,40,-85,38");
    EXPECT_FLOAT_EQ(r.Right, -85.0f);
    EXPECT_FLOAT_EQ(r.Bottom, 38.0f);
}

TEST(RecordAssign, CopiesAllButSourceIndex)
{
    TRadarObj a = Named("IL,Chicago,LOT", "Velocity, N0V");
    a.Status = "Waiting for new file";
    a.Bounds = "1,2,3,4";
    a.NextAttempt = 1, a.LastImage = 2, a.PrevImage = 3, a.LastAttempt = 4;
    a.Accumulate = true, a.Enabled = false, a.AccessErrors = 5, a.ConversionErrors = 6, a.SourceIndex = 2;
    a.Left = 1, a.Top = 2, a.Right = 3, a.Bottom = 4, a.PixelSizeX = 5, a.PixelSizeY = 6;
    TRadarObj b;
    b.SourceIndex = 1;
    b.Assign(a);
    EXPECT_EQ(b.SourceIndex, 1);
    b.SourceIndex = 2;
    EXPECT_EQ(Fields(a), Fields(b));
}

class RebuildURLsTest : public ::testing::Test {
protected:
    TCoreEnv E;
    TRadarObj& Add(const std::string& radar, const std::string& product)
    {
        TRadarObj* r = E.S.List.Add(radar + "\t" + product, TRadarObj::Create(E.Clock));
        r->SetNames(radar, product, E.S.Naming());
        return *r;
    }
};

TEST_F(RebuildURLsTest, FirstSourceKeepsTheProductFolder)
{
    TRadarObj& site = Add("IL,Chicago,LOT", "Velocity, N0V");
    E.S.RidgeBase = "http://127.0.0.1/other/";
    E.S.SelectRidge = 0;
    RebuildURLs(E.S);
    EXPECT_EQ(site.ImageURL, "http://127.0.0.1/other/N0V/LOT_N0V_0.gif");
    EXPECT_EQ(site.WorldURL, "http://127.0.0.1/other/N0V/LOT_N0V_0.gfw");
}

TEST_F(RebuildURLsTest, OtherSourcesLeaveSiteUrls)
{
    TRadarObj& site = Add("IL,Chicago,LOT", "Velocity, N0V");
    const std::string before = site.ImageURL;
    E.S.RidgeBase = "http://127.0.0.1/other/";
    E.S.SelectRidge = 1;
    RebuildURLs(E.S);
    EXPECT_EQ(site.ImageURL, before);
}

TEST_F(RebuildURLsTest, MosaicsAndTheNationalRecordEndingThePass)
{
    TRadarObj& conus = Add("!!ConUS,Iowa State University", ", ");
    TRadarObj& nat = Add("!!natxyz,National", ", ");
    TRadarObj& site = Add("IL,Chicago,LOT", "Velocity, N0V");
    const std::string conusUrl = conus.ImageURL, siteUrl = site.ImageURL;
    E.S.RidgeBase = "http://127.0.0.1/b/";
    E.S.RidgeNatBase = "http://127.0.0.1/n/";
    RebuildURLs(E.S);
    EXPECT_EQ(conus.ImageURL, conusUrl);
    EXPECT_EQ(nat.ImageURL, "http://127.0.0.1/n/natxyz.gif");
    EXPECT_EQ(nat.WorldURL, "http://127.0.0.1/n/natxyz.gfw");
    EXPECT_EQ(site.ImageURL, siteUrl);
}
