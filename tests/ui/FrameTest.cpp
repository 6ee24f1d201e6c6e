// The window's frame: keyboard rules, the grid's pop-up and hover caption, the
// tray (present or absent), minimize on startup, the close path, help and About.
#include "WindowFixture.h"
#include "core/Grid.h"
#include "ui/GridView.h"
#include "ui/Preview.h"
#include "ui/Staleness.h"
#include "ui/Tray.h"
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace sf;
using sf::test::TWindowFixture;

namespace {

void AddRecord(TShared& s, const std::string& radar, const std::string& product)
{
    TRadarObj* r = s.List.Add(radar + "\t" + product, TRadarObj());
    ASSERT_NE(r, nullptr);
    r->SetNames(radar, product, s.Naming());
}

} // namespace

TEST(WindowKeys, SelectorsOpenOnTypingAndTabMovesOn)
{
    TWindowFixture f;
    f.Window->show();
    f.Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.Window.get(), 5000));
    auto* radar = f.Find<QComboBox>("RadarCmb");
    auto* product = f.Find<QComboBox>("ProductCmb");
    auto* target = f.Find<QComboBox>("TargetCmb");
    f.S().RadarCmb.Items = {"IL,Chicago,LOT", "WI,Milwaukee,MKX"};
    radar->setFocus();
    // Page Down lies above the space bar: it opens the list.
    QTest::keyClick(radar->lineEdit(), Qt::Key_PageDown);
    EXPECT_TRUE(radar->view()->isVisible());
    radar->hidePopup();
    // Enter does nothing; Tab goes from the source to the product selector, then to the
    // accumulate box; from the target box to its Add button.
    QTest::keyClick(radar->lineEdit(), Qt::Key_Return);
    EXPECT_FALSE(radar->view()->isVisible());
    QTest::keyClick(radar->lineEdit(), Qt::Key_Tab);
    EXPECT_TRUE(product->lineEdit()->hasFocus() || product->hasFocus());
    QTest::keyClick(product->lineEdit(), Qt::Key_Tab);
    EXPECT_TRUE(f.Find<QCheckBox>("AccumChk")->hasFocus());
    f.S().TargetCmb.Items = {"/a/", "/b/"};
    target->setFocus();
    QTest::keyClick(target->lineEdit(), Qt::Key_Tab);
    EXPECT_TRUE(f.Find<QPushButton>("AddTargetBtn")->hasFocus());
    QTest::keyClick(target->lineEdit(), Qt::Key_Down);
    EXPECT_TRUE(target->view()->isVisible());
    target->hidePopup();
}

TEST(WindowKeys, TypingGoesIntoTheBoxWhileTheListIsOpen)
{
    TWindowFixture f;
    f.Window->show();
    f.Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.Window.get(), 5000));
    auto* radar = f.Find<QComboBox>("RadarCmb");
    f.S().RadarCmb.Items = {"!!ConUS,Iowa State University", "IL,Central (Springfield),ILX", "IL,Chicago,LOT",
                            "WI,Milwaukee,MKX"};
    f.S().RadarCmb.SetCaption("");
    radar->lineEdit()->setFocus();
    QWindow* w = f.Window->windowHandle();
    // Keys go in as the window system delivers them: once the list is open the
    // application hands them to the list, the pop-up's focus.
    QTest::keyClick(w, 'I');
    ASSERT_TRUE(radar->view()->isVisible());
    for (char c : std::string("L,Peoria,PIA"))
        QTest::keyClick(w, c);
    EXPECT_TRUE(radar->view()->isVisible());
    EXPECT_EQ(radar->lineEdit()->text(), "IL,Peoria,PIA");
    QTest::keyClick(w, Qt::Key_Backspace);
    EXPECT_EQ(radar->lineEdit()->text(), "IL,Peoria,PI");
    // Enter closes the list and keeps the typed line.
    QTest::keyClick(w, Qt::Key_Return);
    EXPECT_FALSE(radar->view()->isVisible());
    EXPECT_EQ(f.S().RadarCmb.Caption(), "IL,Peoria,PI");

    // "IL" and Enter never picks the list's first row.
    f.S().RadarCmb.SetCaption("");
    radar->lineEdit()->setFocus();
    QTest::keyClick(w, 'I');
    QTest::keyClick(w, 'L');
    QTest::keyClick(w, Qt::Key_Return);
    EXPECT_FALSE(radar->view()->isVisible());
    EXPECT_EQ(f.S().RadarCmb.Caption().substr(0, 2), "IL");

    // A row chosen in the list with the arrows is what Enter takes.
    f.S().RadarCmb.SetCaption("");
    radar->lineEdit()->setFocus();
    QTest::keyClick(w, Qt::Key_Down);
    ASSERT_TRUE(radar->view()->isVisible());
    radar->view()->setCurrentIndex(radar->model()->index(3, 0));
    QTest::keyClick(w, Qt::Key_Return);
    EXPECT_EQ(f.S().RadarCmb.Caption(), "WI,Milwaukee,MKX");
}

TEST(WindowGrid, PopupIsPreparedForTheCurrentRecord)
{
    TWindowFixture f;
    TShared& s = f.S();
    AddRecord(s, "IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    RebuildGrid(s);
    f.Window->Grid().selectRow(0);
    f.Window->OpenGridPopup(QPoint(10, 10));
    EXPECT_EQ(f.Action("Disabledownload1")->text(), "Disable downloads");
    EXPECT_EQ(f.Action("Accumulateimages1")->text(), "Accumulate images");
    EXPECT_EQ(f.Action("Browseto1")->text().toStdString(), "&Browse to " + s.List[0].RemoteName);
    EXPECT_EQ(f.Action("Cancel2")->text(), "&Cancel");
    f.Window->GridMenu().hide();
    // The pop-up's command toggles the record; the grid shows it at once.
    f.Action("Disabledownload1")->trigger();
    EXPECT_FALSE(s.List[0].Enabled);
    EXPECT_EQ(f.Window->Grid().item(0, 7)->text(), "No");
}

TEST(WindowGrid, HoverCaptionFollowsTheCellRules)
{
    TWindowFixture f;
    TShared& s = f.S();
    AddRecord(s, "IL,A place whose name is far too long for the column,LOT", "Short Range Reflectivity, N0R");
    RebuildGrid(s);
    f.Window->show();
    TGridView& g = f.Window->Grid();
    const QRect cell0 = g.visualRect(g.model()->index(0, 0));
    g.HoverAt(cell0.center());
    ASSERT_TRUE(g.Hint().Show);
    EXPECT_EQ(g.Hint().Text, s.RadarGrid.Cell(0, 1));
    const QPoint origin = g.viewport()->mapTo(&g, QPoint(0, 0));
    // y is the cell's top in the grid's own frame, less 15.
    EXPECT_EQ(g.Hint().Y, cell0.top() + origin.y() - 15);
    // The errors column always has its caption, in words.
    g.scrollTo(g.model()->index(0, 8));
    const QRect errors = g.visualRect(g.model()->index(0, 8));
    g.HoverAt(errors.center());
    ASSERT_TRUE(g.Hint().Show);
    EXPECT_EQ(g.Hint().Text, "Errors : Access=0,Conversion=0");
    // Over no cell the caption goes.
    g.HoverAt(QPoint(errors.center().x(), g.viewport()->height() - 2));
    EXPECT_FALSE(g.Hint().Show);
    EXPECT_FALSE(s.CaptionShown);
}

TEST(WindowGrid, HoverCaptionRuleComparesTheGridsLeftWithTheCellsLeftInTheGrid)
{
    TWindowFixture f;
    TShared& s = f.S();
    AddRecord(s, "IL,A place whose name is far too long for the column,LOT", "Short Range Reflectivity, N0R");
    RebuildGrid(s);
    f.Window->show();
    TGridView& g = f.Window->Grid();
    // The grid 40 pixels into its panel: the first column's left (in the grid, a frame's
    // width) lies left of the grid's position, so the caption starts at the grid's left
    // plus half the text's width.
    g.move(40, g.y());
    const QRect cell0 = g.visualRect(g.model()->index(0, 0));
    g.HoverAt(cell0.center());
    ASSERT_TRUE(g.Hint().Show);
    const int w = QFontMetrics(g.font()).horizontalAdvance(QString::fromStdString(s.RadarGrid.Cell(0, 1)));
    EXPECT_EQ(g.Hint().X, 40 + w / 2);
}

TEST(WindowGrid, PointerOntoTheTitleRowErasesTheCaption)
{
    TWindowFixture f;
    TShared& s = f.S();
    AddRecord(s, "IL,A place whose name is far too long for the column,LOT", "Short Range Reflectivity, N0R");
    RebuildGrid(s);
    f.Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.Window.get(), 5000));
    TGridView& g = f.Window->Grid();
    const QRect cell0 = g.visualRect(g.model()->index(0, 0));
    QTest::mouseMove(g.viewport(), cell0.center());
    ASSERT_TRUE(g.Hint().Show);
    g.viewport()->repaint();
    EXPECT_TRUE(s.CaptionShown);
    QTest::mouseMove(g.horizontalHeader()->viewport(), QPoint(cell0.center().x(), g.horizontalHeader()->height() / 2));
    EXPECT_FALSE(g.Hint().Show);
    EXPECT_FALSE(s.CaptionShown);
}

TEST(WindowGrid, DoubleClickOpensThePopupForTheRowClicked)
{
    TWindowFixture f;
    TShared& s = f.S();
    AddRecord(s, "IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    AddRecord(s, "WI,Milwaukee,MKX", "Velocity, N0V");
    RebuildGrid(s);
    f.Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.Window.get(), 5000));
    TGridView& g = f.Window->Grid();
    g.selectRow(0);
    const QRect row1 = g.visualRect(g.model()->index(1, 0));
    QTest::mouseDClick(g.viewport(), Qt::LeftButton, Qt::NoModifier, row1.center());
    EXPECT_TRUE(f.Window->GridMenu().isVisible());
    EXPECT_EQ(s.RadarGrid.Row, 2);
    EXPECT_EQ(f.Action("Browseto1")->text().toStdString(), "&Browse to " + s.List[1].RemoteName);
    f.Window->GridMenu().hide();
}

// Every title and every time is shown whole at both window sizes, no column is below
// its least width, and the columns fill the grid.
static void CheckColumns(int width, int height)
{
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    TWindowFixture f;
    TShared& s = f.S();
    AddRecord(s, "IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    AddRecord(s, "!!ConUS,Iowa State University", ", ");
    const TDateTime now = s.Clock.UTCNow();
    for (int i = 0; i < 2; ++i) {
        s.List[i].LastImage = now - 10 * kOneMinute;
        s.List[i].LastAttempt = now - 2 * kOneMinute;
        s.List[i].NextAttempt = now + 3 * kOneMinute;
    }
    RebuildGrid(s);
    s.WindowWidth = width;
    s.WindowHeight = height;
    f.Window->FirstShown();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.Window.get(), 5000));
    QApplication::processEvents();
    TGridView& g = f.Window->Grid();
    const QFontMetrics titles(g.horizontalHeader()->font());
    const QFontMetrics cells(g.font());
    int sum = 0;
    for (int c = 0; c < g.columnCount(); ++c) {
        const int cw = g.columnWidth(c);
        sum += cw;
        EXPECT_GE(cw, s.RadarGrid.ColWidths[c]) << "column " << c;
        const QString title = QString::fromStdString(s.RadarGrid.Cell(c, 0));
        EXPECT_GT(cw, titles.horizontalAdvance(title) + 4) << title.toStdString();
        if (c == 0 || c == 1 || c == 3)
            continue;
        for (int r = 1; r <= 2; ++r) {
            const QString text = QString::fromStdString(s.RadarGrid.Cell(c, r));
            EXPECT_FALSE(text.isEmpty() && c != 8);
            EXPECT_GT(cw, cells.horizontalAdvance(text) + 4) << text.toStdString();
        }
    }
    // No empty strip beside the last column.
    EXPECT_GE(sum, g.viewport()->width());
}

TEST(WindowGrid, ColumnsShowWholeTitlesAndTimesAndTakeTheGridsWidth)
{
    CheckColumns(594, 395);
    CheckColumns(800, 600);
}

TEST(WindowTray, WithoutANotificationAreaMinimizeOnStartupKeepsATaskbarWindow)
{
    TWindowFixture f(false);
    f.S().Minimizeonstartup1.Checked = true;
    f.Window->FirstShown();
    EXPECT_TRUE(f.Window->isVisible());
    EXPECT_TRUE(f.Window->isMinimized());
    // Minimizing never hides the only way back.
    f.Window->showNormal();
    f.Window->showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(f.Window->isVisible());
}

TEST(WindowTray, WithANotificationAreaMinimizeOnStartupShowsOnlyTheIcon)
{
    TWindowFixture f(true);
    f.S().Minimizeonstartup1.Checked = true;
    f.Window->FirstShown();
    EXPECT_FALSE(f.Window->isVisible());
    f.Window->Tray().DoubleClicked();
    EXPECT_TRUE(f.Window->isVisible());
    f.Window->showMinimized();
    QApplication::processEvents();
    EXPECT_FALSE(f.Window->isVisible());
}

TEST(WindowTray, WithoutMinimizeOnStartupTheWindowShows)
{
    TWindowFixture f(true);
    f.Window->FirstShown();
    EXPECT_TRUE(f.Window->isVisible());
    EXPECT_FALSE(f.Window->isMinimized());
    EXPECT_EQ(f.Window->minimumSize(), QSize(594, 395));
    EXPECT_EQ(f.Window->maximumSize(), QSize(800, 600));
}

TEST(WindowTray, MenuOpeningRunsItsStepsOnce)
{
    TWindowFixture f(true);
    // The wired loop player's hook, with the host refresh counted.
    int refresh = 0;
    auto wiredRefresh = f.S().Hooks.RefreshUiViewStatus;
    ASSERT_TRUE(wiredRefresh);
    ASSERT_TRUE(f.S().Hooks.TrayMenuPopup);
    f.S().Hooks.RefreshUiViewStatus = [&] {
        ++refresh;
        wiredRefresh();
    };
    QStringList names;
    for (QAction* a : f.Window->Tray().Menu().actions())
        if (!a->isSeparator())
            names << a->text();
    EXPECT_EQ(names, (QStringList{"&Loop Radar", "Radar &Zoom", "&Delete stale images",
                                  "Delete selected &underlay images", "&Restore", "E&Xit", "&Cancel"}));
    f.S().LoopLbl.SetCaption("Looped 3 images");
    f.Window->Tray().MenuOpening();
    EXPECT_EQ(f.S().LoopLbl.Caption(), "....");
    EXPECT_EQ(refresh, 1);
}

TEST(WindowTray, TipIsCutToWholeCharactersAndTellsOfStaleRadar)
{
    TWindowFixture f(true);
    TShared& s = f.S();
    std::string tip(62, 'a');
    tip += "\xC3\xA9\xC3\xA9xyz"; // two two-byte characters after 62
    EXPECT_EQ(TrayTipText(tip), std::string(62, 'a') + "\xC3\xA9");
    s.TrayTip = "Underlay = LOT_N0R_0";
    AddRecord(s, "IL,Chicago,LOT", "Short Range Reflectivity, N0R");
    const TDateTime now = s.Clock.UTCNow();
    s.List[0].LastImage = now - 20 * kOneMinute;
    s.List[0].PrevImage = now - 25 * kOneMinute;
    EXPECT_EQ(f.Window->TipShown(), "Underlay = LOT_N0R_0");
    s.List[0].LastImage = now - 31 * kOneMinute;
    s.List[0].PrevImage = now - 36 * kOneMinute;
    EXPECT_EQ(f.Window->TipShown(), "Radar stale! Underlay = LOT_N0R_0");
    s.TrayTip = std::string(70, 'b');
    EXPECT_EQ(f.Window->TipShown().size(), 63u);
    // The stored tip is not changed by the note.
    EXPECT_EQ(s.TrayTip, std::string(70, 'b'));
}

TEST(WindowTray, TipCountsEveryStaleRecord)
{
    TWindowFixture f(true);
    TShared& s = f.S();
    s.TrayTip = "Underlay = LOT_N0R_0";
    const TDateTime now = s.Clock.UTCNow();
    // Two stale records around a fresh one, so neither the first nor the last decides.
    for (const char* radar : {"IL,Chicago,LOT", "IA,Des Moines,DMX", "MO,St. Louis,LSX"})
        AddRecord(s, radar, "Short Range Reflectivity, N0R");
    s.List[0].LastImage = now - 40 * kOneMinute;
    s.List[1].LastImage = now - 5 * kOneMinute;
    s.List[2].LastImage = now - 50 * kOneMinute;
    for (int i = 0; i < 3; ++i)
        s.List[i].PrevImage = s.List[i].LastImage - 5 * kOneMinute;
    EXPECT_EQ(f.Window->TipShown(), "2 radars stale! Underlay = LOT_N0R_0");
    // The icon shows it once the tip is set.
    s.Hooks.SetTrayTip();
    EXPECT_EQ(f.Window->Tray().Tip().toStdString(), "2 radars stale! Underlay = LOT_N0R_0");
    s.List[1].LastImage = now - 45 * kOneMinute;
    s.List[1].PrevImage = s.List[1].LastImage - 5 * kOneMinute;
    EXPECT_EQ(f.Window->TipShown(), "3 radars stale! Underlay = LOT_N0R_0");
    EXPECT_EQ(StaleTip("tip", 2), "2 radars stale! tip");
}

TEST(WindowStaleness, ThreeIntervalsAndAtLeastHalfAnHour)
{
    TRadarObj r;
    const TDateTime now = 46000;
    r.LastImage = now - 29 * kOneMinute;
    EXPECT_FALSE(IsStale(r, now));
    r.LastImage = now - 31 * kOneMinute;
    EXPECT_TRUE(IsStale(r, now));
    r.PrevImage = r.LastImage - 15 * kOneMinute; // interval 15 minutes: 45 minutes allowed
    EXPECT_FALSE(IsStale(r, now));
    r.LastImage = now - 46 * kOneMinute;
    r.PrevImage = r.LastImage - 15 * kOneMinute;
    EXPECT_TRUE(IsStale(r, now));
    r.Enabled = false;
    EXPECT_FALSE(IsStale(r, now));
    TRadarObj never;
    never.LastImage = now - 100;
    EXPECT_FALSE(IsStale(never, now));
}

TEST(WindowFrame, ClosingTheWindowStartsTheClosePathOnce)
{
    TWindowFixture f;
    int requested = 0;
    f.Main->OnCloseRequested = [&] { ++requested; };
    f.Window->show();
    f.Window->close();
    f.Window->close();
    EXPECT_EQ(requested, 1);
    EXPECT_EQ(f.Window->CloseRequests(), 1);
    EXPECT_TRUE(f.Main->CloseRequested());
    EXPECT_TRUE(f.S().Cancel);
}

TEST(WindowFrame, HelpWebSitesAndAbout)
{
    TWindowFixture f;
    f.S().RidgeBase = "http://radar.example/ridge/RadarImg/";
    f.Action("NWSRidgeData1")->trigger();
    ASSERT_EQ(f.Dialogs.Opened.size(), 1u);
    EXPECT_EQ(f.Dialogs.Opened[0], "http://radar.example/ridge/RadarImg/");
    // Additional help only when its file exists.
    f.Action("AdditionalHelp1")->trigger();
    EXPECT_EQ(f.Dialogs.Opened.size(), 1u);
    f.Home.Write("Stormfetch2Help.txt", "help");
    f.Action("AdditionalHelp1")->trigger();
    ASSERT_EQ(f.Dialogs.Opened.size(), 2u);
    EXPECT_EQ(f.Dialogs.Opened[1], f.Home.Path() + "Stormfetch2Help.txt");
    // F1 opens the manual (found in the source tree's data folder), whichever control has the focus.
    f.Window->show();
    f.Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.Window.get(), 5000));
    QTest::keyClick(f.Find<QLineEdit>("ShpURLEd"), Qt::Key_F1);
    ASSERT_EQ(f.Dialogs.Opened.size(), 3u);
    EXPECT_NE(f.Dialogs.Opened[2].find("manual/index.html"), std::string::npos);

    QString title, product, version;
    f.Window->AboutShown = [&](QDialog& box) {
        title = box.windowTitle();
        product = box.findChild<QLabel*>("ProductName")->text();
        version = box.findChild<QLabel*>("Version")->text();
        QTimer::singleShot(0, &box, &QDialog::accept);
    };
    f.Action("About1")->trigger();
    EXPECT_EQ(title, "About Stormfetch");
    EXPECT_EQ(product, "Stormfetch 2.9.1");
    EXPECT_EQ(version, "Stormfetch");
}

TEST(WindowPreview, TransferBarShowsBytesOfLengthOrBusy)
{
    TWindowFixture f;
    TPreview& p = f.Window->Preview();
    p.TransferChanged("Receiving http://h/x.gif 2048 b", 2048, 8192);
    EXPECT_EQ(p.Progress().maximum(), 8);
    EXPECT_EQ(p.Progress().value(), 2);
    // Without a length the bar only shows that something is running.
    p.TransferChanged("Receiving http://h/x.gif 4096 b", 4096, -1);
    EXPECT_EQ(p.Progress().maximum(), 0);
    p.TransferChanged("http://h/x.gif received 4096 b in 0 secs", 4096, -1);
    EXPECT_EQ(p.Progress().maximum(), 1);
    EXPECT_EQ(p.Progress().value(), 0);
    // With no underlay known the picture says so.
    EXPECT_TRUE(p.Image().isNull());
    EXPECT_EQ(p.InfoText(), "No underlay");
}

TEST(WindowFrame, StoredBoundsAndHintPauseAreAppliedAndFollowTheWindow)
{
    TWindowFixture f;
    TShared& s = f.S();
    s.WindowLeft = 30;
    s.WindowTop = 40;
    s.WindowWidth = 700;
    s.WindowHeight = 450;
    s.HintPauseMS = 2500;
    f.Window->FirstShown();
    EXPECT_EQ(f.Window->geometry().size(), QSize(700, 450));
    EXPECT_EQ(f.Find<QPushButton>("AddBtn")->toolTipDuration(), 2500);
    // A new size is remembered for the next save of the settings.
    f.Window->resize(760, 500);
    QApplication::processEvents();
    EXPECT_EQ(s.WindowWidth, 760);
    EXPECT_EQ(s.WindowHeight, 500);
}

TEST(WindowFrame, TheMainObjectsTipHookOutlivesTheWindow)
{
    TWindowFixture f(true);
    f.S().TrayTip = "Underlay = LOT_N0R_0";
    f.S().Hooks.SetTrayTip();
    EXPECT_EQ(f.Window->Tray().Tip(), "Underlay = LOT_N0R_0");
    f.Window.reset();
    ASSERT_TRUE(f.S().Hooks.SetTrayTip);
    f.S().TrayTip = std::string(70, 'c');
    f.S().Hooks.SetTrayTip();
    EXPECT_EQ(f.Main->TrayTipShown(), std::string(63, 'c'));
}
