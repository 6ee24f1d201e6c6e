#include "CoreTestEnv.h"
#include "core/Files.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/Text.h"
#include <filesystem>
#include <gtest/gtest.h>

using namespace sf;
using namespace sf::test;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    TCoreEnv E;
    TIniText Saved() const { return TIniText(E.Dir.Read("stormfetch.ini")); }
};

} // namespace

TEST(SettingsFileName, ExecutableNameBeforeItsFirstDot)
{
    TFakeClock clock;
    TScriptedDialogs dialogs;
    TShared s(clock, dialogs);
    s.ProgramDir = "/opt/sf/";
    EXPECT_EQ(SettingsPath(s), "/opt/sf/stormfetch.ini");
    s.ExeName = "a.b.exe";
    EXPECT_EQ(SettingsPath(s), "/opt/sf/a.ini");
}

TEST_F(SettingsTest, NoFileGivesEveryDefault)
{
    LoadSettings(E.S);
    EXPECT_EQ(E.S.WindowLeft, 50);
    EXPECT_EQ(E.S.WindowTop, 50);
    EXPECT_EQ(E.S.WindowWidth, 594);
    EXPECT_EQ(E.S.WindowHeight, 395);
    EXPECT_EQ(E.S.RidgeBase, "https://radar.weather.gov/ridge/RadarImg/");
    EXPECT_EQ(E.S.RidgeNatBase, "https://radar.weather.gov/ridge/Conus/RadarImg/");
    EXPECT_EQ(E.S.SelectRidge, 0);
    EXPECT_EQ(E.S.ProxyHost, "");
    EXPECT_EQ(E.S.ProxyPort, "80");
    EXPECT_EQ(E.S.RadarCmb.Caption(), "IL,Chicago,LOT");
    EXPECT_EQ(E.S.ProductCmb.Caption(), "N0R, Short Range Reflectivity");
    EXPECT_TRUE(E.S.RedrawChk.Checked);
    EXPECT_FALSE(E.S.Minimizeonstartup1.Checked);
    EXPECT_FALSE(E.S.Logerrors1.Checked);
    EXPECT_TRUE(E.S.ShutDownwhenUiViewterminates1.Checked);
    EXPECT_TRUE(E.S.SaveGifChk.Checked);
    EXPECT_EQ(E.S.HintPauseMS, 6000);
    EXPECT_EQ(E.S.RidgeTimer.Interval(), 7000);
    EXPECT_EQ(E.S.ModeGrp.ItemIndex, 0);
    EXPECT_EQ(E.S.WindowCaption.Caption(), "Stormfetch 2.9.1 Server mode");
    EXPECT_EQ(E.S.ShpURLEd.Caption(), "https://www.weather.gov/regsci/gis/shapefiles/");
    // No map server and no Wine prefix: the shapefile folder lives beside the program.
    EXPECT_EQ(E.S.TargetED.Caption(), E.Dir.Path() + "ShpFiles/");
    EXPECT_TRUE(DirectoryExists(E.Dir.Path() + "ShpFiles/"));
    EXPECT_FALSE(E.S.LoadingSettings);
}

TEST_F(SettingsTest, FileWrittenFromNothingHasTheFixedLayout)
{
    LoadSettings(E.S);
    ASSERT_TRUE(SaveSettings(E.S));
    const TIniText ini = Saved();
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"URL", "User", "Shp"}));
    EXPECT_EQ(ini.Keys("URL"), (std::vector<std::string>{"RIDGE", "RIDGENAT", "SelectRidge", "ProxyHost", "ProxyPort"}));
    EXPECT_EQ(ini.Keys("User"),
              (std::vector<std::string>{"Version", "Redraw", "Minimize", "LogErrors", "UiViewShutDown", "RemoveStale",
                                        "NativeFmt", "HintPauseMS", "Accumulate", "Mode", "Target", "Radar", "Product",
                                        "QuorServerPath", "QuorUnderlayPath", "WebTimeOut", "Width", "Height", "top",
                                        "Left", "Remaining", "Legend", "Caption",
                                        // written after every key of the older layout
                                        "KeepLogDays"}));
    EXPECT_EQ(ini.Keys("Shp"), (std::vector<std::string>{"Tornado", "Severe", "Flood", "Marine", "LSR", "URL", "Dir"}));
    EXPECT_EQ(ini.ReadString("User", "Version", ""), "Stormfetch 2.9.1");
    EXPECT_EQ(ini.ReadInteger("User", "Redraw", -1), 1);
    EXPECT_EQ(ini.ReadInteger("User", "WebTimeOut", -1), 7);
    EXPECT_EQ(ini.ReadInteger("User", "Remaining", -1), 100);
    EXPECT_EQ(ini.ReadString("Shp", "Dir", ""), E.Dir.Path() + "ShpFiles/");
}

TEST_F(SettingsTest, StoredValuesRoundTrip)
{
    E.Dir.Write("stormfetch.ini", "[User]\r\nLeft=10\r\ntop=0x20\r\nWebTimeOut=12\r\nRadar=!!ConUS,Iowa State University\r\n"
                                  "Caption=My station\r\nLegend=5\r\nRedraw=0\r\n[URL]\r\nSelectRidge=2\r\nProxyPort=8080\r\n");
    LoadSettings(E.S);
    EXPECT_EQ(E.S.WindowLeft, 10);
    EXPECT_EQ(E.S.WindowTop, 32);
    EXPECT_EQ(E.S.RidgeTimer.Interval(), 12000);
    EXPECT_EQ(E.S.RadarCmb.Caption(), "!!ConUS,Iowa State University");
    EXPECT_EQ(E.S.TrayTip, "My station");
    EXPECT_TRUE(E.S.LegendChk.Checked);
    EXPECT_FALSE(E.S.RedrawChk.Checked);
    EXPECT_EQ(E.S.SelectRidge, 2);
    EXPECT_EQ(E.S.ProxyPort, "8080");
    E.S.LastMemLoad = 30;
    ASSERT_TRUE(SaveSettings(E.S));
    const TIniText ini = Saved();
    EXPECT_EQ(ini.ReadInteger("User", "WebTimeOut", 0), 12);
    EXPECT_EQ(ini.ReadInteger("User", "top", 0), 32);
    EXPECT_EQ(ini.ReadInteger("User", "Remaining", 0), 70);
    EXPECT_EQ(ini.ReadString("User", "Caption", ""), "My station");
    EXPECT_EQ(ini.Sections().front(), "User"); // existing sections keep their place
}

TEST_F(SettingsTest, TimeOutBelowOneSecondIsOneSecond)
{
    E.Dir.Write("stormfetch.ini", "[User]\r\nWebTimeOut=0\r\n");
    LoadSettings(E.S);
    EXPECT_EQ(E.S.RidgeTimer.Interval(), 1000);
    E.Dir.Write("stormfetch.ini", "[User]\r\nWebTimeOut=-4\r\n");
    LoadSettings(E.S);
    EXPECT_EQ(E.S.RidgeTimer.Interval(), 1000);
}

TEST_F(SettingsTest, IntegersBeyond32BitsGiveTheirDefaults)
{
    E.Dir.Write("stormfetch.ini", "[User]\r\nLeft=99999999999\r\ntop=-4294967296\r\nWidth=0x100000000\r\n"
                                  "WebTimeOut=4294967308\r\nMode=4294967297\r\nHeight=700\r\n"
                                  "[URL]\r\nSelectRidge=8589934593\r\n");
    LoadSettings(E.S);
    EXPECT_EQ(E.S.WindowLeft, 50);
    EXPECT_EQ(E.S.WindowTop, 50);
    EXPECT_EQ(E.S.WindowWidth, 594);
    EXPECT_EQ(E.S.WindowHeight, 700);
    EXPECT_EQ(E.S.RidgeTimer.Interval(), 7000);
    EXPECT_EQ(E.S.ModeGrp.ItemIndex, 0);
    EXPECT_EQ(E.S.SelectRidge, 0);
}

TEST_F(SettingsTest, ModeOtherThanZeroOrOneIsServer)
{
    for (const char* value : {"7", "-1", "2", "x"}) {
        SCOPED_TRACE(value);
        E.S.ModeGrp.ItemIndex = 1;
        E.Dir.Write("stormfetch.ini", std::string("[User]\r\nMode=") + value + "\r\n");
        LoadSettings(E.S);
        EXPECT_EQ(E.S.ModeGrp.ItemIndex, 0);
    }
    E.Dir.Write("stormfetch.ini", "[User]\r\nMode=1\r\n");
    LoadSettings(E.S);
    EXPECT_EQ(E.S.ModeGrp.ItemIndex, 1);
}

TEST_F(SettingsTest, ShutdownKeyIsOneEntryWhateverItsCase)
{
    E.Dir.Write("stormfetch.ini", "[User]\r\nUiViewShutdown=0\r\n");
    LoadSettings(E.S);
    EXPECT_FALSE(E.S.ShutDownwhenUiViewterminates1.Checked);
    E.S.ShutDownwhenUiViewterminates1.Checked = true;
    ASSERT_TRUE(SaveSettings(E.S));
    const TIniText ini = Saved();
    int entries = 0;
    for (const auto& k : ini.Keys("User"))
        entries += SameText(k, "UiViewShutdown") ? 1 : 0;
    EXPECT_EQ(entries, 1);
    EXPECT_TRUE(ini.ReadBool("User", "UIVIEWSHUTDOWN", false));
}

TEST_F(SettingsTest, StoredClientModeAppliesWithoutSavingDuringTheLoad)
{
    const std::string text = "[User]\r\nMode=1\r\nLogErrors=1\r\n[Shp]\r\nTornado=1\r\nMarine=1\r\nURL=http://127.0.0.1/shp/\r\n";
    E.Dir.Write("stormfetch.ini", text);
    LoadSettings(E.S);
    EXPECT_TRUE(E.S.IsClient());
    EXPECT_EQ(E.S.DownloadBtn.Caption(), "Process");
    EXPECT_EQ(E.S.DownloadBtn.Hint, "Process selected radar images from server");
    EXPECT_EQ(E.S.WindowCaption.Caption(), "Stormfetch 2.9.1 Client mode");
    EXPECT_TRUE(E.S.TorChk.Checked);
    EXPECT_TRUE(E.S.SMWChk.Checked);
    EXPECT_FALSE(E.S.SVRChk.Checked);
    EXPECT_EQ(E.S.ShpURLEd.Caption(), "http://127.0.0.1/shp/");
    EXPECT_EQ(E.Dir.Read("stormfetch.ini"), text); // not saved while loading
    // The log was on: the switch went to the day's file, whose first line names the mode.
    const std::string log = E.Dir.Read("R20120315ErrorLog.txt");
    EXPECT_NE(log.find(" client mode.  QuorUnderlayPath = "), std::string::npos);
}

TEST_F(SettingsTest, ModeSwitchSetsCaptionsAndSaves)
{
    E.S.ModeGrp.ItemIndex = 1;
    ModeSwitch(E.S);
    EXPECT_EQ(E.S.DownloadBtn.Caption(), "Process");
    EXPECT_EQ(E.S.WindowCaption.Caption(), "Stormfetch 2.9.1 Client mode");
    EXPECT_EQ(Saved().ReadInteger("User", "Mode", -1), 1);
    E.S.ModeGrp.ItemIndex = 0;
    ModeSwitch(E.S);
    EXPECT_EQ(E.S.DownloadBtn.Caption(), "Download");
    EXPECT_EQ(E.S.DownloadBtn.Hint, "Download selected radar images");
    EXPECT_EQ(E.S.WindowCaption.Caption(), "Stormfetch 2.9.1 Server mode");
    EXPECT_EQ(Saved().ReadInteger("User", "Mode", -1), 0);
}

TEST_F(SettingsTest, ShapefileFolderFromTheMapServer)
{
    const std::string quor = E.Dir.Path() + "Quor/";
    E.S.QuorServerPath = quor;
    LoadSettings(E.S);
    EXPECT_EQ(E.S.TargetED.Caption(), quor + "ShpFiles");
    EXPECT_TRUE(DirectoryExists(quor + "ShpFiles"));
    E.Dir.Write("stormfetch.ini", "[Shp]\r\nDir=" + E.Dir.Path() + "mine/\r\n");
    LoadSettings(E.S);
    EXPECT_EQ(E.S.TargetED.Caption(), E.Dir.Path() + "mine/");
    EXPECT_TRUE(DirectoryExists(E.Dir.Path() + "mine/"));
}

TEST_F(SettingsTest, StoredFolderIgnoredWithoutMapServer)
{
    E.Dir.Write("stormfetch.ini", "[Shp]\r\nDir=" + E.Dir.Path() + "mine/\r\n");
    LoadSettings(E.S);
    EXPECT_EQ(E.S.TargetED.Caption(), E.Dir.Path() + "ShpFiles/");
    EXPECT_FALSE(DirectoryExists(E.Dir.Path() + "mine/"));
}

TEST_F(SettingsTest, BuiltInFolderInsideAWinePrefix)
{
    const std::string prefix = E.Dir.Path() + "wine";
    std::filesystem::create_directories(prefix + "/drive_c");
    std::filesystem::create_directories(prefix + "/dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:");
    E.S.WinePrefix = prefix;
    E.S.ProgramDir = E.Dir.Path() + "prog/";
    LoadSettings(E.S);
    const std::string want = std::filesystem::canonical(prefix + "/drive_c").string() + "/Peak Systems/QuorServer9/ShpFiles/";
    EXPECT_EQ(E.S.TargetED.Caption(), want);
    EXPECT_TRUE(DirectoryExists(want));
}

TEST_F(SettingsTest, PrefixWithoutDriveCIsNeverCreated)
{
    E.S.WinePrefix = E.Dir.Path() + "nowine";
    LoadSettings(E.S);
    EXPECT_EQ(E.S.TargetED.Caption(), E.Dir.Path() + "ShpFiles/");
    EXPECT_FALSE(std::filesystem::exists(E.Dir.Path() + "nowine"));
}

TEST_F(SettingsTest, StoredWindowsFolderLiesInThePrefixAndIsNeverMadeLocally)
{
    const std::string prefix = E.Dir.Path() + "wine";
    std::filesystem::create_directories(prefix + "/drive_c/Quor");
    std::filesystem::create_directories(prefix + "/dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", prefix + "/dosdevices/c:");
    E.S.WinePrefix = prefix;
    E.S.QuorServerPath = E.Dir.Path() + "Quor/";
    E.Dir.Write("stormfetch.ini", "[Shp]\r\nDir=C:\\quor\\ShpFiles\\\r\n");
    LoadSettings(E.S);
    const std::string want = std::filesystem::canonical(prefix + "/drive_c/Quor").string() + "/ShpFiles/";
    EXPECT_EQ(E.S.TargetED.Caption(), want);
    EXPECT_TRUE(DirectoryExists(want));

    // A drive the prefix does not have: the text stays, and no folder named after it appears.
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(E.Dir.Path());
    E.Dir.Write("stormfetch.ini", "[Shp]\r\nDir=Q:\\Nowhere\\\r\n");
    LoadSettings(E.S);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(E.S.TargetED.Caption(), "Q:\\Nowhere\\");
    EXPECT_FALSE(std::filesystem::exists(E.Dir.Path() + "Q:\\Nowhere\\"));
}

TEST_F(SettingsTest, FailedSaveNamesTheFile)
{
    E.S.ProgramDir = E.Dir.Path() + "no/such/";
    std::string error;
    EXPECT_FALSE(SaveSettings(E.S, &error));
    EXPECT_EQ(error, "Unable to write to " + E.Dir.Path() + "no/such/stormfetch.ini");
}
