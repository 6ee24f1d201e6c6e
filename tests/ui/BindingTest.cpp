// Each widget shows its view-model value and follows its changes; user input on a
// widget reaches the view-model and the control's handler.
#include "WindowFixture.h"
#include "core/ListHandlers.h"
#include "core/Grid.h"
#include "ui/GridView.h"
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace sf;
using sf::test::TWindowFixture;

TEST(WindowBinding, LabelsButtonsChecksEditsAndLampFollowTheirValues)
{
    TWindowFixture f;
    TShared& s = f.S();
    auto* heap = f.Find<QLabel>("HeapLbl");
    ASSERT_NE(heap, nullptr);
    s.HeapLbl.SetCaption("10% memory available");
    EXPECT_EQ(heap->text(), "10% memory available");
    s.HeapLbl.Color = clRed;
    EXPECT_EQ(heap->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    auto* download = f.Find<QPushButton>("DownloadBtn");
    ASSERT_NE(download, nullptr);
    s.DownloadBtn.Enabled = false;
    EXPECT_FALSE(download->isEnabled());
    s.DownloadBtn.SetCaption("Process");
    s.DownloadBtn.Hint = "Process selected radar images from server";
    EXPECT_EQ(download->text(), "Process");
    EXPECT_EQ(download->toolTip(), "Process selected radar images from server");

    auto* tor = f.Find<QCheckBox>("TorChk");
    ASSERT_NE(tor, nullptr);
    s.TorChk.Checked = true;
    EXPECT_TRUE(tor->isChecked());
    s.TorChk.SetCaption("Tornado 48732 bytes @ 14:05");
    EXPECT_EQ(tor->text(), "Tornado 48732 bytes @ 14:05");
    EXPECT_TRUE(f.Find<QCheckBox>("LSRChk")->isHidden());

    auto* dir = f.Find<QLineEdit>("TargetED");
    s.TargetED.SetCaption("/srv/shp/");
    EXPECT_EQ(dir->text(), "/srv/shp/");

    auto* lamp = f.Find<TLamp>("Shape1");
    ASSERT_NE(lamp, nullptr);
    s.Shape1.BrushColor = clYellow;
    EXPECT_EQ(lamp->Colour(), clYellow);

    s.Sbar.SetPanel(0, "Scheduler message");
    s.Sbar.SetPanel(1, "Idle");
    EXPECT_EQ(f.Find<QLabel>("SbarPanel0")->text(), "Scheduler message");
    EXPECT_EQ(f.Find<QLabel>("SbarPanel1")->text(), "Idle");
    EXPECT_EQ(f.Find<QLabel>("SbarPanel0")->width() + 0, 535);
    EXPECT_EQ(f.Find<QLabel>("SbarPanel1")->width() + 0, 50);

    s.WindowCaption.SetCaption("QuorServer NOT selected in UiView!");
    EXPECT_EQ(f.Window->windowTitle(), "QuorServer NOT selected in UiView!");
}

TEST(WindowBinding, CombosRadioAndMenusFollowItemsIndexAndChecks)
{
    TWindowFixture f;
    TShared& s = f.S();
    auto* radar = f.Find<QComboBox>("RadarCmb");
    ASSERT_NE(radar, nullptr);
    s.RadarCmb.Items = {"!!ConUS,Iowa State University", "IL,Chicago,LOT"};
    ASSERT_EQ(radar->count(), 2);
    EXPECT_EQ(radar->itemText(1), "IL,Chicago,LOT");
    EXPECT_EQ(radar->maxVisibleItems(), 7);
    s.RadarCmb.SetCaption("WI,Milwaukee,MKX");
    EXPECT_EQ(radar->currentText(), "WI,Milwaukee,MKX");
    s.TargetCmb.Items.push_back("/a/");
    EXPECT_EQ(f.Find<QComboBox>("TargetCmb")->count(), 1);

    s.ModeGrp.ItemIndex = 1;
    EXPECT_TRUE(f.Find<QRadioButton>("ModeGrp1")->isChecked());
    EXPECT_FALSE(f.Find<QRadioButton>("ModeGrp0")->isChecked());

    QAction* logErrors = f.Action("Logerrors1");
    ASSERT_NE(logErrors, nullptr);
    s.Logerrors1.Checked = true;
    EXPECT_TRUE(logErrors->isChecked());
    QAction* loop = f.Action("LoopRadar1");
    ASSERT_NE(loop, nullptr);
    EXPECT_FALSE(loop->isEnabled());
    s.LoopRadar1.Enabled = true;
    s.LoopRadar1.SetCaption("Loop LOT_N0R_0 Radar");
    EXPECT_TRUE(loop->isEnabled());
    EXPECT_EQ(loop->text(), "Loop LOT_N0R_0 Radar");
}

TEST(WindowBinding, InputReachesTheViewModelAndTheHandlers)
{
    TWindowFixture f;
    TShared& s = f.S();
    // Typing in a selector changes its text; ticking a box its check.
    f.Find<QComboBox>("ProductCmb")->setEditText("N0V, Velocity");
    EXPECT_EQ(s.ProductCmb.Caption(), "N0V, Velocity");
    f.Find<QCheckBox>("AccumChk")->setChecked(true);
    EXPECT_TRUE(s.AccumChk.Checked);
    f.Find<QLineEdit>("ShpURLEd")->setText("x");
    QTest::keyClicks(f.Find<QLineEdit>("ShpURLEd"), "y");
    EXPECT_EQ(s.ShpURLEd.Caption(), "xy");

    // Every button and menu command runs its control's handler.
    std::vector<std::string> ran;
    for (TControl* c : std::initializer_list<TControl*>{&s.AddBtn, &s.DeleteBtn, &s.DownloadBtn, &s.RedrawBtn,
                                                       &s.AddTargetBtn, &s.TargetDelBtn, &s.ShpDownloadBtn, &s.BrowseBtn})
        c->OnClick = [&ran, c] { ran.push_back(c->Name()); };
    s.RedrawBtn.Enabled = true;
    for (const char* name : {"AddBtn", "DeleteBtn", "DownloadBtn", "RedrawBtn", "AddTargetBtn", "TargetDelBtn",
                             "ShpDownloadBtn", "BrowseBtn"})
        QTest::mouseClick(f.Find<QPushButton>(name), Qt::LeftButton);
    EXPECT_EQ(ran, (std::vector<std::string>{"AddBtn", "DeleteBtn", "DownloadBtn", "RedrawBtn", "AddTargetBtn",
                                             "TargetDelBtn", "ShpDownloadBtn", "BrowseBtn"}));

    ran.clear();
    for (TMenuItem* m : {&s.LoopRadar1, &s.RadarZoom1, &s.Deletestaleimages1, &s.Deleteselectedunderlayimages1,
                         &s.Accumulateimages1, &s.Disabledownload1, &s.DeleteRecord1, &s.Downloadcurrentrecord1,
                         &s.Browseto1, &s.ViewUnderlay1}) {
        m->Enabled = true;
        m->OnClick = [&ran, m] { ran.push_back(m->Name()); };
        f.Action(m->Name().c_str())->trigger();
    }
    EXPECT_EQ(ran.size(), 10u);
    EXPECT_EQ(ran.front(), "LoopRadar1");
    EXPECT_EQ(ran.back(), "ViewUnderlay1");
}

TEST(WindowBinding, ModeButtonRunsTheModeSwitch)
{
    TWindowFixture f;
    f.Window->show();
    QTest::mouseClick(f.Find<QRadioButton>("ModeGrp1"), Qt::LeftButton);
    EXPECT_EQ(f.S().ModeGrp.ItemIndex.Get(), 1);
    EXPECT_EQ(f.Find<QPushButton>("DownloadBtn")->text().toStdString(), "Process");
    EXPECT_EQ(f.Window->windowTitle().toStdString(), "Stormfetch 2.9.1 Client mode");
}

TEST(WindowBinding, FileMenuTogglesAreSavedAsTheirHandlersSay)
{
    TWindowFixture f;
    f.Action("Minimizeonstartup1")->trigger();
    EXPECT_TRUE(f.S().Minimizeonstartup1.Checked);
    EXPECT_TRUE(f.Action("Minimizeonstartup1")->isChecked());
    EXPECT_NE(f.Home.Read("stormfetch.ini").find("Minimize=1"), std::string::npos);
    // Remove stale underlays only changes the check; it reaches the file with the next save.
    f.Action("Removestaleunderlaysatstartup1")->trigger();
    EXPECT_TRUE(f.S().Removestaleunderlaysatstartup1.Checked);
    EXPECT_NE(f.Home.Read("stormfetch.ini").find("RemoveStale=0"), std::string::npos);
    f.Action("Minimizeonstartup1")->trigger();
    EXPECT_FALSE(f.S().Minimizeonstartup1.Checked);
    EXPECT_NE(f.Home.Read("stormfetch.ini").find("RemoveStale=1"), std::string::npos);
}

TEST(WindowBinding, AddButtonAddsARecordThatTheGridShows)
{
    TWindowFixture f;
    TShared& s = f.S();
    RebuildGrid(s);
    s.RadarCmb.SetCaption("IL,Chicago,LOT");
    s.ProductCmb.SetCaption("N0R, Short Range Reflectivity");
    f.Dialogs.Answers = {true};
    QTest::mouseClick(f.Find<QPushButton>("AddBtn"), Qt::LeftButton);
    ASSERT_EQ(f.Dialogs.Questions.size(), 1u);
    EXPECT_EQ(f.Dialogs.Questions[0], "Add IL,Chicago,LOT/N0R, Short Range Reflectivity to download list?");
    TGridView& grid = f.Window->Grid();
    ASSERT_EQ(grid.rowCount(), 1);
    ASSERT_EQ(grid.columnCount(), 9);
    EXPECT_EQ(grid.horizontalHeaderItem(2)->text(), "Last Image");
    EXPECT_EQ(grid.columnWidth(1), 107);
    EXPECT_EQ(grid.item(0, 0)->text(), "IL,Chicago,LOT");
    EXPECT_EQ(grid.item(0, 1)->text(), "Short Range Reflectivity, N0R");
    EXPECT_EQ(grid.rowHeight(0), 18);
    // A cell written alone shows alone; selecting a row sets the current row.
    s.RadarGrid.SetCell(3, 1, "OK");
    EXPECT_EQ(grid.item(0, 3)->text(), "OK");
    grid.selectRow(0);
    EXPECT_EQ(s.RadarGrid.Row.Get(), 1);
    // A column the user widened keeps its width when the grid is rebuilt.
    grid.setColumnWidth(0, 150);
    RebuildGrid(s);
    EXPECT_EQ(grid.columnWidth(0), 150);
    EXPECT_EQ(grid.item(0, 0)->text(), "IL,Chicago,LOT");
}
