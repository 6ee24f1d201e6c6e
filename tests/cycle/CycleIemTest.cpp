// The cycle in the iem source layout: the JSON file's meta.valid decides whether
// the PNG and its ".wld" are fetched; the rest of the attempt is the usual one.
#include "CycleFixture.h"
#include "core/SourceLayout.h"
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
    EXPECT_EQ("-91.7525024414062,43.6525001525879,0,0", r.Bounds); // the ".wld" was read (no stand-in SetBounds)
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
