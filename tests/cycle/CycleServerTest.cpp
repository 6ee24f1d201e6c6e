// Server mode, site records: newness from the archive listing, the fetches, the
// conversion hand-over, the summary and the times the cycle sets.
#include "CycleFixture.h"

namespace sf::test {
namespace {

class CycleServer : public CycleFixture {
protected:
    const std::string Listing = std::string(kBase) + "N0R/LOT/";
    const std::string Legend = "http://127.0.0.1:8089/ridge/Legend/N0R/LOT_N0R_Legend_0.gif";
    const std::string WorldUrl = std::string(kBase) + "N0R/LOT_N0R_0.gfw";
    const std::string ImageUrl = std::string(kBase) + "N0R/LOT_N0R_0.gif";
};

TEST_F(CycleServer, NewSiteImageIsFetchedConvertedAndCleanedUp)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    const TDateTime oldImage = r.LastImage;
    ServeSite("LOT", {"LOT_20100510_1409_N0R", "LOT_20100510_1419_N0R", "LOT_20100510_1414_N0R"});
    S.SelectRidge = 1;
    RunCycle();

    ASSERT_EQ((std::vector<std::string>{Listing, Legend, WorldUrl, ImageUrl}), Requests);
    EXPECT_EQ("Processed LOT_N0R_0", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 19), r.LastImage, "LastImage");
    ExpectTime(oldImage, r.PrevImage, "PrevImage");
    ExpectTime(At(2010, 5, 10, 14, 24), r.NextAttempt, "NextAttempt");
    ExpectTime(At(2010, 5, 10, 14, 21), r.LastAttempt, "LastAttempt");
    EXPECT_EQ(1, r.SourceIndex);
    EXPECT_FALSE(r.Bounds.empty());
    EXPECT_EQ("LOT_N0R_Legend_0.gif", r.LegendName);
    EXPECT_EQ(S.ProgramDir + "LOT_N0R_0.bmp", Converted.at(0));

    EXPECT_TRUE(InUnderlays("lot_n0r_0.bmp"));
    EXPECT_TRUE(InUnderlays("lot_n0r_0.Sat"));
    for (auto* raw : {"LOT_N0R_0.gif", "LOT_N0R_0.gfw", "LOT_N0R_Legend_0.gif", "LOT_N0R_0.htm"})
        EXPECT_FALSE(InProg(raw)) << raw;

    EXPECT_EQ("Downloaded 2 and processed 1 files in 0.000 sec at 14:21:00", S.FileLbl.Caption());
    EXPECT_EQ("Finished processing LOT_N0R_0 14:21:00", S.RidgeLbl.Caption());
    EXPECT_EQ("Download files complete", S.Sbar.Panel(0));
    EXPECT_EQ("Processing", S.Sbar.Panel(1));
    EXPECT_EQ(1, Saves);
    EXPECT_EQ(1, GridBuilds);
}

TEST_F(CycleServer, NewImageFoundLateIsRetriedOneMinuteOnPlusJitter)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Clock.Set(At(2010, 5, 10, 14, 30, 37)); // seconds 37 -> jitter 3 s
    RunCycle();
    ExpectTime(At(2010, 5, 10, 14, 31, 40), r.NextAttempt);
}

TEST_F(CycleServer, JitterUsesSecondsUpToTenAndTensAbove)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Clock.Set(At(2010, 5, 10, 14, 21, 10));
    RunCycle();
    ExpectTime(At(2010, 5, 10, 14, 24, 10), r.NextAttempt, "S = 10 stays 10");
    Clock.Set(At(2010, 5, 10, 14, 24, 11));
    RunCycle(); // not new: now + 1 min + 1 s
    ExpectTime(At(2010, 5, 10, 14, 25, 12), r.NextAttempt, "S = 11 gives 1");
}

TEST_F(CycleServer, SameImageAgainWaitsWithOldFileTime)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    RunCycle();
    Clock.Set(At(2010, 5, 10, 14, 24, 5));
    RunCycle();
    EXPECT_EQ("Waiting for new LOT_N0R_0 file, old file =05/10 14:19", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 25, 10), r.NextAttempt);
    EXPECT_EQ(1, Fetched(WorldUrl));
    EXPECT_EQ(1, Fetched(ImageUrl));
    EXPECT_FALSE(InProg("LOT_N0R_0.htm"));
    EXPECT_EQ("Downloaded 0 and processed 0 files in 0.000 sec at 14:24:05", S.FileLbl.Caption());
    EXPECT_EQ("No files processed 14:24:05", S.RidgeLbl.Caption());
}

TEST_F(CycleServer, OldFileTimeIsShownInLocalTime)
{
    Clock.SetOffset(2.0 / 24);
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    r.LastImage = At(2010, 5, 10, 14, 19);
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    RunCycle();
    EXPECT_EQ("Waiting for new LOT_N0R_0 file, old file =05/10 16:19", r.Status);
    EXPECT_EQ("No files processed 16:21:00", S.RidgeLbl.Caption());
}

TEST_F(CycleServer, AnImageOlderThanOneHundredDaysIsNeverNew)
{
    // About 190 days old, yet later than the record's last image 300 days ago.
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    r.LastImage = Clock.UTCNow() - 300;
    ServeSite("LOT", {"LOT_20091101_1200_N0R"});
    RunCycle();
    EXPECT_EQ(0, Fetched(WorldUrl));
    EXPECT_EQ(0, Fetched(ImageUrl));
    EXPECT_TRUE(StartsWith(r.Status, "Waiting for new LOT_N0R_0 file")) << r.Status;
    // The same record with an image 90 days old does fetch it.
    r.NextAttempt = Clock.UTCNow() - kOneMinute;
    ServeSite("LOT", {"LOT_20100209_1200_N0R"});
    RunCycle();
    EXPECT_EQ(1, Fetched(ImageUrl));
    ExpectTime(At(2010, 2, 9, 12, 0), r.LastImage);
}

TEST_F(CycleServer, UndatedNewestNameIsNeverNew)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_latest"});
    RunCycle();
    EXPECT_EQ(0, Fetched(WorldUrl));
    EXPECT_TRUE(StartsWith(r.Status, "Waiting for new LOT_N0R_0 file, old file =01/30")) << r.Status;
}

TEST_F(CycleServer, LegendIsSkippedWhenNotWantedAndItsFailureIsIgnored)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Web.erase(Legend); // 404 for the legend
    RunCycle();
    EXPECT_EQ(1, Fetched(Legend));
    EXPECT_EQ("Processed LOT_N0R_0", r.Status);
    EXPECT_FALSE(InProg("LOT_N0R_Legend_0.gif"));

    S.LegendChk.Checked = false;
    Web[Listing] = {200, ListingPage({"LOT_20100510_1424_N0R"})};
    Clock.Set(At(2010, 5, 10, 14, 26));
    RunCycle();
    EXPECT_EQ(1, Fetched(Legend));
    EXPECT_EQ("Processed LOT_N0R_0", r.Status);
}

TEST_F(CycleServer, MissingLegendLeavesNoErrorStatusBehind)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Web.erase(Legend);
    Web[WorldUrl] = {200, ""};
    RunCycle();
    EXPECT_EQ("Error World File not downloaded", r.Status);
}

TEST_F(CycleServer, MissingLegendDoesNotHoldBackTheSourceAdvance)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Web.erase(Legend);
    Web[WorldUrl] = {200, "<html>no such file</html>\r\n"};
    RunCycle();
    EXPECT_EQ("Error World File empty", r.Status);
    EXPECT_EQ(1, S.SelectRidge);
}

TEST_F(CycleServer, RecordDeletedDuringTheCycleLeavesTheOthersUntouched)
{
    AddRecord("IL,Chicago,LOT");
    TRadarObj& mkx = AddRecord("WI,Milwaukee,MKX");
    mkx.NextAttempt = Clock.UTCNow() + 5 * kOneMinute;
    mkx.Status = "OK";
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    OnFetch = [this](const std::string& url) {
        if (url == WorldUrl)
            S.List.Delete(0); // the user deletes the record being fetched
    };
    RunCycle();
    ASSERT_EQ(1, S.List.Count());
    EXPECT_EQ(&mkx, &S.List[0]);
    EXPECT_EQ("MKX_N0R_0", mkx.RemoteName);
    EXPECT_EQ("WI,Milwaukee,MKX", mkx.Radar);
    EXPECT_EQ("OK", mkx.Status);
    EXPECT_EQ(1, Saves);
}

TEST_F(CycleServer, DisabledNotDueAndInvalidRecordsAreSkipped)
{
    TRadarObj& a = AddRecord("IL,Chicago,LOT");
    a.Enabled = false;
    TRadarObj& b = AddRecord("WI,Milwaukee,MKX");
    b.NextAttempt = Clock.UTCNow() + kOneMinute;
    TRadarObj& c = AddRecord("IA,Des Moines,DMX");
    c.Status = "Error invalid name";
    RunCycle();
    EXPECT_TRUE(Requests.empty());
    EXPECT_EQ("Files not processed at 14:21:00", S.FileLbl.Caption());
    EXPECT_EQ("No files processed 14:21:00", S.RidgeLbl.Caption());
    EXPECT_EQ("Error invalid name", c.Status);
    EXPECT_EQ(1, Saves);
}

TEST_F(CycleServer, EmptyListSavesAndSummarises)
{
    RunCycle();
    EXPECT_EQ(1, Saves);
    EXPECT_EQ(1, GridBuilds);
    EXPECT_EQ("Files not processed at 14:21:00", S.FileLbl.Caption());
    EXPECT_EQ("No files processed 14:21:00", S.RidgeLbl.Caption());
    EXPECT_EQ("Download files complete", S.Sbar.Panel(0));
}

TEST_F(CycleServer, TwoRecordsAreListedInOrder)
{
    AddRecord("IL,Chicago,LOT");
    AddRecord("WI,Milwaukee,MKX");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    ServeSite("MKX", {"MKX_20100510_1418_N0R"});
    RunCycle();
    EXPECT_EQ("Downloaded 4 and processed 2 files in 0.000 sec at 14:21:00", S.FileLbl.Caption());
    EXPECT_EQ("Finished processing LOT_N0R_0,MKX_N0R_0 14:21:00", S.RidgeLbl.Caption());
    EXPECT_TRUE(InUnderlays("mkx_n0r_0.bmp"));
}

TEST_F(CycleServer, ElapsedTimeHasThreeDigitMilliseconds)
{
    AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    OnFetch = [this](const std::string&) { Clock.Step(0.25 * kOneSecond); };
    RunCycle();
    EXPECT_EQ("Downloaded 2 and processed 1 files in 1.000 sec at 14:21:01", S.FileLbl.Caption());
}

TEST_F(CycleServer, AddressOutsideBothBasesIsFetchedWithoutNewnessTest)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    r.ImageURL = "http://127.0.0.1:8089/other/LOT_N0R_0.gif";
    r.WorldURL = "http://127.0.0.1:8089/other/LOT_N0R_0.gfw";
    Web[r.ImageURL] = {200, "GIF89a"};
    Web[r.WorldURL] = {200, kWorld};
    const TDateTime next = r.NextAttempt;
    RunCycle();
    EXPECT_EQ((std::vector<std::string>{"http://127.0.0.1:8089/other/LOT_N0R_0.gfw",
                                        "http://127.0.0.1:8089/other/LOT_N0R_0.gif"}),
              Requests);
    EXPECT_EQ("Processed LOT_N0R_0", r.Status);
    EXPECT_EQ(next, r.NextAttempt);
    EXPECT_TRUE(InUnderlays("lot_n0r_0.bmp"));
}

TEST_F(CycleServer, CurrentUnderlaySetsTheTrayTip)
{
    Clock.SetOffset(1.0 / 24);
    S.UnderlayName = "LOT_N0R_0.BMP";
    AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    RunCycle();
    EXPECT_EQ("Underlay update : LOT_N0R_0@15:21", S.TrayTip);
    EXPECT_EQ(1, TrayTips);
}

TEST_F(CycleServer, OtherUnderlayLeavesTheTrayTip)
{
    S.UnderlayName = "MKX_N0R_0.BMP";
    AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    const std::string tip = S.TrayTip;
    RunCycle();
    EXPECT_EQ(tip, S.TrayTip);
    EXPECT_EQ(0, TrayTips);
}

TEST_F(CycleServer, CancelDuringFetchStopsWithoutSavingOrSummary)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    AddRecord("WI,Milwaukee,MKX");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    ServeSite("MKX", {"MKX_20100510_1419_N0R"});
    S.FileLbl.SetCaption("before");
    OnFetch = [this](const std::string& url) {
        if (url == WorldUrl)
            S.Cancel = true;
    };
    RunCycle();
    EXPECT_EQ(0, Fetched(ImageUrl));
    EXPECT_EQ(0, Saves);
    EXPECT_EQ(0, GridBuilds);
    EXPECT_EQ("before", S.FileLbl.Caption());
    EXPECT_EQ("Download files complete", S.Sbar.Panel(0));
    EXPECT_EQ("New file", r.Status); // what was copied back before the stop
    EXPECT_EQ(0, Fetched(std::string(kBase) + "N0R/MKX/"));
}

TEST_F(CycleServer, LocalFailureEndsTheRunWithTheGeneralMessage)
{
    S.Logerrors1.Checked = true;
    AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Web[WorldUrl] = {-1, ""};
    RunCycle();
    EXPECT_EQ("Error downloading or processing downloaded files - Cannot create file " + S.ProgramDir +
                  "LOT_N0R_0.gfw at 14:21 ",
              S.FileLbl.Caption());
    EXPECT_EQ(0, Saves);
    EXPECT_EQ("Download files complete", S.Sbar.Panel(0));
    EXPECT_NE(std::string::npos, LogText().find("Error downloading or processing downloaded files - Cannot create"));
}

} // namespace
} // namespace sf::test
