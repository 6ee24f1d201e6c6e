// The scheduler and the cycle on the program's own fetch, listing scan and
// conversions, against the in-process loopback server holding generated RIDGE
// files in the server's layout, tick after tick on the fake clock.
#include "CycleFixture.h"
#include "cycle/CycleWiring.h"
#include "cycle/Scheduler.h"
#include "imaging/Convert.h"
#include "imaging/Synthetic.h"
#include "net/Fetch.h"
#include "support/HttpTestServer.h"

namespace sf::test {
namespace {

class CycleEndToEnd : public CycleFixture {
protected:
    CycleEndToEnd()
    {
        S.RidgeBase = Server.Url("/ridge/RadarImg/");
        S.RidgeNatBase = Server.Url("/ridge/Conus/RadarImg/");
        S.UiViewMap = "QuorServer";
        S.TargetCmb.Items = {S.QuorUnderlayPath};
        S.MemReportTime = Clock.LocalNow();
        S.RidgeTimer.SetInterval(1000); // WebTimeOut 1 s
        Fetch = std::make_unique<TWebFetch>(S);
        Converter = std::make_unique<TConverter>(S);
        Cycle = std::make_unique<TCycle>(S, ProgramCycleServices(S, *Fetch, *Converter));
        Sched = std::make_unique<TScheduler>(S, [this] { Cycle->Run(); },
                                             [this] { return Fetch->RidgeCli().State() == httpReady; });
        Server.ServeFile("/ridge/Legend/N0R/LOT_N0R_Legend_0.gif", SyntheticLegendGif("LOT", "N0R"));
        Server.ServeFile("/ridge/RadarImg/N0R/LOT_N0R_0.gfw", SyntheticSiteWorldFile("LOT"));
    }
    /// The archive listing names these images; the latest image is the newest of them.
    void PublishSite(const std::vector<std::string>& names, TDateTime newest)
    {
        Server.ServeFile("/ridge/RadarImg/N0R/LOT/", ListingPage(names), "text/html");
        Server.ServeFile("/ridge/RadarImg/N0R/LOT_N0R_0.gif", SyntheticSiteGif("LOT", "N0R", newest));
    }
    int Requested(const std::string& target) const
    {
        int n = 0;
        for (auto& head : Server.Requests)
            n += head.rfind("GET " + target + " ", 0) == 0;
        return n;
    }

    THttpTestServer Server;
    std::unique_ptr<TWebFetch> Fetch;
    std::unique_ptr<TConverter> Converter;
    std::unique_ptr<TCycle> Cycle;
    std::unique_ptr<TScheduler> Sched;
};

TEST_F(CycleEndToEnd, SiteRecordStaysCurrentTickAfterTick)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    r.Accumulate = true;
    PublishSite({"LOT_20100510_1409_N0R", "LOT_20100510_1419_N0R"}, At(2010, 5, 10, 14, 19));

    Sched->ProcessTimer();
    ASSERT_EQ("OK", r.Status) << S.RidgeLbl.Caption() << " / " << S.FileLbl.Caption();
    ExpectTime(At(2010, 5, 10, 14, 19), r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 24), r.NextAttempt);
    EXPECT_EQ(1, Requested("/ridge/Legend/N0R/LOT_N0R_Legend_0.gif"));
    EXPECT_TRUE(InUnderlays("lot_n0r_0.bmp"));
    EXPECT_TRUE(InUnderlays("lot_n0r_0.Sat"));
    for (auto* raw : {"LOT_N0R_0.gif", "LOT_N0R_0.gfw", "LOT_N0R_Legend_0.gif", "LOT_N0R_0.htm"})
        EXPECT_FALSE(InProg(raw)) << raw;
    EXPECT_EQ("Waiting for new files, next scheduled download attempt 14:24:00", S.Sbar.Panel(0));
    EXPECT_EQ("Idle", S.Sbar.Panel(1));
    EXPECT_EQ(clLime, S.Shape1.BrushColor);

    // Not yet due: nothing is requested.
    const size_t before = Server.Requests.size();
    Clock.Set(At(2010, 5, 10, 14, 23, 50));
    Sched->ProcessTimer();
    EXPECT_EQ(before, Server.Requests.size());

    // Due, but the listing has nothing newer.
    Clock.Set(At(2010, 5, 10, 14, 24, 0));
    Sched->ProcessTimer();
    EXPECT_EQ("Waiting for new LOT_N0R_0 file, old file =05/10 14:19", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 25, 0), r.NextAttempt);
    EXPECT_EQ(1, Requested("/ridge/RadarImg/N0R/LOT_N0R_0.gif"));

    // A newer image: converted again, the previous one moves into the series.
    PublishSite({"LOT_20100510_1419_N0R", "LOT_20100510_1424_N0R"}, At(2010, 5, 10, 14, 24));
    Clock.Set(At(2010, 5, 10, 14, 25, 0));
    Sched->ProcessTimer();
    EXPECT_EQ("OK", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 24), r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 19), r.PrevImage);
    EXPECT_TRUE(InUnderlays("lot_n0r_01.bmp"));
    EXPECT_TRUE(StartsWith(S.FileLbl.Caption(), "Downloaded 2 and processed 1 files in ")) << S.FileLbl.Caption();
}

TEST_F(CycleEndToEnd, EmptyListingAnswerAdvancesTheSourceAndRebuildsAddresses)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    Server.Answer("/ridge/RadarImg/N0R/LOT/", "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    Sched->ProcessTimer();
    EXPECT_EQ("Web site dir unavailable", r.Status);
    EXPECT_EQ(1, S.SelectRidge);
    EXPECT_EQ(S.RidgeBase + "N0R/LOT_N0R_0.gif", r.ImageURL);
}

TEST_F(CycleEndToEnd, StalledListingTimesOutAndKeepsTheSource)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    Server.Script("/ridge/RadarImg/N0R/LOT/", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n<html>"),
                                               TStep::Hang()});
    Sched->ProcessTimer();
    EXPECT_EQ("Error 404 Connection aborted on request", r.Status);
    EXPECT_EQ(0, S.SelectRidge);
    EXPECT_EQ(1, r.AccessErrors);
    EXPECT_TRUE(S.Process.Enabled());
}

TEST_F(CycleEndToEnd, MissingWorldFileShowsTheHttpStatus)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    PublishSite({"LOT_20100510_1419_N0R"}, At(2010, 5, 10, 14, 19));
    Server.Answer("/ridge/RadarImg/N0R/LOT_N0R_0.gfw", "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nNot Found");
    const TDateTime old = r.LastImage;
    Sched->ProcessTimer();
    EXPECT_EQ("Error 404 Not Found", r.Status);
    EXPECT_EQ(1, r.AccessErrors);
    ExpectTime(Clock.UTCNow() - 0.95, r.LastImage);
    EXPECT_NE(old, r.LastImage);
    EXPECT_FALSE(InProg("LOT_N0R_0.gfw"));
}

TEST_F(CycleEndToEnd, PngMosaicEndToEnd)
{
    TRadarObj& r = AddRecord("!!N0R_0,National reflectivity mosaic");
    Server.ServeFile("/ridge/Conus/RadarImg/?C=N;O=A",
                     ListingPage({"CONUS_20100510_1413_N0R", "CONUS_20100510_1418_N0R_small"}), "text/html");
    Server.ServeFile("/ridge/Conus/RadarImg/N0R_0.gfw", SyntheticMosaicWorldFile(5000, 2000));
    Server.ServeFile("/ridge/Conus/RadarImg/N0R_0.gif", SyntheticMosaicPng(At(2010, 5, 10, 14, 13), 5000, 2000));
    Sched->ProcessTimer();
    ASSERT_EQ("OK", r.Status) << S.RidgeLbl.Caption() << " / " << S.FileLbl.Caption();
    ExpectTime(At(2010, 5, 10, 14, 13), r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 23), r.NextAttempt);
    EXPECT_TRUE(InUnderlays("N0R_0.bmp"));
    EXPECT_FALSE(InProg("N0R_0.png"));
    EXPECT_FALSE(InProg("N0R_0.wld"));
}

TEST_F(CycleEndToEnd, ClientModeConvertsWhatTheServerLeft)
{
    setenv("TZ", "UTC", 1);
    tzset();
    S.ModeGrp.ItemIndex = 1;
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    Quor.Write("Quor Underlays/LOT_N0R_0.gif", SyntheticSiteGif("LOT", "N0R", At(2010, 5, 10, 14, 19)));
    Quor.Write("Quor Underlays/LOT_N0R_0.gfw", SyntheticSiteWorldFile("LOT"));
    Sched->ProcessTimer();
    EXPECT_TRUE(Server.Requests.empty());
    ASSERT_EQ("OK", r.Status) << S.FileLbl.Caption();
    EXPECT_TRUE(InUnderlays("lot_n0r_0.bmp"));
    EXPECT_FALSE(InUnderlays("LOT_N0R_0.gif"));
    EXPECT_FALSE(InUnderlays("LOT_N0R_0.gfw"));
    ExpectTime(At(2010, 5, 10, 14, 21), r.LastImage); // the file's real time lies ahead of the fake clock

    // Nothing new from the server on the next attempt.
    Clock.Set(r.NextAttempt);
    Sched->ProcessTimer();
    EXPECT_TRUE(StartsWith(r.Status, "Waiting for file LOT_N0R_0.gfw from server at 05/10 14:")) << r.Status;
    EXPECT_EQ("Waiting for new files, next scheduled processing attempt " +
                  FormatDateTime("hh:nn:ss", r.NextAttempt),
              S.Sbar.Panel(0));
}

TEST_F(CycleEndToEnd, CancelDuringAFetchStopsTheCycle)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    PublishSite({"LOT_20100510_1419_N0R"}, At(2010, 5, 10, 14, 19));
    Server.OnRequest = [this](const std::string& head) {
        if (head.find("LOT_N0R_0.gfw") != std::string::npos)
            S.Cancel = true;
    };
    S.FileLbl.SetCaption("before");
    int saves = 0;
    S.Hooks.SaveList = [&] { ++saves; };
    Sched->ProcessTimer();
    EXPECT_EQ(0, Requested("/ridge/RadarImg/N0R/LOT_N0R_0.gif"));
    EXPECT_EQ(0, saves);
    EXPECT_EQ("New file", r.Status);
    EXPECT_EQ("Download files complete", S.Sbar.Panel(0));
    EXPECT_TRUE(S.Process.Enabled());
    EXPECT_EQ("Idle", S.Sbar.Panel(1));
}

TEST_F(CycleEndToEnd, ForcedDownloadFetchesTheSelectedRecordAtOnce)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    r.NextAttempt = Clock.UTCNow() + 10 * kOneMinute;
    PublishSite({"LOT_20100510_1419_N0R"}, At(2010, 5, 10, 14, 19));
    S.RadarGrid.Row = 1;
    Sched->DownloadBtnClick();
    EXPECT_EQ("OK", r.Status);
    EXPECT_TRUE(InUnderlays("lot_n0r_0.bmp"));
    EXPECT_TRUE(S.Process.Enabled());
}

} // namespace
} // namespace sf::test
