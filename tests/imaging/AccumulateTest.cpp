// The numbered image series on real folders: shifts by age, trimming, bounds copies,
// case rules and stale-image removal.
#include "ImagingTestEnv.h"
#include "core/Text.h"
#include "imaging/Accumulate.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

class SeriesTest : public ::testing::Test {
protected:
    TImagingEnv Env;
    std::string D() const { return Env.Underlays; }

    /// Writes an image of the given size whose content names it, aged secondsAgo.
    void Image(const std::string& name, long secondsAgo, size_t size = 12000)
    {
        std::string bytes = name + ":";
        bytes.resize(size, 'x');
        WriteFile(D() + name, bytes);
        Age(D() + name, secondsAgo);
    }
    /// The content tag ("name:") of the file matching name ignoring case; "" when none.
    std::string Tag(const std::string& name) const
    {
        const std::string path = Find(name);
        if (path.empty())
            return {};
        const std::string bytes = ReadFile(path);
        return bytes.substr(0, bytes.find(':'));
    }
    std::string Find(const std::string& name) const
    {
        for (auto& e : std::filesystem::directory_iterator(D()))
            if (SameText(e.path().filename().string(), name))
                return e.path().string();
        return {};
    }
    /// The folder's names, less the shift's record (it stays until the caller's new
    /// underlay is written; ShiftRecoveryTest covers it).
    std::vector<std::string> Names() const
    {
        std::vector<std::string> out;
        for (auto& e : std::filesystem::directory_iterator(D()))
            if (e.path().filename() != kShiftJournalName)
                out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
};

} // namespace

TEST_F(SeriesTest, BmpThresholdIsTenThousandBytes)
{
    EXPECT_EQ(AccumulateBmp(Env.S, D() + "lot_n0r_0.bmp"), -1);
    Image("LOT_N0R_0.bmp", 100, 9999);
    EXPECT_EQ(AccumulateBmp(Env.S, D() + "lot_n0r_0.bmp"), 9999);
    EXPECT_EQ(Tag("LOT_N0R_0.bmp"), "LOT_N0R_0.bmp");
    EXPECT_EQ(Tag("LOT_N0R_01.bmp"), "");
    Image("LOT_N0R_0.bmp", 100, 10000);
    EXPECT_EQ(AccumulateBmp(Env.S, D() + "lot_n0r_0.bmp"), 10000);
    EXPECT_EQ(Tag("LOT_N0R_0.bmp"), "");
    EXPECT_EQ(Tag("LOT_N0R_01.bmp"), "LOT_N0R_0.bmp");
}

TEST_F(SeriesTest, GifThresholdIsTwoHundredFiftyBytes)
{
    Image("lot_n0r_0.gif", 100, 249);
    EXPECT_EQ(AccumulateGif(Env.S, D() + "lot_n0r_0.gif"), 249);
    EXPECT_EQ(Tag("lot_n0r_01.gif"), "");
    Image("lot_n0r_0.gif", 100, 250);
    EXPECT_EQ(AccumulateGif(Env.S, D() + "lot_n0r_0.gif"), 250);
    EXPECT_EQ(Tag("lot_n0r_01.gif"), "lot_n0r_0.gif");
}

TEST_F(SeriesTest, GapsCloseUpAndMembersGetBoundsFiles)
{
    Image("LOT_N0R_0.bmp", 10);
    Image("LOT_N0R_03.bmp", 600);
    Image("LOT_N0R_07.bmp", 1200);
    WriteFile(D() + "lot_n0r_0.Sat", "-90,43,-87,40\r\n");
    WriteFile(D() + "LOT_N0R_07.sat", "own\r\n");
    EXPECT_EQ(AccumulateBmp(Env.S, D() + "lot_n0r_0.bmp"), 12000);
    EXPECT_EQ(Tag("LOT_N0R_0.bmp"), "");
    EXPECT_EQ(Tag("LOT_N0R_01.bmp"), "LOT_N0R_0.bmp");
    EXPECT_EQ(Tag("LOT_N0R_02.bmp"), "LOT_N0R_03.bmp");
    EXPECT_EQ(Tag("LOT_N0R_03.bmp"), "LOT_N0R_07.bmp");
    EXPECT_EQ(Tag("LOT_N0R_07.bmp"), "");
    EXPECT_EQ(ReadFile(Find("LOT_N0R_01.sat")), "-90,43,-87,40\r\n");
    EXPECT_EQ(ReadFile(Find("LOT_N0R_02.sat")), "-90,43,-87,40\r\n");
    EXPECT_EQ(ReadFile(Find("LOT_N0R_07.sat")), "own\r\n"); // a member's own file stays
    for (const std::string& n : Names())
        EXPECT_EQ(n.find(".tmp"), std::string::npos) << n;
    EXPECT_EQ(Env.Log().find("Rename Sat images error"), std::string::npos);
}

TEST_F(SeriesTest, AMemberKeepsItsOwnBoundsFileThroughAShift)
{
    Image("LOT_N0R_0.bmp", 10);
    Image("LOT_N0R_01.bmp", 600);
    WriteFile(D() + "lot_n0r_0.Sat", "-90,43,-87,40\r\n");
    WriteFile(D() + "LOT_N0R_02.sat", "-91,44,-88,41\r\n"); // the name the old B1 moves to
    EXPECT_EQ(AccumulateBmp(Env.S, D() + "lot_n0r_0.bmp"), 12000);
    EXPECT_EQ(Tag("LOT_N0R_02.bmp"), "LOT_N0R_01.bmp");
    EXPECT_EQ(ReadFile(Find("LOT_N0R_02.sat")), "-91,44,-88,41\r\n"); // kept, not overwritten
    EXPECT_EQ(ReadFile(Find("LOT_N0R_01.sat")), "-90,43,-87,40\r\n"); // a member without one gets a copy
    EXPECT_EQ(ReadFile(Find("lot_n0r_0.Sat")), "-90,43,-87,40\r\n");
}

TEST_F(SeriesTest, ATenthImageFallsOffTheEnd)
{
    Image("LOT_N0R_0.bmp", 5);
    for (int k = 1; k <= 9; ++k)
        Image("LOT_N0R_0" + std::to_string(k) + ".bmp", 100L * k);
    AccumulateBmp(Env.S, D() + "LOT_N0R_0.BMP");
    EXPECT_EQ(Tag("LOT_N0R_0.bmp"), "");
    for (int k = 1; k <= 9; ++k)
        EXPECT_EQ(Tag("LOT_N0R_0" + std::to_string(k) + ".bmp"),
            k == 1 ? "LOT_N0R_0.bmp" : "LOT_N0R_0" + std::to_string(k - 1) + ".bmp");
    EXPECT_EQ(Find("LOT_N0R_010.tmp"), "");
    EXPECT_EQ(Find("LOT_N0R_010.bmp"), "");
    EXPECT_EQ(Names().size(), 9u);
}

TEST_F(SeriesTest, ElevenImagesAreTrimmedToTenOldestFirst)
{
    Image("LOT_N0R_0.bmp", 5);
    for (int k = 1; k <= 9; ++k)
        Image("LOT_N0R_0" + std::to_string(k) + ".bmp", 100L * k);
    Image("LOT_N0R_0X.bmp", 5000); // matches the pattern too, and is the oldest
    AccumulateBmp(Env.S, D() + "lot_n0r_0.bmp");
    EXPECT_EQ(Find("LOT_N0R_0X.bmp"), "");
    EXPECT_EQ(Tag("LOT_N0R_09.bmp"), "LOT_N0R_08.bmp");
    EXPECT_EQ(Names().size(), 9u);
}

TEST_F(SeriesTest, TrimmingNeverDeletesTheUnderlayItself)
{
    Image("LOT_N0R_0.bmp", 9000); // the underlay is the oldest of eleven
    for (int k = 1; k <= 9; ++k)
        Image("LOT_N0R_0" + std::to_string(k) + ".bmp", 100L * k);
    Image("LOT_N0R_0X.bmp", 50);
    AccumulateBmp(Env.S, D() + "lot_n0r_0.bmp");
    EXPECT_EQ(Tag("LOT_N0R_0.bmp"), "LOT_N0R_0.bmp");
}

TEST_F(SeriesTest, GifVariantOnABmpNameWorksOnTheGifOfTheStem)
{
    Image("lot_n0r_0.gif", 10, 400);
    Image("lot_n0r_01.gif", 100, 400);
    Image("LOT_N0R_0.BMP", 10, 20000); // a BMP of the same stem is not part of the GIF series
    EXPECT_EQ(AccumulateGif(Env.S, D() + "LOT_N0R_0.BMP"), 400);
    EXPECT_EQ(Tag("lot_n0r_01.gif"), "lot_n0r_0.gif");
    EXPECT_EQ(Tag("lot_n0r_02.gif"), "lot_n0r_01.gif");
    EXPECT_EQ(Tag("LOT_N0R_0.BMP"), "LOT_N0R_0.BMP");
    EXPECT_EQ(Find("lot_n0r_01.bmp"), "");
}

TEST_F(SeriesTest, CaseVariantNamesOnDiskAreShifted)
{
    Image("Lot_N0r_0.Bmp", 10);
    Image("lot_n0r_01.BMP", 100);
    WriteFile(D() + "LOT_N0R_0.SAT", "b\r\n");
    AccumulateBmp(Env.S, D() + "lot_n0r_0.bmp");
    EXPECT_EQ(Tag("lot_n0r_0.bmp"), "");
    EXPECT_EQ(Tag("lot_n0r_01.bmp"), "Lot_N0r_0.Bmp");
    EXPECT_EQ(Tag("lot_n0r_02.bmp"), "lot_n0r_01.BMP");
    EXPECT_EQ(ReadFile(Find("lot_n0r_02.sat")), "b\r\n");
    // One file per member: no case-variant duplicates were made.
    EXPECT_EQ(Names().size(), 5u);
}

TEST_F(SeriesTest, StemWithoutTrailingDigitKeepsItsName)
{
    Image("KLOT.bmp", 10);
    Image("KLOT1.bmp", 100);
    AccumulateBmp(Env.S, D() + "KLOT.bmp");
    EXPECT_EQ(Tag("KLOT1.bmp"), "KLOT.bmp");
    EXPECT_EQ(Tag("KLOT2.bmp"), "KLOT1.bmp");
}

TEST_F(SeriesTest, StemEndingInUnderscoreKeepsItsSeries)
{
    // The shortened mask of such a stem does not name the parked images; they must
    // still come back as series members and not stay behind as temporaries.
    Image("KLOT_.bmp", 10);
    Image("KLOT_1.bmp", 100);
    Image("KLOT_2.bmp", 200);
    WriteFile(D() + "klot_.Sat", "-90,43,-87,40\r\n");
    EXPECT_EQ(AccumulateBmp(Env.S, D() + "klot_.bmp"), 12000);
    EXPECT_EQ(Tag("KLOT_.bmp"), "");
    EXPECT_EQ(Tag("KLOT_1.bmp"), "KLOT_.bmp");
    EXPECT_EQ(Tag("KLOT_2.bmp"), "KLOT_1.bmp");
    EXPECT_EQ(Tag("KLOT_3.bmp"), "KLOT_2.bmp");
    EXPECT_EQ(ReadFile(Find("KLOT_3.sat")), "-90,43,-87,40\r\n");
    for (const std::string& n : Names())
        EXPECT_EQ(n.find(".tmp"), std::string::npos) << n;
    EXPECT_EQ(Env.Log().find("Rename Sat images error"), std::string::npos);

    // A second shift moves the same images on instead of losing them.
    Image("KLOT_.bmp", 5);
    AccumulateBmp(Env.S, D() + "klot_.bmp");
    EXPECT_EQ(Tag("KLOT_2.bmp"), "KLOT_.bmp");
    EXPECT_EQ(Tag("KLOT_3.bmp"), "KLOT_1.bmp");
    EXPECT_EQ(Tag("KLOT_4.bmp"), "KLOT_2.bmp");
}

TEST_F(SeriesTest, AFailedRenameIsLoggedAndTheSizeStillReturned)
{
    Image("LOT_N0R_0.bmp", 10);
    std::filesystem::create_directory(D() + "LOT_N0R_01.tmp"); // blocks the parking name
    EXPECT_EQ(AccumulateBmp(Env.S, D() + "lot_n0r_0.bmp"), 12000);
    EXPECT_NE(Env.Log().find(" Rename Sat images error"), std::string::npos);
}

TEST_F(SeriesTest, CancelStopsBeforeAnyRename)
{
    Image("LOT_N0R_0.bmp", 10);
    Env.S.Cancel = true;
    EXPECT_EQ(AccumulateBmp(Env.S, D() + "lot_n0r_0.bmp"), 12000);
    EXPECT_EQ(Tag("LOT_N0R_0.bmp"), "LOT_N0R_0.bmp");
}

TEST(SeriesPattern, BlankRules)
{
    EXPECT_EQ(SeriesPattern("LOT_N0R_0", ".bmp"), "LOT_N0R_0?.bmp");
    EXPECT_EQ(SeriesPattern("KS Wichita", ".bmp"), "Wichita?.bmp");
    EXPECT_EQ(SeriesPattern("A B C", ".gif"), "A_B_C?.gif");
    EXPECT_EQ(SeriesPattern("NE US radar", ".bmp"), "US_radar?.bmp");
}

TEST_F(SeriesTest, StaleImagesOlderThanAnHourGo)
{
    TSystemClock sys;
    Env.Clock.Set(sys.UTCNow());
    Env.Clock.SetOffset(sys.LocalNow() - sys.UTCNow());
    Image("LOT_N0R_0.bmp", 60);
    Image("LOT_N0R_01.bmp", 3000);
    Image("LOT_N0R_02.bmp", 3700);
    Image("LOT_N0R_03.Bmp", 7200);
    Image("lot_n0r_04.gif", 7200);
    WriteFile(D() + "LOT_N0R_02.sat", "b\r\n");
    Age(D() + "LOT_N0R_02.sat", 7200);
    DeleteStaleImages(Env.S, D() + "lot_n0r_0.bmp");
    EXPECT_NE(Find("LOT_N0R_0.bmp"), "");
    EXPECT_NE(Find("LOT_N0R_01.bmp"), "");
    EXPECT_EQ(Find("LOT_N0R_02.bmp"), "");
    EXPECT_EQ(Find("LOT_N0R_03.bmp"), "");
    EXPECT_NE(Find("lot_n0r_04.gif"), "");
    EXPECT_NE(Find("LOT_N0R_02.sat"), "");
}

TEST_F(SeriesTest, StaleImagesKeepsAYoungSeries)
{
    TSystemClock sys;
    Env.Clock.Set(sys.UTCNow());
    Env.Clock.SetOffset(sys.LocalNow() - sys.UTCNow());
    Image("LOT_N0R_0.bmp", 60);
    Image("LOT_N0R_01.bmp", 600);
    DeleteStaleImages(Env.S, D() + "lot_n0r_0.bmp");
    EXPECT_EQ(Names().size(), 2u);
}
