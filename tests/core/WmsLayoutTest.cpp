// The nwswms source layout: ICAO ids, the product table, layer addresses and requests,
// the box and size asked for, the world file written from that box, the settings key,
// and the layout seam every layout answers through.
#include "CoreTestEnv.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/SourceLists.h"
#include "core/Text.h"
#include "core/layouts/Layout.h"
#include "core/layouts/WmsNames.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

const TNaming kWms{"http://h/ridge/RadarImg/", "http://h/ridge/Conus/RadarImg/", false, TLayout::Wms, "https://m/",
                   "https://w/geoserver/"};

TRadarObj Named(const IClock& clock, const std::string& radar, const std::string& product)
{
    TRadarObj r = TRadarObj::Create(clock);
    r.SetNames(radar, product, kWms);
    return r;
}

} // namespace

TEST(WmsIcao, ContiguousAlaskaHawaiiGuamPuertoRico)
{
    EXPECT_EQ("KDMX", WmsIcao("IA", "dmx"));
    EXPECT_EQ("PAHG", WmsIcao("AK", "AHG"));
    EXPECT_EQ("PHKI", WmsIcao(" hi ", "HKI"));
    EXPECT_EQ("PGUA", WmsIcao("GU", "GUA"));
    EXPECT_EQ("TJUA", WmsIcao("PR", "JUA"));
    EXPECT_EQ("KLOT", WmsIcao("IL", "KLOT")); // already four letters
    for (const char* bad : {"", "LO", "LOTXY", "L/T", "L T"})
        EXPECT_EQ("", WmsIcao("IL", bad)) << bad;
}

TEST(WmsProducts, EveryCodeOfTheTableAndTheRefusals)
{
    const std::pair<const char*, const char*> table[] = {
        {"N0R", "sr_bref"}, {"N0B", "sr_bref"}, {"N0V", "sr_bvel"}, {"N0U", "sr_bvel"}, {"N0Z", "brefl"},
        {"N1P", "boha"},    {"NTP", "bdsa"},    {"N0H", "bdhc"},    {"TZL", "bref1"},   {"TV0", "bvel"},
    };
    for (const auto& [code, suffix] : table)
        EXPECT_EQ(suffix, WmsSiteSuffix(code)) << code;
    EXPECT_EQ("sr_bref", WmsSiteSuffix(" n0b "));
    for (const char* none : {"NCR", "N0S", "N0Q", "NET", ""})
        EXPECT_EQ("", WmsSiteSuffix(none)) << none;
    // Every product the layout offers has a layer.
    for (const std::string& line : LayoutOf(TLayout::Wms).Products())
        EXPECT_NE("", WmsSiteSuffix(GetField(line, 1, ','))) << line;
}

TEST(WmsNaming, SiteTdwrAndCompositeLayers)
{
    TFakeClock clock(EncodeDateTime({2026, 12, 9, 16, 0, 0, 0}));
    const TRadarObj dmx = Named(clock, "IA,Des Moines,DMX", "Base Reflectivity, N0B");
    EXPECT_EQ("https://w/geoserver/kdmx/kdmx_sr_bref/ows", dmx.ImageURL);
    EXPECT_EQ("", dmx.WorldURL); // the service sends no world file
    EXPECT_EQ("DMX_N0B_0", dmx.RemoteName);
    EXPECT_EQ("DMX_N0B_Legend_0.png", dmx.LegendName);
    EXPECT_EQ("https://w/geoserver/pahg/pahg_sr_bvel/ows", Named(clock, "AK,Kenai,AHG", "Velocity, N0V").ImageURL);
    EXPECT_EQ("https://w/geoserver/tjua/tjua_boha/ows", Named(clock, "PR,San Juan,JUA", "1 Hour, N1P").ImageURL);
    // TDWR: the product decides; the workspace is "t" + the airport id.
    EXPECT_EQ("https://w/geoserver/tdfw/tdfw_bref1/ows", Named(clock, "TX,Dallas TDWR,DFW", "TDWR, TZL").ImageURL);
    EXPECT_EQ("https://w/geoserver/tdfw/tdfw_bvel/ows", Named(clock, "TX,Dallas TDWR,TDFW", "TDWR, TV0").ImageURL);
    // Composites: base reflectivity unless NCR; the region from the radar line.
    EXPECT_EQ("https://w/geoserver/conus/conus_bref_qcd/ows", Named(clock, "!!ConUS,Iowa State University", ", ").ImageURL);
    EXPECT_EQ("https://w/geoserver/conus/conus_cref_qcd/ows", Named(clock, "!!ConUS,Composite", "Composite, NCR").ImageURL);
    EXPECT_EQ("alaska_bref_qcd", WmsCompositeLayer("!!Alaska,mosaic", ""));
    EXPECT_EQ("guam_cref_qcd", WmsCompositeLayer("!!Guam", "NCR"));
    // NCR at a site has no layer: the record says which composite to add.
    const TRadarObj ncr = Named(clock, "IA,Des Moines,DMX", "Composite, NCR");
    EXPECT_EQ("", ncr.ImageURL);
    const std::string status = LayoutOf(TLayout::Wms).NoProductStatus("NCR", "DMX");
    EXPECT_TRUE(StartsWith(status, "Error product NCR not offered by the nwswms layout")) << status;
    EXPECT_NE(std::string::npos, status.find("!!ConUS"));
    EXPECT_EQ("Error product N0S not offered by the nwswms layout", LayoutOf(TLayout::Wms).NoProductStatus("N0S", "DMX"));
}

TEST(WmsRequests, CapabilitiesMapAndLegendOfOneLayer)
{
    const std::string layer = "https://w/geoserver/kdmx/kdmx_sr_bref/ows";
    EXPECT_EQ("kdmx_sr_bref", WmsLayerOf(layer));
    EXPECT_EQ("", WmsLayerOf("https://w/geoserver/kdmx/kdmx_sr_bref/wms"));
    EXPECT_EQ(layer + "?SERVICE=WMS&VERSION=1.3.0&REQUEST=GetCapabilities", WmsCapabilitiesURL(layer));
    EXPECT_EQ(layer + "?SERVICE=WMS&VERSION=1.1.1&REQUEST=GetMap&LAYERS=kdmx_sr_bref&STYLES=&SRS=EPSG:4326"
                      "&BBOX=-98.5,37.5,-88.5,47.5&WIDTH=1000&HEIGHT=1000&FORMAT=image/png&TRANSPARENT=TRUE"
                      "&TIME=2026-12-09T16:18:00.000Z",
              WmsGetMapURL(layer, {-98.5, 37.5, -88.5, 47.5}, 1000, 1000, "2026-12-09T16:18:00.000Z"));
    EXPECT_EQ(layer + "?SERVICE=WMS&VERSION=1.1.1&REQUEST=GetLegendGraphic&LAYER=kdmx_sr_bref&FORMAT=image/png",
              WmsLegendURL(layer));
    EXPECT_EQ("-93.723", WmsNumber(-93.7230004));
    EXPECT_EQ("0", WmsNumber(-0.0000001));
    EXPECT_EQ("41.000001", WmsNumber(41.000001));
}

TEST(WmsBox, SitesSquareInDegreesCompositesAsListed)
{
    // A layer 11.2 degrees wide and 8.4 high: the square holds it, on the same centre.
    const TGeoBox site = WmsSiteBox({-99.3231, 37.4317, -88.1231, 45.8317});
    EXPECT_DOUBLE_EQ(-99.3231, site.West);
    EXPECT_DOUBLE_EQ(-88.1231, site.East);
    EXPECT_DOUBLE_EQ(36.0317, site.South);
    EXPECT_DOUBLE_EQ(47.2317, site.North);
    // Taller than wide: the width grows instead.
    const TGeoBox tall = WmsSiteBox({-1, -3, 1, 3});
    EXPECT_DOUBLE_EQ(-3, tall.West);
    EXPECT_DOUBLE_EQ(3, tall.East);
    int w = 0, h = 0;
    WmsImageSize(site, false, w, h);
    EXPECT_EQ(1000, w);
    EXPECT_EQ(1000, h);
    const TGeoBox conus = WmsCompositeBox({-126.0000004, 23, -65, 50});
    EXPECT_DOUBLE_EQ(-126, conus.West);
    WmsImageSize(conus, true, w, h);
    EXPECT_EQ(6100, w); // 0.01 degree per pixel
    EXPECT_EQ(2700, h);
    WmsImageSize({-180, -90, 180, 90}, true, w, h);
    EXPECT_EQ(kWmsMaxSide, w); // within the size cap
    WmsImageSize({0, 0, 0.2, 0.1}, true, w, h);
    EXPECT_EQ(100, w);
    EXPECT_EQ(100, h);
    EXPECT_FALSE((TGeoBox{1, 0, 1, 1}.Valid()));
    EXPECT_FALSE((TGeoBox{0, -91, 1, 1}.Valid()));
}

TEST(WmsWorldFile, OrdinaryConventionGivesBackTheBoxAskedFor)
{
    TCoreEnv e;
    const TGeoBox box{-99.3231, 36.0317, -88.1231, 47.2317};
    const std::string text = WmsWorldFile(box, 1000, 1000);
    EXPECT_EQ("0.011200000000\r\n0.0\r\n0.0\r\n-0.011200000000\r\n-99.317500000000\r\n47.226100000000\r\n", text);
    e.Dir.Write("w.wld", text);
    TRadarObj r = TRadarObj::Create(e.Clock);
    r.ReadWorldFile(e.Dir.Path() + "w.wld");
    r.SetBounds(1000, 1000);
    // Corner exact to single precision: the bounds are the box.
    EXPECT_FLOAT_EQ((float)box.West, r.Left);
    EXPECT_FLOAT_EQ((float)box.North, r.Top);
    EXPECT_FLOAT_EQ((float)box.East, r.Right);
    EXPECT_FLOAT_EQ((float)box.South, r.Bottom);
}

TEST(LayoutSeam, EachLayoutAnswersForItsOwnFilesAndNewness)
{
    TFakeClock clock(EncodeDateTime({2026, 12, 9, 16, 0, 0, 0}));
    TNaming ridge = kWms;
    ridge.Layout = TLayout::Ridge;
    TRadarObj lot = TRadarObj::Create(clock);
    lot.SetNames("IL,Chicago,LOT", "Short Range Reflectivity, N0R", ridge);
    EXPECT_EQ("LOT_N0R_0.gif", LayoutOf(TLayout::Ridge).ImageFileName(lot));
    EXPECT_EQ("LOT_N0R_0.gfw", LayoutOf(TLayout::Ridge).WorldFileName(lot));
    EXPECT_EQ(TNewnessKind::SiteListing, LayoutOf(TLayout::Ridge).Newness(lot, ridge));
    TRadarObj n0r = TRadarObj::Create(clock);
    n0r.SetNames("!!N0R_0,National reflectivity mosaic", ", ", ridge);
    EXPECT_EQ("N0R_0.png", LayoutOf(TLayout::Ridge).ImageFileName(n0r));
    EXPECT_EQ(TNewnessKind::MosaicListing, LayoutOf(TLayout::Ridge).Newness(n0r, ridge));
    lot.ImageURL = "http://elsewhere/x.gif";
    EXPECT_EQ(TNewnessKind::None, LayoutOf(TLayout::Ridge).Newness(lot, ridge));
    EXPECT_EQ("LOT_N0R_0.png", LayoutOf(TLayout::Iem).ImageFileName(lot));
    EXPECT_EQ("LOT_N0R_0.wld", LayoutOf(TLayout::Wms).WorldFileName(lot));
    EXPECT_EQ(TNewnessKind::Capabilities, LayoutOf(TLayout::Wms).Newness(lot, kWms));
    EXPECT_EQ("ridge, iem or nwswms", LayoutNamesText());
    for (const ISourceLayout* layout : AllLayouts()) {
        TLayout parsed = TLayout::Ridge;
        ASSERT_TRUE(ParseLayout(layout->Name(), parsed)) << layout->Name();
        EXPECT_EQ(layout->Id(), parsed);
        EXPECT_EQ(layout, &LayoutOf(parsed));
    }
    EXPECT_EQ("https://w/geoserver/", LayoutOf(TLayout::Wms).Base(kWms));
    EXPECT_EQ("https://m/", LayoutOf(TLayout::Iem).Base(kWms));
}

TEST(LayoutSettings, WmsBaseIsStoredOnlyOnceUsed)
{
    TCoreEnv e;
    LoadSettings(e.S);
    EXPECT_EQ(kDefaultWmsBase, e.S.WmsBase);
    ASSERT_TRUE(SaveSettings(e.S));
    EXPECT_FALSE(TIniText(e.Dir.Read("stormfetch.ini")).HasKey("URL", "WMS"));

    e.Dir.Write("stormfetch.ini", "[URL]\r\nLayout=nwswms\r\n");
    LoadSettings(e.S);
    EXPECT_EQ(TLayout::Wms, e.S.Layout);
    ASSERT_TRUE(SaveSettings(e.S));
    const TIniText saved(e.Dir.Read("stormfetch.ini"));
    EXPECT_EQ("nwswms", saved.ReadString("URL", "Layout", ""));
    EXPECT_EQ(kDefaultWmsBase, saved.ReadString("URL", "WMS", ""));

    e.Dir.Write("stormfetch.ini", "[URL]\r\nLayout=ridge\r\nWMS= http://mirror.example/geoserver \r\n");
    LoadSettings(e.S);
    EXPECT_EQ("http://mirror.example/geoserver/", e.S.WmsBase);
}
