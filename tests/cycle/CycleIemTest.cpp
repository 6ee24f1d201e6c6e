// The cycle in the iem source layout: the JSON file's meta.valid decides whether
// the PNG and its ".wld" are fetched; the rest of the attempt is the usual one.
#include "CycleFixture.h"
#include "core/SourceLayout.h"
#include "cycle/Scheduler.h"
#include "support/IemFixtures.h"

namespace sf::test {
namespace {

const std::string kIem = "http://127.0.0.1:8089/";
const std::string kLot = kIem + "data/gis/images/4326/ridge/LOT/N0B_0";
const std::string kComposite = kIem + "data/gis/images/4326/USCOMP/n0q_0";

class CycleIem : public CycleFixture {
protected:
    CycleIem()
    {
        S.Layout = TLayout::Iem;
        S.IemBase = kIem;
        // Site images of this layout are PNG: the stand-in conversion takes the PNG raw file.
        Services.ConvertSiteImage = [this](const std::string& p, TRadarObj& r) {
            Converted.push_back(p);
            const std::string work = S.IsClient() ? ExtractFilePath(p) : S.ProgramDir;
            if (!FileExists(work + r.RemoteName + ".png") || !FileExists(work + r.RemoteName + ".wld")) {
                r.Status = "Error no PNG";
                return false;
            }
            r.Status = "OK";
            return true;
        };
    }
    void ServeLot(const std::string& json)
    {
        Web[kLot + ".json"] = {200, json};
        Web[kLot + ".wld"] = {200, kIemSiteWorld};
        Web[kLot + ".png"] = {200, "\x89PNG-image"};
    }
};

TEST_F(CycleIem, NewerScanTimeFetchesWorldAndImageThenSameTimeWaits)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    ServeLot(kIemSiteJson); // valid 14:19, clock 14:21:00
    RunCycle();
    EXPECT_EQ((std::vector<std::string>{kLot + ".json", kLot + ".wld", kLot + ".png"}), Requests);
    EXPECT_EQ("OK", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 19), r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 24), r.NextAttempt);
    ASSERT_EQ(1u, Converted.size());
    EXPECT_EQ(S.ProgramDir + "LOT_N0R_0.bmp", Converted[0]);
    // The ".wld" was read with its lines 5 and 6 as the corner (no stand-in SetBounds).
    EXPECT_EQ("-91.75,43.6500015258789,0,0", r.Bounds);
    for (const char* raw : {"LOT_N0R_0.json", "LOT_N0R_0.png", "LOT_N0R_0.wld"})
        EXPECT_FALSE(InProg(raw)) << raw;

    // Same scan time: only the JSON file is fetched.
    Requests.clear();
    Clock.Set(At(2010, 5, 10, 14, 24, 0));
    RunCycle();
    EXPECT_EQ(std::vector<std::string>{kLot + ".json"}, Requests);
    EXPECT_EQ("Waiting for new LOT_N0R_0 file, old file =05/10 14:19", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 25), r.NextAttempt);
    EXPECT_FALSE(InProg("LOT_N0R_0.json"));

    // A newer scan: fetched and converted again.
    Requests.clear();
    ServeLot("{\"meta\": {\"valid\": \"2010-05-10T14:24:00Z\", \"product\": \"N0B\", \"site\": \"LOT\"}}");
    Clock.Set(At(2010, 5, 10, 14, 25, 0));
    RunCycle();
    EXPECT_EQ(3u, Requests.size());
    ExpectTime(At(2010, 5, 10, 14, 24), r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 19), r.PrevImage);
    EXPECT_EQ(2u, Converted.size());
}

TEST_F(CycleIem, JsonWithoutUsableTimeFailsTheRecordLikeAnEmptyListing)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    const TDateTime before = r.LastImage;
    for (const auto& [json, reason] : std::vector<std::pair<std::string, std::string>>{
             {"<html><body>Service unavailable</body></html>", "the text is not a JSON object"},
             {"{\"meta\": {\"product\": \"N0B\"}}", "no meta.valid"}}) {
        Requests.clear();
        ServeLot(json);
        Clock.Set(Clock.UTCNow() + 2 * kOneMinute);
        RunCycle();
        EXPECT_EQ("Error getting file LOT_N0R_0 datetime (LOT_N0R_0.json: " + reason + ")", r.Status);
        EXPECT_EQ(std::vector<std::string>{kLot + ".json"}, Requests);
        ExpectTime(Clock.UTCNow() + kOneMinute, r.NextAttempt);
        EXPECT_FALSE(InProg("LOT_N0R_0.json"));
    }
    EXPECT_EQ(2, r.AccessErrors);
    EXPECT_EQ(before, r.LastImage);
    EXPECT_EQ(0, S.SelectRidge);
    EXPECT_TRUE(Converted.empty());
}

TEST_F(CycleIem, MissingJsonKeepsTheHttpStatusAndProductWithoutEquivalentIsNamed)
{
    TRadarObj& lot = AddRecord("IL,Chicago,LOT");
    TRadarObj& precip = AddRecord("IL,Chicago,LOT", "1 Hour Precipitation, N1P");
    RunCycle();
    EXPECT_EQ("Error 404 Not Found", lot.Status);
    EXPECT_EQ(1, lot.AccessErrors);
    EXPECT_EQ("Error product N1P not offered by the iem layout", precip.Status);
    EXPECT_EQ(1, precip.AccessErrors);
    ExpectTime(At(2010, 5, 10, 14, 22), precip.NextAttempt);
    // Only the one JSON request: nothing is asked for the product the layout lacks.
    EXPECT_EQ(std::vector<std::string>{kLot + ".json"}, Requests);
}

TEST_F(CycleIem, CompositeGoesToTheMosaicConversionWithItsInterval)
{
    TRadarObj& r = AddRecord("!!ConUS,Iowa State University", ", ");
    Web[kComposite + ".json"] = {200, kIemCompositeJson}; // valid 14:15
    Web[kComposite + ".wld"] = {200, kIemSiteWorld};
    Web[kComposite + ".png"] = {200, "\x89PNG-composite"};
    RunCycle();
    EXPECT_EQ(3u, Requests.size());
    ASSERT_EQ(1u, Converted.size());
    EXPECT_EQ(S.ProgramDir + "ConUS.bmp", Converted[0]);
    EXPECT_EQ("Processed ConUS", r.Status);
    ExpectTime(At(2010, 5, 10, 14, 25), r.NextAttempt);
    EXPECT_EQ(1, MosaicClears);
}

TEST_F(CycleIem, ProductsTheServiceLacksAreRefusedByNameAndTdwrSitesUseTheirOwn)
{
    TRadarObj& vel = AddRecord("IL,Chicago,LOT", "Velocity, N0V");
    TRadarObj& tops = AddRecord("IL,Chicago,LOT", "Echo Tops, NET");
    TRadarObj& dfw = AddRecord("TX,Dallas/Fort Worth (TDWR),DFW", "Short Range Reflectivity, N0R");
    RunCycle();
    EXPECT_EQ("Error product N0V has no equivalent in the iem layout: choose N0S (storm-relative velocity)", vel.Status);
    EXPECT_EQ("Error product NET: the service stopped publishing it; choose N0B or N0S", tops.Status);
    // The TDWR's reflectivity: only its JSON file is asked for (404 from the stand-in web).
    EXPECT_EQ(std::vector<std::string>{kIem + "data/gis/images/4326/ridge/DFW/TZL_0.json"}, Requests);
    EXPECT_EQ("Error 404 Not Found", dfw.Status);
}

TEST_F(CycleIem, SourceWhoseNewestImageIsOverAHundredDaysOldIsReportedAsStopped)
{
    TRadarObj& r = AddRecord("IL,Chicago,LOT", "Long Range Reflectivity, N0Z");
    const TDateTime before = r.LastImage;
    // The service leaves the last file of a product it no longer makes on the server.
    ServeLot("{\"meta\": {\"valid\": \"2010-01-10T14:19:00Z\", \"product\": \"N0Q\", \"site\": \"LOT\"}}");
    RunCycle();
    EXPECT_EQ("Error source stopped: newest LOT_N0Z_0 image of 2010-01-10 14:19 UTC", r.Status);
    EXPECT_EQ(0u, Fetched(kLot + ".png"));
    EXPECT_EQ(before, r.LastImage);
    ExpectTime(At(2010, 5, 10, 14, 31), r.NextAttempt);
    EXPECT_TRUE(WasShown("RidgeLbl", "IL,Chicago,LOT " + r.Status));
}

TEST_F(CycleIem, CompositeStampedAheadOfTheClockIsFetchedOnceAcrossTicks)
{
    S.UiViewMap = "QuorServer";
    S.MemReportTime = Clock.LocalNow();
    TCycle cycle(S, Services);
    TScheduler sched(S, [&cycle] { cycle.Run(); });
    TRadarObj& r = AddRecord("!!ConUS,Iowa State University", ", ");
    // The composite carries its nominal frame time, 3 minutes ahead of the clock (14:21).
    Web[kComposite + ".json"] = {200, "{\"meta\": {\"vcp\": null, \"product\": \"N0Q\", \"site\": \"USCOMP\", "
                                      "\"valid\": \"2010-05-10T14:24:00Z\", \"processing_time_secs\": 71, "
                                      "\"radar_quorum\": \"143/159\"}}"};
    Web[kComposite + ".wld"] = {200, "0.005\n0.0\n0.0\n-0.005\n-126.0\n50.0"};
    Web[kComposite + ".png"] = {200, "\x89PNG-composite"};
    sched.ProcessTimer();
    ASSERT_EQ(1u, Converted.size());
    EXPECT_EQ("-126,50,0,0", r.Bounds);
    ExpectTime(At(2010, 5, 10, 14, 24), r.LastImage);

    // Ticks while the frame time is still ahead leave it as the newness key ...
    Clock.Set(At(2010, 5, 10, 14, 21, 10));
    sched.ProcessTimer();
    ExpectTime(At(2010, 5, 10, 14, 24), r.LastImage);
    // ... so when the record is due again and no later frame has been published (a late
    // frame gets no JSON), the same composite is not converted a second time.
    Clock.Set(At(2010, 5, 10, 14, 35, 0));
    sched.ProcessTimer();
    EXPECT_EQ(2, Fetched(kComposite + ".json"));
    EXPECT_EQ(1, Fetched(kComposite + ".png"));
    EXPECT_EQ(1u, Converted.size());
    EXPECT_EQ("Waiting for new ConUS file, old file =05/10 14:24", r.Status);

    // A clock set back for real (an hour) still pulls the last image time back, so the
    // record is not stuck behind a time that lies an hour ahead: it is fetched again.
    Clock.Set(At(2010, 5, 10, 13, 35, 0));
    sched.ProcessTimer();
    EXPECT_EQ(2, Fetched(kComposite + ".png"));
    EXPECT_EQ(2u, Converted.size());
}

TEST_F(CycleIem, ClientTakesThePngAndWorldFileAServerLeft)
{
    S.ModeGrp.ItemIndex = 1;
    TRadarObj& r = AddRecord("IL,Chicago,LOT");
    RunCycle();
    EXPECT_EQ("Waiting for file LOT_N0R_0.wld from server at 05/10 14:21", r.Status);
    WriteLineFile(S.QuorUnderlayPath + "LOT_N0R_0.wld", "0.005\r\n0\r\n0\r\n-0.005\r\n-91.75\r\n43.65");
    std::ofstream(std::filesystem::path(S.QuorUnderlayPath + "LOT_N0R_0.png"), std::ios::binary) << "\x89PNG";
    Clock.Set(Clock.UTCNow() + kOneMinute);
    RunCycle();
    EXPECT_EQ("OK", r.Status);
    ASSERT_EQ(1u, Converted.size());
    EXPECT_EQ(S.QuorUnderlayPath + "LOT_N0R_0.bmp", Converted[0]);
    EXPECT_TRUE(Requests.empty());
    EXPECT_FALSE(InUnderlays("LOT_N0R_0.png"));
    EXPECT_FALSE(InUnderlays("LOT_N0R_0.wld"));
}

} // namespace
} // namespace sf::test
