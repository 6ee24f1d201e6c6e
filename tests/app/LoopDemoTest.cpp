// The whole program on the demonstration feed: the scheduler builds up the demo site's
// image series tick after tick, then "&Loop Radar" plays it through the main object's
// wiring, redrawing once per image, and leaves the underlay folder as it found it.
#include "app/ConsoleView.h"
#include "app/Demo.h"
#include "app/Main.h"
#include "core/Files.h"
#include "host/UiViewClient.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <sstream>

using namespace sf;

namespace {

struct TFileState {
    std::string Bytes;
    std::filesystem::file_time_type Written;
    bool operator==(const TFileState&) const = default;
};

std::map<std::string, TFileState> Folder(const std::string& dir)
{
    std::map<std::string, TFileState> out;
    for (auto& e : std::filesystem::directory_iterator(dir)) {
        std::string bytes;
        ReadFileBytes(e.path().string(), bytes);
        out[e.path().filename().string()] = {bytes, e.last_write_time()};
    }
    return out;
}

int Count(const std::vector<std::string>& calls, const std::string& what)
{
    return int(std::count(calls.begin(), calls.end(), what));
}

/// The demo feed in a fresh program folder on a fake clock that starts at the machine's
/// time (the series' file times are the machine's).
class LoopOnTheDemoFeed : public ::testing::Test {
protected:
    LoopOnTheDemoFeed() : clock(TSystemClock().UTCNow(), TSystemClock().LocalNow() - TSystemClock().UTCNow()) {}
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(demo.Prepare(&error)) << error;
    }
    /// The main object on the feed, wired but not yet created.
    TMain& Main()
    {
        main = std::make_unique<TMain>(clock, dialogs, TMainOptions{home.Path(), demo.WinePrefix(), true});
        main->Shared().ReadMemory = [] { return TMemoryStatus{40, 1ull << 32, 1ull << 31, 0, 0, 0, 0}; };
        view = std::make_unique<TConsoleView>(main->Shared().Hub, clock, out);
        demo.Attach(*main);
        main->Wire();
        return *main;
    }
    void TearDown() override
    {
        if (main) {
            main->CloseQuery();
            main->Closing();
        }
    }

    test::TTempDir home;
    TFakeClock clock;
    test::TScriptedDialogs dialogs;
    TDemoFeed demo{home.Path(), clock};
    std::ostringstream out;
    std::unique_ptr<TMain> main;
    std::unique_ptr<TConsoleView> view;
};

} // namespace

TEST_F(LoopOnTheDemoFeed, PlaysTheSeriesAndLeavesTheFolderByteIdentical)
{
    TMain& app = Main();
    TShared& s = app.Shared();
    ASSERT_TRUE(app.Create());
    app.FirstShow();
    ASSERT_FALSE(s.QuorUnderlayPath.empty());
    const std::string d = s.QuorUnderlayPath;

    // Four demo images five minutes apart: the current underlay and three older ones.
    for (int i = 0; i < 4; ++i) {
        app.TickOnce();
        clock.Step(6 * kOneMinute);
    }
    ASSERT_TRUE(FileExists(d + "LOT_N0R_0.bmp"));
    ASSERT_TRUE(FileExists(d + "LOT_N0R_03.bmp"));
    const auto before = Folder(d);

    auto* link = dynamic_cast<TAcceptLink*>(app.Link());
    ASSERT_NE(link, nullptr);
    const int redrawsBefore = Count(link->Calls, "redraw");
    ASSERT_TRUE(s.LoopRadar1.Click());
    s.Timer1.Fire(); // the next tick plays the loop
    EXPECT_EQ(s.LoopLbl.Caption().rfind("Looped 4 images in ", 0), 0u) << s.LoopLbl.Caption();
    EXPECT_EQ(Count(link->Calls, "redraw") - redrawsBefore, 4);
    EXPECT_EQ(s.LoopRadar1.Caption(), "Loop LOT_N0R_0 Radar");
    EXPECT_TRUE(s.LoopRadar1.Enabled);
    EXPECT_TRUE(Folder(d) == before);

    // The journal shows the walk, one line per image, and never the clock labels.
    const std::string journal = out.str();
    EXPECT_NE(journal.find("LoopLbl: Loop Start lot_n0r_0.bmp"), std::string::npos);
    EXPECT_NE(journal.find("LoopLbl: Loop LOT_N0R_03.bmp"), std::string::npos);
    EXPECT_NE(journal.find("LoopLbl: Loop LOT_N0R_01.bmp"), std::string::npos);
    EXPECT_EQ(journal.find("TimeLbl"), std::string::npos);
    EXPECT_EQ(journal.find("UTCLbl"), std::string::npos);

    // The zoom sends the demo site's bounds through the link.
    ASSERT_TRUE(s.RadarZoom1.Click());
    ASSERT_FALSE(link->Calls.empty());
    EXPECT_EQ(link->Calls.back().rfind("area ", 0), 0u) << link->Calls.back();

    // The tray menu's opening and the two delete commands are wired too.
    ASSERT_TRUE(s.Hooks.TrayMenuPopup);
    s.Hooks.TrayMenuPopup();
    EXPECT_EQ(s.LoopLbl.Caption(), "....");
    EXPECT_TRUE(s.Deletestaleimages1.Click());
    EXPECT_TRUE(Folder(d) == before); // every image is younger than an hour
    dialogs.Files.push_back(d + "LOT_N0R_03.bmp");
    EXPECT_TRUE(s.Deleteselectedunderlayimages1.Click());
    EXPECT_FALSE(FileExists(d + "LOT_N0R_0.bmp"));
    EXPECT_FALSE(FileExists(d + "LOT_N0R_01.bmp"));
    EXPECT_FALSE(FileExists(d + "LOT_N0R_01.sat"));
    EXPECT_TRUE(FileExists(d + "MKX_N0R_0.bmp"));
}

TEST_F(LoopOnTheDemoFeed, AStartAfterALoopWasKilledPutsTheFolderBack)
{
    const std::string d = ResolvePath(demo.WinePrefix() + "drive_c/Peak Systems/QuorServer9/Quor Underlays/");
    ASSERT_FALSE(d.empty());
    // The folder as a loop killed while showing the first member leaves it.
    WriteLineFile(d + "lot_n0r_0.tmp", "current");
    WriteLineFile(d + "LOT_N0R_0.bmp", "older");
    WriteLineFile(d + "LOT_N0R_0.Sat", "bounds");
    SaveFileAtomic(d + ".stormfetch-loop", "underlay=LOT_N0R_0.bmp\nparked=lot_n0r_0.tmp\nshown=LOT_N0R_01.bmp\n");

    ASSERT_TRUE(Main().Create());
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(d + "LOT_N0R_0.bmp", bytes));
    EXPECT_EQ(bytes, "current\r\n");
    ASSERT_TRUE(ReadFileBytes(d + "LOT_N0R_01.bmp", bytes));
    EXPECT_EQ(bytes, "older\r\n");
    EXPECT_FALSE(FileExists(d + "lot_n0r_0.tmp"));
    EXPECT_FALSE(FileExists(d + ".stormfetch-loop"));
}
