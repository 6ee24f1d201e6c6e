// The demo feed with the window: after the first cycle the grid shows the demo's
// records with status OK and the picture holds the new underlay.
#include "app/Demo.h"
#include "app/Main.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/GridView.h"
#include "ui/MainWindow.h"
#include "ui/Preview.h"
#include <gtest/gtest.h>

using namespace sf;

TEST(DemoWindow, FirstCycleFillsTheGridAndThePicture)
{
    test::TTempDir home;
    TSystemClock clock;
    test::TScriptedDialogs dialogs;
    TDemoFeed demo(home.Path(), clock);
    std::string error;
    ASSERT_TRUE(demo.Prepare(&error)) << error;
    TMain main(clock, dialogs, TMainOptions{home.Path(), demo.WinePrefix(), false});
    main.Shared().ExeName = "stormfetch";
    demo.Attach(main);
    main.Wire();
    TMainWindow window(main, false);
    ASSERT_TRUE(main.Create());
    main.FirstShow();
    window.FirstShown();
    ASSERT_FALSE(main.CloseRequested()) << (dialogs.Errors.empty() ? "" : dialogs.Errors[0]);
    // One scheduler tick runs the cycle to its end; the transfers have their own time-outs.
    main.TickOnce();

    TGridView& grid = window.Grid();
    ASSERT_GE(grid.rowCount(), 1);
    ASSERT_EQ(grid.rowCount(), main.Shared().List.Count());
    for (int r = 0; r < grid.rowCount(); ++r) {
        ASSERT_NE(grid.item(r, 3), nullptr);
        EXPECT_EQ(grid.item(r, 3)->text(), "OK") << "row " << r << ": " << grid.item(r, 0)->text().toStdString();
    }
    window.Preview().Refresh();
    EXPECT_FALSE(window.Preview().Image().isNull()) << window.Preview().File().toStdString();
    EXPECT_NE(window.Preview().InfoText().indexOf("min old"), -1) << window.Preview().InfoText().toStdString();
    main.CloseQuery();
    main.Closing();
}
