// The running copy's command handler in-process, on the demonstration feed: each
// command answers with what happened, and a failure is never answered with status 0.
#include "app/Channel.h"
#include "app/CommandDialogs.h"
#include "app/ConsoleView.h"
#include "app/Demo.h"
#include "app/Main.h"
#include "app/Station.h"
#include "core/DateTime.h"
#include "host/UiViewClient.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

using namespace sf;

namespace {

// The demo's map program, told to fail its redraw or its zoom, to be busy with another
// call, or to let other work run during a redraw (as the wait for the helper does).
class TFlakyLink : public TAcceptLink {
public:
    bool FailRedraw = false, FailZoom = false, BusyNow = false;
    int FailNext = 0; ///< how many of the next redraws fail
    /// Runs inside the next redraw call, while the link is busy with it.
    std::function<void()> DuringRedraw;
    bool Busy() const override { return m_inCall || BusyNow; }
    bool Redraw(std::string* error) override
    {
        if (DuringRedraw) {
            const std::function<void()> during = std::move(DuringRedraw);
            DuringRedraw = nullptr;
            m_inCall = true;
            during();
            m_inCall = false;
        }
        if (!FailRedraw && FailNext == 0)
            return TAcceptLink::Redraw(error);
        if (FailNext > 0)
            --FailNext;
        if (error)
            *error = "the map program is busy";
        return false;
    }
    bool ShowArea(double left, double top, double right, double bottom, std::string* error) override
    {
        if (!FailZoom)
            return TAcceptLink::ShowArea(left, top, right, bottom, error);
        if (error)
            *error = "no such view";
        return false;
    }

private:
    bool m_inCall = false;
};

struct TAnswer {
    bool Done = false;
    int Status = -1;
    std::string Text;
    std::vector<std::string> Out;
};

class StationHandler : public ::testing::Test {
protected:
    StationHandler() : clock(TSystemClock().UTCNow(), TSystemClock().LocalNow() - TSystemClock().UTCNow()) {}
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(demo.Prepare(&error)) << error;
        main = std::make_unique<TMain>(clock, dialogs, TMainOptions{home.Path(), demo.WinePrefix(), true});
        main->Shared().ReadMemory = [] { return TMemoryStatus{40, 1ull << 32, 1ull << 31, 0, 0, 0, 0}; };
        view = std::make_unique<TConsoleView>(main->Shared().Hub, clock, out);
        demo.Attach(*main);
        auto flaky = std::make_unique<TFlakyLink>();
        link = flaky.get();
        main->UseLink(std::move(flaky));
        main->Wire();
        station = std::make_unique<TStation>(*main, dialogs, home.Path());
        ASSERT_TRUE(main->Create());
        main->FirstShow();
        ASSERT_FALSE(main->Shared().QuorUnderlayPath.empty());
        station->SetReady();
    }
    void TearDown() override
    {
        station.reset();
        main->CloseQuery();
        main->Closing();
    }
    TShared& S() { return main->Shared(); }
    std::shared_ptr<TAnswer> Send(const std::string& verb, const std::vector<std::string>& args)
    {
        auto answer = std::make_shared<TAnswer>();
        auto reply = std::make_shared<TChannelReply>([answer](const TReplyLine& line) {
            if (line.Kind == TReplyLine::Final) {
                answer->Done = true;
                answer->Status = line.Status;
                answer->Text = line.Text;
            } else {
                answer->Out.push_back(line.Text);
            }
        });
        station->Handle({home.Path(), verb, args}, reply);
        return answer;
    }
    /// Serves events for ms or until the answer is there.
    static void Serve(const TAnswer& a, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!a.Done && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    /// Images in the underlay folder: ticks five demo minutes apart, then the tray's tick.
    void Images(int n)
    {
        for (int i = 0; i < n; ++i) {
            main->TickOnce();
            clock.Step(6 * kOneMinute);
        }
        S().Timer1.Fire();
    }
    // The key is taken before the record moves into the list.
    bool AddRecord(TRadarObj r)
    {
        const std::string key = r.Radar + "\t" + r.Product;
        return S().List.Add(key, std::move(r)) != nullptr;
    }
    int Find(const std::string& radar)
    {
        for (int i = 0; i < S().List.Count(); ++i)
            if (S().List[i].Radar == radar)
                return i;
        return -1;
    }

    test::TTempDir home;
    TFakeClock clock;
    test::TScriptedDialogs inner;
    TCommandDialogs dialogs{inner};
    TDemoFeed demo{home.Path(), clock};
    std::ostringstream out;
    std::unique_ptr<TMain> main;
    std::unique_ptr<TConsoleView> view;
    TFlakyLink* link = nullptr;
    std::unique_ptr<TStation> station;
};

} // namespace

TEST_F(StationHandler, LoopAnswersWithItsOwnTextOnceItHasPlayed)
{
    Images(4);
    ASSERT_TRUE(S().LoopRadar1.Enabled);
    S().LoopLbl.SetCaption("Looped 9 images in 1.000 secs"); // an earlier loop's text
    auto loop = Send("send", {"loop"});
    EXPECT_FALSE(loop->Done) << loop->Text; // the loop has not played yet
    S().Timer1.Fire(); // the tray's next tick plays it
    ASSERT_TRUE(loop->Done);
    EXPECT_EQ(loop->Status, 0);
    EXPECT_EQ(loop->Text.rfind("Looped 4 images in ", 0), 0u) << loop->Text;
}

TEST_F(StationHandler, LoopWithoutASeriesSaysHowToStartOne)
{
    Images(1);
    S().List[Find("IL,Chicago,LOT")].Accumulate = false;
    S().Timer1.Fire();
    auto loop = Send("send", {"loop"});
    ASSERT_TRUE(loop->Done);
    EXPECT_EQ(loop->Status, 1);
    EXPECT_NE(loop->Text.find("stormfetch --accumulate \"LOT N0R\" on"), std::string::npos) << loop->Text;
    EXPECT_EQ(loop->Text.find("LoopRadar1"), std::string::npos) << loop->Text;
}

TEST_F(StationHandler, ZoomAnswersWithTheBoundsOrWhyNothingWasDone)
{
    Images(1);
    auto zoom = Send("send", {"zoom"});
    ASSERT_TRUE(zoom->Done);
    EXPECT_EQ(zoom->Status, 0) << zoom->Text;
    EXPECT_EQ(zoom->Text.rfind("Zoomed to LOT N0R: left ", 0), 0u) << zoom->Text;
    ASSERT_FALSE(link->Calls.empty());
    EXPECT_EQ(link->Calls.back().rfind("area ", 0), 0u) << link->Calls.back();

    link->FailZoom = true;
    auto failed = Send("send", {"zoom"});
    EXPECT_EQ(failed->Status, 1);
    EXPECT_NE(failed->Text.find("no such view"), std::string::npos) << failed->Text;

    link->FailZoom = false;
    S().UnderlayName = "SOMETHING_ELSE.bmp";
    auto nothing = Send("send", {"zoom"});
    EXPECT_EQ(nothing->Status, 1);
    EXPECT_NE(nothing->Text.find("nothing to zoom to: no record"), std::string::npos) << nothing->Text;
}

TEST_F(StationHandler, ARedrawIsJudgedByItsOutcomeNotByTheStatusLine)
{
    // A tick that runs while the link call waits writes its own status: the redraw was made.
    link->DuringRedraw = [this] { S().Sbar.SetPanel(0, "Waiting for new files, next scheduled download attempt 12:00:00"); };
    auto made = Send("send", {"redraw"});
    ASSERT_TRUE(made->Done);
    EXPECT_EQ(made->Status, 0) << made->Text;
    EXPECT_EQ(made->Text, "Map redrawn");
    link->DuringRedraw = nullptr;

    // Asked for while another link call runs: made, and answered, when that call ends.
    link->BusyNow = true;
    auto waiting = Send("send", {"redraw"});
    auto second = Send("send", {"redraw"});
    Serve(*waiting, 300);
    EXPECT_FALSE(waiting->Done) << waiting->Text;
    EXPECT_FALSE(second->Done) << second->Text;
    link->BusyNow = false;
    link->FailRedraw = true;
    S().Hooks.RedrawMap();
    ASSERT_TRUE(waiting->Done);
    ASSERT_TRUE(second->Done);
    EXPECT_EQ(waiting->Status, 1);
    EXPECT_NE(waiting->Text.find("the map program is busy"), std::string::npos) << waiting->Text;
    EXPECT_EQ(second->Text, waiting->Text);
}

TEST_F(StationHandler, AFailedRedrawIsAFailureAndExtraWordsAUsageError)
{
    link->FailRedraw = true;
    auto redraw = Send("send", {"redraw"});
    ASSERT_TRUE(redraw->Done);
    EXPECT_EQ(redraw->Status, 1);
    EXPECT_EQ(redraw->Text.rfind("Error", 0), 0u) << redraw->Text;

    link->FailRedraw = false;
    auto ok = Send("send", {"redraw"});
    EXPECT_EQ(ok->Status, 0) << ok->Text;
    auto extra = Send("send", {"redraw", "extra"});
    EXPECT_EQ(extra->Status, 2) << extra->Text;

    // No link: the refusal says which condition fails, never which control is off.
    S().RedrawBtn.Enabled = false;
    auto off = Send("send", {"redraw"});
    EXPECT_EQ(off->Status, 1);
    EXPECT_EQ(off->Text.find("RedrawBtn"), std::string::npos) << off->Text;
    EXPECT_TRUE(off->Text.find("no link to the map program: ") != std::string::npos ||
                off->Text.find("UI-View32 did not answer the Wine helper's connect") != std::string::npos)
        << off->Text;
}

TEST_F(StationHandler, ARedrawWhoseFileTextSaysErrorIsAFailure)
{
    // The command's redraw fails; one asked for while it ran (a new underlay) is made after
    // it and leaves the status bar at "Redrawing map": the file text still tells of the failure.
    link->FailNext = 1;
    link->DuringRedraw = [this] { S().RedrawBtn.Click(); };
    auto redraw = Send("send", {"redraw"});
    ASSERT_TRUE(redraw->Done);
    ASSERT_EQ(S().Sbar.Panel(0), "Redrawing map");
    EXPECT_EQ(redraw->Status, 1) << redraw->Text;
    EXPECT_EQ(redraw->Text.rfind("Error attempting to redraw UiView", 0), 0u) << redraw->Text;
}

TEST_F(StationHandler, ADownloadThatRunsNoCycleIsAFailure)
{
    // A disabled record is passed by: nothing is downloaded.
    const int lot = Find("IL,Chicago,LOT");
    ASSERT_GE(lot, 0);
    S().List[lot].Enabled = false;
    const TDateTime before = S().List[lot].LastAttempt;
    clock.Step(kOneMinute);
    auto disabled = Send("send", {"download", "LOT"});
    ASSERT_TRUE(disabled->Done);
    EXPECT_EQ(disabled->Status, 1) << disabled->Text;
    EXPECT_NE(disabled->Text.find("LOT N0R is disabled"), std::string::npos) << disabled->Text;
    EXPECT_EQ(S().List[lot].LastAttempt, before);

    // While a loop plays the button runs no cycle.
    S().List[lot].Enabled = true;
    S().FetchBusy = true;
    auto busy = Send("send", {"download", "LOT"});
    S().FetchBusy = false;
    ASSERT_TRUE(busy->Done);
    EXPECT_EQ(busy->Status, 1) << busy->Text;
    EXPECT_EQ(S().List[lot].LastAttempt, before);

    auto done = Send("send", {"download", "LOT"});
    EXPECT_EQ(done->Status, 0) << done->Text;
    EXPECT_NE(S().List[lot].LastAttempt, before);
}

TEST_F(StationHandler, DownloadFailuresAndAmbiguousKeysAreNeverStatusZero)
{
    // A site the feed does not publish: its listing is not found.
    TRadarObj missing = TRadarObj::Create(clock);
    missing.SetNames("IL,Nowhere,QQQ", "Short Range Reflectivity, N0R", S().Naming());
    ASSERT_TRUE(AddRecord(std::move(missing)));
    auto failed = Send("send", {"download", "QQQ", "N0R"}); // the key's words joined
    ASSERT_TRUE(failed->Done);
    EXPECT_EQ(failed->Status, 1) << failed->Text;
    EXPECT_NE(failed->Text.find("QQQ N0R: Error"), std::string::npos) << failed->Text;

    // A unique site id names its record.
    auto bySite = Send("send", {"download", "mkx"});
    EXPECT_EQ(bySite->Status, 0) << bySite->Text;
    EXPECT_NE(bySite->Text.find("MKX N0R"), std::string::npos) << bySite->Text;

    // Two records of one site: the id alone is refused, naming both.
    TRadarObj other = TRadarObj::Create(clock);
    other.SetNames("IL,Chicago,LOT", "Base Velocity, N0V", S().Naming());
    ASSERT_TRUE(AddRecord(std::move(other)));
    auto ambiguous = Send("send", {"download", "LOT"});
    EXPECT_EQ(ambiguous->Status, 2) << ambiguous->Text;
    EXPECT_NE(ambiguous->Text.find("LOT N0R, LOT N0V"), std::string::npos) << ambiguous->Text;

    // Two records with the same key: neither is acted on.
    TRadarObj twin = TRadarObj::Create(clock);
    twin.SetNames("IL,Chicago (west),LOT", "Base Velocity, N0V", S().Naming());
    ASSERT_TRUE(AddRecord(std::move(twin)));
    const int last = S().List.Count() - 1;
    const TDateTime before = S().List[last].LastAttempt;
    const TDateTime firstBefore = S().List[last - 1].LastAttempt;
    clock.Step(kOneMinute);
    auto same = Send("send", {"download", "LOT N0V"});
    EXPECT_EQ(same->Status, 2) << same->Text;
    EXPECT_NE(same->Text.find("(IL,Chicago,LOT; IL,Chicago (west),LOT)"), std::string::npos) << same->Text;
    EXPECT_EQ(S().List[last].LastAttempt, before);
    EXPECT_EQ(S().List[last - 1].LastAttempt, firstBefore);

    // Only disabled records: nothing to download, and none of them is made due.
    std::vector<TDateTime> next;
    for (int i = 0; i < S().List.Count(); ++i) {
        S().List[i].Enabled = false;
        next.push_back(S().List[i].NextAttempt);
    }
    auto none = Send("send", {"download"});
    EXPECT_EQ(none->Status, 1) << none->Text;
    EXPECT_EQ(none->Text.rfind("no record is enabled, so nothing was downloaded", 0), 0u) << none->Text;
    for (int i = 0; i < S().List.Count(); ++i)
        EXPECT_EQ(S().List[i].NextAttempt, next[size_t(i)]) << S().List[i].Radar;
}

TEST_F(StationHandler, DownloadsThatAllFailAreAFailureWhereverTheRecordsStand)
{
    S().List.Clear();
    TRadarObj missing = TRadarObj::Create(clock);
    missing.SetNames("IL,Nowhere,QQQ", "Short Range Reflectivity, N0R", S().Naming());
    ASSERT_TRUE(AddRecord(std::move(missing)));
    auto first = Send("send", {"download", "QQQ"}); // the list's first record
    ASSERT_TRUE(first->Done);
    EXPECT_EQ(first->Status, 1) << first->Text;
    EXPECT_EQ(first->Text.rfind("QQQ N0R: Error", 0), 0u) << first->Text;

    clock.Step(kOneMinute);
    auto all = Send("send", {"download"});
    ASSERT_TRUE(all->Done);
    EXPECT_EQ(all->Status, 1) << all->Text;
    EXPECT_EQ(all->Text.rfind("every download failed: QQQ N0R: Error", 0), 0u) << all->Text;

    // One of two failing is said, and the run still did its work.
    TRadarObj good = TRadarObj::Create(clock);
    good.SetNames("WI,Milwaukee,MKX", "Short Range Reflectivity, N0R", S().Naming());
    ASSERT_TRUE(AddRecord(std::move(good)));
    clock.Step(kOneMinute);
    auto some = Send("send", {"download"});
    ASSERT_TRUE(some->Done);
    EXPECT_EQ(some->Status, 0) << some->Text;
    EXPECT_EQ(some->Text, "Download done; 1 of 2 records in error (stormfetch --list shows them)");
}

TEST_F(StationHandler, ListCommandsWaitWhileACycleRuns)
{
    S().Process.SetEnabled(false); // a tick is under way
    auto add = Send("add", {"ARX"});
    auto remove = Send("remove", {"MKX N0R"});
    Serve(*add, 600);
    EXPECT_FALSE(add->Done);
    EXPECT_FALSE(remove->Done);
    EXPECT_NE(Find("WI,Milwaukee,MKX"), -1);
    auto list = Send("list", {}); // reading runs at once
    EXPECT_TRUE(list->Done);

    S().Process.SetEnabled(true); // the tick has ended
    Serve(*remove, 5000);
    ASSERT_TRUE(add->Done);
    ASSERT_TRUE(remove->Done);
    EXPECT_EQ(add->Status, 0) << add->Text;
    EXPECT_EQ(remove->Status, 0) << remove->Text;
    EXPECT_EQ(Find("WI,Milwaukee,MKX"), -1);
}

TEST_F(StationHandler, ListCommandsWaitForTheCycleOfADownloadCommand)
{
    // A remove that comes in while the download command's cycle pumps events.
    std::shared_ptr<TAnswer> remove;
    bool doneAtOnce = true, goneAtOnce = true;
    QTimer::singleShot(0, [&] {
        remove = Send("remove", {"MKX N0R"});
        doneAtOnce = remove->Done;
        goneAtOnce = Find("WI,Milwaukee,MKX") < 0;
    });
    auto download = Send("send", {"download"});
    ASSERT_TRUE(download->Done);
    ASSERT_TRUE(remove) << "the download pumped no events";
    EXPECT_FALSE(doneAtOnce) << remove->Text;
    EXPECT_FALSE(goneAtOnce);
    EXPECT_EQ(download->Status, 0) << download->Text;
    Serve(*remove, 5000);
    ASSERT_TRUE(remove->Done);
    EXPECT_EQ(remove->Status, 0) << remove->Text;
    EXPECT_EQ(Find("WI,Milwaukee,MKX"), -1);
}

TEST(StationReply, ADroppedReplyIsAFailure)
{
    TAnswer answer;
    {
        TChannelReply reply([&](const TReplyLine& line) {
            if (line.Kind == TReplyLine::Final) {
                answer.Done = true;
                answer.Status = line.Status;
            }
        });
        reply.Out("partial output");
    }
    ASSERT_TRUE(answer.Done);
    EXPECT_EQ(answer.Status, 1);
}

TEST(StationReply, AConnectionClosedWithoutAnAnswerIsAFailure)
{
    test::TTempDir dir;
    const std::string path = dir.Path() + "drop.socket";
    // The running copy's side in a thread of its own: takes the request line, then hangs up.
    std::atomic<int> listening{0}; // 1 listening, -1 failed
    std::thread copy([&] {
        QLocalServer server;
        const bool ok = server.listen(QString::fromStdString(path));
        listening = ok ? 1 : -1;
        if (!ok)
            return;
        if (!server.waitForNewConnection(10000))
            return;
        QLocalSocket* s = server.nextPendingConnection();
        while (s && !s->canReadLine() && s->waitForReadyRead(5000)) {
        }
        if (s) {
            s->write("+ some output\n");
            s->flush();
            s->disconnectFromServer();
            if (s->state() != QLocalSocket::UnconnectedState)
                s->waitForDisconnected(2000);
        }
    });
    // The request goes out once someone listens.
    while (listening == 0)
        QThread::msleep(5);
    if (listening != 1) {
        copy.join();
        FAIL() << "cannot listen on " << path;
    }
    std::ostringstream out, err;
    const TSendResult r = SendChannelRequest(path, {dir.Path(), "send", {"status"}}, out, err, 10000);
    copy.join();
    EXPECT_TRUE(r.Connected);
    EXPECT_NE(r.Status, 0);
    EXPECT_NE(err.str().find("closed the connection without an answer"), std::string::npos) << err.str();
}

namespace {

// A copy's channel in this thread and a sender in another; the sender's outcome and what it printed.
struct TChannelExchange {
    int Status = -1;
    std::string Err;
};

TChannelExchange Exchange(const TChannelServer::THandler& handler, int replyMs)
{
    test::TTempDir dir;
    const std::string path = dir.Path() + "copy.socket";
    QLocalServer server;
    TChannelServer channel(server, handler, 60000); // a slow sender is not taken for a silent one
    TChannelExchange result;
    if (!server.listen(QString::fromStdString(path))) {
        result.Err = "cannot listen on " + path;
        return result;
    }
    std::atomic<bool> done{false};
    std::thread sender([&] {
        std::ostringstream out, err;
        result.Status = SendChannelRequest(path, {dir.Path(), "send", {"download"}}, out, err, replyMs).Status;
        result.Err = err.str();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    sender.join();
    return result;
}

} // namespace

TEST(StationReply, AReplyTheCopyDropsEndsTheSendersWaitWithAFailure)
{
    const TChannelExchange r = Exchange([](const TChannelRequest&, const std::shared_ptr<TChannelReply>& reply) {
        reply->Out("partial output"); // then the handler lets the reply go
    }, 20000);
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find("the running copy did not answer the command"), std::string::npos) << r.Err;
}

TEST(StationReply, AReplyNeverGivenIsAFailureOnceTheWaitEnds)
{
    std::shared_ptr<TChannelReply> kept;
    const TChannelExchange r = Exchange([&](const TChannelRequest&, const std::shared_ptr<TChannelReply>& reply) {
        kept = reply; // held and never finished
    }, 1000);
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find("no answer from the running copy within 1 s"), std::string::npos) << r.Err;
    kept.reset();
}
