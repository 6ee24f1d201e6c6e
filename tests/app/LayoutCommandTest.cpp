// stormfetch --layout NAME: stores [URL] Layout on a program folder and in a running
// copy, readdresses the records, and --check then asks the chosen layout's own newness file.
#include "StationRun.h"
#include "app/CommandLine.h"
#include "core/IniFile.h"
#include "core/SourceLayout.h"
#include <filesystem>
#include <gtest/gtest.h>

#ifndef SF_STORMFETCH_BINARY
#error "the tests need the path of the program (SF_STORMFETCH_BINARY)"
#endif

using namespace sf;
using namespace sf::test;

namespace {

// The demo feed publishes both layouts: RIDGE under base, iem under its IemBase.
void WriteSettings(TStationHome& home, const std::string& base, const std::string& iemBase)
{
    home.MakeStation(base, 5);
    std::string ini = home.Dir.Read("home/stormfetch.ini");
    ini.insert(ini.find("[User]"), "IEM=" + iemBase + "\r\n");
    home.Dir.Write("home/stormfetch.ini", ini);
}

} // namespace

TEST(LayoutCommand, ParsedAsAStationCommandWithoutTheDemo)
{
    const auto cmd = ParseCommandLine({"--layout", "IEM", "--home", "/srv/sf"});
    ASSERT_TRUE(cmd.Error.empty()) << cmd.Error;
    EXPECT_EQ("layout", cmd.Options.Command.Verb);
    EXPECT_EQ(std::vector<std::string>{"IEM"}, cmd.Options.Command.Args);
    EXPECT_EQ("", cmd.Options.Layout);
    EXPECT_EQ("iem", ParseCommandLine({"--demo", "--layout", "iem"}).Options.Layout);
    EXPECT_EQ("only one command at a time (--list and --layout)", ParseCommandLine({"--list", "--layout", "iem"}).Error);
    EXPECT_FALSE(ParseCommandLine({"--layout", "iem", "--once"}).Error.empty());
    // Any name the layout code knows, and only those.
    for (TLayout layout : KnownLayouts())
        EXPECT_TRUE(ParseCommandLine({"--layout", LayoutName(layout)}).Error.empty()) << LayoutName(layout);
    EXPECT_EQ("option --layout needs " + LayoutNames(" or ") + ", not \"nws\"", ParseCommandLine({"--layout", "nws"}).Error);
    EXPECT_NE(std::string::npos, UsageText().find("--layout NAME            choose where the radar comes from, "
                                                  + LayoutNames("|")));
}

TEST(LayoutCommand, OnTheProgramFolderThenCheckAsksTheIemNewnessFile)
{
    TSystemClock clock;
    TDemoServer server(clock, DemoRadarSource());
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    TStationHome home;
    WriteSettings(home, "http://127.0.0.1:" + std::to_string(server.Port()) + "/", server.IemBase());
    ASSERT_EQ(0, home.Run({"--add", "LOT"}).Status);
    ASSERT_EQ(0, home.Run({"--add", "ConUS"}).Status);

    TOutcome set = home.Run({"--layout", "iem"});
    EXPECT_EQ(0, set.Status) << set.Err;
    EXPECT_TRUE(Has(set.Out, "Source layout iem stored in " + home.Home + "stormfetch.ini; 2 records readdressed"))
        << set.Out;
    const TIniText ini(home.Dir.Read("home/stormfetch.ini"));
    EXPECT_EQ("iem", ini.ReadString("URL", "Layout", ""));
    EXPECT_EQ(server.IemBase(), ini.ReadString("URL", "IEM", ""));
    EXPECT_EQ("5", ini.ReadString("User", "WebTimeOut", "")); // the other keys stay as they were
    EXPECT_EQ(0, ini.ReadInteger("User", "NativeFmt", 1));
    // The records keep their names.
    EXPECT_TRUE(Has(home.ListFile(), "IL,Chicago,LOT\tShort Range Reflectivity, N0R\t")) << home.ListFile();
    EXPECT_EQ(0, home.Run({"--layout", "iem"}).Status);
    // The iem layout offers the TDWR sites and their products.
    ASSERT_EQ(0, home.Run({"--add", "DFW", "TZL"}).Status);

    TOutcome check = home.Run({"--check", "--wineprefix", QString::fromStdString(home.Prefix)});
    EXPECT_EQ(0, check.Status) << check.Out << check.Err;
    EXPECT_TRUE(Has(check.Out, "ok    source layout: iem at " + server.IemBase())) << check.Out;
    EXPECT_TRUE(Has(check.Out, "ok    radar base URL: GET " + server.IemBase()
                                   + "data/gis/images/4326/ridge/LOT/N0B_0.json answered")) << check.Out;

    TOutcome back = home.Run({"--layout", "ridge"});
    EXPECT_EQ(0, back.Status) << back.Err;
    TOutcome ridgeCheck = home.Run({"--check", "--wineprefix", QString::fromStdString(home.Prefix)});
    EXPECT_TRUE(Has(ridgeCheck.Out, "ok    source layout: ridge at http://127.0.0.1:")) << ridgeCheck.Out;
    EXPECT_TRUE(Has(ridgeCheck.Out, "radar base URL: GET http://127.0.0.1:" + std::to_string(server.Port())
                                        + "/ridge/RadarImg/N0R/LOT/")) << ridgeCheck.Out;

    TOutcome bad = home.Run({"--layout", "wms"});
    EXPECT_EQ(2, bad.Status);
    EXPECT_TRUE(Has(bad.Err, "option --layout needs ")) << bad.Err;
}

TEST(LayoutCommand, ThroughTheRunningCopy)
{
    TSystemClock clock;
    TDemoServer server(clock, DemoRadarSource());
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    TStationHome home;
    WriteSettings(home, "http://127.0.0.1:" + std::to_string(server.Port()) + "/", server.IemBase());
    ASSERT_EQ(0, home.Run({"--add", "LOT"}).Status);
    QProcess copy;
    home.Setup(copy, {"--headless", "--wineprefix", QString::fromStdString(home.Prefix)});
    copy.start();
    std::string seen;
    ASSERT_TRUE(WaitForText(copy, "starting", seen, 30000)) << seen;

    TOutcome set = home.Run({"--layout", "iem"});
    EXPECT_EQ(0, set.Status) << set.Err;
    EXPECT_TRUE(Has(set.Out, "Source layout iem stored in ")) << set.Out;
    EXPECT_EQ("iem", TIniText(home.Dir.Read("home/stormfetch.ini")).ReadString("URL", "Layout", ""));
    // The running copy fetches from the chosen layout at once.
    TOutcome download = home.Run({"--send", "download", "LOT N0R"}, 60000);
    EXPECT_EQ(0, download.Status) << download.Out << download.Err;
    const std::string underlays = home.Prefix + "drive_c/Peak Systems/QuorServer9/Quor Underlays/";
    EXPECT_TRUE(FileExists(underlays + "LOT_N0R_0.bmp")) << download.Out << download.Err;

    EXPECT_EQ(0, home.Run({"--send", "close"}).Status);
    QElapsedTimer t;
    t.start();
    while (!copy.waitForFinished(10) && t.elapsed() < 30000)
        QCoreApplication::processEvents();
    seen += copy.readAllStandardOutput().toStdString();
    EXPECT_EQ(QProcess::NotRunning, copy.state()) << seen;
    EXPECT_TRUE(Has(seen, "Command from another start: layout iem")) << seen;
    // The start line of the error log named the layout the copy started in.
    std::string log;
    for (const auto& e : std::filesystem::directory_iterator(home.Home))
        if (e.path().filename().string().find("ErrorLog") != std::string::npos)
            log += home.Dir.Read("home/" + e.path().filename().string());
    EXPECT_TRUE(Has(log, "Source layout ridge at http://127.0.0.1:")) << log;
    if (copy.state() != QProcess::NotRunning) {
        copy.kill();
        copy.waitForFinished(5000);
    }
}
