#include "app/Demo.h"
#include "app/DemoServer.h"
#include "core/Files.h"
#include "core/Text.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

using namespace sf;

namespace {

TDemoRadarSource Stub()
{
    TDemoRadarSource s;
    s.SiteGif = [](const std::string& site, const std::string& product, TDateTime t) {
        return site == "LOT" ? "GIF:" + site + product + FormatDateTime("hhnn", t) : std::string();
    };
    s.SiteWorld = [](const std::string& site, const std::string&) { return site == "LOT" ? "world" : ""; };
    s.Legend = [](const std::string& site, const std::string& product) { return "LEG:" + site + product; };
    s.MosaicGif = [](TDateTime t) { return "CONUSGIF" + FormatDateTime("hhnn", t); };
    s.MosaicGifWorld = [] { return std::string("gifworld"); };
    s.MosaicPng = [](TDateTime) { return std::string("\x89PNG"); };
    s.MosaicPngWorld = [] { return std::string("pngworld"); };
    return s;
}

const TDateTime kNow = EncodeDateTime({2026, 12, 7, 21, 9, 42, 0});

} // namespace

TEST(DemoServer, ImagesAppearEveryFiveMinutes)
{
    EXPECT_EQ(FormatDateTime("hh:nn:ss", DemoImageTime(kNow)), "21:05:00");
    EXPECT_EQ(FormatDateTime("hh:nn", DemoImageTime(EncodeDateTime({2026, 12, 7, 21, 10, 0, 0}))), "21:10");
    EXPECT_EQ(DemoTimedName("LOT", DemoImageTime(kNow), "_N0R.gif"), "LOT_20261207_2105_N0R.gif");
}

TEST(DemoServer, CurrentSiteImageWorldFileAndLegend)
{
    auto src = Stub();
    auto img = DemoAnswer("/ridge/RadarImg/N0R/LOT_N0R_0.gif", kNow, src);
    EXPECT_EQ(img.Code, 200);
    EXPECT_EQ(img.Body, "GIF:LOTN0R2105");
    EXPECT_EQ(DemoAnswer("/ridge/RadarImg/N0R/LOT_N0R_0.gfw", kNow, src).Body, "world");
    // The legend folder is the base cut in front of "RadarImg", as the cycle builds it.
    EXPECT_EQ(DemoAnswer("/ridge/Legend/N0R/LOT_N0R_Legend_0.gif", kNow, src).Body, "LEG:LOTN0R");
    // An absolute URL (as sent through a proxy) reaches the same file.
    EXPECT_EQ(DemoAnswer("http://127.0.0.1:8080/ridge/RadarImg/N0R/LOT_N0R_0.gfw", kNow, src).Body, "world");
    EXPECT_EQ(DemoAnswer("/ridge/RadarImg/N0R/XYZ_N0R_0.gif", kNow, src).Code, 404);
    EXPECT_EQ(DemoAnswer("/ridge/RadarImg/N0R/LOT_N0V_0.gif", kNow, src).Code, 404);
    EXPECT_EQ(DemoAnswer("/nothing", kNow, src).Code, 404);
}

TEST(DemoServer, SiteArchiveListsTheLastHour)
{
    auto a = DemoAnswer("/ridge/RadarImg/N0R/LOT/", kNow, Stub());
    ASSERT_EQ(a.Code, 200);
    auto lines = SplitLines(a.Body);
    std::vector<std::string> names;
    for (const auto& l : lines) {
        // The listing scan reads the visible text of an anchor whose target ends in .gif">.
        auto target = UpperCase(l).find(".GIF\">");
        if (target == std::string::npos)
            continue;
        std::string rest = l.substr(target + 6);
        names.push_back(rest.substr(0, UpperCase(rest).find(".GIF<")));
    }
    ASSERT_EQ(names.size(), 13u);
    EXPECT_EQ(names.front(), "LOT_20261207_2005_N0R");
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), "LOT_20261207_2105_N0R");
    // Each archived image is served too, none from the future.
    EXPECT_EQ(DemoAnswer("/ridge/RadarImg/N0R/LOT/LOT_20261207_2035_N0R.gif", kNow, Stub()).Body, "GIF:LOTN0R2035");
    EXPECT_EQ(DemoAnswer("/ridge/RadarImg/N0R/LOT/LOT_20261207_2110_N0R.gif", kNow, Stub()).Code, 404);
    EXPECT_EQ(DemoAnswer("/ridge/RadarImg/N0R/XYZ/", kNow, Stub()).Code, 404);
}

TEST(DemoServer, MosaicsAndTheirListing)
{
    auto src = Stub();
    auto listing = DemoAnswer("/ridge/Conus/RadarImg/?C=N;O=A", kNow, src);
    ASSERT_EQ(listing.Code, 200);
    EXPECT_NE(listing.Body.find(">CONUS_20261207_2105_N0R.gif<"), std::string::npos);
    EXPECT_NE(listing.Body.find(">CONUS_20261207_2105_N0R_small.gif<"), std::string::npos);
    EXPECT_EQ(listing.Body.find("CONUS_20261207_2110"), std::string::npos);
    EXPECT_EQ(DemoAnswer("/ridge/Conus/RadarImg/ConUS.gif", kNow, src).Body, "CONUSGIF2105");
    EXPECT_EQ(DemoAnswer("/ridge/Conus/RadarImg/ConUS.gfw", kNow, src).Body, "gifworld");
    // The PNG mosaic is fetched under its ".gif" and ".gfw" names.
    auto png = DemoAnswer("/ridge/Conus/RadarImg/N0R_0.gif", kNow, src);
    EXPECT_EQ(png.ContentType, "image/png");
    EXPECT_EQ(png.Body, "\x89PNG");
    EXPECT_EQ(DemoAnswer("/ridge/Conus/RadarImg/N0R_0.gfw", kNow, src).Body, "pngworld");
}

TEST(DemoHost, PrefixHoldsTheHostFiles)
{
    test::TTempDir dir;
    std::string error;
    ASSERT_TRUE(BuildDemoHost(dir.Path(), "LOT_N0R_0.bmp", &error)) << error;
    ASSERT_TRUE(BuildDemoHost(dir.Path(), "LOT_N0R_0.bmp", &error)) << error;  // a second start rewrites
    EXPECT_NE(dir.Read("user.reg").find("\"Program Folder\"=\"C:\\\\UIView32\\\\\""), std::string::npos);
    EXPECT_NE(dir.Read("drive_c/UIView32/UiView32.ini").find("LAST_MAP=C:\\UIView32\\MAPS\\!!QUORSERVER9.MAP"),
              std::string::npos);
    EXPECT_TRUE(DirectoryExists(dir.Path() + "dosdevices/c:/Peak Systems/QuorServer9/Quor Underlays/"));
    EXPECT_EQ(WinePathToLinux(dir.Path(), "C:\\Peak Systems\\QuorServer9\\Quor Underlays\\"),
              ResolvePath(dir.Path() + "drive_c/Peak Systems/QuorServer9/Quor Underlays/"));
}
