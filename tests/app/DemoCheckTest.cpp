// The set-up check of an nwswms station against the demo feed: it asks the layer
// capabilities of the first enabled record; a station of several layouts has each
// layout tried in order and named, and works while one of them answers.
#include "app/Check.h"
#include "app/Demo.h"
#include "app/DemoServer.h"
#include "core/Clock.h"
#include "core/ListFile.h"
#include "core/RadarObj.h"
#include "host/FakePrefix.h"
#include "support/TempDir.h"
#include <gtest/gtest.h>
#include <sstream>

using namespace sf;

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class DemoCheck : public ::testing::Test {
protected:
    DemoCheck() : Server(Clock, Source()) {}
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(Server.Start(&error)) << error;
        TFakePrefixOptions host;
        host.LastMap = "C:\\UIView32\\MAPS\\!!QUORSERVER9.MAP";
        ASSERT_TRUE(WriteFakePrefix(Prefix, host, &error)) << error;
        Dir.Write("TargetDirList.txt", "");
    }
    TDemoRadarSource Source()
    {
        TDemoRadarSource src = DemoRadarSource();
        src.WmsStalled = [this](TDateTime) { return Stalled; };
        return src;
    }
    // A station whose settings name layouts and whose one record is addressed for the first.
    int Run(const std::string& layouts, TLayout first, std::string iemBase = {})
    {
        if (iemBase.empty())
            iemBase = Server.IemBase();
        Dir.Write("stormfetch.ini", "[URL]\r\nLayout=" + layouts + "\r\nIEM=" + iemBase + "\r\nWMS="
                                        + Server.WmsBase() + "\r\n[User]\r\nWebTimeOut=5\r\n");
        DownloadList list;
        TRadarObj r = TRadarObj::Create(Clock);
        r.SetNames("IL,Chicago,LOT", "Base Reflectivity, N0B",
                   TNaming{"", "", false, first, iemBase, Server.WmsBase()});
        const std::string key = r.Radar + "\t" + r.Product; // before r moves
        list.Add(key, std::move(r));
        Dir.Write(kListFileWriteName, ListText(list));
        std::ostringstream out, err;
        const int status = RunSetupCheck({Dir.Path(), "stormfetch", Prefix}, out, err);
        Out = out.str();
        return status;
    }

    bool Stalled = false;
    TSystemClock Clock;
    TDemoServer Server;
    test::TTempDir Dir;
    std::string Prefix = Dir.Path() + "pfx/";
    std::string Out;
};

TEST_F(DemoCheck, AnNwswmsStationAsksTheLayerCapabilitiesOfItsFirstRecord)
{
    Run("nwswms", TLayout::Wms);
    EXPECT_TRUE(Has(Out, "ok    source layout: nwswms at " + Server.WmsBase() + " (")) << Out;
    EXPECT_TRUE(Has(Out, "ok    radar base URL: GET " + Server.WmsBase()
                             + "klot/klot_sr_bref/ows?SERVICE=WMS&VERSION=1.3.0&REQUEST=GetCapabilities answered"))
        << Out;

    Stalled = true;
    Run("nwswms", TLayout::Wms);
    EXPECT_TRUE(Has(Out, "FAIL  radar base URL: GET " + Server.WmsBase() + "klot/klot_sr_bref/ows?")) << Out;
}

TEST_F(DemoCheck, AListNamesEveryLayoutItTriesAndPassesWhileOneAnswers)
{
    Stalled = true;
    Run("nwswms,iem", TLayout::Wms);
    EXPECT_TRUE(Has(Out, "ok    source layout: nwswms at " + Server.WmsBase() + ", then iem at " + Server.IemBase()))
        << Out;
    EXPECT_TRUE(Has(Out, "note  radar base URL: nwswms: GET " + Server.WmsBase() + "klot/klot_sr_bref/ows?")) << Out;
    EXPECT_TRUE(Has(Out, "ok    radar base URL: iem: GET " + Server.IemBase() + kIemSitePath + "LOT/N0B_0.json answered"))
        << Out;
    EXPECT_FALSE(Has(Out, "FAIL  radar base URL")) << Out;

    // Neither answers: the check fails naming the list.
    EXPECT_EQ(1, Run("nwswms,iem", TLayout::Wms, "http://127.0.0.1:1/"));
    EXPECT_TRUE(Has(Out, "note  radar base URL: iem: GET http://127.0.0.1:1/")) << Out;
    EXPECT_TRUE(Has(Out, "FAIL  radar base URL: none of the layouts nwswms,iem answered")) << Out;
}

} // namespace
