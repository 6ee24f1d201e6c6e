#include "app/ConsoleView.h"
#include "core/Shared.h"
#include "support/ScriptedDialogs.h"
#include <gtest/gtest.h>
#include <sstream>

using namespace sf;

TEST(ConsoleView, LineLayoutAndLineBreaks)
{
    TDateTime t = EncodeDateTime({2026, 12, 7, 9, 5, 3, 900});
    EXPECT_EQ(ConsoleLine(t, "FileLbl", "Downloaded 2"), "09:05:03 FileLbl: Downloaded 2");
    EXPECT_EQ(OneLine("a\rb"), "a / b");
    EXPECT_EQ(OneLine("a\r\nb\nc"), "a / b / c");
    EXPECT_EQ(OneLine("\r"), " / ");
}

TEST(ConsoleView, PrintsOnlyTheShownControls)
{
    TFakeClock clock(EncodeDateTime({2026, 12, 7, 21, 5, 0, 0}));
    test::TScriptedDialogs dialogs;
    TShared s(clock, dialogs);
    std::ostringstream out;
    TConsoleView view(s.Hub, clock, out);
    s.Sbar.SetPanel(0, "Download files from Internet");
    s.Sbar.SetPanel(1, "Processing");           // the phase panel is not shown
    s.StateLbl.SetCaption("QuorServer NOT\rselected");
    s.HeapLbl.SetCaption("90% memory available"); // not a console control
    s.ShpLbl.SetCaption("shp");
    s.LoopLbl.SetCaption("....");
    s.RidgeLbl.SetCaption("r");
    s.FileLbl.SetCaption("f");
    s.FileLbl.SetCaption("f");                  // unchanged text: no second line
    EXPECT_EQ(out.str(),
              "21:05:00 Sbar: Download files from Internet\n"
              "21:05:00 StateLbl: QuorServer NOT / selected\n"
              "21:05:00 ShpLbl: shp\n"
              "21:05:00 LoopLbl: ....\n"
              "21:05:00 RidgeLbl: r\n"
              "21:05:00 FileLbl: f\n");
}

TEST(HeadlessDialogs, NoPersonAnswers)
{
    std::ostringstream out, err;
    THeadlessDialogs d(out, err, false);
    d.ErrorBox("Cannot find UIView directory.\rAborting...");
    EXPECT_EQ(err.str(), "stormfetch: Cannot find UIView directory. / Aborting...\n");
    EXPECT_FALSE(d.AskYesNo("Delete?"));
    EXPECT_FALSE(d.BrowseFolder("t", "/").has_value());
    EXPECT_FALSE(d.ChooseFile("t", "/").has_value());
    EXPECT_FALSE(d.OpenPicture("t", "/", "Bitmaps (*.bmp)|*.bmp", "bmp").has_value());
    d.Beep();
    EXPECT_EQ(out.str(), "");                   // no BEL into a file or a pipe
    std::ostringstream tout, terr;
    THeadlessDialogs onTerminal(tout, terr, true);
    onTerminal.Beep();
    EXPECT_EQ(tout.str(), "\a");
}

TEST(ConsoleView, TransferProgressAtMostOnceASecond)
{
    TFakeClock clock(EncodeDateTime({2026, 12, 7, 21, 5, 0, 0}));
    test::TScriptedDialogs dialogs;
    TShared s(clock, dialogs);
    std::ostringstream out;
    TConsoleView view(s.Hub, clock, out);
    view.SetLevel(TOutputLevel::Verbose, nullptr); // progress and states are printed with --verbose
    s.RidgeLbl.SetCaption("Loading u");
    s.RidgeLbl.SetCaption("Receiving u 8190 b");    // first block: shown
    s.RidgeLbl.SetCaption("Receiving u 16380 b");   // same second: dropped
    s.StateLbl.SetCaption("Waiting for body");      // other controls are never held back
    clock.Step(0.4 * kOneSecond);
    s.RidgeLbl.SetCaption("Receiving u 24570 b");   // still within the second: dropped
    clock.Step(0.7 * kOneSecond);
    s.RidgeLbl.SetCaption("Receiving u 32760 b");   // a second later: shown
    s.RidgeLbl.SetCaption("u received 40000 b in 1.000 sec at 21:05:01"); // the end: always shown
    s.RidgeLbl.SetCaption("Receiving v 100 b");     // the next transfer's first block: shown
    EXPECT_EQ(out.str(),
              "21:05:00 RidgeLbl: Loading u\n"
              "21:05:00 RidgeLbl: Receiving u 8190 b\n"
              "21:05:00 StateLbl: Waiting for body\n"
              "21:05:01 RidgeLbl: Receiving u 32760 b\n"
              "21:05:01 RidgeLbl: u received 40000 b in 1.000 sec at 21:05:01\n"
              "21:05:01 RidgeLbl: Receiving v 100 b\n");
}

TEST(ConsoleView, AHubThatOutlivesTheViewNoLongerPrints)
{
    TFakeClock clock(EncodeDateTime({2026, 12, 7, 21, 5, 0, 0}));
    test::TScriptedDialogs dialogs;
    TShared s(clock, dialogs);
    std::ostringstream out;
    {
        TConsoleView view(s.Hub, clock, out);
        s.FileLbl.SetCaption("before");
    }
    s.FileLbl.SetCaption("after");
    EXPECT_EQ(out.str(), "21:05:00 FileLbl: before\n");
}
