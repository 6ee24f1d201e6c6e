#include "HostFixture.h"
#include "host/HostDiscovery.h"
#include <filesystem>
#include <sys/stat.h>

namespace sf::test {
namespace {

namespace fs = std::filesystem;

using HostDiscoveryTest = HostFixture;

TEST_F(HostDiscoveryTest, MapServerMapGivesServerFolderUnderlayFolderAndName)
{
    MakePrefix();
    std::string ini;
    HostDiscovery(s, &ini);
    EXPECT_EQ(s.UiViewFolder, DriveC("UIView32/"));
    EXPECT_EQ(s.LastMap, "C:\\UIView32\\MAPS\\!!QuorServer9.map");
    EXPECT_EQ(s.UiViewMap, "QuorServer9");
    EXPECT_EQ(s.QuorServerPath, DriveC("Peak Systems/QuorServer9/"));
    EXPECT_EQ(s.QuorUnderlayPath, DriveC("Peak Systems/QuorServer9/Quor Underlays/"));
    EXPECT_EQ(s.UnderlayName, "N0R_0.bmp");
    EXPECT_EQ(ini, DriveC("Peak Systems/QuorServer9/QuorServer9.ini"));
}

TEST_F(HostDiscoveryTest, ThirtyTwoBitRegistrationUnderWow6432NodeIsFound)
{
    TFakePrefixOptions o;
    o.Wow64 = true;
    MakePrefix(o);
    HostDiscovery(s);
    EXPECT_EQ(s.QuorServerPath, DriveC("Peak Systems/QuorServer9/"));
    EXPECT_EQ(s.UnderlayName, "N0R_0.bmp");
}

TEST_F(HostDiscoveryTest, RegistrationInTheUserClassesIsFound)
{
    TFakePrefixOptions o;
    o.InUserClasses = true;
    MakePrefix(o);
    HostDiscovery(s);
    EXPECT_EQ(s.QuorServerPath, DriveC("Peak Systems/QuorServer9/"));
}

TEST_F(HostDiscoveryTest, UnderlayInAnotherExistingFolderMovesTheUnderlayDirectory)
{
    MakePrefix();
    fs::create_directories(s.WinePrefix + "drive_c/Radar Share");
    dir.Write("prefix/drive_c/Radar Share/N0R_0.bmp", "BM");
    dir.Write("prefix/drive_c/Peak Systems/QuorServer9/QuorServer9.ini",
              "[SETUP]\r\nUNDERLAY=C:\\RADAR SHARE\\N0R_0.bmp\r\n");
    HostDiscovery(s);
    EXPECT_EQ(s.QuorUnderlayPath, DriveC("Radar Share/"));
    EXPECT_EQ(s.UnderlayName, "N0R_0.bmp");
}

TEST_F(HostDiscoveryTest, MissingUnderlayFileKeepsTheSubFolderButSetsTheName)
{
    TFakePrefixOptions o;
    o.CreateUnderlay = false;
    MakePrefix(o);
    HostDiscovery(s);
    EXPECT_EQ(s.QuorUnderlayPath, DriveC("Peak Systems/QuorServer9/Quor Underlays/"));
    EXPECT_EQ(s.UnderlayName, "N0R_0.bmp");
}

TEST_F(HostDiscoveryTest, FoldersInOtherLetterCasesAreFoundAndStoredAsOnDisk)
{
    TFakePrefixOptions o;
    o.ProgramFolder = "c:\\uiview32\\";
    o.ServerFolder = "C:\\PEAK SYSTEMS\\QuorServer9\\";
    MakePrefix(o);
    // Rename to other spellings on disk: the registry and ini keep theirs.
    fs::rename(s.WinePrefix + "drive_c/uiview32", s.WinePrefix + "drive_c/UIView32");
    fs::rename(s.WinePrefix + "drive_c/PEAK SYSTEMS", s.WinePrefix + "drive_c/Peak Systems");
    fs::rename(s.WinePrefix + "drive_c/Peak Systems/QuorServer9/Quor Underlays",
               s.WinePrefix + "drive_c/Peak Systems/QuorServer9/quor underlays");
    fs::rename(s.WinePrefix + "drive_c/UIView32/UiView32.ini", s.WinePrefix + "drive_c/UIView32/UIVIEW32.INI");
    fs::rename(s.WinePrefix + "drive_c/Peak Systems/QuorServer9/QuorServer9.ini",
               s.WinePrefix + "drive_c/Peak Systems/QuorServer9/quorserver9.INI");
    HostDiscovery(s);
    EXPECT_EQ(s.UiViewFolder, DriveC("UIView32/"));
    EXPECT_EQ(s.UiViewMap, "QuorServer9");
    EXPECT_EQ(s.QuorServerPath, DriveC("Peak Systems/QuorServer9/"));
    EXPECT_EQ(s.QuorUnderlayPath, DriveC("Peak Systems/QuorServer9/quor underlays/"));
    EXPECT_EQ(s.UnderlayName, "N0R_0.bmp");
}

TEST_F(HostDiscoveryTest, PlainMapChangesOnlyTheUiViewValuesAndFallsBackToQuorServer7)
{
    TFakePrefixOptions o;
    o.LastMap = "C:\\UIView32\\MAPS\\Texas.map";
    o.ServerName = "QUORSERVER7";
    o.ServerFolder = "C:\\QuorServer7\\";
    MakePrefix(o);
    HostDiscovery(s);
    EXPECT_EQ(s.LastMap, "C:\\UIView32\\MAPS\\Texas.map");
    EXPECT_EQ(s.UiViewMap, "Texas");
    EXPECT_EQ(s.QuorServerPath, DriveC("QuorServer7/"));
    EXPECT_EQ(s.QuorUnderlayPath, DriveC("QuorServer7/Quor Underlays/"));
}

TEST_F(HostDiscoveryTest, QuorServer6IsTheLastFallBack)
{
    TFakePrefixOptions o;
    o.UiView = false;
    o.ServerName = "QUORSERVER6";
    o.ServerFolder = "C:\\QS6\\";
    MakePrefix(o);
    HostDiscovery(s);
    EXPECT_EQ(s.QuorServerPath, DriveC("QS6/"));
    EXPECT_EQ(s.LastMap, "");
}

TEST_F(HostDiscoveryTest, MapServerMapWithoutDotGivesEmptyMapName)
{
    TFakePrefixOptions o;
    o.LastMap = "C:\\UIView32\\MAPS\\!!QuorServer9";
    MakePrefix(o);
    s.UiViewMap = "Earlier";
    HostDiscovery(s);
    EXPECT_EQ(s.UiViewMap, "");
    // The server name is then all of the text after "!!", so the server is still found.
    EXPECT_EQ(s.QuorServerPath, DriveC("Peak Systems/QuorServer9/"));
}

TEST_F(HostDiscoveryTest, ServerNameIsCutToFiftyCharacters)
{
    const std::string longName(60, 'Q');
    TFakePrefixOptions o;
    o.LastMap = "C:\\UIView32\\MAPS\\!!QUORSERVER" + longName + ".map";
    o.ServerName = "QUORSERVER" + longName.substr(0, 40); // 50 characters in all
    o.ServerFolder = "C:\\Long\\";
    MakePrefix(o);
    HostDiscovery(s);
    EXPECT_EQ(s.QuorServerPath, DriveC("Long/"));
}

TEST_F(HostDiscoveryTest, NothingInstalledSetsNothingAndClearsLastMap)
{
    fs::create_directories(s.WinePrefix);
    s.LastMap = "old";
    HostDiscovery(s);
    EXPECT_EQ(s.LastMap, "");
    EXPECT_EQ(s.UiViewFolder, "");
    EXPECT_EQ(s.QuorServerPath, "");
    EXPECT_EQ(s.QuorUnderlayPath, "");
    EXPECT_EQ(s.UnderlayName, "");
}

TEST_F(HostDiscoveryTest, MissingIniGivesMinusOneAndEmptyMap)
{
    MakePrefix();
    fs::remove(s.WinePrefix + "drive_c/UIView32/UiView32.ini");
    s.UiViewMap = "Earlier";
    HostDiscovery(s);
    EXPECT_EQ(s.LastMap, "-1");
    EXPECT_EQ(s.UiViewMap, "");
    // The fixed names find nothing either, since this server is called QuorServer9.
    EXPECT_EQ(s.QuorServerPath, "");
}

TEST_F(HostDiscoveryTest, LaterRunThatFindsLessKeepsEarlierValues)
{
    MakePrefix();
    HostDiscovery(s);
    const std::string server = s.QuorServerPath, underlays = s.QuorUnderlayPath;
    dir.Write("prefix/drive_c/UIView32/UiView32.ini", "[MAPS]\r\nLAST_MAP=C:\\UIView32\\MAPS\\Plain.map\r\n");
    HostDiscovery(s);
    EXPECT_EQ(s.UiViewMap, "Plain");
    EXPECT_EQ(s.QuorServerPath, server);
    EXPECT_EQ(s.QuorUnderlayPath, underlays);
    EXPECT_EQ(s.UnderlayName, "N0R_0.bmp");
    // Without the UI-View32 key the map name stays too.
    dir.Write("prefix/user.reg", "WINE REGISTRY Version 2\n");
    HostDiscovery(s);
    EXPECT_EQ(s.UiViewMap, "Plain");
    EXPECT_EQ(s.LastMap, "");
}

TEST_F(HostDiscoveryTest, UiViewKeyWithOnlyASubKeyWrittenStillCounts)
{
    MakePrefix();
    dir.Write("prefix/user.reg", "WINE REGISTRY Version 2\n"
                                 "[Software\\\\VB and VBA Program Settings\\\\Peak Systems\\\\UI-View32\\\\Settings] 1\n"
                                 "\"x\"=\"y\"\n");
    s.UiViewMap = "Earlier";
    HostDiscovery(s);
    EXPECT_EQ(s.UiViewFolder, ""); // key present, "Program Folder" missing
    EXPECT_EQ(s.LastMap, "-1");
    EXPECT_EQ(s.UiViewMap, "");
}

TEST_F(HostDiscoveryTest, IniTextIsDecodedFromWindows1252)
{
    MakePrefix();
    dir.Write("prefix/drive_c/UIView32/UiView32.ini", "[MAPS]\r\nLAST_MAP=C:\\UIView32\\MAPS\\Caf\xE9.map\r\n");
    HostDiscovery(s);
    EXPECT_EQ(s.UiViewMap, "Caf\xC3\xA9");
}

TEST_F(HostDiscoveryTest, ProgramFolderWithoutBackslashFindsNoIni)
{
    TFakePrefixOptions o;
    o.ProgramFolder = "C:\\UIView32";
    MakePrefix(o);
    dir.Write("prefix/drive_c/UIView32/UiView32.ini", "[MAPS]\r\nLAST_MAP=x.map\r\n");
    HostDiscovery(s);
    ASSERT_FALSE(s.UiViewFolder.empty());
    EXPECT_EQ(s.UiViewFolder.back(), '2');
    EXPECT_EQ(s.LastMap, "-1");
}

TEST_F(HostDiscoveryTest, FindServerFolderNormalisesTheName)
{
    MakePrefix();
    TWineRegistry reg(s.WinePrefix);
    reg.Refresh();
    const std::string want = DriveC("Peak Systems/QuorServer9/");
    EXPECT_EQ(FindServerFolder(reg, "QuorServer9"), want);
    EXPECT_EQ(FindServerFolder(reg, "!!quorserver9"), want);
    EXPECT_EQ(FindServerFolder(reg, "QuorServer9.clsSomethingElse"), want);
    EXPECT_EQ(FindServerFolder(reg, "x!!QuorServer9"), "");
    EXPECT_EQ(FindServerFolder(reg, "QuorServer8"), "");
}

TEST_F(HostDiscoveryTest, ReadLastMapNeedsFolderAndIni)
{
    EXPECT_EQ(ReadLastMap(""), "-1");
    EXPECT_EQ(ReadLastMap(dir.Path() + "nowhere/"), "-1");
    dir.Write("uv/uiview32.ini", "[Other]\r\nX=1\r\n");
    EXPECT_EQ(ReadLastMap(dir.Path() + "uv/"), "");
    dir.Write("uv/uiview32.ini", "[maps]\r\nlast_map=C:\\m.map\r\n");
    EXPECT_EQ(ReadLastMap(dir.Path() + "uv/"), "C:\\m.map");
}

TEST_F(HostDiscoveryTest, IniThatIsAPipeIsNotReadAndDoesNotBlock)
{
    std::filesystem::create_directories(dir.Path() + "uv");
    ASSERT_EQ(::mkfifo((dir.Path() + "uv/UiView32.ini").c_str(), 0600), 0);
    EXPECT_EQ(ReadLastMap(dir.Path() + "uv/"), "");
    EXPECT_EQ(ReadHostIniText(dir.Path() + "uv/UiView32.ini"), "");
}

TEST(ChooseWinePrefix, ArgumentThenEnvironmentThenHome)
{
    const char* oldPrefix = std::getenv("WINEPREFIX");
    const char* oldHome = std::getenv("HOME");
    const std::string savedPrefix = oldPrefix ? oldPrefix : "", savedHome = oldHome ? oldHome : "";
    EXPECT_EQ(ChooseWinePrefix("/opt/prefix"), "/opt/prefix/");
    setenv("WINEPREFIX", "/env/prefix", 1);
    EXPECT_EQ(ChooseWinePrefix(""), "/env/prefix/");
    unsetenv("WINEPREFIX");
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(ChooseWinePrefix(""), "/home/someone/.wine/");
    if (oldPrefix)
        setenv("WINEPREFIX", savedPrefix.c_str(), 1);
    if (oldHome)
        setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
} // namespace sf::test
