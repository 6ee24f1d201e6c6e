// stormfetch --layout nwswms,iem on a program folder: the list is stored in order, named
// back the same way, and --check then tries both layouts, the stalled one noted.
#include "StationRun.h"
#include "app/DemoServer.h"
#include "core/IniFile.h"
#include "core/SourceLayout.h"
#include <gtest/gtest.h>

#ifndef SF_STORMFETCH_BINARY
#error "the tests need the path of the program (SF_STORMFETCH_BINARY)"
#endif

using namespace sf;
using namespace sf::test;

TEST(LayoutListCommand, StoresTheListAndTheCheckTriesEachLayout)
{
    TSystemClock clock;
    TDemoRadarSource source = DemoRadarSource();
    source.WmsStalled = [](TDateTime) { return true; };
    TDemoServer server(clock, source);
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    TStationHome home;
    home.MakeStation("http://127.0.0.1:" + std::to_string(server.Port()) + "/", 5);
    std::string ini = home.Dir.Read("home/stormfetch.ini");
    ini.insert(ini.find("[User]"), "IEM=" + server.IemBase() + "\r\nWMS=" + server.WmsBase() + "\r\n");
    home.Dir.Write("home/stormfetch.ini", ini);
    ASSERT_EQ(0, home.Run({"--add", "LOT"}).Status);

    TOutcome set = home.Run({"--layout", "NWSWMS, iem"});
    EXPECT_EQ(0, set.Status) << set.Err;
    EXPECT_TRUE(Has(set.Out, "Source layout nwswms,iem stored in " + home.Home + "stormfetch.ini; 1 records readdressed"))
        << set.Out;
    EXPECT_EQ("nwswms,iem", TIniText(home.Dir.Read("home/stormfetch.ini")).ReadString("URL", "Layout", ""));
    TOutcome again = home.Run({"--layout", "nwswms,iem"});
    EXPECT_TRUE(Has(again.Out, "The source layout is already nwswms,iem")) << again.Out;

    TOutcome check = home.Run({"--check", "--wineprefix", QString::fromStdString(home.Prefix)});
    EXPECT_EQ(0, check.Status) << check.Out << check.Err;
    EXPECT_TRUE(Has(check.Out, "note  radar base URL: nwswms: GET " + server.WmsBase() + "klot/klot_sr_bref/ows?"))
        << check.Out;
    EXPECT_TRUE(Has(check.Out, "ok    radar base URL: iem: GET " + server.IemBase())) << check.Out;

    TOutcome bad = home.Run({"--layout", "nwswms,iem,nwswms"});
    EXPECT_EQ(2, bad.Status);
    EXPECT_TRUE(Has(bad.Err, "layout \"nwswms\" named twice")) << bad.Err;
    EXPECT_EQ("nwswms,iem", TIniText(home.Dir.Read("home/stormfetch.ini")).ReadString("URL", "Layout", ""));
}
