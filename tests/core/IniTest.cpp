#include "core/IniFile.h"
#include "support/TempDir.h"
#include <filesystem>
#include <gtest/gtest.h>

namespace sf {
namespace {

TEST(IniText, SectionsAndKeysCompareIgnoringCase)
{
    const TIniText ini("[User]\r\nLeft=12\r\ntop=34\r\n[URL]\r\nRIDGE=https://x/ridge/RadarImg/\r\n");
    EXPECT_EQ(ini.ReadInteger("user", "LEFT", 50), 12);
    EXPECT_EQ(ini.ReadInteger("USER", "Top", 50), 34);
    EXPECT_EQ(ini.ReadString("url", "ridge", ""), "https://x/ridge/RadarImg/");
    EXPECT_EQ(ini.ReadInteger("User", "Width", 594), 594);
    EXPECT_EQ(ini.ReadInteger("Shp", "Left", 7), 7);
    EXPECT_TRUE(ini.HasKey("USER", "left"));
    EXPECT_FALSE(ini.HasKey("URL", "left"));
}

TEST(IniText, ValuesAreTrimmedAndLimitedTo2047Characters)
{
    const std::string longValue(3000, 'a');
    const TIniText ini("[S]\nA =  spaced value  \nB=" + longValue + "\nC=\"quoted \"\nD=\n");
    EXPECT_EQ(ini.ReadString("S", "A", "def"), "spaced value");
    EXPECT_EQ(ini.ReadString("S", "B", "").size(), 2047u);
    EXPECT_EQ(ini.ReadString("S", "C", ""), "quoted ");
    EXPECT_EQ(ini.ReadString("S", "D", "def"), ""); // present but empty is not missing
    EXPECT_EQ(ini.ReadString("S", "E", "def"), "def");
}

TEST(IniText, IntegersDecimalOrHexElseDefault)
{
    const TIniText ini("[S]\nDec=-42\nHex=0x1F\nHEX2=0XfF\nBad=12abc\nEmpty=\nBig=99999999999999999999\n");
    EXPECT_EQ(ini.ReadInteger("S", "Dec", 0), -42);
    EXPECT_EQ(ini.ReadInteger("S", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("S", "Hex2", 0), 255);
    EXPECT_EQ(ini.ReadInteger("S", "Bad", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "Empty", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "Big", 7), 7);
}

TEST(IniText, BoolsAreIntegersAnyNonZeroIsTrue)
{
    const TIniText ini("[S]\nOne=1\nZero=0\nTwo=2\nNeg=-1\nWord=yes\n");
    EXPECT_TRUE(ini.ReadBool("S", "One", false));
    EXPECT_FALSE(ini.ReadBool("S", "Zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "Two", false));
    EXPECT_TRUE(ini.ReadBool("S", "Neg", false));
    EXPECT_TRUE(ini.ReadBool("S", "Word", true));
    EXPECT_FALSE(ini.ReadBool("S", "Word", false));
    EXPECT_TRUE(ini.ReadBool("S", "Missing", true));
}

TEST(IniText, ExistingKeyIsUpdatedInPlaceKeepingItsSpelling)
{
    TIniText ini("; comment\r\n[User]\r\nUiViewShutdown=0\r\nOther=x\r\n\r\n[Shp]\r\nURL=u\r\n");
    ini.WriteBool("user", "UiViewShutDown", true);
    EXPECT_EQ(ini.Text(), "; comment\r\n[User]\r\nUiViewShutdown=1\r\nOther=x\r\n\r\n[Shp]\r\nURL=u\r\n");
    EXPECT_EQ(ini.Keys("User"), (std::vector<std::string>{"UiViewShutdown", "Other"}));
}

TEST(IniText, NewKeyGoesToTheEndOfItsSectionBeforeBlankLines)
{
    TIniText ini("[URL]\r\nRIDGE=a\r\n\r\n[User]\r\nMode=0\r\n");
    ini.WriteString("url", "ProxyHost", "proxy");
    ini.WriteInteger("User", "Width", 594);
    EXPECT_EQ(ini.Text(), "[URL]\r\nRIDGE=a\r\nProxyHost=proxy\r\n\r\n[User]\r\nMode=0\r\nWidth=594\r\n");
}

TEST(IniText, NewSectionGoesToTheEndInWriteOrder)
{
    TIniText ini;
    ini.WriteString("URL", "RIDGE", "r");
    ini.WriteString("User", "Version", "Stormfetch 2.9.1");
    ini.WriteString("URL", "RIDGENAT", "n");
    ini.WriteBool("Shp", "Tornado", false);
    ini.WriteBool("User", "Redraw", true);
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"URL", "User", "Shp"}));
    EXPECT_EQ(ini.Text(), "[URL]\r\nRIDGE=r\r\nRIDGENAT=n\r\n[User]\r\nVersion=Stormfetch 2.9.1\r\nRedraw=1\r\n"
                          "[Shp]\r\nTornado=0\r\n");
}

TEST(IniText, FirstOfDuplicateSectionsAndKeysWins)
{
    TIniText ini("[A]\nk=1\nK=2\n[a]\nk=3\n");
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 1);
    ini.WriteInteger("a", "K", 9);
    EXPECT_EQ(ini.Text(), "[A]\r\nk=9\r\nK=2\r\n[a]\r\nk=3\r\n");
}

TEST(IniText, LinesOutsideSectionsAndOddLinesAreKeptButNotKeys)
{
    TIniText ini("stray=1\nno equals sign\n[S]\n;k=commented\nk=v\n");
    EXPECT_EQ(ini.ReadString("", "stray", "def"), "def");
    EXPECT_EQ(ini.Keys("S"), std::vector<std::string>{"k"});
    ini.WriteString("S", "k", "w");
    EXPECT_EQ(ini.Text(), "stray=1\r\nno equals sign\r\n[S]\r\n;k=commented\r\nk=w\r\n");
}

TEST(IniText, ValuesCannotBreakTheLineStructure)
{
    TIniText ini;
    ini.WriteString("User", "Caption", "two\r\nlines");
    ini.WriteString("User", "Next", "x");
    EXPECT_EQ(ini.ReadString("User", "Next", ""), "x");
    EXPECT_EQ(TIniText(ini.Text()).Keys("User"), (std::vector<std::string>{"Caption", "Next"}));
}

TEST(IniText, ASaveChangesNothingButTheKeysWritten)
{
    // Lines ended by several CRs keep them all, however often the file is saved.
    const std::string crs = "[User]\r\r\nLeft=12\r\r\n; note\r\r\r\n";
    TIniText first(crs);
    EXPECT_EQ(first.ReadInteger("User", "Left", 0), 12);
    EXPECT_EQ(first.Text(), crs);
    EXPECT_EQ(TIniText(TIniText(first.Text()).Text()).Text(), crs);
    first.WriteInteger("User", "Top", 5);
    EXPECT_EQ(first.Text(), "[User]\r\r\nLeft=12\r\r\n; note\r\r\r\nTop=5\r\n");

    // Two byte-order marks: the first section is still found, and both marks stay.
    const std::string boms = "\xEF\xBB\xBF\xEF\xBB\xBF[User]\r\nLeft=12\r\n";
    TIniText marked(boms);
    EXPECT_EQ(marked.ReadInteger("User", "Left", 0), 12);
    EXPECT_EQ(marked.Text(), boms);
    marked.WriteInteger("User", "Left", 40);
    const TIniText reread(marked.Text());
    EXPECT_EQ(reread.ReadInteger("User", "Left", 0), 40);
    EXPECT_EQ(marked.Text(), "\xEF\xBB\xBF\xEF\xBB\xBF[User]\r\nLeft=40\r\n");
}

TEST(IniFile, MissingFileIsEmptyAndSaveIsAtomicWithCrLf)
{
    test::TTempDir dir;
    TIniFile file(dir.Path() + "stormfetch.ini");
    EXPECT_EQ(file.Ini().ReadInteger("User", "Left", 50), 50);
    file.Ini().WriteInteger("User", "Left", 0x20);
    ASSERT_TRUE(file.Save());
    EXPECT_EQ(dir.Read("stormfetch.ini"), "[User]\r\nLeft=32\r\n");
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        entries += e.path().filename() == "stormfetch.ini" ? 1 : 100;
    EXPECT_EQ(entries, 1);
    // A case-variant of the name reaches the same file.
    TIniFile again(dir.Path() + "STORMFETCH.INI");
    EXPECT_EQ(again.Ini().ReadInteger("user", "left", 0), 32);
}

TEST(IniFile, SaveIntoAMissingFolderFails)
{
    test::TTempDir dir;
    TIniFile file(dir.Path() + "missing-folder/stormfetch.ini");
    file.Ini().WriteInteger("User", "Left", 1);
    EXPECT_FALSE(file.Save());
}

} // namespace
} // namespace sf
