// The demo feed in the shape of the NWS map service, and a station reading it with the
// nwswms layout: a NEXRAD site, a TDWR site and the composite, bounds equal to the box
// asked for, legends, a growing series, no second fetch of an unchanged image, and a
// Server handing the PNG and the world file it wrote to its Client.
#include "app/Demo.h"
#include "app/DemoServer.h"
#include "core/Files.h"
#include "core/Text.h"
#include "core/layouts/WmsNames.h"
#include "cycle/Cycle.h"
#include "cycle/CycleWiring.h"
#include "imaging/Convert.h"
#include "imaging/PngSite.h"
#include "net/Fetch.h"
#include "net/WmsCapabilities.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "DemoStation.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <memory>

using namespace sf;
using namespace sf::test;

namespace {

const TDateTime kStart = EncodeDateTime({2026, 12, 7, 21, 7, 0, 0}); // the 21:05 image is current
const std::string kCaps = "?SERVICE=WMS&VERSION=1.3.0&REQUEST=GetCapabilities";

TWmsCapabilities CapsAt(const std::string& ws, const std::string& layer, TDateTime utc)
{
    const TDemoAnswer a = DemoAnswer("/geoserver/" + ws + "/" + layer + "/ows" + kCaps, utc, DemoRadarSource());
    TWmsCapabilities caps;
    std::string reason;
    EXPECT_EQ(200, a.Code);
    EXPECT_TRUE(ParseWmsCapabilities(a.Body, layer, caps, reason)) << reason << a.Body;
    return caps;
}

std::string MapQuery(const std::string& layer, const std::string& bbox, const std::string& time)
{
    return "?SERVICE=WMS&VERSION=1.1.1&REQUEST=GetMap&LAYERS=" + layer + "&STYLES=&SRS=EPSG:4326&BBOX=" + bbox
        + "&WIDTH=300&HEIGHT=200&FORMAT=image/png&TRANSPARENT=TRUE" + (time.empty() ? "" : "&TIME=" + time);
}

std::vector<float> BoundsOf(const std::string& bounds)
{
    std::vector<float> v;
    for (int i = 1; i <= FieldCount(bounds, ','); ++i) {
        float f = 0;
        if (ParseFloatText(GetField(bounds, i, ','), f))
            v.push_back(f);
    }
    return v;
}

class DemoWmsFeed : public ::testing::Test {
protected:
    DemoWmsFeed() : Clock(kStart), Server(Clock, DemoRadarSource()) {}
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(Server.Start(&error)) << error;
    }
    std::vector<std::string> ServedSince(size_t from) const
    {
        return std::vector<std::string>(Server.Served().begin() + (long)from, Server.Served().end());
    }
    static size_t CountWith(const std::vector<std::string>& targets, const std::string& part)
    {
        return (size_t)std::count_if(targets.begin(), targets.end(),
                                     [&](const std::string& t) { return t.find(part) != std::string::npos; });
    }

    TFakeClock Clock;
    TDemoServer Server;
    TTempDir Dir;
};

} // namespace

TEST(DemoWms, CapabilitiesTimeAdvancesEveryFiveMinutes)
{
    const TWmsCapabilities now = CapsAt("klot", "klot_sr_bref", kStart);
    EXPECT_EQ("2026-12-07T21:05:00.000Z", now.Time);
    EXPECT_EQ("2026-12-07T21:10:00.000Z", CapsAt("klot", "klot_sr_bref", kStart + 5 * kOneMinute).Time);
    // A site layer is not square in degrees; the composite spans the contiguous states.
    EXPECT_NEAR(11.2, now.Box.East - now.Box.West, 1e-9);
    EXPECT_NEAR(8.4, now.Box.North - now.Box.South, 1e-9);
    const TWmsCapabilities conus = CapsAt("conus", "conus_cref_qcd", kStart);
    EXPECT_DOUBLE_EQ(-126, conus.Box.West);
    EXPECT_DOUBLE_EQ(50, conus.Box.North);
    CapsAt("tdfw", "tdfw_bref1", kStart);
}

TEST(DemoWms, MapsOfAnyBoxAtPublishedTimesAndLegends)
{
    const TDemoRadarSource src = DemoRadarSource();
    const std::string ows = "/geoserver/klot/klot_sr_bref/ows";
    const TDemoAnswer map = DemoAnswer(ows + MapQuery("klot_sr_bref", "-90,40,-86,43", "2026-12-07T21:00:00.000Z"), kStart, src);
    ASSERT_EQ(200, map.Code);
    EXPECT_EQ("image/png", map.ContentType);
    TTempDir dir;
    TGifImage picture;
    std::string error;
    ASSERT_TRUE(LoadPngSiteImage(dir.Write("m.png", map.Body), picture, error)) << error;
    EXPECT_EQ(300, picture.ScreenWidth);
    EXPECT_EQ(200, picture.ScreenHeight);
    // Another box is another picture; no TIME draws the newest.
    EXPECT_NE(map.Body, DemoAnswer(ows + MapQuery("klot_sr_bref", "-91,40,-86,43", "2026-12-07T21:00:00.000Z"), kStart, src).Body);
    EXPECT_EQ(DemoAnswer(ows + MapQuery("klot_sr_bref", "-90,40,-86,43", ""), kStart, src).Body,
              DemoAnswer(ows + MapQuery("klot_sr_bref", "-90,40,-86,43", "2026-12-07T21:05:00.000Z"), kStart, src).Body);
    // Requests the service refuses come back as an exception document.
    for (const std::string& bad : {MapQuery("klot_sr_bref", "-90,40,-86,43", "2026-12-07T21:10:00.000Z"),
                                   MapQuery("klot_sr_bref", "-90,40,-86,43", "2026-12-07T21:02:00.000Z"),
                                   MapQuery("klot_sr_bref", "-86,40,-90,43", ""), MapQuery("kmkx_sr_bref", "-90,40,-86,43", ""),
                                   std::string("?SERVICE=WMS&REQUEST=GetMap")}) {
        const TDemoAnswer a = DemoAnswer(ows + bad, kStart, src);
        EXPECT_NE(std::string::npos, a.Body.find("ServiceExceptionReport")) << bad;
    }
    const TDemoAnswer legend = DemoAnswer(ows + "?SERVICE=WMS&VERSION=1.1.1&REQUEST=GetLegendGraphic&LAYER=klot_sr_bref&FORMAT=image/png", kStart, src);
    ASSERT_EQ(200, legend.Code);
    ASSERT_TRUE(LoadPngSiteImage(dir.Write("l.png", legend.Body), picture, error)) << error;
    // Layers the demo does not publish.
    for (const char* missing : {"/geoserver/kxyz/kxyz_sr_bref/ows", "/geoserver/tdfw/tdfw_sr_bref/ows",
                                "/geoserver/klot/klot_nope/ows", "/geoserver/klot/kmkx_sr_bref/ows",
                                "/geoserver/conus/conus_bref/ows", "/geoserver/klot/klot_sr_bref/wms"})
        EXPECT_EQ(404, DemoAnswer(missing + kCaps, kStart, src).Code) << missing;
}

TEST_F(DemoWmsFeed, SiteTdwrAndCompositeWithBoundsOfTheBoxAskedFor)
{
    TDemoStation st(Clock, Server, TLayout::Wms, Dir.Path() + "wms/", Dir.Path() + "wms/Quor Underlays/");
    TRadarObj& lot = st.Add("IL,Chicago,LOT", "Base Reflectivity, N0B");
    lot.Accumulate = true;
    TRadarObj& dfw = st.Add("TX,Dallas TDWR,DFW", "TDWR Long Range Reflectivity, TZL");
    TRadarObj& conus = st.Add("!!ConUS,Iowa State University", ", ");
    EXPECT_EQ(Server.WmsBase() + "klot/klot_sr_bref/ows", lot.ImageURL);

    st.Cycle->Run();
    ASSERT_EQ("OK", lot.Status) << st.S.FileLbl.Caption();
    ASSERT_EQ("OK", dfw.Status) << st.S.FileLbl.Caption();
    ASSERT_TRUE(StartsWith(conus.Status, "OK")) << conus.Status << " / " << st.S.FileLbl.Caption();
    EXPECT_EQ("21:05", FormatDateTime("hh:nn", lot.LastImage));
    EXPECT_TRUE(st.Has("lot_n0b_0.bmp"));
    EXPECT_TRUE(st.Has("dfw_tzl_0.bmp"));
    EXPECT_TRUE(st.Has("ConUS.bmp"));
    // LOT at 41.6045 N 88.0847 W; its layer 11.2 x 8.4 degrees: the square is 11.2 a side.
    const std::vector<float> b = BoundsOf(lot.Bounds);
    ASSERT_EQ(4u, b.size()) << lot.Bounds;
    EXPECT_FLOAT_EQ(-93.6847f, b[0]);
    EXPECT_FLOAT_EQ(47.2045f, b[1]);
    EXPECT_FLOAT_EQ(-82.4847f, b[2]);
    EXPECT_FLOAT_EQ(36.0045f, b[3]);
    std::string sat;
    ReadFileBytes(st.S.QuorUnderlayPath + "lot_n0b_0.Sat", sat);
    EXPECT_EQ(lot.Bounds, Trim(sat));
    const std::vector<float> c = BoundsOf(conus.Bounds);
    ASSERT_EQ(4u, c.size()) << conus.Bounds;
    EXPECT_FLOAT_EQ(-126.0f, c[0]);
    EXPECT_FLOAT_EQ(50.0f, c[1]);
    EXPECT_FLOAT_EQ(-65.0f, c[2]);
    EXPECT_FLOAT_EQ(23.0f, c[3]);
    // The map asked for was the box and time read, at the sizes of the layout.
    const std::vector<std::string> first = Server.Served();
    EXPECT_EQ(1u, CountWith(first, "LAYERS=klot_sr_bref&STYLES=&SRS=EPSG:4326&BBOX=-93.6847,36.0045,-82.4847,47.2045"
                                   "&WIDTH=1000&HEIGHT=1000&FORMAT=image/png&TRANSPARENT=TRUE&TIME=2026-12-07T21:05:00.000Z"));
    EXPECT_EQ(1u, CountWith(first, "BBOX=-126,23,-65,50&WIDTH=6100&HEIGHT=2700"));
    EXPECT_EQ(2u, CountWith(first, "REQUEST=GetLegendGraphic")); // the two sites
    // No raw file, world file, capabilities or legend is left in the program folder.
    for (const char* left : {"LOT_N0B_0.png", "LOT_N0B_0.wld", "LOT_N0B_0.xml", "LOT_N0B_Legend_0.png", "ConUS.png"})
        EXPECT_FALSE(FileExists(st.S.ProgramDir + left)) << left;

    // A minute later nothing is new: only the capabilities are asked for.
    Clock.Set(kStart + kOneMinute);
    const size_t before = Server.Served().size();
    for (TRadarObj* r : {&lot, &dfw, &conus})
        r->NextAttempt = 0;
    st.Cycle->Run();
    const std::vector<std::string> second = ServedSince(before);
    EXPECT_EQ(3u, second.size());
    EXPECT_EQ(3u, CountWith(second, "REQUEST=GetCapabilities"));
    EXPECT_TRUE(StartsWith(lot.Status, "Waiting for new LOT_N0B_0 file")) << lot.Status;

    // Five minutes on the next image arrives and the series grows.
    Clock.Set(kStart + 5 * kOneMinute);
    st.Cycle->Run();
    EXPECT_EQ("OK", lot.Status) << st.S.FileLbl.Caption();
    EXPECT_EQ("21:10", FormatDateTime("hh:nn", lot.LastImage));
    EXPECT_TRUE(st.Has("lot_n0b_01.bmp"));
}

TEST_F(DemoWmsFeed, RecordWithoutALayerSaysSo)
{
    TDemoStation st(Clock, Server, TLayout::Wms, Dir.Path() + "wms/", Dir.Path() + "wms/Quor Underlays/");
    TRadarObj& ncr = st.Add("IL,Chicago,LOT", "Composite, NCR");
    TRadarObj& gone = st.Add("IL,Chicago,XYZ", "Base Reflectivity, N0B"); // the feed has no such layer
    st.Cycle->Run();
    EXPECT_TRUE(StartsWith(ncr.Status, "Error product NCR not offered by the nwswms layout")) << ncr.Status;
    EXPECT_EQ("Error 404 Not Found", gone.Status); // the fetch's own error stays the status
    EXPECT_EQ(1, gone.AccessErrors);
    EXPECT_EQ(0u, CountWith(Server.Served(), "GetMap"));
}

TEST_F(DemoWmsFeed, ServerHandsPngAndWrittenWorldFileToItsClient)
{
    const std::string clientUnderlays = Dir.Path() + "client/Quor Underlays/";
    TDemoStation server(Clock, Server, TLayout::Wms, Dir.Path() + "server/", Dir.Path() + "server/Quor Underlays/");
    TDemoStation client(Clock, Server, TLayout::Wms, Dir.Path() + "client/", clientUnderlays);
    server.S.TargetCmb.Items.push_back(clientUnderlays);
    client.S.ModeGrp.ItemIndex = 1;
    TRadarObj& onServer = server.Add("IL,Chicago,LOT", "Base Reflectivity, N0B");
    TRadarObj& onClient = client.Add("IL,Chicago,LOT", "Base Reflectivity, N0B");

    server.Cycle->Run();
    ASSERT_EQ("OK", onServer.Status) << server.S.FileLbl.Caption();
    EXPECT_TRUE(client.Has("LOT_N0B_0.png"));
    EXPECT_TRUE(client.Has("LOT_N0B_0.wld"));
    EXPECT_TRUE(client.Has("LOT_N0B_Legend_0.png"));
    const int requests = Server.Requests();

    client.Cycle->Run();
    ASSERT_EQ("OK", onClient.Status) << client.S.FileLbl.Caption();
    EXPECT_EQ(requests, Server.Requests()); // a Client never goes on line
    EXPECT_TRUE(client.Has("lot_n0b_0.bmp"));
    EXPECT_EQ(onServer.Bounds, onClient.Bounds);
}
