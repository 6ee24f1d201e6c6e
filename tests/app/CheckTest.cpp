// The set-up check in-process: what it passes, what it fails, and the notes that
// name a file and a line or the condition that is missing, with the fix.
#include "app/Check.h"
#include "app/StationReasons.h"
#include "core/Clock.h"
#include "core/Files.h"
#include "core/ListFile.h"
#include "core/RadarObj.h"
#include "host/FakePrefix.h"
#include "support/TempDir.h"
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
        Dir.Write("stormfetch.ini", "[URL]\r\nRIDGE=http://127.0.0.1:1/ridge/RadarImg/\r\n[User]\r\nWebTimeOut=1\r\n" + extra);
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
};

} // namespace

TEST(Check, AListWithNoEnabledRecordFails)
{
    TCheckHome home;
    home.List(false);
    EXPECT_EQ(home.Run(), 1);
    EXPECT_TRUE(Has(home.Out, "FAIL  download list: 1 records, 0 enabled")) << home.Out;
}

TEST(Check, AnUnwritableTargetFolderFails)
{
    TCheckHome home;
    // A folder this user cannot write: read-only for a user, the process file system for root.
    std::string folder = "/proc/self/";
    if (geteuid() != 0) {
        folder = home.Dir.Path() + "readonly/";
        ForceDirectories(folder);
        chmod(folder.c_str(), 0500);
    }
    home.Dir.Write("TargetDirList.txt", folder + "\r\n");
    EXPECT_EQ(home.Run(), 1);
    EXPECT_TRUE(Has(home.Out, "FAIL  target folder: " + folder + " is not writable")) << home.Out;
    if (geteuid() != 0)
        chmod(folder.c_str(), 0700);
}

TEST(Check, AMapThatIsNotAMapServerMapFails)
{
    TCheckHome home("C:\\UIView32\\MAPS\\Chicago.map");
    EXPECT_EQ(home.Run(), 1);
    EXPECT_TRUE(Has(home.Out, "FAIL  map on show: ")) << home.Out;
    EXPECT_TRUE(Has(home.Out, "Chicago is not a map-server map")) << home.Out;
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
