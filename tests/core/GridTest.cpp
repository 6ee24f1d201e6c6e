#include "CoreTestEnv.h"
#include "core/Grid.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

class GridTest : public ::testing::Test {
protected:
    TCoreEnv E;
    TRadarObj& Add(const std::string& radar, const std::string& product)
    {
        TRadarObj* r = E.S.List.Add(radar + "\t" + product, TRadarObj::Create(E.Clock));
        r->SetNames(radar, product, E.S.Naming());
        return *r;
    }
};

int SixPerChar(const std::string& t)
{
    return 6 * (int)t.size();
}

} // namespace

TEST_F(GridTest, EmptyListHasTitlesAndOneEmptyRow)
{
    RebuildGrid(E.S);
    const TStringGrid& g = E.S.RadarGrid;
    EXPECT_EQ(g.ColCount, 9);
    EXPECT_EQ(g.RowCount, 2);
    const std::vector<std::string> titles = {"Radar", "Product", "Last Image", "Status", "Last attempt",
                                             "Next attempt", "Accum", "Enable", "Errors"};
    for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(g.Cell(c, 0), titles[c]);
        EXPECT_EQ(g.Cell(c, 1), "");
    }
    EXPECT_EQ(g.ColWidths, (std::vector<int>{100, 107, 62, 36, 63, 63, 36, 38, 30}));
}

TEST_F(GridTest, RowShowsRecordInLocalTime)
{
    TRadarObj& r = Add("IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    r.LastImage = At(2012, 3, 15, 11, 2, 0);   // UTC; local is 5 h earlier
    r.LastAttempt = At(2012, 3, 15, 11, 3, 4);
    r.NextAttempt = At(2012, 3, 15, 2, 0, 59);
    r.AccessErrors = 3, r.ConversionErrors = 1;
    r.Accumulate = true;
    RebuildGrid(E.S);
    const TStringGrid& g = E.S.RadarGrid;
    EXPECT_EQ(g.RowCount, 2);
    EXPECT_EQ(g.Cell(0, 1), "IL,Chicago,LOT");
    EXPECT_EQ(g.Cell(1, 1), "Short Range Reflectivity, N0R");
    EXPECT_EQ(g.Cell(2, 1), "03/15 06:02");
    EXPECT_EQ(g.Cell(3, 1), "New record");
    EXPECT_EQ(g.Cell(4, 1), "06:03:04");
    EXPECT_EQ(g.Cell(5, 1), "21:00:59"); // the day before, locally
    EXPECT_EQ(g.Cell(6, 1), "Yes");
    EXPECT_EQ(g.Cell(7, 1), "Yes");
    EXPECT_EQ(g.Cell(8, 1), "3,1");
}

TEST_F(GridTest, TimesAWeekOldAreLeftEmpty)
{
    TRadarObj& r = Add("IL,Chicago,LOT", "Velocity, N0V");
    const TDateTime weekAgo = E.Clock.LocalNow() - 7;
    r.LastAttempt = weekAgo;             // not later: empty
    r.NextAttempt = weekAgo + kOneMinute; // later: shown
    r.Enabled = false;
    RebuildGrid(E.S);
    EXPECT_EQ(E.S.RadarGrid.Cell(2, 1), ""); // LastImage default: 100 days ago
    EXPECT_EQ(E.S.RadarGrid.Cell(4, 1), "");
    EXPECT_NE(E.S.RadarGrid.Cell(5, 1), "");
    EXPECT_EQ(E.S.RadarGrid.Cell(6, 1), "No");
    EXPECT_EQ(E.S.RadarGrid.Cell(7, 1), "No");
}

TEST_F(GridTest, MosaicRowShowsItsKeyAsProduct)
{
    Add("!!ConUS,Iowa State University", ", ");
    Add("!!USRad", ", ");
    Add("!! Wide ,x", ", ");
    RebuildGrid(E.S);
    EXPECT_EQ(E.S.RadarGrid.RowCount, 4);
    EXPECT_EQ(E.S.RadarGrid.Cell(1, 1), "ConUS");
    EXPECT_EQ(E.S.RadarGrid.Cell(1, 2), "");
    EXPECT_EQ(E.S.RadarGrid.Cell(1, 3), "Wide");
}

TEST_F(GridTest, ShrinkingListLeavesNoStaleRows)
{
    Add("IL,Chicago,LOT", "Velocity, N0V");
    Add("IL,Central (Springfield),ILX", "Velocity, N0V");
    RebuildGrid(E.S);
    E.S.List.Delete(0);
    E.S.List.Delete(0);
    RebuildGrid(E.S);
    EXPECT_EQ(E.S.RadarGrid.RowCount, 2);
    EXPECT_EQ(E.S.RadarGrid.Cell(0, 1), "");
}

TEST(GridHintText, ErrorsCellNumbers)
{
    EXPECT_EQ(ErrorsHintText("3,1"), "Errors : Access=3,Conversion=1");
    EXPECT_EQ(ErrorsHintText("x,7"), "Errors : Access=0,Conversion=7");
    EXPECT_EQ(ErrorsHintText("12,abc"), "Errors : Access=12,Conversion=0");
}

TEST(GridHintPlace, OnlyTextsWiderThanTheCellOrTheErrorsColumn)
{
    TGridHintInput in;
    in.Col = 3, in.CellText = "Waiting", in.CellLeft = 300, in.CellTop = 40, in.CellWidth = 42;
    in.GridLeft = 5, in.GridWidth = 560, in.TextWidth = SixPerChar;
    EXPECT_FALSE(GridHint(in).Show); // 42 is not wider than 42
    in.CellText = "Waiting!";
    TGridHint h = GridHint(in);
    EXPECT_TRUE(h.Show);
    EXPECT_EQ(h.Text, "Waiting!");
    EXPECT_EQ(h.X, 300);
    EXPECT_EQ(h.Y, 25);
}

TEST(GridHintPlace, ErrorsColumnIsCentredOnTheCellLeft)
{
    TGridHintInput in;
    in.Col = 8, in.CellText = "3,1", in.CellLeft = 500, in.CellTop = 58, in.CellWidth = 30;
    in.GridLeft = 5, in.GridWidth = 560, in.TextWidth = SixPerChar;
    TGridHint h = GridHint(in);
    ASSERT_TRUE(h.Show);
    EXPECT_EQ(h.Text, "Errors : Access=3,Conversion=1");
    const int w = SixPerChar(h.Text); // 180
    EXPECT_EQ(h.X, 500 - w / 2);
    EXPECT_EQ(h.Y, 43);
}

TEST(GridHintPlace, EdgesOfTheGrid)
{
    TGridHintInput in;
    in.Col = 0, in.CellText = "VA/Washington DC,Sterling,LWX", in.CellLeft = 2, in.CellTop = 20, in.CellWidth = 100;
    in.GridLeft = 5, in.GridWidth = 560, in.TextWidth = SixPerChar;
    const int w = SixPerChar(in.CellText); // 174
    EXPECT_EQ(GridHint(in).X, 5 + w / 2);
    in.CellLeft = 500, in.CellWidth = 100; // right edge 600 beyond the grid width
    EXPECT_EQ(GridHint(in).X, 5 + 560 - 2 * w);
}
