#include "core/Files.h"
#include "core/ProgramDir.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sf {
namespace {

class ProgramDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        m_hadXdg = xdg != nullptr;
        if (xdg)
            m_oldXdg = xdg;
    }
    void TearDown() override
    {
        if (m_hadXdg)
            ::setenv("XDG_DATA_HOME", m_oldXdg.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    test::TTempDir m_dir;
    bool m_hadXdg = false;
    std::string m_oldXdg;
};

TEST_F(ProgramDirTest, HomeArgumentWinsAndIsCreated)
{
    const std::string dir = ResolveProgramDir(m_dir.Path() + "home/sub", m_dir.Path() + "bin/stormfetch");
    EXPECT_EQ(dir, m_dir.Path() + "home/sub/");
    EXPECT_TRUE(DirectoryExists(dir));
}

TEST_F(ProgramDirTest, WritableExecutableFolder)
{
    m_dir.Write("bin/stormfetch", "");
    EXPECT_EQ(ResolveProgramDir("", m_dir.Path() + "bin/stormfetch"), m_dir.Path() + "bin/");
}

TEST_F(ProgramDirTest, ElseTheUserDataFolderCreated)
{
    // Every folder is writable for root: the check runs as an ordinary user.
    m_dir.Write("bin/stormfetch", "");
    ASSERT_EQ(::chmod((m_dir.Path() + "bin").c_str(), 0555), 0);
    test::OpenToUnprivileged(m_dir.Path());
    ::setenv("XDG_DATA_HOME", (m_dir.Path() + "data").c_str(), 1);
    const std::string failed = test::RunUnprivileged([this]() -> std::string {
        const std::string dir = ResolveProgramDir("", m_dir.Path() + "bin/stormfetch");
        if (dir != m_dir.Path() + "data/stormfetch/")
            return "chose " + dir;
        return DirectoryExists(dir) ? "" : "did not create " + dir;
    });
    EXPECT_EQ(failed, "");
    ::chmod((m_dir.Path() + "bin").c_str(), 0755);
}

TEST_F(ProgramDirTest, MissingExecutableFolderFallsBackToUserData)
{
    ::setenv("XDG_DATA_HOME", (m_dir.Path() + "data").c_str(), 1);
    EXPECT_EQ(ResolveProgramDir("", m_dir.Path() + "gone/stormfetch"), m_dir.Path() + "data/stormfetch/");
    EXPECT_TRUE(DirectoryExists(m_dir.Path() + "data/stormfetch/"));
}

TEST_F(ProgramDirTest, InstalledProgramUsesUserDataEvenWhenItsFolderIsWritable)
{
    m_dir.Write("usr/bin/stormfetch", "");
    m_dir.Write("usr/share/stormfetch/manual/index.html", "");
    ::setenv("XDG_DATA_HOME", (m_dir.Path() + "data").c_str(), 1);
    EXPECT_EQ(InstalledDataDir(m_dir.Path() + "usr/bin/stormfetch"), m_dir.Path() + "usr/share/stormfetch/");
    EXPECT_EQ(ResolveProgramDir("", m_dir.Path() + "usr/bin/stormfetch"), m_dir.Path() + "data/stormfetch/");
    // A build folder named otherwise, or a bin/ without the data folder, stays portable.
    m_dir.Write("build/stormfetch", "");
    m_dir.Write("opt/bin/stormfetch", "");
    EXPECT_EQ(InstalledDataDir(m_dir.Path() + "build/stormfetch"), "");
    EXPECT_EQ(InstalledDataDir(m_dir.Path() + "opt/bin/stormfetch"), "");
    EXPECT_EQ(ResolveProgramDir("", m_dir.Path() + "opt/bin/stormfetch"), m_dir.Path() + "opt/bin/");
}

TEST(ProgramSettingsName, NameUpToTheFirstDotPlusIni)
{
    EXPECT_EQ(SettingsFileName("/opt/x/stormfetch"), "stormfetch.ini");
    EXPECT_EQ(SettingsFileName("/opt/x/Stormfetch.exe"), "Stormfetch.ini");
    EXPECT_EQ(SettingsFileName("/opt/x.y/a.b.exe"), "a.ini");
}

} // namespace
} // namespace sf
