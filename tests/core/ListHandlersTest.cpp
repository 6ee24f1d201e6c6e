#include "CoreTestEnv.h"
#include "core/IniFile.h"
#include "core/ListHandlers.h"
#include "core/Settings.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

class HandlersTest : public ::testing::Test {
protected:
    TCoreEnv E;
    void Select(const std::string& radar, const std::string& product)
    {
        E.S.RadarCmb.SetCaption(radar);
        E.S.ProductCmb.SetCaption(product);
    }
    void AddPair(const std::string& radar, const std::string& product)
    {
        Select(radar, product);
        AddBtnClick(E.S);
    }
    bool ListFileExists() const { return !E.Dir.Read("DownLoadList.Txt").empty(); }
};

} // namespace

TEST(StoredProduct, ReversesCodeAndDescription)
{
    EXPECT_EQ(StoredProductLine("N0R, Short Range Reflectivity"), "Short Range Reflectivity, N0R");
    EXPECT_EQ(StoredProductLine("N0Z, Long Range Reflectivity "), "Long Range Reflectivity, N0Z");
    EXPECT_EQ(StoredProductLine(""), ", ");
    EXPECT_EQ(StoredProductLine("N0R"), "N0R, ");
    EXPECT_EQ(StoredProductLine("A,B,C"), "B,C, A");
}

TEST_F(HandlersTest, AddAsksThenStoresTheReversedPair)
{
    E.S.AccumChk.Checked = true;
    AddPair(" IL,Chicago,LOT ", "N0R, Short Range Reflectivity");
    EXPECT_EQ(E.Dialogs.Questions, std::vector<std::string>{"Add IL,Chicago,LOT/N0R, Short Range Reflectivity to download list?"});
    ASSERT_EQ(E.S.List.Count(), 1);
    EXPECT_EQ(E.S.List.Key(0), "IL,Chicago,LOT\tShort Range Reflectivity, N0R");
    EXPECT_EQ(E.S.List[0].RemoteName, "LOT_N0R_0");
    EXPECT_TRUE(E.S.List[0].Accumulate);
    EXPECT_TRUE(E.S.List[0].Enabled);
    EXPECT_TRUE(ListFileExists());
    EXPECT_FALSE(E.Dir.Read("stormfetch.ini").empty());
    EXPECT_EQ(E.S.RadarGrid.Cell(0, 1), "IL,Chicago,LOT");
}

TEST_F(HandlersTest, SamePairTwiceIsRefused)
{
    AddPair("IL,Chicago,LOT", "N0R, Short Range Reflectivity");
    AddPair("IL,Chicago,LOT", "N0R, Short Range Reflectivity");
    EXPECT_EQ(E.S.List.Count(), 1);
    EXPECT_EQ(E.Dialogs.Errors, std::vector<std::string>{"Record already in list, aborting...."});
    AddPair("il,Chicago,LOT", "N0R, Short Range Reflectivity"); // keys compare exactly
    EXPECT_EQ(E.S.List.Count(), 2);
}

TEST_F(HandlersTest, MissingSelectionsAndNoAnswerChangeNothing)
{
    AddPair("  ", "N0R, Short Range Reflectivity");
    AddPair("IL,Chicago,LOT", " ");
    E.Dialogs.Answers = {false};
    AddPair("IL,Chicago,LOT", "N0V, Velocity");
    EXPECT_EQ(E.Dialogs.Errors, (std::vector<std::string>{"Radar not selected!", "Product not selected!"}));
    EXPECT_EQ(E.S.List.Count(), 0);
    EXPECT_FALSE(ListFileExists());
}

TEST_F(HandlersTest, MosaicIgnoresTheProduct)
{
    AddPair("!!ConUS,Iowa State University", "N0V, Velocity");
    EXPECT_EQ(E.Dialogs.Questions, std::vector<std::string>{"Add !!ConUS,Iowa State University to download list?"});
    ASSERT_EQ(E.S.List.Count(), 1);
    EXPECT_EQ(E.S.List[0].Product, ", ");
    EXPECT_EQ(E.S.RadarGrid.Cell(1, 1), "ConUS");
}

TEST_F(HandlersTest, DeleteAsksWithTheRowCells)
{
    AddPair("IL,Chicago,LOT", "N0R, Short Range Reflectivity");
    AddPair("IL,Central (Springfield),ILX", "N0V, Velocity");
    E.Dialogs.Questions.clear();
    E.S.RadarGrid.Row = 1;
    E.Dialogs.Answers = {false};
    DeleteBtnClick(E.S);
    EXPECT_EQ(E.S.List.Count(), 2);
    DeleteBtnClick(E.S);
    ASSERT_FALSE(E.Dialogs.Questions.empty());
    EXPECT_EQ(E.Dialogs.Questions.back(), "Delete IL,Chicago,LOT,Short Range Reflectivity, N0R?");
    ASSERT_EQ(E.S.List.Count(), 1);
    EXPECT_EQ(E.S.List[0].SiteID, "ILX");
    EXPECT_EQ(E.S.RadarGrid.Cell(0, 1), "IL,Central (Springfield),ILX");
    DeleteBtnClick(E.S);
    EXPECT_EQ(E.S.List.Count(), 0);
    EXPECT_FALSE(ListFileExists()); // an empty list has no file
}

TEST_F(HandlersTest, DeleteNeedsARowAndADataRow)
{
    DeleteBtnClick(E.S); // empty list: nothing at all
    EXPECT_TRUE(E.Dialogs.Calls.empty());
    AddPair("IL,Chicago,LOT", "N0R, Short Range Reflectivity");
    E.S.RadarGrid.Row = -1;
    DeleteBtnClick(E.S);
    EXPECT_EQ(E.Dialogs.Errors, std::vector<std::string>{"Radar record not selected, aborting!"});
    E.S.RadarGrid.Row = 0;
    DeleteBtnClick(E.S);
    EXPECT_EQ(E.S.List.Count(), 1);
}

TEST_F(HandlersTest, PopupCaptionsFollowTheRecordAndMode)
{
    E.S.SaveGifChk.Checked = false;
    E.S.QuorUnderlayPath = "/srv/quor/Quor Underlays/";
    AddPair("IL,Chicago,LOT", "N0R, Short Range Reflectivity");
    E.S.RadarGrid.Row = 1;
    RadarPopupPopup(E.S);
    EXPECT_EQ(E.S.ViewUnderlay1.Caption(), "&View Underlay LOT_N0R_0");
    EXPECT_EQ(E.S.ViewUnderlayFile, "/srv/quor/Quor Underlays/LOT_N0R_0.bmp");
    EXPECT_EQ(E.S.Browseto1.Caption(), "&Browse to LOT_N0R_0");
    EXPECT_EQ(E.S.BrowseToURL, E.S.List[0].ImageURL);
    EXPECT_EQ(E.S.Accumulateimages1.Caption(), "Accumulate images");
    EXPECT_EQ(E.S.Disabledownload1.Caption(), "Disable downloads");
    E.S.List[0].Accumulate = true;
    E.S.List[0].Enabled = false;
    E.S.ModeGrp.ItemIndex = 1;
    RadarPopupPopup(E.S);
    EXPECT_EQ(E.S.Accumulateimages1.Caption(), "Do not accumulate images");
    EXPECT_EQ(E.S.Disabledownload1.Caption(), "Enable processing");
    E.S.List[0].Enabled = true;
    RadarPopupPopup(E.S);
    EXPECT_EQ(E.S.Disabledownload1.Caption(), "Disable processing");
    E.S.ModeGrp.ItemIndex = 0;
    E.S.List[0].Enabled = false;
    RadarPopupPopup(E.S);
    EXPECT_EQ(E.S.Disabledownload1.Caption(), "Enable downloads");
    EXPECT_TRUE(E.Dialogs.Errors.empty());
}

TEST_F(HandlersTest, PopupWithoutRowOrRecordsKeepsCaptions)
{
    E.S.RadarGrid.Row = 1;
    RadarPopupPopup(E.S);
    E.S.RadarGrid.Row = -1;
    RadarPopupPopup(E.S);
    EXPECT_EQ(E.Dialogs.Errors, (std::vector<std::string>{"Radar grid has no records, aborting!",
                                                         "Radar record not selected, aborting!"}));
    EXPECT_EQ(E.S.ViewUnderlay1.Caption(), "&View Underlay");
    EXPECT_EQ(E.S.Browseto1.Caption(), "&Browse to");
}

TEST_F(HandlersTest, PopupActionsFlipAndSave)
{
    AddPair("IL,Chicago,LOT", "N0R, Short Range Reflectivity");
    E.S.RadarGrid.Row = 1;
    Accumulateimages1Click(E.S);
    EXPECT_TRUE(E.S.List[0].Accumulate);
    EXPECT_TRUE(E.S.Accumulateimages1.Checked);
    EXPECT_EQ(E.S.RadarGrid.Cell(6, 1), "Yes");
    EXPECT_NE(E.Dir.Read("DownLoadList.Txt").find("\tTRUE\tTRUE\t"), std::string::npos);
    Accumulateimages1Click(E.S);
    EXPECT_FALSE(E.S.Accumulateimages1.Checked);
    Disabledownload1Click(E.S);
    EXPECT_FALSE(E.S.List[0].Enabled);
    EXPECT_EQ(E.S.RadarGrid.Cell(7, 1), "No");
    EXPECT_NE(E.Dir.Read("DownLoadList.Txt").find("\tFALSE\tFALSE\t"), std::string::npos);
    E.S.RadarGrid.Row = 2;
    Disabledownload1Click(E.S);
    Accumulateimages1Click(E.S);
    EXPECT_EQ(E.Dialogs.Errors, (std::vector<std::string>{"Radar record not selected, aborting!",
                                                         "Radar record not selected, aborting!"}));
}

TEST_F(HandlersTest, ViewAndBrowseOpenThePreparedTargets)
{
    E.S.QuorUnderlayPath = "/q/";
    AddPair("IL,Chicago,LOT", "N0R, Short Range Reflectivity");
    E.S.RadarGrid.Row = 1;
    RadarPopupPopup(E.S);
    ViewUnderlay1Click(E.S);
    Browseto1Click(E.S);
    EXPECT_EQ(E.Dialogs.Opened, (std::vector<std::string>{"/q/LOT_N0R_0.gif", E.S.List[0].ImageURL}));
}

TEST_F(HandlersTest, InvalidNameIsNeverJoinedToTheUnderlayFolder)
{
    E.S.QuorUnderlayPath = "/q/";
    AddPair("!!..,dots", "");
    E.S.RadarGrid.Row = 1;
    RadarPopupPopup(E.S);
    ViewUnderlay1Click(E.S);
    EXPECT_TRUE(E.Dialogs.Opened.empty());
}

TEST_F(HandlersTest, FailedSettingsSaveIsShown)
{
    E.S.ProgramDir = E.Dir.Path() + "missing/folder/";
    AddPair("IL,Chicago,LOT", "N0R, Short Range Reflectivity");
    ASSERT_EQ(E.Dialogs.Errors.size(), 1u);
    EXPECT_EQ(E.Dialogs.Errors[0], "Unable to write to " + E.Dir.Path() + "missing/folder/stormfetch.ini");
}
