#include "app/Main.h"
#include "core/Files.h"
#include "core/IniFile.h"
#include "core/ListFile.h"
#include "host/TargetDirs.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "core/SourceLayout.h"
#include "core/Settings.h"
#include <gtest/gtest.h>
#include <filesystem>
#include <sstream>
#include <stdexcept>

using namespace sf;

namespace {

struct TFixture {
    TFakeClock Clock{EncodeDateTime({2026, 12, 7, 21, 5, 0, 0})};
    test::TScriptedDialogs Dialogs;
    test::TTempDir Home;
    std::ostringstream Err;
    std::vector<std::string> Calls;
    std::unique_ptr<TMain> Main;

    explicit TFixture(const std::string& ini = "[User]\r\nLogErrors=1\r\n")
    {
        Home.Write("stormfetch.ini", ini);
        // Today's log exists, so every line is written (a new file starts with its mode line).
        Home.Write("R20261207ErrorLog.txt", "21:00:00 earlier\r\n");
        Main = std::make_unique<TMain>(Clock, Dialogs, TMainOptions{Home.Path(), Home.Path() + "pfx/", true, &Err});
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
    ASSERT_FALSE(f.Calls.empty());
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
    ASSERT_FALSE(f.Calls.empty());
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

TEST(MainLogPruning, OldLogsGoAtFirstShowAndAfterMidnight)
{
    TFixture f("[User]\r\nLogErrors=1\r\nKeepLogDays=3\r\n");
    f.Home.Write("R20261203ErrorLog.txt", "old\r\n");
    f.Home.Write("R20261204ErrorLog.txt", "kept until the 8th\r\n");
    f.Main->Wire();
    auto& st = f.Main->Steps();
    st.HostDiscovery = [] {};
    st.LoadDownloadList = [] {};
    st.LoadTargetList = [] {};
    st.ConnectUiView = [] {};
    st.SeedTargetList = [] { return true; };
    ASSERT_TRUE(f.Main->Create());
    f.Main->FirstShow();
    EXPECT_FALSE(FileExists(f.Home.Path() + "R20261203ErrorLog.txt"));
    EXPECT_TRUE(FileExists(f.Home.Path() + "R20261204ErrorLog.txt"));
    EXPECT_TRUE(FileExists(f.Home.Path() + "R20261207ErrorLog.txt"));

    // The minute timer after midnight (8 December) finds the 4th stale.
    f.Clock.Step(3.0 / 24.0);
    f.Main->Shared().MinTimer.Fire();
    EXPECT_FALSE(FileExists(f.Home.Path() + "R20261204ErrorLog.txt"));
    EXPECT_TRUE(FileExists(f.Home.Path() + "R20261207ErrorLog.txt"));
    f.Main->Closing();
}

// --- the files the user keeps ----------------------------------------------------------------

namespace {

// Puts a link to nowhere in place of a file: it exists but cannot be read (a drive not mounted).
std::string MakeUnreadable(const TFixture& f, const std::string& name)
{
    const std::string path = f.Home.Path() + name;
    std::filesystem::remove(path);
    std::filesystem::create_symlink(f.Home.Path() + "unmounted/" + name, path);
    return path;
}

} // namespace

TEST(MainStoredFiles, UnreadableSettingsAreShownAndKeptThroughTheClose)
{
    TFixture f;
    const std::string path = MakeUnreadable(f, "stormfetch.ini");
    EXPECT_FALSE(f.Main->Create());
    const std::string said = "Cannot read " + path + ": it is a link to a missing file";
    ASSERT_EQ(f.Dialogs.Errors, std::vector<std::string>{said});
    EXPECT_EQ(f.Main->Shared().Sbar.Panel(0), said);
    EXPECT_EQ(f.Main->Shared().Sbar.Panel(1), "ERROR");
    EXPECT_EQ(f.Calls.back(), "host:" + f.Home.Path() + ":mode0"); // the later steps were skipped
    EXPECT_EQ(f.Main->Shared().RadarCmb.Caption(), "IL,Chicago,LOT"); // defaults to run on

    f.Main->Closing();
    EXPECT_TRUE(std::filesystem::is_symlink(path)); // never written over
    EXPECT_EQ(f.Dialogs.Errors.size(), 1u);
    EXPECT_EQ(f.Dialogs.Beeps, 1);
    EXPECT_NE(f.Err.str().find("Unable to write to " + path), std::string::npos) << f.Err.str();
}

TEST(MainStoredFiles, FilesOfSkippedStepsAreNotWrittenOver)
{
    TFixture f;
    f.Home.Write("DownLoadList.txt", "IL,Chicago,LOT\tShort Range Reflectivity, N0R\r\n");
    f.Home.Write("TargetDirList.txt", "/lan/radar/\r\n");
    f.Main->Steps().LoadSourceLists = [] { throw std::runtime_error("Cannot read Radars.txt"); };
    EXPECT_FALSE(f.Main->Create());
    TShared& s = f.Main->Shared();
    EXPECT_TRUE(s.Stored.ListHeld);
    EXPECT_TRUE(s.Stored.TargetsHeld);
    EXPECT_FALSE(s.Stored.SettingsHeld); // its step ran before the failure
    s.List.Add("WI,Green Bay,GRB\tShort Range Reflectivity, N0R", TRadarObj::Create(f.Clock));
    EXPECT_FALSE(SaveList(s));
    s.TargetCmb.Items = {f.Home.Path()};
    EXPECT_FALSE(SaveTargetList(s));
    EXPECT_EQ(f.Home.Read("DownLoadList.txt"), "IL,Chicago,LOT\tShort Range Reflectivity, N0R\r\n");
    EXPECT_EQ(f.Home.Read("TargetDirList.txt"), "/lan/radar/\r\n");
}

TEST(MainClose, SettingsWriteFailureAtCloseBeepsLogsAndPrintsWithoutABox)
{
    TFixture f;
    ASSERT_TRUE(f.Main->Create());
    const std::string path = MakeUnreadable(f, "stormfetch.ini");
    f.Main->Closing();
    EXPECT_TRUE(f.Dialogs.Errors.empty());
    EXPECT_EQ(f.Dialogs.Beeps, 1);
    const std::string what = "Unable to write to " + path + ": it is a link to a missing file";
    EXPECT_EQ(f.Err.str(), "stormfetch: error while closing: " + what + "\n");
    EXPECT_NE(f.Log().find("Error while closing: " + what), std::string::npos) << f.Log();
    EXPECT_EQ(f.Log().find("Shut down while"), std::string::npos); // the remaining steps were skipped
}

TEST(MainFirstShow, StaleTempFilesGoBeforeTheStaleUnderlays)
{
    TFixture f("[User]\r\nRemoveStale=1\r\n");
    f.Main->Steps().HostDiscovery = [&] {
        f.Main->Shared().QuorUnderlayPath = f.Home.Path() + "u/";
        f.Main->Shared().UnderlayName = "LOT_N0R_0.bmp";
    };
    f.Home.Write("u/LOT_N0R_0.bmp", "x");
    f.Main->Steps().RecoverLoop = [&] { f.Calls.push_back("recover"); };
    f.Main->Steps().RemoveStaleTempFiles = [&] { f.Calls.push_back("temps"); };
    f.Main->Steps().DeleteStaleImages = [&](const std::string&) { f.Calls.push_back("stale"); };
    f.Main->Create();
    f.Calls.clear();
    f.Main->FirstShow();
    // An interrupted loop is undone before any temporary file or stale underlay goes.
    EXPECT_EQ(f.Calls, (std::vector<std::string>{"recover", "temps", "stale"}));
    f.Main->FirstShow();
    EXPECT_EQ(f.Calls.size(), 3u); // only at the first show
}

TEST(MainFirstShow, LoopRecoveryRunsAfterDiscoveryAndBeforeTheStaleUnderlaysGo)
{
    TFixture f("[User]\r\nRemoveStale=1\r\n");
    f.Main->Steps().RecoverLoop = [&] { f.Calls.push_back("recover"); };
    f.Main->Steps().DeleteStaleImages = [&](const std::string&) { f.Calls.push_back("stale"); };
    f.Main->Steps().HostDiscovery = [&] {
        f.Calls.push_back("host");
        f.Main->Shared().QuorUnderlayPath = f.Home.Path() + "u/";
        f.Main->Shared().UnderlayName = "LOT_N0R_0.bmp";
    };
    f.Home.Write("u/LOT_N0R_0.bmp", "x");
    f.Main->Create();
    f.Main->FirstShow();
    const std::vector<std::string> want = {"tray", "host", "recover", "sources:mode0", "list", "targets",
                                           "images", "connect", "recover", "stale"};
    EXPECT_EQ(f.Calls, want);
}

TEST(MainFirstShow, AShiftCutShortIsFinishedWithTheNewestImageAsTheUnderlay)
{
    TFixture f;
    f.Main->Wire(); // the real recovery step
    auto& st = f.Main->Steps();
    st.HostDiscovery = [&] { f.Main->Shared().QuorUnderlayPath = f.Home.Path() + "u/"; };
    st.LoadDownloadList = [] {};
    st.LoadTargetList = [] {};
    st.ConnectUiView = [] {};
    st.SeedTargetList = [] { return true; };
    // Killed after the first of two images was parked.
    f.Home.Write("u/.stormfetch-shift", "phase=1\nunderlay=LOT_N0R_0.bmp\nbounds=LOT_N0R_0.Sat\n"
                                        "park=LOT_N0R_0.bmp/LOT_N0R_01.tmp\npark=LOT_N0R_01.bmp/LOT_N0R_02.tmp\n"
                                        "name=LOT_N0R_01.tmp/LOT_N0R_01.bmp\nname=LOT_N0R_02.tmp/LOT_N0R_02.bmp\n");
    f.Home.Write("u/LOT_N0R_01.tmp", "newest");
    f.Home.Write("u/LOT_N0R_01.bmp", "older");
    ASSERT_TRUE(f.Main->Create());
    f.Main->FirstShow();
    EXPECT_EQ(f.Home.Read("u/LOT_N0R_0.bmp"), "newest");
    EXPECT_EQ(f.Home.Read("u/LOT_N0R_02.bmp"), "older");
    EXPECT_FALSE(FileExists(f.Home.Path() + "u/LOT_N0R_01.bmp"));
    EXPECT_FALSE(FileExists(f.Home.Path() + "u/LOT_N0R_01.tmp"));
    EXPECT_FALSE(FileExists(f.Home.Path() + "u/.stormfetch-shift"));
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
    // The default layout is named as well, and on the official host with its retirement.
    EXPECT_NE(ridge.Log().find("Source layout ridge at " + std::string(kDefaultRidgeBase) + ". " + RetiredRidgeHint()),
              std::string::npos) << ridge.Log();
}
