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
    EXPECT_EQ(g.Hint().Y, g.y() + cell0.top() + origin.y() - 15);
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

TEST(WindowTray, MenuOpeningRunsItsStepsAndTheHook)
{
    TWindowFixture f(true);
    int hook = 0, refresh = 0;
    f.S().Hooks.TrayMenuPopup = [&] { ++hook; };
    f.S().Hooks.RefreshUiViewStatus = [&] { ++refresh; };
    f.S().LoopLbl.SetCaption("Looped 3 images");
    f.Window->Tray().MenuOpening();
    EXPECT_EQ(f.S().LoopLbl.Caption(), "....");
    EXPECT_EQ(hook, 1);
    EXPECT_EQ(refresh, 1);
    QStringList names;
    for (QAction* a : f.Window->Tray().Menu().actions())
        if (!a->isSeparator())
            names << a->text();
    EXPECT_EQ(names, (QStringList{"&Loop Radar", "Radar &Zoom", "&Delete stale images",
                                  "Delete selected &underlay images", "&Restore", "E&Xit", "&Cancel"}));
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
