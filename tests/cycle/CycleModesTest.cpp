// Mosaic records (PNG and GIF) in Server mode, and Client mode's collection of the
// raw files a server left in the underlay directory.
#include "CycleFixture.h"
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace sf::test {
namespace {

class CycleMosaic : public CycleFixture {
protected:
    CycleMosaic()
    {
        Services.RebuildURLs = [this] { ++Rebuilds; };
        Web[MosaicListing] = {200, ListingPage({"CONUS_20100510_1418_N0R_small", "CONUS_20100510_1413_N0R",
                                                "conus_20100510_1408_N0R", "latest_radaronly"})};
        Web[std::string(kNatBase) + "N0R_0.gfw"] = {200, kWorld};
        Web[std::string(kNatBase) + "N0R_0.gif"] = {200, "\x89PNG-mosaic"};
        Web[std::string(kNatBase) + "ConUS.gfw"] = {200, kWorld};
        Web[std::string(kNatBase) + "ConUS.gif"] = {200, "GIF89a-conus"};
    }
    const std::string MosaicListing = std::string(kNatBase) + "?C=N;O=A";
    int Rebuilds = 0;
};

TEST_F(CycleMosaic, PngMosaicIsFetchedUnderItsOwnNamesAndConverted)
{
    S.UnderlayName = "n0r_0.bmp";
    TRadarObj& r = AddRecord("!!N0R_0,National reflectivity mosaic");
    RunCycle();
    ASSERT_EQ((std::vector<std::string>{MosaicListing, std::string(kNatBase) + "N0R_0.gfw",
                                        std::string(kNatBase) + "N0R_0.gif"}),
              Requests);
    EXPECT_EQ("Processed N0R_0", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 13), r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 23), r.NextAttempt, "image time + 10 min");
    EXPECT_EQ(S.ProgramDir + "N0R_0.bmp", Converted.at(0));
    EXPECT_EQ(1, MosaicClears);
    EXPECT_TRUE(InUnderlays("N0R_0.bmp"));
    EXPECT_FALSE(InProg("N0R_0.png"));
    EXPECT_FALSE(InProg("N0R_0.wld"));
    EXPECT_FALSE(InProg("N0R_0.htm"));
    EXPECT_EQ("Underlay update : n0r_0@14:21", S.TrayTip);
    EXPECT_EQ("Finished processing N0R_0 14:21:00", S.RidgeLbl.Caption());
}

TEST_F(CycleMosaic, UsradKeyIsAlsoPng)
{
    Web[std::string(kNatBase) + "abc01_usrad.gfw"] = {200, kWorld};
    Web[std::string(kNatBase) + "abc01_usrad.gif"] = {200, "\x89PNG"};
    TRadarObj& r = AddRecord("!!abc01_usrad,Regional");
    RunCycle();
    EXPECT_EQ("Processed abc01_usrad", r.Status);
    EXPECT_TRUE(InUnderlays("abc01_usrad.bmp"));
}

TEST_F(CycleMosaic, GifMosaicGoesThroughTheSiteConversionWithoutLegend)
{
    TRadarObj& r = AddRecord("!!ConUS,Iowa State University");
    RunCycle();
    EXPECT_EQ("Processed ConUS", r.Status);
    EXPECT_EQ(0, MosaicClears);
    EXPECT_TRUE(InUnderlays("conus.bmp"));
    EXPECT_TRUE(r.LegendName.empty());
    EXPECT_EQ(3u, Requests.size());
    EXPECT_FALSE(InProg("ConUS.gif"));
    EXPECT_FALSE(InProg("ConUS.gfw"));
}

TEST_F(CycleMosaic, MosaicListingUnavailableDoesNotAdvance)
{
    TRadarObj& r = AddRecord("!!N0R_0,National reflectivity mosaic");
    Web[MosaicListing] = {200, ""};
    RunCycle();
    EXPECT_EQ("Web site dir unavailable", r.Status);
    EXPECT_EQ(0, S.SelectRidge);
    EXPECT_EQ(0, Rebuilds);
    ExpectTime(At(2010, 5, 10, 14, 22), r.NextAttempt);
}

TEST_F(CycleMosaic, NoMosaicListingDateAdvances)
{
    TRadarObj& r = AddRecord("!!N0R_0,National reflectivity mosaic");
    Web[MosaicListing] = {200, ListingPage({"CONUS_20100510_1418_N0R_small", "USA_20100510_1413_N0R"})};
    RunCycle();
    EXPECT_EQ("Error getting file N0R_0 datetime", r.Status);
    EXPECT_EQ(1, S.SelectRidge);
    EXPECT_EQ(1, Rebuilds);
    EXPECT_EQ(1, r.AccessErrors);
}

TEST_F(CycleMosaic, MosaicConversionFailure)
{
    TRadarObj& r = AddRecord("!!N0R_0,National reflectivity mosaic");
    r.LastImage = At(2010, 5, 10, 14, 3);
    ConvertResult = false;
    RunCycle();
    EXPECT_EQ("Error converting N0R_0", r.Status);
    EXPECT_EQ(1, r.ConversionErrors);
    ExpectTime(At(2010, 5, 10, 14, 3), r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 22), r.NextAttempt);
    EXPECT_FALSE(InProg("N0R_0.png"));
    EXPECT_FALSE(InProg("N0R_0.wld"));
    EXPECT_TRUE(WasShown("FileLbl", "Error converting N0R_0 @ 14:21"));
}

TEST_F(CycleMosaic, MosaicConversionRaisingAlwaysSetsItsStatus)
{
    TRadarObj& r = AddRecord("!!N0R_0,National reflectivity mosaic");
    ConvertThrows = "out of memory";
    RunCycle();
    EXPECT_EQ("Error 0 extra converting N0R_0.png out of memory", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 21) + 5.7 * kOneMinute, r.NextAttempt);
    EXPECT_EQ(0, r.ConversionErrors);
}

// --- Client mode ---------------------------------------------------------------

class CycleClient : public CycleFixture {
protected:
    CycleClient()
    {
        setenv("TZ", "UTC", 1);
        tzset();
        S.ModeGrp.ItemIndex = 1;
    }
    /// Leaves a server's raw files in the underlay directory, the world file dated at utc.
    void LeaveRawFiles(TDateTime utc)
    {
        Quor.Write("Quor Underlays/LOT_N0R_0.gif", "GIF89a-image");
        const std::string world = Quor.Write("Quor Underlays/LOT_N0R_0.gfw", kWorld);
        const auto secs = std::chrono::seconds((long long)std::llround((utc - 25569.0) * 86400.0));
        std::filesystem::last_write_time(
            world, std::filesystem::file_time_type::clock::from_sys(std::chrono::sys_seconds(secs)));
    }
};

TEST_F(CycleClient, RawFilesFromTheServerBecomeTheUnderlay)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    LeaveRawFiles(At(2010, 5, 10, 14, 20));
    RunCycle();
    EXPECT_TRUE(Requests.empty());
    EXPECT_EQ("Processed LOT_N0R_0", r.Status);
    EXPECT_EQ(S.QuorUnderlayPath + "LOT_N0R_0.bmp", Converted.at(0));
    EXPECT_TRUE(InUnderlays("lot_n0r_0.bmp"));
    EXPECT_FALSE(InUnderlays("LOT_N0R_0.gif"));
    EXPECT_FALSE(InUnderlays("LOT_N0R_0.gfw"));
    ExpectTime(At(2010, 5, 10, 14, 20), r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 23), r.NextAttempt);
    EXPECT_TRUE(WasShown("FileLbl", "Server file LOT_N0R_0.gfw found 05/10 14:21"));
    EXPECT_TRUE(WasShown("RidgeLbl", "Processing files from server at 05/10 14:21"));
    EXPECT_EQ("Processed 1 files from server in 0.000 sec at 14:21:00", S.FileLbl.Caption());
    EXPECT_EQ("Process Server files complete", S.Sbar.Panel(0));
}

TEST_F(CycleClient, OldWorldFileCountsAsTenMinutesOld)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    LeaveRawFiles(At(2010, 5, 10, 13, 21));
    Clock.Set(At(2010, 5, 10, 14, 21, 7));
    RunCycle();
    ExpectTime(At(2010, 5, 10, 14, 11, 7), r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 22, 14), r.NextAttempt, "now + 1 min + 7 s");
}

TEST_F(CycleClient, TheTenMinuteLimitStartsJustPastTenMinutes)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    Clock.Set(At(2010, 5, 10, 14, 21, 7));
    LeaveRawFiles(At(2010, 5, 10, 14, 9, 7)); // 12 minutes old
    RunCycle();
    ExpectTime(At(2010, 5, 10, 14, 11, 7), r.LastImage, "now - 10 min");
    LeaveRawFiles(At(2010, 5, 10, 14, 12, 8)); // 9 minutes old: its own time (file times have 2-second steps)
    r.NextAttempt = Clock.UTCNow() - kOneMinute;
    RunCycle();
    ExpectTime(At(2010, 5, 10, 14, 12, 8), r.LastImage, "file time");
}

TEST_F(CycleClient, WorldFileFromTheFutureCountsAsNow)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    LeaveRawFiles(At(2010, 5, 10, 16, 0));
    RunCycle();
    ExpectTime(At(2010, 5, 10, 14, 21), r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 24), r.NextAttempt);
}

TEST_F(CycleClient, NoFilesFromTheServerWaits)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    Clock.Set(At(2010, 5, 10, 14, 19, 6));
    RunCycle();
    EXPECT_EQ("Waiting for file LOT_N0R_0.gfw from server at 05/10 14:19", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 19, 57), r.NextAttempt, "45 s + 6 s");
    EXPECT_EQ(1, r.AccessErrors);
    Clock.Set(r.NextAttempt);
    RunCycle();
    EXPECT_EQ(2, r.AccessErrors);
    EXPECT_EQ("Processed 0 files from server in 0.000 sec at 14:19:57", S.FileLbl.Caption());
}

TEST_F(CycleClient, UnusableWorldFile)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    Quor.Write("Quor Underlays/LOT_N0R_0.gfw", "garbage\r\n");
    Quor.Write("Quor Underlays/LOT_N0R_0.gif", "GIF89a");
    RunCycle();
    EXPECT_EQ("Error World file empty", r.Status);
    EXPECT_EQ(1, r.AccessErrors);
    EXPECT_TRUE(Converted.empty());
}

TEST_F(CycleClient, NativeOutputKeepsTheUnderlayThatIsAlsoTheRawImage)
{
    S.SaveGifChk.Checked = true;
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    LeaveRawFiles(At(2010, 5, 10, 14, 20));
    RunCycle();
    EXPECT_EQ("Processed LOT_N0R_0", r.Status);
    EXPECT_TRUE(InUnderlays("lot_n0r_0.gif"));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(ResolvePath(S.QuorUnderlayPath + "lot_n0r_0.gif"), bytes));
    EXPECT_EQ("underlay", bytes);
    EXPECT_FALSE(InUnderlays("LOT_N0R_0.gfw"));
}

TEST_F(CycleClient, NativeOutputUnderAnotherNameStillRemovesTheRawImage)
{
    S.SaveGifChk.Checked = true;
    TRadarObj& r = AddRecord("!!Natxyz,National mosaic");
    ASSERT_EQ("latest_radaronly", r.RemoteName);
    Quor.Write("Quor Underlays/latest_radaronly.gif", "GIF89a-image");
    Quor.Write("Quor Underlays/latest_radaronly.gfw", kWorld);
    RunCycle();
    EXPECT_EQ("Processed latest_radaronly", r.Status);
    EXPECT_TRUE(InUnderlays("natxyz.gif"));
    EXPECT_FALSE(InUnderlays("latest_radaronly.gif"));
    EXPECT_FALSE(InUnderlays("latest_radaronly.gfw"));
}

TEST_F(CycleMosaic, NoMosaicListingDateRebuildReachesTheRecord)
{
    Services.RebuildURLs = [this] {
        for (int i = 0; i < S.List.Count(); ++i)
            S.List[i].ImageURL = std::string(kNatBase) + "src" + std::to_string(S.SelectRidge) + "/N0R_0.gif";
    };
    TRadarObj& r = AddRecord("!!N0R_0,National reflectivity mosaic");
    Web[MosaicListing] = {200, ListingPage({"USA_20100510_1413_N0R"})};
    RunCycle();
    EXPECT_EQ("Error getting file N0R_0 datetime", r.Status);
    EXPECT_EQ(std::string(kNatBase) + "src1/N0R_0.gif", r.ImageURL);
}

TEST_F(CycleClient, DisabledRecordInClientMode)
{
    AddRecord("IL,Chicago,LOT").Enabled = false;
    LeaveRawFiles(At(2010, 5, 10, 14, 20));
    RunCycle();
    EXPECT_TRUE(Converted.empty());
    EXPECT_EQ("Files not processed at 14:21:00", S.FileLbl.Caption());
    EXPECT_TRUE(InUnderlays("LOT_N0R_0.gif"));
}

TEST_F(CycleClient, WithoutAnUnderlayFolderNothingIsReadOrDeleted)
{
    // The current folder holds what looks like a server's files; a client without an
    // underlay folder must leave them alone.
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    const std::string before = r.Status;
    LeaveRawFiles(At(2010, 5, 10, 14, 20));
    const std::filesystem::path old = std::filesystem::current_path();
    const std::string underlays = S.QuorUnderlayPath;
    std::filesystem::current_path(underlays);
    S.QuorUnderlayPath.clear();
    RunCycle();
    std::filesystem::current_path(old);
    S.QuorUnderlayPath = underlays;
    EXPECT_TRUE(Converted.empty());
    EXPECT_TRUE(InUnderlays("LOT_N0R_0.gif"));
    EXPECT_TRUE(InUnderlays("LOT_N0R_0.gfw"));
    EXPECT_EQ(before, r.Status);
    EXPECT_EQ("Processing suspended, cannot find local QuorServer directory!", S.StateLbl.Caption());
}

} // namespace
} // namespace sf::test
