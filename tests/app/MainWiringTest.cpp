// The main object with its real subsystems, against a loopback server and a Wine
// prefix shaped like an installation: the tick's wiring, the close paths and timers.
#include "app/Demo.h"
#include "app/Main.h"
#include "core/RadarObj.h"
#include "support/HttpTestServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>

using namespace sf;

namespace {

struct TWired {
    TFakeClock Clock{EncodeDateTime({2026, 12, 7, 21, 5, 0, 0})};
    test::TScriptedDialogs Dialogs;
    test::TTempDir Home;
    test::THttpTestServer Server;
    std::unique_ptr<TMain> Main;

    TWired()
    {
        std::string error;
        EXPECT_TRUE(BuildDemoHost(Home.Path() + "wine/", "LOT_N0R_0.bmp", &error)) << error;
        Home.Write("stormfetch.ini", "[URL]\r\nRIDGE=" + Server.Url("/ridge/RadarImg/") + "\r\nRIDGENAT=" +
                                         Server.Url("/ridge/Conus/RadarImg/") + "\r\nSelectRidge=0\r\n[Shp]\r\nURL=" +
                                         Server.Url("/shp/") + "\r\n[User]\r\nLogErrors=1\r\nLegend=1\r\nNativeFmt=0\r\n"
                                         "Version=Stormfetch 2.9.1\r\n");
        Main = std::make_unique<TMain>(Clock, Dialogs, TMainOptions{Home.Path(), Home.Path() + "wine/", true});
        Main->Shared().ReadMemory = [] { return TMemoryStatus{42, 1 << 30, 1 << 29, 0, 0, 0, 0}; };
        Main->Wire();
    }
    TShared& S() { return Main->Shared(); }
    TRadarObj& Add(const std::string& radar, const std::string& product)
    {
        TRadarObj r = TRadarObj::Create(Clock);
        r.SetNames(radar, product, S().Naming());
        TRadarObj* added = S().List.Add(radar + "\t" + product, std::move(r));
        EXPECT_NE(added, nullptr);
        return *added;
    }
};

} // namespace

TEST(MainWired, ATickAgainstAMissingListingLeavesTheHttpError)
{
    TWired w;
    ASSERT_TRUE(w.Main->Create());
    w.Main->FirstShow();
    ASSERT_FALSE(w.Main->CloseRequested());
    ASSERT_FALSE(w.S().QuorUnderlayPath.empty());
    w.Server.Answer("/ridge/RadarImg/N0R/LOT/", "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nNot Found");
    const TRadarObj& r = w.Add("IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    w.Main->TickOnce();
    EXPECT_EQ(r.Status, "Error 404 Not Found");
    ASSERT_FALSE(w.Server.Requests.empty());
    EXPECT_EQ(test::RequestLines(w.Server.Requests[0]).at(0), "GET /ridge/RadarImg/N0R/LOT/ HTTP/1.0");
    EXPECT_TRUE(w.S().Process.Enabled()); // the tick has ended
}

TEST(MainWired, EveryTimerIsStoppedAfterTheClosingSteps)
{
    TWired w;
    ASSERT_TRUE(w.Main->Create());
    w.Main->FirstShow();
    std::vector<TTimer*> timers = {&w.S().Process, &w.S().MinTimer, &w.S().Shp, &w.S().Timer1, &w.S().RidgeTimer};
    for (TTimer* t : timers)
        t->SetEnabled(true);
    w.S().Process.SetEnabled(false); // closing while a tick is under way
    w.Clock.AutoStep = 0.5 * kOneSecond; // each reading moves the clock: the waits for it end quickly
    EXPECT_TRUE(w.Main->CloseQuery());
    w.Main->Closing();
    for (TTimer* t : timers)
        EXPECT_FALSE(t->Enabled()) << t->Name();
}

TEST(MainWired, ACloseRequestBeforeTheFirstShowIsNoMissingMapProgram)
{
    TWired w;
    ASSERT_TRUE(w.Main->Create());
    w.Main->RequestClose(); // a stop signal during the creation steps
    w.Main->FirstShow();
    EXPECT_FALSE(w.Main->HostMissing());
    EXPECT_TRUE(w.Main->CloseRequested());
}

TEST(MainWired, ACloseDuringAStalledShapefileTransferReturnsWithinASecond)
{
    TWired w;
    ASSERT_TRUE(w.Main->Create());
    w.Main->FirstShow();
    w.S().RidgeTimer.SetInterval(30000); // the time-out must not be what ends the transfer
    w.S().TorChk.Checked = true;
    w.Home.Write("shp/keep", "");
    w.S().TargetED.SetCaption(w.Home.Path() + "shp/");
    w.Server.Script("/shp/tor.shp", {test::TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n" + std::string(100, 's')),
                                     test::TStep::Hang()});
    using TSteady = std::chrono::steady_clock;
    TSteady::time_point closedAt{};
    w.Server.OnRequest = [&](const std::string&) {
        QTimer::singleShot(200, [&] {
            closedAt = TSteady::now();
            w.Main->RequestClose();
        });
    };
    const TSteady::time_point start = TSteady::now();
    w.S().Shp.Fire();
    const TSteady::time_point end = TSteady::now();
    ASSERT_NE(closedAt, TSteady::time_point{}) << "the transfer ended before the close request";
    EXPECT_LT(std::chrono::duration<double>(end - closedAt).count(), 1.0);
    EXPECT_LT(std::chrono::duration<double>(end - start).count(), 10.0);
    EXPECT_EQ(w.Server.Requests.size(), 1u); // no further file was started after the close
}
