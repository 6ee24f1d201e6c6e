// Every row of the failure table: status text, counters, the "unless Error" rule,
// the selector advance, LastImage reset, next attempt and the files left behind.
#include "CycleFixture.h"
#include "core/RadarObj.h"

namespace sf::test {
namespace {

class CycleFailure : public CycleFixture {
protected:
    CycleFailure()
    {
        Services.RebuildURLs = [this] {
            ++Rebuilds;
            RebuildURLs(S);
        };
        Clock.Set(At(2010, 5, 10, 14, 21, 4)); // jitter 4 s
    }
    const std::string Listing = std::string(kBase) + "N0R/LOT/";
    const std::string WorldUrl = std::string(kBase) + "N0R/LOT_N0R_0.gfw";
    const std::string ImageUrl = std::string(kBase) + "N0R/LOT_N0R_0.gif";
    const TDateTime OneMinuteOn = At(2010, 5, 10, 14, 22, 8);
    int Rebuilds = 0;
};

TEST_F(CycleFailure, EmptyListingAnswersAdvanceTheSelectorRoundTheSources)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Web[Listing] = {200, ""};
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) {
        r.NextAttempt = Clock.UTCNow() - kOneMinute;
        RunCycle();
        seen.push_back(S.SelectRidge);
        EXPECT_EQ("Web site dir unavailable", r.Status);
    }
    EXPECT_EQ((std::vector<int>{1, 2, 0}), seen);
    EXPECT_EQ(3, Rebuilds);
    EXPECT_EQ(3, r.AccessErrors);
    ExpectTime(OneMinuteOn, r.NextAttempt);
    // Back on source 0 the rebuilt addresses keep the product folder.
    EXPECT_EQ(ImageUrl, r.ImageURL);
    EXPECT_EQ(WorldUrl, r.WorldURL);
    EXPECT_TRUE(WasShown("RidgeLbl", "IL,Chicago,LOT Web site dir unavailable"));
    EXPECT_EQ(0, Fetched(WorldUrl));
}

TEST_F(CycleFailure, ListingFailureRemovesLeftoverListingFiles)
{
    AddRecord("IL,Chicago,LOT");
    Prog.Write("RidgeDtime.htm", "old");
    Web[Listing] = {500, "<html>oops</html>"};
    RunCycle();
    EXPECT_FALSE(InProg("RidgeDtime.htm"));
    // The error page stays where the fetch left it; the next fetch of the listing replaces it.
    EXPECT_TRUE(InProg("LOT_N0R_0.htm"));
}

/// A rebuild that gives every record addresses naming the source index in force.
void StampSourceOnAddresses(TShared& s)
{
    for (int i = 0; i < s.List.Count(); ++i) {
        s.List[i].ImageURL = std::string(kBase) + "N0R/src" + std::to_string(s.SelectRidge) + "/LOT_N0R_0.gif";
        s.List[i].WorldURL = std::string(kBase) + "N0R/src" + std::to_string(s.SelectRidge) + "/LOT_N0R_0.gfw";
    }
}

TEST_F(CycleFailure, SelectorAdvanceRebuildsTheFailingRecordsOwnAddresses)
{
    Services.RebuildURLs = [this] { StampSourceOnAddresses(S); };
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    Web[Listing] = {200, ""};
    RunCycle();
    ASSERT_EQ(1, S.SelectRidge);
    EXPECT_EQ(std::string(kBase) + "N0R/src1/LOT_N0R_0.gif", r.ImageURL);
    EXPECT_EQ(std::string(kBase) + "N0R/src1/LOT_N0R_0.gfw", r.WorldURL);
    EXPECT_EQ(0, r.SourceIndex); // the index in force when the attempt began
    EXPECT_EQ("Web site dir unavailable", r.Status); // the copy back still happened
}

TEST_F(CycleFailure, UnusableWorldFileRebuildReachesTheRecord)
{
    Services.RebuildURLs = [this] { StampSourceOnAddresses(S); };
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Web[WorldUrl] = {200, "<html>no such file</html>\r\n"};
    RunCycle();
    EXPECT_EQ("Error World File empty", r.Status);
    EXPECT_EQ(std::string(kBase) + "N0R/src1/LOT_N0R_0.gif", r.ImageURL);
}

TEST_F(CycleFailure, HttpErrorOnListingKeepsItsStatusAndTheSelector)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    // No answer registered: the stand-in answers 404 as the fetch does after a time-out.
    RunCycle();
    EXPECT_EQ("Error 404 Not Found", r.Status);
    EXPECT_EQ(0, S.SelectRidge);
    EXPECT_EQ(0, Rebuilds);
    EXPECT_EQ(1, r.AccessErrors);
    ExpectTime(OneMinuteOn, r.NextAttempt);
}

TEST_F(CycleFailure, ListingWithoutImagesIsNoListingDate)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    Web[Listing] = {200, ListingPage({})};
    RunCycle();
    EXPECT_EQ("Error getting file LOT_N0R_0 datetime", r.Status);
    EXPECT_EQ(1, r.AccessErrors);
    EXPECT_EQ(0, S.SelectRidge);
    ExpectTime(OneMinuteOn, r.NextAttempt);
    EXPECT_TRUE(WasShown("RidgeLbl", "IL,Chicago,LOT Error getting file LOT_N0R_0 datetime"));
}

TEST_F(CycleFailure, WorldFileHttpErrorStaysAndTheImageIsAnnouncedAgain)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    r.LastImage = At(2010, 5, 10, 14, 9);
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Web.erase(WorldUrl);
    RunCycle();
    EXPECT_EQ("Error 404 Not Found", r.Status);
    EXPECT_EQ(1, r.AccessErrors);
    ExpectTime(At(2010, 5, 10, 14, 9), r.LastImage, "reference time");
    ExpectTime(At(2010, 5, 10, 14, 24, 4), r.NextAttempt, "set by the newness test");
    EXPECT_FALSE(InProg("LOT_N0R_0.gfw"));
    EXPECT_EQ(0, Fetched(ImageUrl));

    // The same image is new again on the next attempt.
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Clock.Set(At(2010, 5, 10, 14, 24, 4));
    RunCycle();
    EXPECT_EQ("Processed LOT_N0R_0", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 19), r.LastImage);
}

TEST_F(CycleFailure, EmptyWorldFileAnswerIsNotDownloaded)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    r.LastImage = At(2010, 5, 8, 14, 9); // older than a day: reference is now - 0.95 day
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Web[WorldUrl] = {200, ""};
    RunCycle();
    EXPECT_EQ("Error World File not downloaded", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 21, 4) - 0.95, r.LastImage);
}

TEST_F(CycleFailure, UnusableWorldFileAdvancesTheSelector)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Web[WorldUrl] = {200, "<html>no such file</html>\r\n"};
    RunCycle();
    EXPECT_EQ("Error World File empty", r.Status);
    EXPECT_EQ(1, r.AccessErrors);
    EXPECT_EQ(1, S.SelectRidge);
    EXPECT_EQ(1, Rebuilds);
    EXPECT_FALSE(InProg("LOT_N0R_0.gfw"));
    EXPECT_EQ(0, Fetched(ImageUrl));
    EXPECT_EQ("Downloaded 1 and processed 0 files in 0.000 sec at 14:21:04", S.FileLbl.Caption());
}

TEST_F(CycleFailure, ImageNotDownloaded)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    r.LastImage = At(2010, 5, 10, 14, 9);
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Web[ImageUrl] = {200, ""};
    RunCycle();
    EXPECT_EQ("Error RadarImage File not downLoaded", r.Status);
    EXPECT_EQ(1, r.AccessErrors);
    ExpectTime(At(2010, 5, 10, 14, 9), r.LastImage);

    Web[ImageUrl] = {404, "gone"};
    r.NextAttempt = Clock.UTCNow();
    r.Status.clear();
    RunCycle();
    EXPECT_EQ("Error 404 Not Found", r.Status);
    EXPECT_EQ(2, r.AccessErrors);
}

TEST_F(CycleFailure, SiteConversionFailure)
{
    S.Logerrors1.Checked = true;
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    r.LastImage = At(2010, 5, 10, 14, 9);
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    ConvertResult = false;
    S.MemReportTime = 0;
    RunCycle();
    EXPECT_EQ("Error converting LOT_N0R_0", r.Status);
    EXPECT_EQ(1, r.ConversionErrors);
    EXPECT_EQ(0, r.AccessErrors);
    ExpectTime(At(2010, 5, 10, 14, 9), r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 26, 38), r.NextAttempt, "5.5 min + 4 s");
    EXPECT_TRUE(WasShown("FileLbl", "Error converting LOT_N0R_0 @ 14:21"));
    EXPECT_EQ("No files processed 14:21:04", S.RidgeLbl.Caption());
    ExpectTime(Clock.LocalNow(), S.MemReportTime);
    const std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("Before error Mem load="));
    EXPECT_NE(std::string::npos, log.find("After error Mem load="));
    for (auto* raw : {"LOT_N0R_0.gif", "LOT_N0R_0.gfw", "LOT_N0R_Legend_0.gif"})
        EXPECT_FALSE(InProg(raw)) << raw;
}

TEST_F(CycleFailure, SiteConversionRaising)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    ConvertThrows = "bad palette";
    RunCycle();
    EXPECT_EQ("Error extra converting LOT_N0R_0.gif bad palette", r.Status);
    EXPECT_EQ(0, r.ConversionErrors);
    ExpectTime(OneMinuteOn, r.NextAttempt);
    EXPECT_TRUE(WasShown("FileLbl", "Error extra converting LOT_N0R_0.gif bad palette @ 14:21"));
    EXPECT_FALSE(InProg("LOT_N0R_0.gif"));
    EXPECT_FALSE(InProg("LOT_N0R_0.gfw"));
    EXPECT_EQ(1, Saves); // the run goes on to its end
}

TEST_F(CycleFailure, ErrorStatusIsNotOverwrittenWithinAnAttempt)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeSite("LOT", {"LOT_20100510_1419_N0R"});
    Web[WorldUrl] = {404, "<html>Not Found</html>"};
    RunCycle();
    EXPECT_EQ("Error 404 Not Found", r.Status);
    EXPECT_EQ(0, S.SelectRidge);
}

} // namespace
} // namespace sf::test
