#include "core/Files.h"
#include "support/TempDir.h"
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace sf {
namespace {

// A prefix laid out as Wine lays it out: drive_c with odd-case folders, dosdevices
// links for c: (relative, as Wine makes it) and d: (absolute, to another folder).
class WinePathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir.Write("prefix/drive_c/Program Files/UI-View32/UiView32.ini", "x");
        m_dir.Write("prefix/drive_c/Peak Systems/QuorServer9/Quor Underlays/LOT.bmp", "x");
        m_dir.Write("other/Maps/Chicago.gif", "x");
        std::filesystem::create_directories(Prefix() + "dosdevices");
        ASSERT_EQ(::symlink("../drive_c", (Prefix() + "dosdevices/c:").c_str()), 0);
        ASSERT_EQ(::symlink((m_dir.Path() + "other").c_str(), (Prefix() + "dosdevices/d:").c_str()), 0);
        m_c = std::filesystem::canonical(Prefix() + "drive_c").string();
        m_d = std::filesystem::canonical(m_dir.Path() + "other").string();
    }
    std::string Prefix() const { return m_dir.Path() + "prefix/"; }

    test::TTempDir m_dir;
    std::string m_c, m_d;
};

TEST_F(WinePathTest, MapsTheDriveAndMatchesComponentsIgnoringCase)
{
    EXPECT_EQ(WinePathToLinux(Prefix(), "C:\\PROGRAM FILES\\ui-view32\\uiview32.INI"),
              m_c + "/Program Files/UI-View32/UiView32.ini");
    EXPECT_EQ(WinePathToLinux(Prefix(), "c:/program files/ui-view32/"), m_c + "/Program Files/UI-View32/");
    EXPECT_EQ(WinePathToLinux(Prefix(), "D:\\maps\\CHICAGO.GIF"), m_d + "/Maps/Chicago.gif");
}

TEST_F(WinePathTest, FolderValuesEndWithSlash)
{
    EXPECT_EQ(WinePathToLinux(Prefix(), "C:\\Peak Systems\\QuorServer9\\Quor Underlays\\"),
              m_c + "/Peak Systems/QuorServer9/Quor Underlays/");
    EXPECT_EQ(WinePathToLinux(Prefix(), "C:\\"), m_c + "/");
}

TEST_F(WinePathTest, TwoSpellingsOfOneFolderCompareEqual)
{
    const std::string a = WinePathToLinux(Prefix(), "C:\\Peak Systems\\QuorServer9\\");
    const std::string b = WinePathToLinux(Prefix() + "dosdevices/../", "c:\\PEAK SYSTEMS\\\\quorserver9\\.\\");
    EXPECT_EQ(a, b);
    EXPECT_EQ(WinePathToLinux(Prefix(), "C:\\Peak Systems\\..\\..\\Peak Systems\\QuorServer9\\"), a);
}

TEST_F(WinePathTest, MissingComponentsAreKeptAsWritten)
{
    EXPECT_EQ(WinePathToLinux(Prefix(), "C:\\peak systems\\QuorServer9\\ShpFiles\\"),
              m_c + "/Peak Systems/QuorServer9/ShpFiles/");
    EXPECT_EQ(WinePathToLinux(Prefix(), "C:\\New\\Sub\\file.txt"), m_c + "/New/Sub/file.txt");
}

TEST_F(WinePathTest, UnmappedDrivesAndOddPathsGiveEmpty)
{
    EXPECT_EQ(WinePathToLinux(Prefix(), "E:\\x"), "");
    EXPECT_EQ(WinePathToLinux(Prefix(), "\\\\server\\share"), "");
    EXPECT_EQ(WinePathToLinux(Prefix(), "relative\\path"), "");
    EXPECT_EQ(WinePathToLinux(Prefix(), ""), "");
    EXPECT_EQ(WinePathToLinux("", "C:\\"), "");
    EXPECT_EQ(WinePathToLinux(m_dir.Path() + "noprefix/", "C:\\"), "");
}

} // namespace
} // namespace sf
