// The iem source layout: product mapping, the addresses naming derives, the rebuild
// after a source advance, the settings keys and the product list it offers.
#include "CoreTestEnv.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/SourceLayout.h"
#include "core/SourceLists.h"
#include "core/Text.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <set>

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

TEST(IemProductMapping, EveryCodeOfTheDefaultLayoutIsFetchedAsALiveProductOrRefusedByName)
{
    // The default layout's products, and the default selection N0R.
    std::vector<std::string> codes = {"N0R"};
    for (const std::string& line : BuiltInProducts())
        codes.push_back(Trim(GetField(line, 1, ',')));
    const std::map<std::string, std::string> fetched = {{"N0R", "N0B"}, {"N0Z", "N0B"}, {"N0S", "N0S"}};
    for (const std::string& code : codes) {
        const TIemProduct p = IemSiteProduct(code, "LOT");
        const auto it = fetched.find(code);
        if (it != fetched.end()) {
            EXPECT_EQ(it->second, p.Code) << code;
            EXPECT_EQ("", p.Refusal) << code;
        } else {
            EXPECT_EQ("", p.Code) << code;
            EXPECT_TRUE(StartsWith(p.Refusal, "Error product " + code)) << p.Refusal;
        }
    }
    EXPECT_EQ("Error product N0V has no equivalent in the iem layout: choose N0S (storm-relative velocity)",
              IemSiteProduct(" n0v ", "LOT").Refusal);
    for (const char* stopped : {"N0Q", "N0U", "NET"})
        EXPECT_EQ("Error product " + std::string(stopped) + ": the service stopped publishing it; choose N0B or N0S",
                  IemSiteProduct(stopped, "DMX").Refusal);
    EXPECT_EQ("Error product N1P not offered by the iem layout", IemSiteProduct("N1P", "LOT").Refusal);
    // Codes neither layout knows pass unchanged, so Products.txt can name what the service adds.
    EXPECT_EQ("DAA", IemSiteProduct("daa", "LOT").Code);
    // Every product the layout offers is live for the sites it is meant for.
    for (const std::string& line : IemProducts()) {
        const std::string code = GetField(line, 1, ',');
        EXPECT_EQ(code, IemSiteProduct(code, StartsWith(code, "T") ? "DFW" : "LOT").Code) << line;
    }
    EXPECT_EQ("n0r", IemCompositeProduct("N0R"));
    EXPECT_EQ("n0q", IemCompositeProduct(""));
    EXPECT_EQ("n0q", IemCompositeProduct("N0Q"));
}

TEST(IemTdwr, SitesAreOfferedOnlyByTheIemLayoutAndTakeTheirOwnProducts)
{
    // The ICAO name of a TDWR is filed under its last three letters; other ids stay as typed.
    EXPECT_EQ("DFW", IemSiteId("tdfw"));
    EXPECT_EQ("DFW", IemSiteId("DFW"));
    EXPECT_EQ("TLX", IemSiteId("tlx"));  // a NEXRAD id beginning with T
    EXPECT_EQ("TXYZ", IemSiteId("TXYZ")); // not a listed TDWR
    EXPECT_TRUE(IsTdwrSite("TDFW"));
    EXPECT_FALSE(IsTdwrSite("LOT"));

    EXPECT_EQ("TZL", IemSiteProduct("N0R", "DFW").Code); // the TDWR's reflectivity
    EXPECT_EQ("TV0", IemSiteProduct("tv0", "TDFW").Code);
    EXPECT_EQ("Error product N0S not offered for TDWR site DFW: choose TZL or TV0", IemSiteProduct("N0S", "DFW").Refusal);
    EXPECT_EQ("Error product TZL is published only for TDWR sites: choose N0B or N0S for LOT",
              IemSiteProduct("TZL", "LOT").Refusal);
    // A TDWR the list lacks, added through Radars.txt, takes the TDWR products.
    EXPECT_EQ("TV0", IemSiteProduct("TV0", "XYZ").Code);

    TFakeClock clock;
    const TRadarObj dfw = Named(clock, "TX,Dallas/Fort Worth (TDWR),TDFW", "TDWR Long Range Reflectivity, TZL");
    EXPECT_EQ("https://m/data/gis/images/4326/ridge/DFW/TZL_0.png", dfw.ImageURL);
    EXPECT_EQ("TDFW_TZL_0", dfw.RemoteName);

    // Every listed TDWR: three letters, no clash with a NEXRAD site of the built-in list.
    std::set<std::string> nexrad;
    for (const std::string& line : BuiltInRadars())
        nexrad.insert(GetField(line, 3, ','));
    for (const std::string& line : IemTdwrRadars()) {
        ASSERT_EQ(3, FieldCount(line, ',')) << line;
        EXPECT_EQ(3u, GetField(line, 3, ',').size()) << line;
        EXPECT_EQ(0u, nexrad.count(GetField(line, 3, ','))) << line;
    }

    TCoreEnv e;
    ASSERT_TRUE(LoadSourceLists(e.S));
    EXPECT_EQ(BuiltInRadars().size(), e.S.RadarCmb.Items.size()); // the default layout's list as it is
    e.S.Layout = TLayout::Iem;
    ASSERT_TRUE(LoadSourceLists(e.S));
    EXPECT_EQ(BuiltInRadars().size() + IemTdwrRadars().size(), e.S.RadarCmb.Items.size());
    EXPECT_NE(std::find(e.S.RadarCmb.Items.begin(), e.S.RadarCmb.Items.end(), "TX,Dallas/Fort Worth (TDWR),DFW"),
              e.S.RadarCmb.Items.end());
    e.Dir.Write("Radars.txt", "TX,Dallas/Fort Worth,DFW\r\n");
    ASSERT_TRUE(LoadSourceLists(e.S));
    EXPECT_EQ(std::vector<std::string>{"TX,Dallas/Fort Worth,DFW"}, e.S.RadarCmb.Items);
}

TEST(IemWorldFile, LinesFiveAndSixAreTheOuterCornerAsTheProducerWritesThem)
{
    TTempDir dir;
    // Written like the producer: six decimals, LF, the corner of the extent (here DMX, N0B).
    const std::string site = dir.Write("DMX_N0B_0.wld", "0.011148\n0.0\n0.0\n-0.011148\n-99.296583\n47.305000\n");
    TRadarObj r;
    r.ReadWorldFile(site, TWorldOrigin::PixelCorner);
    EXPECT_EQ(-99.296583f, r.Left);
    EXPECT_EQ(47.305f, r.Top);
    r.SetBounds(1000, 1000);
    EXPECT_EQ(1000.0f * 0.011148f + -99.296583f, r.Right);
    EXPECT_EQ(1000.0f * -0.011148f + 47.305f, r.Bottom);
    EXPECT_EQ("-99.2965850830078,47.3050003051758,-88.1485824584961,36.1570014953613", r.Bounds);

    // The composite: -126...-65 and 23...50 exactly, to single precision.
    const std::string comp = dir.Write("n0q_0.wld", "0.005\n0.0\n0.0\n-0.005\n-126.0\n50.0");
    TRadarObj c;
    c.ReadWorldFile(comp, LayoutWorldOrigin(TLayout::Iem));
    c.SetBounds(12200, 5400);
    EXPECT_EQ(-126.0f, c.Left);
    EXPECT_EQ(50.0f, c.Top);
    EXPECT_FLOAT_EQ(-65.0f, c.Right);
    EXPECT_FLOAT_EQ(23.0f, c.Bottom);

    // The default layout keeps the ordinary rule: half a pixel out from the centre.
    EXPECT_EQ(TWorldOrigin::PixelCentre, LayoutWorldOrigin(TLayout::Ridge));
    TRadarObj ridge;
    ridge.ReadWorldFile(comp, LayoutWorldOrigin(TLayout::Ridge));
    EXPECT_EQ(-126.0025f, ridge.Left);
    EXPECT_EQ(50.0025f, ridge.Top);
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

    const TRadarObj srm = Named(clock, "IA,Des Moines,dmx", "Storm Relative Motion, N0S");
    EXPECT_EQ("https://m/data/gis/images/4326/ridge/DMX/N0S_0.png", srm.ImageURL);
    const TRadarObj vel = Named(clock, "IA,Des Moines,dmx", "Velocity, N0V");
    EXPECT_EQ("", vel.ImageURL);

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
    EXPECT_EQ(IemSiteProduct("N0V", "DMX").Refusal, IemNoProductStatus("N0V", "dmx"));
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

TEST(LayoutStart, TheStartLineNamesTheLayoutAndTheRetiredHost)
{
    EXPECT_EQ(" Source layout ridge at http://mirror/ridge/RadarImg/.",
              LayoutStartNote(TLayout::Ridge, "http://mirror/ridge/RadarImg/"));
    EXPECT_EQ(" Source layout ridge at " + std::string(kDefaultRidgeBase) + ". " + RetiredRidgeHint() + ".",
              LayoutStartNote(TLayout::Ridge, kDefaultRidgeBase));
    EXPECT_EQ(" Source layout iem at https://m/.", LayoutStartNote(TLayout::Iem, "https://m/"));
    EXPECT_TRUE(RetiredRidgeAnswer("https://RADAR.weather.gov/ridge/RadarImg/N0R/LOT/", "Error 404 Not Found"));
    EXPECT_FALSE(RetiredRidgeAnswer("https://radar.weather.gov.mirror/ridge/", "Error 404 Not Found"));
    EXPECT_FALSE(RetiredRidgeAnswer("https://radar.weather.gov/ridge/", "Error 503 Service Unavailable"));
    EXPECT_EQ("ridge|iem|nwswms", LayoutNames("|"));
    EXPECT_EQ(KnownLayouts().size(), (size_t)FieldCount(LayoutNames("|"), '|'));
    TLayout l = TLayout::Iem;
    EXPECT_TRUE(ParseLayout("Ridge", l));
    EXPECT_EQ(TLayout::Ridge, l);
    EXPECT_FALSE(ParseLayout("", l));
    EXPECT_STREQ("iem", LayoutName(TLayout::Iem));
}
