#include "app/Main.h"
#include "core/Files.h"
#include "core/IniFile.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>
#include <stdexcept>

using namespace sf;

namespace {

struct TFixture {
    TFakeClock Clock{EncodeDateTime({2026, 12, 7, 21, 5, 0, 0})};
    test::TScriptedDialogs Dialogs;
    test::TTempDir Home;
    std::vector<std::string> Calls;
    std::unique_ptr<TMain> Main;

    explicit TFixture(const std::string& ini = "[User]\r\nLogErrors=1\r\n")
    {
        Home.Write("stormfetch.ini", ini);
        // Today's log exists, so every line is written (a new file starts with its mode line).
        Home.Write("R20261207ErrorLog.txt", "21:00:00 earlier\r\n");
        Main = std::make_unique<TMain>(Clock, Dialogs, TMainOptions{Home.Path(), Home.Path() + "pfx/", true});
        Main->Shared().ReadMemory = [] { return TMemoryStatus{42, 1 << 30, 1 << 29, 0, 0, 0, 0}; };
        auto& st = Main->Steps();
        auto rec = [this](const char* n) { return [this, n] { Calls.push_back(n); }; };
        st.CreateTrayIcon = rec("tray");
        st.HostDiscovery = [this] {
            Calls.push_back("host:" + Main->Shared().ProgramDir + ":mode" + std::to_string(Main->Shared().ModeGrp.ItemIndex));
        };
        st.LoadSourceLists = [this] { Calls.push_back("sources:mode" + std::to_string(Main->Shared().ModeGrp.ItemIndex)); };
        st.LoadDownloadList = rec("list");
        st.LoadTargetList = rec("targets");
        st.CreateWorkingImages = rec("images");
        st.ConnectUiView = rec("connect");
        st.FreeWorkingImages = rec("free");
    }
    std::string Log() const
    {
        auto logs = FindFiles(Home.Path() + "R*ErrorLog.txt");
        return logs.empty() ? std::string() : Home.Read(logs[0].Name);
    }
};

} // namespace

TEST(MainCreation, StepsRunInOrderWithSettingsAfterDiscovery)
{
    TFixture f("[User]\r\nMode=1\r\n");
    f.Main->Shared().Cancel = true;
    EXPECT_TRUE(f.Main->Create());
    std::vector<std::string> want = {"tray", "host:" + f.Home.Path() + ":mode0", "sources:mode1",
                                     "list", "targets", "images", "connect"};
    EXPECT_EQ(f.Calls, want);
    EXPECT_FALSE(f.Main->Shared().Cancel);
    EXPECT_EQ(f.Main->HelpFile(), f.Home.Path() + "Stormfetch2.hlp");
    EXPECT_EQ(f.Main->Shared().WindowCaption.Caption(), "Stormfetch 2.9.1 Client mode");
    EXPECT_EQ(f.Main->Shared().DownloadBtn.Caption(), "Process");
}

TEST(MainCreation, FailedStepIsShownAndTheRestSkipped)
{
    TFixture f;
    f.Main->Shared().Cancel = true;
    f.Main->Steps().LoadDownloadList = [] { throw std::runtime_error("list broken"); };
    EXPECT_FALSE(f.Main->Create());
    ASSERT_EQ(f.Dialogs.Errors.size(), 1u);
    EXPECT_EQ(f.Dialogs.Errors[0], "list broken");
    EXPECT_EQ(f.Calls.back(), "sources:mode0");  // targets, images and connect never ran
    EXPECT_TRUE(f.Main->Shared().Cancel);        // the last step did not run either
}

TEST(MainFirstShow, LogsStartLineOnceAndSetsHint)
{
    TFixture f;
    f.Main->Create();
    int refreshes = 0;
    f.Main->Shared().Hooks.RefreshUiViewStatus = [&] { ++refreshes; };
    f.Main->FirstShow();
    f.Main->FirstShow();
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(f.Main->Shared().ModeGrp.Hint.substr(0, 40), "Server mode accesses Internet, can suppl");
    std::string log = f.Log();
    std::string start = f.Home.Path() + " Stormfetch 2.9.1 initialized in server mode.Mem load=";
    EXPECT_NE(log.find(start), std::string::npos) << log;
    EXPECT_EQ(log.find("initialized", log.find("initialized") + 1), std::string::npos);
}

TEST(MainFirstShow, MissingHostStartsTheCloseButTheStepsGoOn)
{
    TFixture f;
    f.Main->Create();
    f.Main->Steps().SeedTargetList = [] { return false; };
    int closes = 0;
    f.Main->OnCloseRequested = [&] { ++closes; };
    f.Main->FirstShow();
    EXPECT_TRUE(f.Main->HostMissing());
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(f.Main->Shared().Cancel);
    EXPECT_NE(f.Log().find("initialized in server mode."), std::string::npos);
}

TEST(MainFirstShow, StaleUnderlaysRemovedOnlyWhenAskedAndPresent)
{
    TFixture f("[User]\r\nRemoveStale=1\r\n");
    std::vector<std::string> removed;
    f.Main->Steps().DeleteStaleImages = [&](const std::string& p) { removed.push_back(p); };
    f.Main->Steps().HostDiscovery = [&] {
        f.Main->Shared().QuorUnderlayPath = f.Home.Path() + "u/";
        f.Main->Shared().UnderlayName = "LOT_N0R_0.bmp";
    };
    f.Home.Write("u/lot_n0r_0.BMP", "x");  // names match ignoring case
    f.Main->Create();
    f.Main->FirstShow();
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0], f.Home.Path() + "u/LOT_N0R_0.bmp");

    TFixture g("[User]\r\nRemoveStale=0\r\n");
    g.Main->Steps().DeleteStaleImages = [&](const std::string& p) { removed.push_back(p); };
    g.Main->Create();
    g.Main->FirstShow();
    EXPECT_EQ(removed.size(), 1u);
}

TEST(MainClose, ClosingSavesSettingsAndLogsShutdownOnce)
{
    TFixture f;
    f.Main->Create();
    f.Main->FirstShow();
    f.Main->Shared().List.Add("a\tb", TRadarObj::Create(f.Clock));
    EXPECT_TRUE(f.Main->CloseQuery());
    f.Main->Closing();
    f.Main->Closing();
    EXPECT_TRUE(f.Main->Shared().List.Empty());
    EXPECT_FALSE(f.Main->Shared().Process.Enabled());
    EXPECT_FALSE(f.Main->Shared().MinTimer.Enabled());
    TIniFile ini(f.Home.Path() + "stormfetch.ini");
    EXPECT_EQ(ini.Ini().ReadString("User", "Version", ""), "Stormfetch 2.9.1");
    std::string log = f.Log();
    auto at = log.find("Stormfetch 2.9.1 Shut down while in server mode. Mem load=");
    EXPECT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find("Shut down", at + 30), std::string::npos) << log;
    EXPECT_EQ(f.Calls.back(), "free");
}

TEST(MainClose, RunningCycleGetsAbortsAndTheTwoWaits)
{
    TFixture f;
    f.Clock.AutoStep = 0.5 * kOneSecond;  // each reading moves the clock: the waits end quickly
    f.Main->Create();
    int aborts = 0;
    f.Main->Steps().FetchBusy = [] { return true; };
    f.Main->Steps().AbortFetch = [&] { ++aborts; };
    f.Main->Shared().Process.SetEnabled(false);  // a cycle that never reacts
    TDateTime before = f.Clock.LocalNow();
    EXPECT_TRUE(f.Main->CloseQuery());
    TDateTime waited = (f.Clock.LocalNow() - before) / kOneSecond;
    EXPECT_EQ(aborts, 3);
    EXPECT_TRUE(f.Main->Shared().Process.Enabled());
    EXPECT_TRUE(f.Main->Shared().Cancel);
    EXPECT_TRUE(f.Main->Shared().TimedOut);
    EXPECT_GE(waited, 8.0);
    EXPECT_LT(waited, 12.0);
}

TEST(MainClose, RequestCloseSetsFlagsAtOnceAndNotifiesOnce)
{
    TFixture f;
    int notified = 0, aborts = 0;
    f.Main->OnCloseRequested = [&] { ++notified; };
    f.Main->Steps().FetchBusy = [] { return true; };
    f.Main->Steps().AbortFetch = [&] { ++aborts; };
    f.Main->Shared().Hooks.Close();
    f.Main->RequestClose();
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(aborts, 2);
    EXPECT_TRUE(f.Main->Shared().Cancel && f.Main->Shared().TimedOut && f.Main->CloseRequested());
}

TEST(MainMisc, TrayTipShowsAtMost63Characters)
{
    TFixture f;
    f.Main->Shared().TrayTip = std::string(70, 'x');
    f.Main->Shared().Hooks.SetTrayTip();
    EXPECT_EQ(f.Main->TrayTipShown(), std::string(63, 'x'));
    EXPECT_EQ(TrayTipText("short"), "short");
}

TEST(MainMisc, ModeSwitchToClientAndBack)
{
    TFixture f;
    f.Main->Create();
    f.Main->ModeGrpClick(1);
    EXPECT_EQ(f.Main->Shared().WindowCaption.Caption(), "Stormfetch 2.9.1 Client mode");
    EXPECT_EQ(TIniFile(f.Home.Path() + "stormfetch.ini").Ini().ReadInteger("User", "Mode", 0), 1);
    f.Main->ModeGrpClick(0);
    EXPECT_EQ(f.Main->Shared().DownloadBtn.Caption(), "Download");
    EXPECT_NE(f.Log().find("Stormfetch 2.9.1 in client mode"), std::string::npos);
}

TEST(MainMisc, ShpTimerRunsItsHook)
{
    TFixture f;
    int runs = 0;
    f.Main->ShpTimerHook = [&] { ++runs; };
    f.Main->Shared().Shp.Fire();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(f.Main->Shared().Shp.Interval(), 61000);
    EXPECT_EQ(f.Main->Shared().Process.Interval(), 10000);
    EXPECT_EQ(f.Main->Shared().MinTimer.Interval(), 60000);
    EXPECT_EQ(f.Main->Shared().Timer1.Interval(), 1000);
}

TEST(MainFirstShow, IemLayoutIsNamedInTheLogEvenInANewLogFile)
{
    TFixture f("[User]\r\nLogErrors=1\r\n[URL]\r\nLayout=iem\r\nIEM=https://mirror.example/\r\n");
    DeleteFile(f.Home.Path() + "R20261207ErrorLog.txt"); // a new file's first line swallows the start line
    f.Main->Create();
    f.Main->FirstShow();
    EXPECT_NE(f.Log().find("Source layout iem at https://mirror.example/."), std::string::npos) << f.Log();

    TFixture ridge;
    ridge.Main->Create();
    ridge.Main->FirstShow();
    EXPECT_EQ(ridge.Log().find("Source layout"), std::string::npos);
}
