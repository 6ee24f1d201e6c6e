#include "CoreTestEnv.h"
#include "core/DateTime.h"
#include "core/Files.h"
#include "core/ListFile.h"
#include <filesystem>
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

class ListFileTest : public ::testing::Test {
protected:
    TCoreEnv E;
    std::vector<std::string> Reports;

    TRadarObj& Add(const std::string& radar, const std::string& product)
    {
        TRadarObj* r = E.S.List.Add(radar + "\t" + product, TRadarObj::Create(E.Clock));
        r->SetNames(radar, product, E.S.Naming());
        return *r;
    }
    void Load(const std::string& text)
    {
        LoadListText(text, E.S.List, E.S.Naming(), E.Clock, [this](const std::string& m) { Reports.push_back(m); });
    }
    std::vector<std::string> FolderNames() const
    {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(E.Dir.Path()))
            names.push_back(e.path().filename().string());
        return names;
    }
};

const std::string kLine = "IL,Chicago,LOT\tShort Range Reflectivity, N0R\tLOT_N0R_0\tWaiting for new file\t"
                          "-90.5,45.25,-83.5,38.75\tTRUE\tFALSE\t03/15/2012 07:05:09\t03/14/2012 23:59:00\t"
                          "03/15/2012 17:30:00";

} // namespace

TEST_F(ListFileTest, LineHasTenTabFieldsWithFlagsAndDates)
{
    TRadarObj& r = Add("IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    r.Status = "Waiting for new file";
    r.Bounds = "-90.5,45.25,-83.5,38.75";
    r.Accumulate = true;
    r.Enabled = false;
    r.LastAttempt = At(2012, 3, 15, 7, 5, 9);
    r.LastImage = At(2012, 3, 14, 23, 59, 0);
    r.NextAttempt = At(2012, 3, 15, 17, 30, 0);
    EXPECT_EQ(ListLine(r), kLine);
}

TEST_F(ListFileTest, TextEndsEveryLineWithCrLfAndSkipsEmptyRadar)
{
    Add("IL,Chicago,LOT", "Velocity, N0V");
    E.S.List.Add("x", TRadarObj::Create(E.Clock)); // Radar left empty
    Add("!!ConUS,Iowa State University", ", ");
    const std::string text = ListText(E.S.List);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
    EXPECT_EQ(text.find("\r\n!!ConUS,Iowa State University\t, \tConUS\tNew record\t\tFALSE\tTRUE\t"),
              text.find("\r\n"));
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(ListFileTest, SaveWritesTheNamedFileAndLoadFindsIt)
{
    TRadarObj& r = Add("IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    r.Status = "Waiting for new file";
    TDateTime attempt = 0;
    ASSERT_TRUE(TryParseListDateTime("03/15/2012 07:05:09", attempt));
    r.NextAttempt = attempt;
    // The list owns r: Clear() frees it, so the comparison needs its own copy.
    const TRadarObj saved = r;
    ASSERT_TRUE(SaveList(E.S));
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"DownLoadList.Txt"});
    E.S.List.Clear();
    ASSERT_TRUE(LoadList(E.S));
    ASSERT_EQ(E.S.List.Count(), 1);
    EXPECT_EQ(E.S.List.Key(0), "IL,Chicago,LOT\tShort Range Reflectivity, N0R");
    EXPECT_EQ(E.S.List[0].Status, "Waiting for new file");
    EXPECT_NEAR(E.S.List[0].NextAttempt, saved.NextAttempt, 0.5 / 86400); // times are stored to the second
    EXPECT_NEAR(E.S.List[0].NextAttempt, attempt, 0.5 / 86400);
}

TEST_F(ListFileTest, SaveReplacesALowerCaseVariantAndEmptyListDeletesIt)
{
    E.Dir.Write("downloadlist.txt", "old\r\n");
    Add("IL,Chicago,LOT", "Velocity, N0V");
    ASSERT_TRUE(SaveList(E.S));
    ASSERT_EQ(FolderNames().size(), 1u);
    EXPECT_NE(E.Dir.Read(FolderNames()[0]).find("LOT_N0V_0"), std::string::npos);
    E.S.List.Clear();
    SaveList(E.S);
    EXPECT_TRUE(FolderNames().empty());
}

TEST_F(ListFileTest, LoadRestoresFieldsAndGeoValues)
{
    Load(kLine + "\r\n");
    ASSERT_EQ(E.S.List.Count(), 1);
    const TRadarObj& r = E.S.List[0];
    EXPECT_EQ(r.Status, "Waiting for new file");
    EXPECT_EQ(r.RemoteName, "LOT_N0R_0");
    EXPECT_EQ(r.LocalName, "LOT_N0R_0.gif"); // names are derived again with the current option
    EXPECT_TRUE(r.Accumulate);
    EXPECT_FALSE(r.Enabled);
    EXPECT_DOUBLE_EQ(r.LastAttempt, At(2012, 3, 15, 7, 5, 9));
    EXPECT_DOUBLE_EQ(r.LastImage, At(2012, 3, 14, 23, 59, 0));
    EXPECT_DOUBLE_EQ(r.NextAttempt, At(2012, 3, 15, 17, 30, 0));
    EXPECT_FLOAT_EQ(r.Left, -90.5f);
    EXPECT_FLOAT_EQ(r.Top, 45.25f);
    EXPECT_FLOAT_EQ(r.Right, -83.5f);
    EXPECT_FLOAT_EQ(r.Bottom, 38.75f);
    EXPECT_TRUE(Reports.empty());
}

TEST_F(ListFileTest, ShortLinesAreReportedDuplicatesSkippedSilently)
{
    Load("too short\r\n" + kLine + "\r\n" + kLine + "\n");
    EXPECT_EQ(E.S.List.Count(), 1);
    EXPECT_EQ(Reports, std::vector<std::string>{"Error loading Radar object"});
}

TEST_F(ListFileTest, FlagsAreCaseSensitiveAndMayHoldTrueAnywhere)
{
    Load("IL,Chicago,LOT\tVelocity, N0V\tx\tS\t\txTRUEx\ttrue\n");
    ASSERT_EQ(E.S.List.Count(), 1);
    EXPECT_TRUE(E.S.List[0].Accumulate);
    EXPECT_FALSE(E.S.List[0].Enabled);
}

TEST_F(ListFileTest, MissingDatesKeepDefaultsAndSkipGeoValues)
{
    Load("IL,Chicago,LOT\tVelocity, N0V\tx\tS\t-90,45,-80,40\tFALSE\tTRUE\r\n");
    ASSERT_EQ(E.S.List.Count(), 1);
    const TRadarObj& r = E.S.List[0];
    EXPECT_DOUBLE_EQ(r.NextAttempt, E.Clock.LocalNow() - 1); // due at once
    EXPECT_EQ(r.Left, 0.0f);
    EXPECT_EQ(r.Bounds, "-90,45,-80,40");
}

TEST_F(ListFileTest, ABadDateEndsTheConversion)
{
    Load("IL,Chicago,LOT\tVelocity, N0V\tx\tS\t-90,45,-80,40\tFALSE\tTRUE\t03/15/2012 07:05:09\t13/45/2012 99:00:00\t"
         "03/15/2012 17:30:00\n");
    const TRadarObj& r = E.S.List[0];
    EXPECT_DOUBLE_EQ(r.LastAttempt, At(2012, 3, 15, 7, 5, 9));
    EXPECT_DOUBLE_EQ(r.LastImage, TestNow() - 100);
    EXPECT_DOUBLE_EQ(r.NextAttempt, E.Clock.LocalNow() - 1);
    EXPECT_EQ(r.Left, 0.0f);
}

TEST_F(ListFileTest, ThreeBoundsFieldsLeaveGeoValuesAtZero)
{
    Load("IL,Chicago,LOT\tVelocity, N0V\tx\tS\t-90,45,-80\tFALSE\tTRUE\t03/15/2012 07:05:09\t03/15/2012 07:05:09\t"
         "03/15/2012 07:05:09\n");
    const TRadarObj& r = E.S.List[0];
    EXPECT_EQ(r.Bounds, "-90,45,-80");
    EXPECT_EQ(r.Left, 0.0f);
    EXPECT_EQ(r.Top, 0.0f);
}

TEST_F(ListFileTest, BoundsBeyondTheSingleRangeEndTheConversion)
{
    Load("IL,Chicago,LOT\tVelocity, N0V\tx\tS\t-90,1e39,-80,38\tFALSE\tTRUE\t03/15/2012 07:05:09\t"
         "03/15/2012 07:05:09\t03/15/2012 07:05:09\n");
    const TRadarObj& r = E.S.List[0];
    EXPECT_EQ(r.Left, -90.0f);
    EXPECT_EQ(r.Top, 0.0f);
    EXPECT_EQ(r.Right, 0.0f);
    EXPECT_EQ(r.Bottom, 0.0f);
}

TEST_F(ListFileTest, InvalidNameStatusIsSetAfterLoading)
{
    Load("!!..,dots\t, \t..\tWaiting for new file\t\tFALSE\tTRUE\n");
    ASSERT_EQ(E.S.List.Count(), 1);
    EXPECT_EQ(E.S.List[0].Status, "Error invalid name");
}

TEST_F(ListFileTest, ShortLineGoesToTheErrorLogWhenLogging)
{
    E.S.Logerrors1.Checked = true;
    E.Dir.Write("DownLoadList.txt", "short\r\n");
    ASSERT_TRUE(LoadList(E.S));
    EXPECT_EQ(E.S.List.Count(), 0);
    const std::string log = E.Dir.Read("R20120315ErrorLog.txt");
    EXPECT_NE(log.find(" Error loading Radar object\r\n"), std::string::npos);
}

TEST_F(ListFileTest, TabsAndLineBreaksInsideFieldsNeverShiftTheSavedFields)
{
    TRadarObj& r = Add("IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    r.Status = "Error 404 Not\tFound\r\nInvalid answer: x";
    r.Bounds = "-90.5,45.25,-83.5,38.75";
    r.Accumulate = true;
    r.Enabled = false;
    r.NextAttempt = At(2012, 3, 15, 17, 30, 0);
    const std::string line = ListLine(r);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 9);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    const std::string text = ListText(E.S.List);
    E.S.List.Clear();
    Load(text);
    ASSERT_EQ(E.S.List.Count(), 1);
    const TRadarObj& back = E.S.List[0];
    EXPECT_EQ(back.Status, "Error 404 Not Found  Invalid answer: x");
    EXPECT_EQ(back.Bounds, "-90.5,45.25,-83.5,38.75");
    EXPECT_TRUE(back.Accumulate);
    EXPECT_FALSE(back.Enabled);
    EXPECT_DOUBLE_EQ(back.NextAttempt, At(2012, 3, 15, 17, 30, 0));
    EXPECT_TRUE(Reports.empty());
}

// Two lines that differ only by a CR inside a field are one record once saved (the CR is
// written as a blank); reading them as two made the save write one key twice, and the next
// load dropped the second record.
TEST_F(ListFileTest, LinesThatDifferOnlyByACarriageReturnAreOneRecordFromTheFirstLoad)
{
    std::string withCr = kLine;
    withCr.replace(withCr.find("LOT\t"), 1, "\r");
    std::string withBlank = kLine;
    withBlank.replace(withBlank.find("LOT\t"), 1, " ");
    E.Dir.Write("DownLoadList.Txt", withCr + "\r\n" + withBlank + "\r\n");
    ASSERT_TRUE(LoadList(E.S));
    ASSERT_EQ(E.S.List.Count(), 1);
    EXPECT_EQ(E.S.List[0].Radar, "IL,Chicago, OT");
    EXPECT_TRUE(std::filesystem::exists(E.S.ProgramDir + kListBackupName)); // the dropped line is kept
    ASSERT_TRUE(SaveList(E.S));
    E.S.List.Clear();
    ASSERT_TRUE(LoadList(E.S));
    EXPECT_EQ(E.S.List.Count(), 1);
}
