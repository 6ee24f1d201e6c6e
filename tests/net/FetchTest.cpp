#include "core/Files.h"
#include "core/RadarObj.h"
#include "net/Fetch.h"
#include "support/HttpTestServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <QTimer>
#include <gtest/gtest.h>
#include <filesystem>
#include "net/DownloadLimits.h"

using namespace sf;
using sf::test::THttpTestServer;
using sf::test::TStep;

namespace {

// 14:22:03.500 on 10 May 2010 (local = UTC here).
const TDateTime kStart = EncodeDateTime({2010, 5, 10, 14, 22, 3, 500});

class Fetch : public ::testing::Test {
protected:
    Fetch()
    {
        S.RidgeTimer.SetInterval(1000); // WebTimeOut 1 s
        S.Hub.Listeners.push_back([this](const std::string& c, const std::string& t) {
            if (c == "StateLbl")
                States.push_back(t);
        });
    }
    TFakeClock Clock{kStart};
    sf::test::TScriptedDialogs Dialogs;
    TShared S{Clock, Dialogs};
    TWebFetch F{S};
    THttpTestServer Srv;
    sf::test::TTempDir Dir;
    TRadarObj Rec;
    std::vector<std::string> States;
    std::string Local() const { return Dir.Path() + "file.gif"; }
};

} // namespace

TEST_F(Fetch, SuccessReportsSizeTimeAndLamp)
{
    const std::string body(12345, 'G');
    Srv.ServeFile("/img.gif", body);
    Srv.OnRequest = [this](const std::string&) { Clock.Step(1.5 * kOneSecond); };
    const std::string url = Srv.Url("/img.gif");
    EXPECT_TRUE(F.FetchFile(url, Local(), &Rec));
    EXPECT_TRUE(S.FetchResult);
    EXPECT_EQ(Dir.Read("file.gif"), body);
    EXPECT_EQ(S.FileLbl.Caption(), "Attempting download of " + url + " at 14:22:03");
    EXPECT_EQ(S.RidgeLbl.Caption(), url + " received 12345 b in 1.500 sec at 14:22:05");
    EXPECT_EQ(S.StatLbl.Caption(), "200");
    EXPECT_EQ(S.Sbar.Panel(0), "Successfully downloaded " + url);
    EXPECT_EQ(S.StateLbl.Caption(), "Ready");
    EXPECT_EQ(S.Shape1.BrushColor, clLime);
    const std::vector<std::string> expected = {"Not connected", "DNS Lookup", "DNS Lookup done", "Connected",
                                               "Waiting for header", "Waiting for body", "Ready"};
    EXPECT_EQ(States, expected);
    EXPECT_FALSE(S.FetchBusy);
    EXPECT_FALSE(S.RidgeTimer.Enabled());
    EXPECT_EQ(F.RidgeCli().ReceiveStream, nullptr);
}

TEST_F(Fetch, StallMidBodyTimesOutOnTheAbortPath)
{
    Srv.Script("/stall.gif", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nhalf"), TStep::Hang()});
    const std::string url = Srv.Url("/stall.gif");
    EXPECT_FALSE(F.FetchFile(url, Local(), &Rec));
    EXPECT_EQ(S.RidgeLbl.Caption(), url + " Exception : 404 Connection aborted on request");
    EXPECT_EQ(Rec.Status, "Error 404 Connection aborted on request");
    EXPECT_EQ(S.Sbar.Panel(0), S.RidgeLbl.Caption());
    EXPECT_EQ(S.StatLbl.Caption(), "404");
    EXPECT_FALSE(S.TimedOut);
    EXPECT_FALSE(S.FetchBusy);
    EXPECT_EQ(Dir.Read("file.gif"), "half"); // the partial body stays
}

TEST_F(Fetch, SlowSteadyDripLongerThanTheTimeOutCompletes)
{
    const std::string body(24, 'd');
    Srv.Script("/drip.gif", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 24\r\n\r\n"), TStep::Trickle(body, 2, 150),
                             TStep::Shut()});
    EXPECT_TRUE(F.FetchFile(Srv.Url("/drip.gif"), Local(), &Rec)); // about 1.8 s, each block restarts the timer
    EXPECT_EQ(Dir.Read("file.gif"), body);
    EXPECT_EQ(S.RidgeLbl.Caption().rfind(Srv.Url("/drip.gif") + " received 24 b in ", 0), 0u);
}

TEST_F(Fetch, VerdictFollowsTheAnnouncedLength)
{
    Srv.Answer("/none", "HTTP/1.0 200 OK\r\n\r\nno length given");
    Srv.Answer("/zero", "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n");
    Srv.Answer("/longer", "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\n0123456789");
    Srv.Answer("/shorter", "HTTP/1.0 200 OK\r\nContent-Length: 40\r\n\r\n0123456789");
    EXPECT_TRUE(F.FetchFile(Srv.Url("/none"), Local(), &Rec));
    EXPECT_FALSE(F.FetchFile(Srv.Url("/zero"), Local(), &Rec));
    EXPECT_EQ(S.Sbar.Panel(0), Srv.Url("/zero") + " download failed");
    EXPECT_FALSE(FileExists(Local())); // an empty answer leaves no file
    EXPECT_FALSE(F.FetchFile(Srv.Url("/longer"), Local(), &Rec));
    EXPECT_EQ(S.Sbar.Panel(0), Srv.Url("/longer") + " download failed");
    EXPECT_FALSE(F.FetchFile(Srv.Url("/shorter"), Local(), &Rec));
    EXPECT_EQ(S.Sbar.Panel(0), Srv.Url("/shorter") + " download failed");
    EXPECT_EQ(Rec.Status, "");
}

TEST_F(Fetch, HttpErrorWritesTheRecordStatusAndKeepsTheBody)
{
    S.StatLbl.SetCaption("x");
    const std::string url = Srv.Url("/missing.gif");
    EXPECT_FALSE(F.FetchFile(url, Local(), &Rec));
    EXPECT_EQ(Rec.Status, "Error 404 Not Found");
    EXPECT_EQ(S.RidgeLbl.Caption(), url + " Exception : 404 Not Found");
    EXPECT_EQ(Dir.Read("file.gif"), "Not Found");
    EXPECT_FALSE(S.FetchResult);
}

TEST_F(Fetch, AnOldFileIsReplacedAndAnUncreatableFileThrows)
{
    Dir.Write("file.gif", "old contents that are longer");
    Srv.ServeFile("/a", "new");
    EXPECT_TRUE(F.FetchFile(Srv.Url("/a"), Local(), &Rec));
    EXPECT_EQ(Dir.Read("file.gif"), "new");
    EXPECT_THROW(F.FetchFile(Srv.Url("/a"), Dir.Path() + "no/such/dir/f.gif", &Rec), std::runtime_error);
    EXPECT_FALSE(S.FetchBusy);
    EXPECT_FALSE(S.RidgeTimer.Enabled());
}

TEST_F(Fetch, DocDataShowsTheReceivedCount)
{
    std::vector<std::string> labels;
    S.Hub.Listeners.push_back([&](const std::string& c, const std::string& t) {
        if (c == "RidgeLbl")
            labels.push_back(t);
    });
    Srv.ServeFile("/a", "12345");
    F.FetchFile(Srv.Url("/a"), Local(), nullptr);
    EXPECT_NE(std::find(labels.begin(), labels.end(), "Receiving " + Srv.Url("/a") + " 5 b"), labels.end());
    EXPECT_EQ(labels.front(), "Loading " + Srv.Url("/a"));
}

TEST_F(Fetch, CloseAbortEndsTheRunningFetch)
{
    Srv.Script("/stall", {TStep::Out("HTTP/1.0 200 OK\r\n\r\nab"), TStep::Hang()});
    Srv.OnRequest = [this](const std::string&) {
        S.TimedOut = true;
        F.Abort();
    };
    EXPECT_FALSE(F.FetchFile(Srv.Url("/stall"), Local(), &Rec));
    EXPECT_EQ(Rec.Status, "Error 404 Connection aborted on request");
}

TEST_F(Fetch, ShapefileNeedsNinetyBytesAndCountsSuccesses)
{
    Srv.ServeFile("/89.shp", std::string(89, 's'));
    Srv.ServeFile("/90.shp", std::string(90, 's'));
    const std::string local = Dir.Path() + "tor.shp";
    EXPECT_FALSE(F.FetchShapefile(Srv.Url("/89.shp"), local));
    EXPECT_EQ(Dialogs.Beeps, 1);
    EXPECT_FALSE(FileExists(local)); // a short file never takes the name
    EXPECT_EQ(F.ShapeCount(), 0);
    EXPECT_TRUE(F.FetchShapefile(Srv.Url("/90.shp"), local));
    EXPECT_EQ(F.ShapeCount(), 1);
    EXPECT_EQ(F.ShapeBytes(), 90);
    EXPECT_EQ(S.ShpLbl.Caption().rfind(Srv.Url("/90.shp") + " received 90 b in ", 0), 0u);
    EXPECT_EQ(S.Sbar.Panel(0), "Successfully downloaded " + Srv.Url("/90.shp"));
    EXPECT_EQ(S.StateLbl.Caption(), ""); // the shapefile client drives no state display
}

TEST_F(Fetch, StalledShapefileTimesOutWithoutAnException)
{
    Srv.Script("/stall.shp", {TStep::Out("HTTP/1.0 200 OK\r\n\r\n" + std::string(200, 'x')), TStep::Hang()});
    const std::string url = Srv.Url("/stall.shp");
    EXPECT_FALSE(F.FetchShapefile(url, Dir.Path() + "s.shp"));
    EXPECT_EQ(S.Sbar.Panel(0), url + " download timed out");
    EXPECT_EQ(S.ShpLbl.Caption().rfind(url + " received 200 b in ", 0), 0u);
    EXPECT_FALSE(F.ShpTimedOut());
    EXPECT_FALSE(S.TimedOut); // the radar fetch's flag is not touched
    // Nothing of the stalled file is left, under its name or any other.
    EXPECT_TRUE(std::filesystem::is_empty(Dir.Path())) << std::filesystem::directory_iterator(Dir.Path())->path();
}

TEST_F(Fetch, ShapefileErrorsAreCaughtWithABeep)
{
    const std::string url = Srv.Url("/none.shp");
    EXPECT_FALSE(F.FetchShapefile(url, Dir.Path() + "n.shp"));
    EXPECT_EQ(S.ShpLbl.Caption(), url + " Exception : 404 Not Found");
    EXPECT_EQ(Dialogs.Beeps, 2); // the error, then the short file
    Dialogs.Beeps = 0;
    EXPECT_NO_THROW(F.FetchShapefile(url, Dir.Path() + "no/dir/n.shp"));
    EXPECT_EQ(S.ShpLbl.Caption().rfind("Cannot create file", 0), 0u);
    EXPECT_EQ(Dialogs.Beeps, 1);
    EXPECT_FALSE(S.FetchBusy);
}

TEST_F(Fetch, ShapefileFetchInsideARadarFetchKeepsBothApart)
{
    Srv.Script("/radar.gif", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nabc"), TStep::Wait(300),
                              TStep::Out("def"), TStep::Shut()});
    Srv.ServeFile("/tor.shp", std::string(100, 't'));
    bool inner = false;
    bool busyDuring = false;
    Srv.OnRequest = [&](const std::string& head) {
        if (head.find("radar.gif") == std::string::npos || inner)
            return;
        inner = true;
        EXPECT_TRUE(F.FetchShapefile(Srv.Url("/tor.shp"), Dir.Path() + "tor.shp"));
        busyDuring = S.FetchBusy;
    };
    EXPECT_TRUE(F.FetchFile(Srv.Url("/radar.gif"), Local(), &Rec));
    EXPECT_TRUE(busyDuring); // the radar fetch still runs
    EXPECT_EQ(Dir.Read("file.gif"), "abcdef");
    EXPECT_EQ(F.ShapeCount(), 1);
}

TEST_F(Fetch, ASecondFetchOnTheBusyClientLeavesTheRunningOneItsTimeOut)
{
    Srv.Script("/stall.gif", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nhalf"), TStep::Hang()});
    Srv.ServeFile("/b.gif", "b");
    TRadarObj inner;
    bool innerResult = true, busyAfter = false, timerAfter = false;
    Srv.OnRequest = [&](const std::string& head) {
        if (head.find("stall.gif") == std::string::npos)
            return;
        innerResult = F.FetchFile(Srv.Url("/b.gif"), Dir.Path() + "b.gif", &inner);
        busyAfter = S.FetchBusy;
        timerAfter = S.RidgeTimer.Enabled();
    };
    bool guardFired = false; // without its time-out the stalled fetch would wait for ever
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        guardFired = true;
        F.RidgeCli().Abort();
    });
    guard.start(10000);
    EXPECT_FALSE(F.FetchFile(Srv.Url("/stall.gif"), Local(), &Rec));
    EXPECT_FALSE(guardFired);
    EXPECT_FALSE(innerResult);
    EXPECT_EQ(inner.Status, "Error 1 HTTP component RidgeCli is busy");
    EXPECT_TRUE(busyAfter);
    EXPECT_TRUE(timerAfter);
    EXPECT_EQ(Rec.Status, "Error 404 Connection aborted on request");
    EXPECT_EQ(Dir.Read("file.gif"), "half");
    EXPECT_FALSE(FileExists(Dir.Path() + "b.gif"));
    EXPECT_FALSE(S.FetchBusy);
    EXPECT_FALSE(S.RidgeTimer.Enabled());
}

TEST_F(Fetch, ElapsedTimeNeverReadsNegativeWhenLocalTimeStepsBack)
{
    Srv.ServeFile("/a.gif", "abc");
    Srv.OnRequest = [this](const std::string&) { Clock.SetOffset(-1.0 / 24); }; // daylight saving ends
    const std::string url = Srv.Url("/a.gif");
    EXPECT_TRUE(F.FetchFile(url, Local(), &Rec));
    EXPECT_EQ(S.RidgeLbl.Caption(), url + " received 3 b in 0.000 sec at 13:22:03");
}

TEST_F(Fetch, TabAndLineBreaksOfAReasonPhraseNeverReachTheRecordStatus)
{
    Srv.Answer("/tab.gif", "HTTP/1.0 404 Not\tFound\r\nContent-Length: 4\r\n\r\ngone");
    EXPECT_FALSE(F.FetchFile(Srv.Url("/tab.gif"), Local(), &Rec));
    EXPECT_EQ(Rec.Status, "Error 404 Not Found");
}

TEST_F(Fetch, ARadarFetchCompletedBelowALongShapefileRunIsNotTimedOut)
{
    // The radar answer ends while a shapefile run (started from the radar fetch's pump)
    // still drips in; the radar time-out expires during that run, after its own request.
    const std::string body(500, 'r');
    Srv.Script("/radar.gif", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 500\r\n\r\n" + body.substr(0, 100)),
                              TStep::Wait(200), TStep::Out(body.substr(100)), TStep::Shut()});
    Srv.Script("/tor.shp", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 120\r\n\r\n"),
                            TStep::Trickle(std::string(120, 't'), 20, 400), TStep::Shut()});
    bool started = false, shapeResult = false;
    Srv.OnRequest = [&](const std::string& head) {
        if (head.find("radar.gif") == std::string::npos || started)
            return;
        started = true;
        QTimer::singleShot(50, [&] { shapeResult = F.FetchShapefile(Srv.Url("/tor.shp"), Dir.Path() + "tor.shp"); });
    };
    EXPECT_TRUE(F.FetchFile(Srv.Url("/radar.gif"), Local(), &Rec)) << S.Sbar.Panel(0);
    EXPECT_TRUE(started);
    EXPECT_TRUE(shapeResult);
    EXPECT_EQ(Dir.Read("file.gif"), body);
    EXPECT_FALSE(S.TimedOut);
}

TEST_F(Fetch, AShapefileCompletedBelowALongRadarFetchIsNotTimedOut)
{
    // The mirror nesting: a cycle's fetch runs inside the shapefile fetch's pump and
    // outlasts the shapefile time-out after the shapefile answer has ended.
    const std::string shape(120, 's');
    Srv.Script("/tor.shp", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 120\r\n\r\n" + shape.substr(0, 20)),
                            TStep::Wait(200), TStep::Out(shape.substr(20)), TStep::Shut()});
    Srv.Script("/radar.gif", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 500\r\n\r\n"),
                              TStep::Trickle(std::string(500, 'r'), 100, 400), TStep::Shut()});
    bool started = false, radarResult = false;
    Srv.OnRequest = [&](const std::string& head) {
        if (head.find("tor.shp") == std::string::npos || started)
            return;
        started = true;
        QTimer::singleShot(50, [&] { radarResult = F.FetchFile(Srv.Url("/radar.gif"), Local(), &Rec); });
    };
    EXPECT_TRUE(F.FetchShapefile(Srv.Url("/tor.shp"), Dir.Path() + "tor.shp")) << S.Sbar.Panel(0);
    EXPECT_TRUE(started);
    EXPECT_TRUE(radarResult);
    EXPECT_EQ(Dir.Read("tor.shp"), shape);
    EXPECT_EQ(F.ShapeCount(), 1);
}

TEST_F(Fetch, EachKindOfDownloadHasASizeCap)
{
    EXPECT_EQ(DownloadCap("/p/LOT_N0R_0.htm"), kMaxListingBytes);
    EXPECT_EQ(DownloadCap("/p/LOT_N0R_0.gfw"), kMaxWorldFileBytes);
    EXPECT_EQ(DownloadCap("/p/N0R_0.WLD"), kMaxWorldFileBytes);
    EXPECT_EQ(DownloadCap("/p/LOT_N0R_Legend_0.gif"), kMaxLegendBytes);
    EXPECT_EQ(DownloadCap("/p/LOT_N0R_0.gif"), kMaxSiteImageBytes);
    EXPECT_EQ(DownloadCap("/p/N0R_0.png"), kMaxMosaicBytes);
    EXPECT_EQ(DownloadCap("/p/LOT_N0B_Legend_0.png"), kMaxLegendBytes);
    EXPECT_EQ(DownloadCap("/p/LOT_N0B_0.xml"), kMaxLegendBytes);
    EXPECT_EQ(DownloadCap("/p/ShpFiles/Svr.shp"), kMaxShapefileBytes);

    // A world file larger than any real one ends the transfer with a clear status, with
    // or without an announced length.
    const std::string big(kMaxWorldFileBytes + 10000, '1');
    Srv.ServeFile("/big.gfw", big);
    Srv.Answer("/open.gfw", "HTTP/1.0 200 OK\r\n\r\n" + big);
    for (const char* target : {"/big.gfw", "/open.gfw"}) {
        SCOPED_TRACE(target);
        Rec.Status.clear();
        EXPECT_FALSE(F.FetchFile(Srv.Url(target), Dir.Path() + "LOT_N0R_0.gfw", &Rec));
        EXPECT_EQ(Rec.Status, "Error 404 download larger than 65536 bytes");
        EXPECT_NE(S.Sbar.Panel(0).find("download larger than 65536 bytes"), std::string::npos) << S.Sbar.Panel(0);
    }
    // The same bytes as an image are well within its cap.
    EXPECT_TRUE(F.FetchFile(Srv.Url("/big.gfw"), Dir.Path() + "LOT_N0R_0.gif", &Rec));
    EXPECT_TRUE(F.FetchShapefile(Srv.Url("/big.gfw"), Dir.Path() + "Svr.shp"));
}

TEST_F(Fetch, ASlowDripEndsAtTheOverallLimit)
{
    // One byte every 40 ms keeps the inactivity rule (200 ms) met for ever; the whole
    // file may take 30 x 200 ms.
    S.RidgeTimer.SetInterval(200);
    Srv.Script("/drip.gif", {TStep::Out("HTTP/1.0 200 OK\r\n\r\n"), TStep::Trickle(std::string(500, 'd'), 1, 40),
                             TStep::Shut()});
    bool guardFired = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        guardFired = true;
        F.RidgeCli().Abort();
    });
    guard.start(15000);
    EXPECT_FALSE(F.FetchFile(Srv.Url("/drip.gif"), Local(), &Rec));
    EXPECT_FALSE(guardFired);
    EXPECT_EQ(Rec.Status, "Error 404 download took longer than 6 s");
    EXPECT_FALSE(S.RidgeTimer.Enabled());
}

TEST_F(Fetch, SurplusAfterTheAnnouncedLengthFailsHoweverItIsSplit)
{
    // The same answer with its two surplus bytes in the last segment, or 300 ms later.
    Srv.Script("/together", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nabcdefXY"), TStep::Shut()});
    Srv.Script("/later", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nabcdef"), TStep::Wait(300),
                          TStep::Out("XY"), TStep::Shut()});
    Srv.Script("/exact", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nabcdef"), TStep::Wait(300),
                          TStep::Shut()});
    Srv.Script("/open", {TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nabcdef"), TStep::Hang()});
    for (const char* target : {"/together", "/later"}) {
        SCOPED_TRACE(target);
        EXPECT_FALSE(F.FetchFile(Srv.Url(target), Local(), &Rec));
        EXPECT_EQ(S.Sbar.Panel(0), Srv.Url(target) + " download failed");
    }
    EXPECT_TRUE(F.FetchFile(Srv.Url("/exact"), Local(), &Rec));
    // A server that leaves the connection open after the whole document: the time-out
    // ends the reading, and the document counts.
    EXPECT_TRUE(F.FetchFile(Srv.Url("/open"), Local(), &Rec)) << S.Sbar.Panel(0);
    EXPECT_EQ(Dir.Read("file.gif"), "abcdef");
    EXPECT_TRUE(F.FetchShapefile(Srv.Url("/open"), Dir.Path() + "x.shp") == false); // under 90 bytes
    EXPECT_FALSE(F.ShpTimedOut());
}
