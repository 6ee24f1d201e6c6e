// The warning shapefile run against the loopback test server.
#include "core/Files.h"
#include "net/Fetch.h"
#include "support/HttpTestServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "warnings/ShpDownload.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <unistd.h>

namespace sf {
namespace {

std::string Bytes(size_t n, char c = 'x') { return std::string(n, c); }

class ShpDownloadTest : public ::testing::Test {
protected:
    ShpDownloadTest() : clock(45000.5), s(clock, dialogs), web(s), shp(s, web)
    {
        s.ProgramDir = dir.Path();
        s.RidgeTimer.SetInterval(1000); // WebTimeOut 1 s keeps the stall case short
        s.ShpURLEd.SetCaption(server.Url("/shp/"));
        s.TargetED.SetCaption(dir.Path() + "ShpFiles/");
        ForceDirectories(dir.Path() + "ShpFiles/");
        s.Hooks.RedrawMap = [this] { ++redraws; };
        server.OnRequest = [this](const std::string& head) {
            auto lines = test::RequestLines(head);
            if (!lines.empty())
                targets.push_back(lines[0]);
        };
    }
    void ServeSet(const std::array<const char*, 3>& names, size_t dbfSize)
    {
        server.ServeFile(std::string("/shp/") + names[0], Bytes(500, 's'));
        server.ServeFile(std::string("/shp/") + names[1], Bytes(120, 'i'));
        server.ServeFile(std::string("/shp/") + names[2], Bytes(dbfSize, 'd'));
    }

    test::TTempDir dir;
    test::THttpTestServer server;
    test::TScriptedDialogs dialogs;
    TFakeClock clock;
    TShared s;
    TWebFetch web;
    TShpDownload shp;
    int redraws = 0;
    std::vector<std::string> targets;
};

TEST_F(ShpDownloadTest, OnlySevereFetchesItsThreeFilesInOrderUnderTheirOwnNames)
{
    ServeSet({"Svr.shp", "svr.shx", "Svr.dbf"}, 300);
    s.SVRChk.Checked = true;
    shp.ShpDownloadBtnClick();

    ASSERT_EQ(targets.size(), 3u);
    EXPECT_EQ(targets[0], "GET /shp/Svr.shp HTTP/1.0");
    EXPECT_EQ(targets[1], "GET /shp/svr.shx HTTP/1.0");
    EXPECT_EQ(targets[2], "GET /shp/Svr.dbf HTTP/1.0");
    for (const char* name : {"Svr.shp", "svr.shx", "Svr.dbf"})
        EXPECT_TRUE(std::filesystem::exists(dir.Path() + "ShpFiles/" + name)) << name;
    EXPECT_EQ(s.SVRChk.Caption(), "Severe 300 bytes @ " + FormatDateTime("hh:nn", clock.LocalNow()));
    EXPECT_EQ(s.TorChk.Caption(), "Tornado");
    EXPECT_EQ(s.ShpLbl.Caption(), "3 Files downloaded/920 bytes in 00:00");
    EXPECT_EQ(redraws, 1);
    EXPECT_TRUE(s.ShpDownloadBtn.Enabled);
    EXPECT_TRUE(s.Shp.Enabled());
}

TEST_F(ShpDownloadTest, DbfOfNinetyBytesCountsButReadsDbfErrorAndEightyNineFails)
{
    ServeSet({"Svr.shp", "svr.shx", "Svr.dbf"}, 90);
    s.SVRChk.Checked = true;
    shp.ShpDownloadBtnClick();
    EXPECT_EQ(s.SVRChk.Caption(), "Severe dbf error");
    EXPECT_EQ(s.ShpLbl.Caption(), "3 Files downloaded/710 bytes in 00:00");

    ServeSet({"Svr.shp", "svr.shx", "Svr.dbf"}, 89);
    shp.ShpDownloadBtnClick();
    EXPECT_EQ(s.SVRChk.Caption(), "Severe dbf error");
    EXPECT_EQ(s.ShpLbl.Caption(), "2 Files downloaded/620 bytes in 00:00");
}

TEST_F(ShpDownloadTest, StalledFileEndsAfterTheTimeOutAndTheRunGoesOn)
{
    server.ServeFile("/shp/tor.shp", Bytes(400));
    server.Script("/shp/tor.shx", {test::TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + Bytes(100)),
                                   test::TStep::Hang()});
    server.ServeFile("/shp/tor.dbf", Bytes(200));
    s.TorChk.Checked = true;
    shp.ShpDownloadBtnClick();

    ASSERT_EQ(targets.size(), 3u);
    EXPECT_EQ(s.TorChk.Caption(), "Tornado 200 bytes @ " + FormatDateTime("hh:nn", clock.LocalNow()));
    EXPECT_EQ(s.ShpLbl.Caption(), "2 Files downloaded/600 bytes in 00:00");
}

TEST_F(ShpDownloadTest, AFailedFileLeavesThePreviousOneAndNoPartOfItself)
{
    const std::string d = dir.Path() + "ShpFiles/";
    test::TTempDir other;
    // The previous run's files; this run's .shx stalls half-way and its .dbf is cut short.
    for (const char* name : {"tor.shp", "tor.shx", "tor.dbf"})
        other.Write(name, std::string("previous ") + name + std::string(200, '.'));
    for (const char* name : {"tor.shp", "tor.shx", "tor.dbf"})
        std::filesystem::copy_file(other.Path() + name, d + name);
    server.ServeFile("/shp/tor.shp", Bytes(400));
    server.Script("/shp/tor.shx", {test::TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n" + Bytes(100)),
                                   test::TStep::Hang()});
    server.Script("/shp/tor.dbf", {test::TStep::Out("HTTP/1.0 200 OK\r\nContent-Length: 500\r\n\r\n" + Bytes(300))});
    s.TorChk.Checked = true;
    shp.ShpDownloadBtnClick();

    EXPECT_EQ(dir.Read("ShpFiles/tor.shp"), Bytes(400));
    EXPECT_EQ(dir.Read("ShpFiles/tor.shx"), other.Read("tor.shx"));
    EXPECT_EQ(dir.Read("ShpFiles/tor.dbf"), other.Read("tor.dbf"));
    // The kept .dbf is not this run's: the result says the run failed.
    EXPECT_EQ(s.TorChk.Caption(), "Tornado dbf error");
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(d))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"tor.dbf", "tor.shp", "tor.shx"}));
}

TEST_F(ShpDownloadTest, TargetWithoutSlashGetsOneAndEmptyTargetWritesToTheCurrentFolder)
{
    ServeSet({"smw.shp", "smw.shx", "smw.dbf"}, 150);
    s.SMWChk.Checked = true;
    s.TargetED.SetCaption("  " + dir.Path() + "ShpFiles ");
    shp.ShpDownloadBtnClick();
    EXPECT_EQ(s.TargetED.Caption(), dir.Path() + "ShpFiles/");
    EXPECT_TRUE(std::filesystem::exists(dir.Path() + "ShpFiles/smw.dbf"));

    test::TTempDir cwd;
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(cwd.Path());
    s.TargetED.SetCaption("");
    shp.ShpDownloadBtnClick();
    std::filesystem::current_path(old);
    EXPECT_EQ(s.TargetED.Caption(), "");
    EXPECT_TRUE(std::filesystem::exists(cwd.Path() + "smw.shp"));
    EXPECT_TRUE(std::filesystem::exists(cwd.Path() + "smw.dbf"));
}

TEST_F(ShpDownloadTest, UnmappedWindowsFolderIsReportedOnceAndNothingIsFetched)
{
    ServeSet({"Svr.shp", "svr.shx", "Svr.dbf"}, 150);
    s.SVRChk.Checked = true;
    s.Logerrors1.Checked = true;
    s.TargetED.SetCaption("Q:\\Nowhere\\ShpFiles\\");
    shp.ShpDownloadBtnClick();
    shp.ShpDownloadBtnClick();
    EXPECT_TRUE(targets.empty());
    EXPECT_EQ(s.TargetED.Caption(), "Q:\\Nowhere\\ShpFiles\\");
    EXPECT_EQ(s.Sbar.Panel(0), "Shp file folder Q:\\Nowhere\\ShpFiles\\ cannot be reached on this machine");
    EXPECT_EQ(redraws, 2); // the closing redraw still runs
    std::string log;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        if (e.path().filename().string().find("ErrorLog") != std::string::npos)
            log = dir.Read(e.path().filename().string());
    const std::string line = "cannot be reached on this machine";
    ASSERT_NE(log.find(line), std::string::npos);
    EXPECT_EQ(log.find(line, log.find(line) + 1), std::string::npos);
    // A folder ending in either separator gets none appended.
    s.TargetED.SetCaption("Q:/Nowhere/");
    shp.ShpDownloadBtnClick();
    EXPECT_EQ(s.TargetED.Caption(), "Q:/Nowhere/");
    EXPECT_TRUE(targets.empty());
}

TEST_F(ShpDownloadTest, NoTypeSelectedStillReportsAndRedraws)
{
    shp.ShpDownloadBtnClick();
    EXPECT_TRUE(targets.empty());
    EXPECT_EQ(s.ShpLbl.Caption(), "0 Files downloaded/0 bytes in 00:00");
    EXPECT_EQ(redraws, 1);
}

TEST_F(ShpDownloadTest, RunLengthDropsWholeHours)
{
    ServeSet({"FFW.shp", "FFW.shx", "FFW.dbf"}, 100);
    s.FFWChk.Checked = true;
    bool stepped = false;
    server.OnRequest = [&](const std::string&) {
        if (!stepped)
            clock.Step(1.0 / 24 + 2.0 / 1440 + 5.0 / 86400);
        stepped = true;
    };
    shp.ShpDownloadBtnClick();
    EXPECT_EQ(s.ShpLbl.Caption(), "3 Files downloaded/720 bytes in 02:05");
    EXPECT_EQ(ShpSummaryText(0, 0, -0.5), "0 Files downloaded/0 bytes in 00:00");
}

TEST_F(ShpDownloadTest, ClockSetBackDuringTheRunShowsNoTime)
{
    ServeSet({"FFW.shp", "FFW.shx", "FFW.dbf"}, 100);
    s.FFWChk.Checked = true;
    bool stepped = false;
    server.OnRequest = [&](const std::string&) {
        if (!stepped)
            clock.Step(-30.0 / 86400); // the system clock corrected back by half a minute
        stepped = true;
    };
    shp.ShpDownloadBtnClick();
    EXPECT_EQ(s.ShpLbl.Caption(), "3 Files downloaded/720 bytes in 00:00");
    EXPECT_EQ(ShpSummaryText(1, 2, -30.0 / 86400), "1 Files downloaded/2 bytes in 00:00");
}

TEST_F(ShpDownloadTest, TransferTimeOutFollowsTheRadarTimeOut)
{
    // The fixture's radar time-out is 1 s; the shapefile timer starts at its own 7 s.
    ServeSet({"tor.shp", "tor.shx", "tor.dbf"}, 100);
    s.TorChk.Checked = true;
    std::vector<int> intervals;
    std::vector<bool> running;
    server.OnRequest = [&](const std::string&) {
        intervals.push_back(web.ShpTimer().Interval());
        running.push_back(web.ShpTimer().Enabled());
    };
    shp.ShpDownloadBtnClick();
    ASSERT_EQ(intervals.size(), 3u);
    for (size_t i = 0; i < intervals.size(); ++i) {
        EXPECT_EQ(intervals[i], s.RidgeTimer.Interval()) << "file " << i;
        EXPECT_TRUE(running[i]) << "file " << i;
    }
    EXPECT_FALSE(web.ShpTimer().Enabled()); // stopped after the run
}

TEST_F(ShpDownloadTest, TimerSkipsWhileARunIsGoingOnAndFetchBusySkipsFiles)
{
    ServeSet({"tor.shp", "tor.shx", "tor.dbf"}, 100);
    s.TorChk.Checked = true;
    s.ShpDownloadBtn.Enabled = false;
    shp.ShpTimer();
    EXPECT_TRUE(targets.empty());
    EXPECT_EQ(redraws, 0);

    s.ShpDownloadBtn.Enabled = true;
    s.FetchBusy = true; // a radar fetch is pumping messages
    shp.ShpTimer();
    EXPECT_TRUE(targets.empty());
    EXPECT_EQ(s.TorChk.Caption(), "Tornado"); // the .dbf result is left unchanged
    EXPECT_EQ(redraws, 1);
    s.FetchBusy = false;
    shp.ShpTimer();
    EXPECT_EQ(targets.size(), 3u);
}

TEST_F(ShpDownloadTest, BrowseSetsTheFolderWithSlashAndSavesCancelChangesNothing)
{
    s.QuorServerPath = dir.Path() + "Quor/";
    int saves = 0;
    s.Hooks.SaveSettings = [&] { ++saves; };
    const std::string before = s.TargetED.Caption();
    dialogs.Folders.push_back(std::nullopt);
    shp.BrowseBtnClick();
    EXPECT_EQ(s.TargetED.Caption(), before);
    EXPECT_EQ(saves, 0);
    ASSERT_EQ(dialogs.Calls.size(), 1u);
    EXPECT_EQ(dialogs.Calls[0], "browse: Stormfetch Shp File Target Directory @ " + dir.Path() + "Quor/");

    dialogs.Folders.push_back(dir.Path() + "Elsewhere");
    shp.BrowseBtnClick();
    EXPECT_EQ(s.TargetED.Caption(), dir.Path() + "Elsewhere/");
    EXPECT_EQ(saves, 1);
}

} // namespace
} // namespace sf

namespace sf {
namespace {

TEST_F(ShpDownloadTest, CloseRequestEndsTheRunAfterTheCurrentFile)
{
    ServeSet({"tor.shp", "tor.shx", "tor.dbf"}, 100);
    s.TorChk.Checked = true;
    server.OnRequest = [this](const std::string&) { s.Cancel = true; };
    shp.ShpDownloadBtnClick();
    EXPECT_EQ(server.Requests.size(), 1u);
    EXPECT_EQ(s.TorChk.Caption(), "Tornado"); // the .dbf never came, its result is untouched
    EXPECT_EQ(redraws, 1);                    // the closing steps still ran
    EXPECT_TRUE(s.ShpDownloadBtn.Enabled);
}

} // namespace
} // namespace sf
