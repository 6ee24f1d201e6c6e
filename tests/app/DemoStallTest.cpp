// --demo-stall NAME: one layout of the demo feed answers 503 while the others publish;
// the program run with --layout nwswms,iem and the map service stalled keeps its
// underlays coming from iem and says so.
#include "StationRun.h"
#include "app/CommandLine.h"
#include "app/Demo.h"
#include "app/DemoServer.h"
#include "core/SourceLayout.h"
#include <gtest/gtest.h>

#ifndef SF_STORMFETCH_BINARY
#error "the tests need the path of the program (SF_STORMFETCH_BINARY)"
#endif

using namespace sf;
using namespace sf::test;

namespace {

const TDateTime kAt = EncodeDateTime({2026, 12, 7, 21, 7, 0, 0});

TEST(DemoStall, OnlyTheStalledLayoutsFilesAnswer503)
{
    TDemoRadarSource src = DemoRadarSource();
    src.Stalled = [](TLayout layout, TDateTime) { return layout == TLayout::Wms; };
    const std::string caps = "/geoserver/klot/klot_sr_bref/ows?SERVICE=WMS&VERSION=1.3.0&REQUEST=GetCapabilities";
    EXPECT_EQ(503, DemoAnswer(caps, kAt, src).Code);
    EXPECT_EQ(200, DemoAnswer("/" + std::string(kIemSitePath) + "LOT/N0B_0.json", kAt, src).Code);
    EXPECT_EQ(404, DemoAnswer("/geoserver/kxyz/kxyz_sr_bref/ows", kAt, src).Code); // no such layer stays 404
    src.Stalled = [](TLayout layout, TDateTime) { return layout == TLayout::Iem; };
    EXPECT_EQ(200, DemoAnswer(caps, kAt, src).Code);
    EXPECT_EQ(503, DemoAnswer("/" + std::string(kIemSitePath) + "LOT/N0B_0.json", kAt, src).Code);
}

TEST(DemoStall, OptionNeedsTheDemoAndAKnownLayout)
{
    const auto ok = ParseCommandLine({"--demo", "--layout", "nwswms,iem", "--demo-stall", "nwswms"});
    ASSERT_TRUE(ok.Error.empty()) << ok.Error;
    EXPECT_EQ("nwswms", ok.Options.DemoStall);
    EXPECT_EQ("--demo-stall needs --demo", ParseCommandLine({"--demo-stall", "iem"}).Error);
    EXPECT_EQ("option --demo-stall needs ridge or iem or nwswms, not \"wms\"",
              ParseCommandLine({"--demo", "--demo-stall", "wms"}).Error);
}

TEST(DemoStall, ProgramKeepsItsUnderlaysComingFromIemWhileTheMapServiceIsDown)
{
    TStationHome home;
    const TOutcome run = home.Run({"--demo", "--headless", "--layout", "nwswms,iem", "--demo-stall", "nwswms", "--once"},
                                  60000);
    ASSERT_TRUE(run.Finished);
    EXPECT_EQ(0, run.Status) << run.Out << run.Err;
    EXPECT_TRUE(Has(run.Out, "Demo layouts asked in order: nwswms,iem")) << run.Out;
    EXPECT_TRUE(Has(run.Out, "IL,Chicago,LOT OK (from iem: nwswms failed)")) << run.Out;
    EXPECT_TRUE(Has(run.Out, "!!ConUS,Iowa State University OK (from iem: nwswms failed)")) << run.Out;
    const std::string underlays = home.Home + "demo/wine/drive_c/Peak Systems/QuorServer9/Quor Underlays/";
    EXPECT_TRUE(FileExists(underlays + "lot_n0r_0.bmp")) << run.Out;
    EXPECT_TRUE(FileExists(underlays + "ConUS.bmp")) << run.Out;
}

} // namespace
