// The demo feed publishes both source layouts; a station reads it in either one,
// cycle after cycle, and a Server hands the iem raw files to a Client.
#include "app/Demo.h"
#include "app/DemoServer.h"
#include "core/Files.h"
#include "core/SourceLayout.h"
#include "core/Text.h"
#include "cycle/Cycle.h"
#include "cycle/CycleWiring.h"
#include "imaging/Convert.h"
#include "imaging/GifCodec.h"
#include "net/Fetch.h"
#include "net/IemMeta.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "DemoStation.h"
#include <gtest/gtest.h>
#include <memory>

using namespace sf;
using namespace sf::test;

namespace {

const TDateTime kStart = EncodeDateTime({2026, 12, 7, 21, 7, 0, 0}); // the 21:05 image is current

TEST(DemoIem, PublishesPngWorldFileAndScanTimeForOfferedProducts)
{
    TDemoRadarSource src;
    src.SitePng = [](const std::string& site, const std::string& product, TDateTime t) {
        return "PNG:" + site + product + FormatDateTime("hhnn", t);
    };
    src.CompositePng = [](TDateTime t) { return "USCOMP" + FormatDateTime("hhnn", t); };
    const std::string site = std::string("/") + kIemSitePath, comp = std::string("/") + kIemCompositePath;
    EXPECT_EQ("PNG:LOTN0B2105", DemoAnswer(site + "LOT/N0B_0.png", kStart, src).Body);
    EXPECT_EQ(200, DemoAnswer(site + "LOT/N0B_0.wld", kStart, src).Code);
    const TDemoAnswer json = DemoAnswer(site + "LOT/N0B_0.json", kStart, src);
    TIemMeta meta;
    std::string reason;
    ASSERT_TRUE(ParseIemMeta(json.Body, meta, reason)) << reason << json.Body;
    EXPECT_EQ("2026-12-07T21:05:00Z", meta.Valid);
    EXPECT_EQ("LOT", meta.Site);
    EXPECT_EQ("USCOMP2105", DemoAnswer(comp + "n0q_0.png", kStart, src).Body);
    EXPECT_EQ(200, DemoAnswer("http://127.0.0.1:1/" + std::string(kIemCompositePath) + "n0r_0.json", kStart, src).Code);
    // The older codes are not published in this layout, nor unknown sites or other names.
    for (const std::string& missing : {site + "LOT/N0R_0.png", site + "XYZ/N0B_0.png", site + "LOT/N0B_1.png",
                                       site + "LOT/N0B_0.gif", comp + "n0x_0.png", site + "LOT/N0B_0.png/x"})
        EXPECT_EQ(404, DemoAnswer(missing, kStart, src).Code) << missing;
}

class DemoLayouts : public ::testing::Test {
protected:
    DemoLayouts() : Clock(kStart), Server(Clock, DemoRadarSource()) {}
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(Server.Start(&error)) << error;
    }
    /// Two cycles five minutes apart: the second sees a newer image and grows the series.
    void TwoCycles(TDemoStation& st, TRadarObj& site, TRadarObj& mosaic, const std::string& mosaicUnderlay)
    {
        st.Cycle->Run();
        ASSERT_EQ("OK", site.Status) << st.S.FileLbl.Caption();
        ASSERT_TRUE(StartsWith(mosaic.Status, "OK")) << mosaic.Status << " / " << st.S.FileLbl.Caption();
        EXPECT_EQ(FormatDateTime("hh:nn", kStart - 2 * kOneMinute), FormatDateTime("hh:nn", site.LastImage));
        EXPECT_TRUE(st.Has("lot_n0r_0.bmp"));
        EXPECT_TRUE(st.Has(mosaicUnderlay));
        // The bounds put LOT (88.08 W, 41.60 N) inside the picture.
        float l = 0, t = 0, r = 0, b = 0;
        ASSERT_EQ(4, FieldCount(site.Bounds, ','));
        ASSERT_TRUE(ParseFloatText(GetField(site.Bounds, 1, ','), l) && ParseFloatText(GetField(site.Bounds, 2, ','), t)
                    && ParseFloatText(GetField(site.Bounds, 3, ','), r) && ParseFloatText(GetField(site.Bounds, 4, ','), b));
        EXPECT_TRUE(l < -88.08f && r > -88.08f && b < 41.6f && t > 41.6f) << site.Bounds;
        EXPECT_EQ(site.Bounds, Trim(ReadText(st.S.QuorUnderlayPath + "lot_n0r_0.Sat")));

        Clock.Set(kStart + 5 * kOneMinute);
        st.Cycle->Run();
        EXPECT_EQ("OK", site.Status) << st.S.FileLbl.Caption();
        EXPECT_EQ("21:10", FormatDateTime("hh:nn", site.LastImage));
        EXPECT_TRUE(st.Has("lot_n0r_01.bmp")); // the series grows
    }
    static std::string ReadText(const std::string& path)
    {
        std::string bytes;
        ReadFileBytes(path, bytes);
        return bytes;
    }

    TFakeClock Clock;
    TDemoServer Server;
    TTempDir Dir;
};

TEST_F(DemoLayouts, RidgeLayoutCycleOverTheDemoFeed)
{
    TDemoStation st(Clock, Server, TLayout::Ridge, Dir.Path() + "ridge/", Dir.Path() + "ridge/Quor Underlays/");
    TRadarObj& lot = st.Add("IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    lot.Accumulate = true;
    TRadarObj& conus = st.Add("!!ConUS,Iowa State University", ", ");
    TwoCycles(st, lot, conus, "conus.bmp");
}

TEST_F(DemoLayouts, IemLayoutCycleOverTheDemoFeed)
{
    TDemoStation st(Clock, Server, TLayout::Iem, Dir.Path() + "iem/", Dir.Path() + "iem/Quor Underlays/");
    TRadarObj& lot = st.Add("IL,Chicago,LOT", "Short Range Reflectivity, N0R"); // served as N0B
    lot.Accumulate = true;
    TRadarObj& composite = st.Add("!!ConUS,Iowa State University", ", ");
    EXPECT_EQ(Server.IemBase() + kIemSitePath + "LOT/N0B_0.png", lot.ImageURL);
    TwoCycles(st, lot, composite, "ConUS.bmp");
    EXPECT_FALSE(FileExists(st.S.ProgramDir + "LOT_N0R_0.json"));
    EXPECT_FALSE(FileExists(st.S.ProgramDir + "LOT_N0R_0.png"));
}

TEST_F(DemoLayouts, IemServerHandsPngAndWorldFileToItsClient)
{
    const std::string clientUnderlays = Dir.Path() + "client/Quor Underlays/";
    TDemoStation server(Clock, Server, TLayout::Iem, Dir.Path() + "server/", Dir.Path() + "server/Quor Underlays/");
    TDemoStation client(Clock, Server, TLayout::Iem, Dir.Path() + "client/", clientUnderlays);
    server.S.TargetCmb.Items.push_back(clientUnderlays);
    client.S.ModeGrp.ItemIndex = 1;
    TRadarObj& onServer = server.Add("IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    TRadarObj& onClient = client.Add("IL,Chicago,LOT", "Short Range Reflectivity, N0R");

    server.Cycle->Run();
    ASSERT_EQ("OK", onServer.Status) << server.S.FileLbl.Caption();
    EXPECT_TRUE(client.Has("LOT_N0R_0.png"));
    EXPECT_TRUE(client.Has("LOT_N0R_0.wld"));
    const int requests = Server.Requests();

    client.Cycle->Run();
    ASSERT_EQ("OK", onClient.Status) << client.S.FileLbl.Caption();
    EXPECT_EQ(requests, Server.Requests()); // a Client never goes on line
    EXPECT_TRUE(client.Has("lot_n0r_0.bmp"));
    EXPECT_EQ(onServer.Bounds, onClient.Bounds);
    EXPECT_FALSE(client.Has("LOT_N0R_0.png"));
    EXPECT_FALSE(client.Has("LOT_N0R_0.wld"));
}

} // namespace
