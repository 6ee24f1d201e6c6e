// A station of two layouts ("Layout=nwswms,iem") over the demo feed with the map-service
// half stalled: images keep arriving from iem and the status says so; once the map
// service recovers it serves again. The series stays one series throughout.
#include "app/Demo.h"
#include "app/DemoServer.h"
#include "core/Files.h"
#include "core/Text.h"
#include "imaging/Convert.h"
#include "support/TempDir.h"
#include "DemoStation.h"
#include <gtest/gtest.h>
#include <algorithm>

using namespace sf;
using namespace sf::test;

namespace {

const TDateTime kStart = EncodeDateTime({2026, 12, 7, 21, 7, 0, 0}); // the 21:05 image is current

class DemoFallback : public ::testing::Test {
protected:
    DemoFallback() : Clock(kStart), Server(Clock, Source()) {}
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(Server.Start(&error)) << error;
    }
    TDemoRadarSource Source()
    {
        TDemoRadarSource src = DemoRadarSource();
        src.WmsStalled = [this](TDateTime) { return Stalled; };
        src.WmsPublishedAt = [this](TDateTime utc) { return FrozenAt > 0 ? FrozenAt : utc; };
        return src;
    }
    /// A map-service-first station falling back to iem.
    std::unique_ptr<TDemoStation> Station(const std::string& name)
    {
        auto st = std::make_unique<TDemoStation>(Clock, Server, TLayout::Wms, Dir.Path() + name + "/",
                                                 Dir.Path() + name + "/Quor Underlays/");
        st->S.Fallbacks = {TLayout::Iem};
        return st;
    }
    size_t CountSince(size_t from, const std::string& part) const
    {
        const auto& served = Server.Served();
        return (size_t)std::count_if(served.begin() + (long)from, served.end(),
                                     [&](const std::string& t) { return t.find(part) != std::string::npos; });
    }

    bool Stalled = false;
    TDateTime FrozenAt = 0;
    TFakeClock Clock;
    TDemoServer Server;
    TTempDir Dir;
};

TEST_F(DemoFallback, MapServiceStalledImagesKeepArrivingFromIemUntilItRecovers)
{
    auto st = Station("down");
    TRadarObj& lot = st->Add("IL,Chicago,LOT", "Base Reflectivity, N0B");
    lot.Accumulate = true;
    TRadarObj& conus = st->Add("!!ConUS,Iowa State University", ", ");
    const std::string ownAddress = lot.ImageURL;
    ASSERT_EQ(Server.WmsBase() + "klot/klot_sr_bref/ows", ownAddress);

    Stalled = true;
    st->Cycle->Run();
    EXPECT_EQ("OK (from iem: nwswms failed)", lot.Status) << st->S.FileLbl.Caption();
    EXPECT_TRUE(StartsWith(conus.Status, "OK") && EndsWith(conus.Status, " (from iem: nwswms failed)")) << conus.Status;
    EXPECT_EQ("21:05", FormatDateTime("hh:nn", lot.LastImage));
    EXPECT_TRUE(st->Has("lot_n0b_0.bmp"));
    EXPECT_TRUE(st->Has("ConUS.bmp"));
    EXPECT_EQ(1u, CountSince(0, std::string(kIemSitePath) + "LOT/N0B_0.png"));
    // The record stays addressed for its first layout, and the caption names the one that served.
    EXPECT_EQ(ownAddress, lot.ImageURL);
    ASSERT_TRUE(lot.ServedBy.has_value());
    EXPECT_TRUE(EndsWith(CaptionText("lot_n0b_0", lot), " UTC via iem"));
    EXPECT_FALSE(FileExists(st->S.ProgramDir + "LOT_N0B_0.png")); // no raw file left behind

    Clock.Set(kStart + 5 * kOneMinute);
    st->Cycle->Run();
    EXPECT_EQ("OK (from iem: nwswms failed)", lot.Status) << st->S.FileLbl.Caption();
    EXPECT_EQ("21:10", FormatDateTime("hh:nn", lot.LastImage));
    EXPECT_TRUE(st->Has("lot_n0b_01.bmp")); // one series across layouts

    // The map service answers again: it serves, and iem is not asked at all.
    Stalled = false;
    Clock.Set(kStart + 10 * kOneMinute);
    const size_t before = Server.Served().size();
    st->Cycle->Run();
    EXPECT_EQ("OK", lot.Status) << st->S.FileLbl.Caption();
    EXPECT_TRUE(StartsWith(conus.Status, "OK") && conus.Status.find("from") == std::string::npos) << conus.Status;
    EXPECT_FALSE(lot.ServedBy.has_value());
    EXPECT_EQ("21:15", FormatDateTime("hh:nn", lot.LastImage));
    EXPECT_TRUE(st->Has("lot_n0b_02.bmp"));
    EXPECT_EQ(0u, CountSince(before, kIemSitePath));
    EXPECT_EQ(0u, CountSince(before, kIemCompositePath));
    EXPECT_EQ(1u, CountSince(before, "klot_sr_bref/ows?SERVICE=WMS&VERSION=1.1.1&REQUEST=GetMap"));
}

TEST_F(DemoFallback, FrozenMapServiceIsPassedOverForANewerImageButNeverGoesBackInTime)
{
    auto st = Station("frozen");
    TRadarObj& lot = st->Add("IL,Chicago,LOT", "Base Reflectivity, N0B");
    // The map service still answers, but its newest image stays at 20:40 (27 minutes old).
    FrozenAt = kStart - 27 * kOneMinute;
    st->Cycle->Run();
    EXPECT_EQ("OK (from iem: nwswms stalled)", lot.Status) << st->S.FileLbl.Caption();
    EXPECT_EQ("21:05", FormatDateTime("hh:nn", lot.LastImage));

    // Asked again before iem has a newer image: the frozen 20:40 is older than the image
    // already shown, so nothing is fetched from either layout.
    Clock.Set(kStart + kOneMinute);
    lot.NextAttempt = 0;
    const size_t before = Server.Served().size();
    st->Cycle->Run();
    EXPECT_TRUE(StartsWith(lot.Status, "Waiting for new LOT_N0B_0 file")) << lot.Status;
    EXPECT_TRUE(EndsWith(lot.Status, " (from iem: nwswms stalled)")) << lot.Status;
    EXPECT_EQ("21:05", FormatDateTime("hh:nn", lot.LastImage));
    EXPECT_EQ(0u, CountSince(before, "GetMap"));
    EXPECT_EQ(0u, CountSince(before, "N0B_0.png"));

    // A freeze younger than the limit is no stall: the map service keeps the attempt.
    FrozenAt = kStart + 4 * kOneMinute - 10 * kOneMinute; // its 21:00 image, 12 minutes old at 21:12
    Clock.Set(kStart + 5 * kOneMinute);
    lot.NextAttempt = 0;
    const size_t later = Server.Served().size();
    st->Cycle->Run();
    EXPECT_TRUE(StartsWith(lot.Status, "Waiting for new LOT_N0B_0 file")) << lot.Status;
    EXPECT_EQ(std::string::npos, lot.Status.find("from iem")) << lot.Status;
    EXPECT_EQ(0u, CountSince(later, kIemSitePath));
}

TEST_F(DemoFallback, AProductTheFirstLayoutLacksComesFromTheNext)
{
    // Storm-relative velocity (N0S) is published by iem only.
    auto st = Station("product");
    TRadarObj& lot = st->Add("IL,Chicago,LOT", "Storm Relative Velocity, N0S");
    ASSERT_TRUE(lot.ImageURL.empty());
    st->Cycle->Run();
    EXPECT_EQ("OK (from iem: nwswms no product)", lot.Status) << st->S.FileLbl.Caption();
    EXPECT_TRUE(st->Has("lot_n0s_0.bmp"));
}

TEST_F(DemoFallback, BothLayoutsDownEndsOnTheFirstLayoutsFailure)
{
    auto st = Station("both");
    st->S.IemBase = "http://127.0.0.1:1/"; // nothing answers there
    TRadarObj& lot = st->Add("IL,Chicago,LOT", "Base Reflectivity, N0B");
    const TDateTime last = lot.LastImage;
    Stalled = true;
    st->Cycle->Run();
    // The map service's own answer, not the refused connection to iem.
    EXPECT_EQ("Error 404 Not Found", lot.Status);
    EXPECT_EQ(last, lot.LastImage);
    EXPECT_EQ(1, lot.AccessErrors);
    EXPECT_FALSE(st->Has("lot_n0b_0.bmp"));
}

} // namespace
