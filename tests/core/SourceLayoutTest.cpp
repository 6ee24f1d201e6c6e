// The iem source layout: product mapping, the addresses naming derives, the rebuild
// after a source advance, the settings keys and the product list it offers.
#include "CoreTestEnv.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/SourceLayout.h"
#include "core/SourceLists.h"
#include "core/Text.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

const TNaming kIem{"http://h/ridge/RadarImg/", "http://h/ridge/Conus/RadarImg/", false, TLayout::Iem, "https://m/"};

TRadarObj Named(const IClock& clock, const std::string& radar, const std::string& product, const TNaming& n = kIem)
{
    TRadarObj r = TRadarObj::Create(clock);
    r.SetNames(radar, product, n);
    return r;
}

} // namespace

TEST(IemProductMapping, OlderCodesGetTheirClosestEquivalentOrNone)
{
    EXPECT_EQ("N0B", IemSiteProduct("N0R"));
    EXPECT_EQ("N0U", IemSiteProduct(" n0v "));
    EXPECT_EQ("N0Q", IemSiteProduct("N0Z"));
    for (const char* none : {"N1P", "NTP", "NCR"})
        EXPECT_EQ("", IemSiteProduct(none)) << none;
    // Codes the service has, and codes neither layout knows, pass unchanged.
    for (const char* same : {"N0B", "N0Q", "N0S", "N0U", "NET", "DAA"})
        EXPECT_EQ(same, IemSiteProduct(same)) << same;
    // Every product the layout offers maps to itself.
    for (const std::string& line : IemProducts())
        EXPECT_EQ(GetField(line, 1, ','), IemSiteProduct(GetField(line, 1, ','))) << line;
    EXPECT_EQ("n0r", IemCompositeProduct("N0R"));
    EXPECT_EQ("n0q", IemCompositeProduct(""));
    EXPECT_EQ("n0q", IemCompositeProduct("N0Q"));
}

TEST(IemNaming, SiteAndCompositeAddressesKeepTheRecordNames)
{
    TFakeClock clock;
    const TRadarObj lot = Named(clock, "IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    EXPECT_EQ("LOT_N0R_0", lot.RemoteName);
    EXPECT_EQ("LOT_N0R_0.bmp", lot.LocalName);
    EXPECT_EQ("LOT_N0R_Legend_0.gif", lot.LegendName);
    EXPECT_EQ("https://m/data/gis/images/4326/ridge/LOT/N0B_0.png", lot.ImageURL);
    EXPECT_EQ("https://m/data/gis/images/4326/ridge/LOT/N0B_0.wld", lot.WorldURL);
    EXPECT_EQ("https://m/data/gis/images/4326/ridge/LOT/N0B_0.json", IemMetaURL(lot.ImageURL));
    EXPECT_EQ("New record", lot.Status);

    const TRadarObj vel = Named(clock, "IA,Des Moines,dmx", "Velocity, N0V");
    EXPECT_EQ("https://m/data/gis/images/4326/ridge/DMX/N0U_0.png", vel.ImageURL);

    const TRadarObj conus = Named(clock, "!!ConUS,Iowa State University", ", ");
    EXPECT_EQ("ConUS", conus.RemoteName);
    EXPECT_EQ("https://m/data/gis/images/4326/USCOMP/n0q_0.png", conus.ImageURL);
    EXPECT_EQ("https://m/data/gis/images/4326/USCOMP/n0q_0.wld", conus.WorldURL);
    const TRadarObj nat = Named(clock, "!!Nat,NWS", "Short Range Reflectivity, N0R");
    EXPECT_EQ("latest_radaronly", nat.RemoteName);
    EXPECT_EQ("https://m/data/gis/images/4326/USCOMP/n0r_0.png", nat.ImageURL);

    // No equivalent: no address, so the cycle reports the product instead of fetching.
    const TRadarObj precip = Named(clock, "IL,Chicago,LOT", "1 Hour Precipitation, N1P");
    EXPECT_EQ("", precip.ImageURL);
    EXPECT_EQ("", precip.WorldURL);
    EXPECT_EQ("Error product N1P not offered by the iem layout", IemNoProductStatus("N1P"));
    EXPECT_EQ("", IemMetaURL("https://m/data/x.gif"));
}

TEST(IemNaming, RebuildOnTheFirstSourceRestoresEveryRecordsAddresses)
{
    TCoreEnv e;
    e.S.Layout = TLayout::Iem;
    e.S.IemBase = "https://m/";
    for (const char* radar : {"IL,Chicago,LOT", "!!Nat,NWS", "WI,Milwaukee,MKX"}) {
        TRadarObj r = Named(e.Clock, radar, "Short Range Reflectivity, N0R", e.S.Naming());
        r.ImageURL = r.WorldURL = "stale";
        e.S.List.Add(std::string(radar) + "\tShort Range Reflectivity, N0R", r);
    }
    e.S.SelectRidge = 1;
    RebuildURLs(e.S);
    EXPECT_EQ("stale", e.S.List[0].ImageURL);
    e.S.SelectRidge = 0;
    RebuildURLs(e.S);
    // All of them, the records after a national mosaic included.
    EXPECT_EQ("https://m/data/gis/images/4326/ridge/LOT/N0B_0.png", e.S.List[0].ImageURL);
    EXPECT_EQ("https://m/data/gis/images/4326/USCOMP/n0r_0.wld", e.S.List[1].WorldURL);
    EXPECT_EQ("https://m/data/gis/images/4326/ridge/MKX/N0B_0.png", e.S.List[2].ImageURL);
}

TEST(LayoutSettings, DefaultFileKeepsItsKeysAndIemIsStoredOnceChosen)
{
    TCoreEnv e;
    LoadSettings(e.S);
    EXPECT_EQ(TLayout::Ridge, e.S.Layout);
    EXPECT_EQ(kDefaultIemBase, e.S.IemBase);
    ASSERT_TRUE(SaveSettings(e.S));
    EXPECT_FALSE(TIniText(e.Dir.Read("stormfetch.ini")).HasKey("URL", "Layout"));
    EXPECT_FALSE(TIniText(e.Dir.Read("stormfetch.ini")).HasKey("URL", "IEM"));

    e.Dir.Write("stormfetch.ini", "[URL]\r\nLayout= IEM \r\nIEM=http://mirror.example/iem\r\n");
    LoadSettings(e.S);
    EXPECT_EQ(TLayout::Iem, e.S.Layout);
    EXPECT_EQ("http://mirror.example/iem/", e.S.IemBase);
    ASSERT_TRUE(SaveSettings(e.S));
    const TIniText saved(e.Dir.Read("stormfetch.ini"));
    EXPECT_EQ("iem", saved.ReadString("URL", "Layout", ""));
    EXPECT_EQ("http://mirror.example/iem/", saved.ReadString("URL", "IEM", ""));

    // An unknown value is the default layout; switching back keeps the key, now "ridge".
    e.Dir.Write("stormfetch.ini", "[URL]\r\nLayout=nexrad\r\n");
    LoadSettings(e.S);
    EXPECT_EQ(TLayout::Ridge, e.S.Layout);
    ASSERT_TRUE(SaveSettings(e.S));
    EXPECT_EQ("ridge", TIniText(e.Dir.Read("stormfetch.ini")).ReadString("URL", "Layout", ""));
}

TEST(LayoutProducts, EachLayoutOffersItsOwnListUnlessProductsTxtExists)
{
    TCoreEnv e;
    ASSERT_TRUE(LoadSourceLists(e.S));
    EXPECT_EQ(BuiltInProducts().size(), e.S.ProductCmb.Items.size());
    e.S.Layout = TLayout::Iem;
    ASSERT_TRUE(LoadSourceLists(e.S));
    ASSERT_EQ(IemProducts().size(), e.S.ProductCmb.Items.size());
    EXPECT_EQ("N0B, Base Reflectivity (super-resolution)", e.S.ProductCmb.Items[0]);
    e.Dir.Write("Products.txt", "N0R, Short Range Reflectivity\r\n");
    ASSERT_TRUE(LoadSourceLists(e.S));
    EXPECT_EQ(std::vector<std::string>{"N0R, Short Range Reflectivity"}, e.S.ProductCmb.Items);
}

TEST(LayoutStart, OnlyTheIemLayoutAddsToTheStartLine)
{
    EXPECT_EQ("", LayoutStartNote(TLayout::Ridge, kDefaultIemBase));
    EXPECT_EQ(" Source layout iem at https://m/.", LayoutStartNote(TLayout::Iem, "https://m/"));
    TLayout l = TLayout::Iem;
    EXPECT_TRUE(ParseLayout("Ridge", l));
    EXPECT_EQ(TLayout::Ridge, l);
    EXPECT_FALSE(ParseLayout("", l));
    EXPECT_STREQ("iem", LayoutName(TLayout::Iem));
}
