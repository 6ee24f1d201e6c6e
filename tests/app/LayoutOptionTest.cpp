// --layout picks the layout the demo feed is read in; the feed's settings and its
// seeded list follow it.
#include "app/CommandLine.h"
#include "app/Demo.h"
#include "core/IniFile.h"
#include "core/ListFile.h"
#include "core/SourceLayout.h"
#include "core/Text.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

TEST(LayoutOption, WithTheDemoPicksTheFeedsLayoutAndOnlyKnownNames)
{
    auto ok = ParseCommandLine({"--demo", "--layout", "iem"});
    ASSERT_TRUE(ok.Error.empty()) << ok.Error;
    EXPECT_EQ("iem", ok.Options.Layout);
    EXPECT_TRUE(ParseCommandLine({"--layout=ridge", "--demo"}).Error.empty());
    EXPECT_EQ("option --layout needs ridge or iem or nwswms, not \"nws\"", ParseCommandLine({"--demo", "--layout", "nws"}).Error);
    EXPECT_EQ("option --layout needs a value", ParseCommandLine({"--demo", "--layout"}).Error);
    // Without --demo it is the station command that stores the layout.
    EXPECT_EQ("layout", ParseCommandLine({"--layout", "iem"}).Options.Command.Verb);
    EXPECT_NE(std::string::npos, UsageText().find("--layout"));
}

TEST(LayoutOption, DemoFeedWritesTheLayoutAndSeedsIemAddresses)
{
    TTempDir dir;
    TFakeClock clock(EncodeDateTime({2026, 12, 7, 21, 7, 0, 0}));
    {
        TDemoFeed feed(dir.Path(), clock);
        feed.Layout = TLayout::Iem;
        std::string error;
        ASSERT_TRUE(feed.Prepare(&error)) << error;
        const TIniText ini(dir.Read("stormfetch.ini"));
        EXPECT_EQ("iem", ini.ReadString("URL", "Layout", ""));
        EXPECT_EQ(feed.Server().IemBase(), ini.ReadString("URL", "IEM", ""));
        // The seeded records keep their names; their addresses come from naming at load.
        EXPECT_NE(std::string::npos, dir.Read(kListFileWriteName).find("\tLOT_N0R_0\t"));
    }
    // The next run in the default layout switches the same folder back.
    TDemoFeed again(dir.Path(), clock);
    std::string error;
    ASSERT_TRUE(again.Prepare(&error)) << error;
    EXPECT_EQ("ridge", TIniText(dir.Read("stormfetch.ini")).ReadString("URL", "Layout", ""));
}

TEST(LayoutOption, AListOfLayoutsInOrderWithTheEntryAtFaultNamed)
{
    const auto demo = ParseCommandLine({"--demo", "--layout", "nwswms, iem"});
    ASSERT_TRUE(demo.Error.empty()) << demo.Error;
    EXPECT_EQ("nwswms, iem", demo.Options.Layout);
    const auto command = ParseCommandLine({"--layout", "nwswms,iem"});
    ASSERT_TRUE(command.Error.empty()) << command.Error;
    EXPECT_EQ("layout", command.Options.Command.Verb);
    EXPECT_EQ(std::vector<std::string>{"nwswms,iem"}, command.Options.Command.Args);
    EXPECT_EQ("option --layout: unknown layout \"nws\" (ridge, iem, nwswms)",
              ParseCommandLine({"--layout", "nwswms,nws"}).Error);
    EXPECT_EQ("option --layout: layout \"iem\" named twice (ridge, iem, nwswms)",
              ParseCommandLine({"--demo", "--layout", "iem,nwswms,IEM"}).Error);
    EXPECT_EQ("option --layout: empty layout name in \"iem,\" (ridge, iem, nwswms)",
              ParseCommandLine({"--layout", "iem,"}).Error);
}

TEST(LayoutOption, DemoFeedWritesTheListAndTheBasesOfEveryLayoutInIt)
{
    TTempDir dir;
    TFakeClock clock(EncodeDateTime({2026, 12, 7, 21, 7, 0, 0}));
    TDemoFeed feed(dir.Path(), clock);
    feed.Layout = TLayout::Wms;
    feed.Fallbacks = {TLayout::Iem};
    std::string error;
    ASSERT_TRUE(feed.Prepare(&error)) << error;
    const TIniText ini(dir.Read("stormfetch.ini"));
    EXPECT_EQ("nwswms,iem", ini.ReadString("URL", "Layout", ""));
    EXPECT_EQ(feed.Server().IemBase(), ini.ReadString("URL", "IEM", ""));
    EXPECT_EQ(feed.Server().WmsBase(), ini.ReadString("URL", "WMS", ""));
}
