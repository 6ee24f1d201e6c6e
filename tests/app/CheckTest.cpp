// The set-up check in-process: what it passes, what it fails, and the notes that
// name a file and a line or the condition that is missing, with the fix.
#include "app/Check.h"
#include "app/Demo.h"
#include "app/DemoServer.h"
#include "app/StationReasons.h"
#include "core/Clock.h"
#include "core/Files.h"
#include "core/ListFile.h"
#include "core/RadarObj.h"
#include "host/FakePrefix.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace sf;

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

struct TCheckHome {
    test::TTempDir Dir;
    std::string Prefix = Dir.Path() + "pfx/";
    std::string Server = Prefix + "drive_c/Peak Systems/QuorServer9/";
    std::string Underlays = Server + "Quor Underlays/";
    std::string Ridge = "http://127.0.0.1:1/ridge/RadarImg/";
    int TimeOut = 1; ///< seconds
    std::string Out, Err;

    explicit TCheckHome(const std::string& lastMap = "C:\\UIView32\\MAPS\\!!QUORSERVER9.MAP")
    {
        TFakePrefixOptions host;
        host.LastMap = lastMap;
        std::string error;
        EXPECT_TRUE(WriteFakePrefix(Prefix, host, &error)) << error;
        Ini("");
        List(true);
        Dir.Write("TargetDirList.txt", "");
    }
    // Settings with an address nothing answers on, so the check never waits long.
    void Ini(const std::string& extra)
    {
        Dir.Write("stormfetch.ini", "[URL]\r\nRIDGE=" + Ridge + "\r\n[User]\r\nWebTimeOut=" + std::to_string(TimeOut) +
                                        "\r\n" + extra);
    }
    void List(bool enabled)
    {
        TSystemClock clock;
        DownloadList list;
        TRadarObj r = TRadarObj::Create(clock);
        r.SetNames("IL,Chicago,LOT", "Short Range Reflectivity, N0R", TNaming{});
        r.Enabled = enabled;
        const std::string key = r.Radar + "\t" + r.Product; // before r moves
        list.Add(key, std::move(r));
        Dir.Write(kListFileWriteName, ListText(list));
    }
    int Run()
    {
        std::ostringstream out, err;
        const int status = RunSetupCheck({Dir.Path(), "stormfetch", Prefix}, out, err);
        Out = out.str();
        Err = err.str();
        return status;
    }
    /// The radar base answers from server, so only the item a test breaks can fail the check.
    void ServedBy(const TDemoServer& server)
    {
        Ridge = server.RidgeBase();
        TimeOut = 30; // only a refused connection may fail the GET, never a busy machine
        Ini("");
    }
    /// Whether the check blamed item first (on standard error), as a script reading the status sees it.
    bool FailedFirstOn(const std::string& item) const
    {
        return Has(Err, "the set-up check failed: " + item + ": ");
    }
};

// The demo radar feed on this thread; the check's GET runs its event loop, which serves it.
struct TServedRadar {
    TSystemClock Clock;
    TDemoServer Server{Clock, DemoRadarSource()};
    TServedRadar()
    {
        std::string error;
        EXPECT_TRUE(Server.Start(&error)) << error;
    }
};

} // namespace

TEST(Check, ASoundSetupPassesWithStatusZero)
{
    TServedRadar radar;
    TCheckHome home;
    home.ServedBy(radar.Server);
    EXPECT_EQ(home.Run(), 0) << home.Out << home.Err;
    EXPECT_TRUE(Has(home.Out, "ok    download list: 1 records, 1 enabled, 0 in error")) << home.Out;
    EXPECT_TRUE(Has(home.Out, "ok    map on show: ")) << home.Out;
    EXPECT_TRUE(Has(home.Out, "ok    radar base URL: GET " + radar.Server.RidgeBase())) << home.Out;
    EXPECT_TRUE(Has(home.Out, "The set-up check found nothing that stops the station.")) << home.Out;
    EXPECT_EQ(home.Err, "");
}

// Each of these set-ups is sound but for one item, which alone must make the status 1.
TEST(Check, OnlyDisabledRecordsFailTheCheck)
{
    TServedRadar radar;
    TCheckHome home;
    home.ServedBy(radar.Server);
    home.List(false);
    EXPECT_EQ(home.Run(), 1) << home.Out;
    EXPECT_TRUE(home.FailedFirstOn("download list")) << home.Err;
    EXPECT_TRUE(Has(home.Err, "1 records, 0 enabled, 0 in error: no record is enabled (stormfetch --enable KEY)"))
        << home.Err;
}

TEST(Check, AMapOtherThanTheMapServersFailsTheCheck)
{
    TServedRadar radar;
    TCheckHome home("C:\\UIView32\\MAPS\\Chicago.map");
    home.ServedBy(radar.Server);
    EXPECT_EQ(home.Run(), 1) << home.Out;
    EXPECT_TRUE(home.FailedFirstOn("map on show")) << home.Err;
    EXPECT_TRUE(Has(home.Err, "Chicago is not a map-server map")) << home.Err;
}

TEST(Check, ATargetFolderTheStationCannotWriteFailsTheCheck)
{
    // Root writes into any folder, so the check runs as an ordinary user; the demo feed
    // runs in that same process, whose event loop the check's GET turns.
    TCheckHome home;
    const std::string open = home.Dir.Path() + "open/", closed = home.Dir.Path() + "closed/";
    ForceDirectories(open);
    ForceDirectories(closed);
    test::OpenToUnprivileged(home.Dir.Path()); // the check leaves its probe download here
    for (const char* file : {"stormfetch.ini", "TargetDirList.txt"}) // rewritten by the child
        test::OpenToUnprivileged(home.Dir.Path() + file);
    test::OpenToUnprivileged(home.Underlays);
    test::OpenToUnprivileged(open);
    ::chmod(closed.c_str(), 0555);
    const std::string failed = test::RunUnprivileged([&]() -> std::string {
        TServedRadar radar;
        home.ServedBy(radar.Server);
        home.Dir.Write("TargetDirList.txt", open + "\r\n");
        if (home.Run() != 0)
            return "a writable target folder failed the check: " + home.Out + home.Err;
        if (!Has(home.Out, "ok    target folder: " + open))
            return "the writable target folder is not listed: " + home.Out;
        home.Dir.Write("TargetDirList.txt", open + "\r\n" + closed + "\r\n");
        if (home.Run() != 1)
            return "an unwritable target folder passed the check: " + home.Out;
        if (!home.FailedFirstOn("target folder") || !Has(home.Out, "FAIL  target folder: " + closed + " is not writable"))
            return "the unwritable target folder is not the reason: " + home.Out + home.Err;
        return "";
    });
    EXPECT_EQ(failed, "");
    ::chmod(closed.c_str(), 0755);
}

TEST(Check, TheShapefileFolderIsListedAndNotedWhenOutsideTheMapServer)
{
    TCheckHome inside;
    inside.Run();
    EXPECT_TRUE(Has(inside.Out, "ok    shapefile folder: " + inside.Server + "ShpFiles")) << inside.Out;

    TCheckHome outside;
    const std::string elsewhere = outside.Dir.Path() + "ShpFiles/";
    outside.Ini("[Shp]\r\nDir=" + elsewhere + "\r\n");
    outside.Run();
    EXPECT_TRUE(Has(outside.Out, "note  shapefile folder: " + elsewhere + " lies outside the map-server folder " +
                                     outside.Server))
        << outside.Out;
}

TEST(Check, TheHelperLinksMissingConditionIsNamedWithTheFix)
{
    test::TTempDir dir;
    const std::string bin = dir.Path() + "bin/", helpers = dir.Path() + "share/", none = dir.Path() + "none/";
    ForceDirectories(bin);
    ForceDirectories(helpers);
    const std::string prefix = dir.Path() + "pfx/";
    ForceDirectories(prefix + "drive_c/");

    std::string p = WineHelperProblem(prefix, {helpers}, bin, none);
    EXPECT_TRUE(Has(p, "no Wine loader")) << p;
    EXPECT_TRUE(Has(p, "install Wine")) << p;

    dir.Write("bin/wine", "#!/bin/sh\n");
    chmod((bin + "wine").c_str(), 0755);
    p = WineHelperProblem(prefix, {helpers}, bin, none);
    EXPECT_TRUE(Has(p, "stormfetch-link32.exe is not in " + helpers)) << p;

    dir.Write("share/stormfetch-link32.exe", "MZ");
    p = WineHelperProblem(prefix, {helpers}, bin, none);
    EXPECT_TRUE(Has(p, "was not set up by Wine")) << p;
    EXPECT_TRUE(Has(p, "WINEPREFIX=" + prefix + " wineboot")) << p;

    TFakePrefixOptions noUiView;
    noUiView.UiView = false;
    std::string error;
    ASSERT_TRUE(WriteFakePrefix(prefix, noUiView, &error)) << error;
    ForceDirectories(prefix + "drive_c/windows/system32/");
    p = WineHelperProblem(prefix, {helpers}, bin, none);
    EXPECT_TRUE(Has(p, "UI-View32's registry key is not in the Wine prefix " + prefix)) << p;

    ASSERT_TRUE(WriteFakePrefix(prefix, TFakePrefixOptions{}, &error)) << error;
    EXPECT_EQ(WineHelperProblem(prefix, {helpers}, bin, none), "");
}

TEST(Check, ADamagedSettingsFileAndAShortListLineAreNotedWithFileAndLine)
{
    TCheckHome home;
    home.Ini("garbage without an equals sign\r\n");
    std::string list = home.Dir.Read(kListFileWriteName);
    home.Dir.Write(kListFileWriteName, list + "WI,Milwaukee,MKX\tShort Range\tMKX\r\n");
    home.Run();
    EXPECT_TRUE(Has(home.Out, "note  settings file: " + home.Dir.Path() + "stormfetch.ini line 5 is not a setting"))
        << home.Out;
    EXPECT_TRUE(Has(home.Out, "note  download list: " + std::string(kListFileWriteName) +
                                  " held 1 line that could not be loaded as written (line 2: 3 of 10 fields)"))
        << home.Out;
    // Without the Wine helper's conditions the link note says which one fails.
    EXPECT_TRUE(Has(home.Out, "the map is not redrawn after an update: ")) << home.Out;
}
