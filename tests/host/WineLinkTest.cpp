// Choosing the Wine helper link: which loader and helper, which prefixes qualify,
// and the command lines it runs. Nothing here starts Wine.
#include "core/Files.h"
#include "host/CommandLink.h"
#include "host/FakePrefix.h"
#include "host/WineLink.h"
#include "support/TempDir.h"
#include <QProcess>
#include <filesystem>
#include <gtest/gtest.h>

namespace sf::test {
namespace {

namespace fs = std::filesystem;

class WineLinkTest : public ::testing::Test {
protected:
    std::string Program(const std::string& relative)
    {
        const std::string path = dir.Write(relative, "#!/bin/sh\nexit 0\n");
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    TTempDir dir;
};

TEST_F(WineLinkTest, The32BitPairWinsThenThe64BitPairThenNothing)
{
    const std::string bin = dir.Path() + "bin/";
    const std::string helpers = dir.Path() + "helpers/";
    const std::string noLoaders = dir.Path() + "none/";
    ForceDirectories(noLoaders);
    dir.Write("helpers/stormfetch-link64.exe", "MZ");
    Program("bin/wine64");
    Program("bin/wine");

    // Only the 64-bit helper is built: the 64-bit loader runs it.
    TWineTools t = FindWineTools({helpers}, "/nonexistent:" + bin, noLoaders);
    EXPECT_EQ(t.Loader, bin + "wine64");
    EXPECT_EQ(t.Helper, helpers + "stormfetch-link64.exe");

    dir.Write("helpers/stormfetch-link32.exe", "MZ");
    t = FindWineTools({helpers}, bin, noLoaders);
    EXPECT_EQ(t.Loader, bin + "wine");
    EXPECT_EQ(t.Helper, helpers + "stormfetch-link32.exe");

    // Debian keeps its loaders off the path, in the Wine folder.
    t = FindWineTools({helpers}, "", bin);
    EXPECT_EQ(t.Loader, bin + "wine");

    // Both helpers built, but no 32-bit loader: the 64-bit pair, not a 32-bit helper without its loader.
    const std::string only64 = dir.Path() + "only64/";
    Program("only64/wine64");
    t = FindWineTools({helpers}, only64, noLoaders);
    EXPECT_EQ(t.Loader, only64 + "wine64");
    EXPECT_EQ(t.Helper, helpers + "stormfetch-link64.exe");
    t = FindWineTools({helpers}, "", only64);
    EXPECT_EQ(t.Loader, only64 + "wine64");
    EXPECT_EQ(t.Helper, helpers + "stormfetch-link64.exe");

    // A loader that is not executable does not count, nor does a helper elsewhere.
    const std::string plain = dir.Write("plain/wine64", "not a program");
    fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(FindWineTools({helpers}, dir.Path() + "plain", noLoaders).Loader.empty());
    EXPECT_TRUE(FindWineTools({noLoaders}, bin, noLoaders).Loader.empty());
}

TEST_F(WineLinkTest, HelperIsFoundBesideTheProgramOrInItsDataFolder)
{
    const std::string exeDir = dir.Path() + "prefix/bin/";
    ForceDirectories(exeDir);
    dir.Write("prefix/share/stormfetch/stormfetch-link64.exe", "MZ");
    Program("loaders/wine64");
    const TWineTools t = FindWineTools(HelperFolders(exeDir), dir.Path() + "loaders", dir.Path() + "none/");
    ASSERT_FALSE(t.Helper.empty());
    EXPECT_TRUE(fs::equivalent(t.Helper, dir.Path() + "prefix/share/stormfetch/stormfetch-link64.exe"));
    EXPECT_EQ(HelperFolders(exeDir).front(), exeDir);
}

TEST_F(WineLinkTest, OnlyAPrefixWineSetUpWithUiViewQualifies)
{
    const std::string prefix = dir.Path() + "pfx/";
    std::string error;
    ASSERT_TRUE(WriteFakePrefix(prefix, TFakePrefixOptions{}, &error)) << error;
    // Folders shaped like a prefix by the tests and the demo: never a reason to start Wine.
    EXPECT_FALSE(IsRealWinePrefix(prefix));
    EXPECT_EQ(MakeWineLink(prefix, dir.Path()), nullptr);
    EXPECT_TRUE(HasUiView(prefix));

    ForceDirectories(prefix + "drive_c/windows/system32");
    EXPECT_TRUE(IsRealWinePrefix(prefix));

    const std::string other = dir.Path() + "other/";
    TFakePrefixOptions noUiView;
    noUiView.UiView = false;
    ASSERT_TRUE(WriteFakePrefix(other, noUiView, &error)) << error;
    ForceDirectories(other + "drive_c/windows/system32");
    EXPECT_FALSE(HasUiView(other));
    EXPECT_FALSE(IsRealWinePrefix(dir.Path() + "missing/"));

    // With a loader on the path and the helper beside the executable, the UI-View32
    // key alone decides (creating the link starts nothing).
    const std::string exeDir = dir.Path() + "exe/";
    dir.Write("exe/stormfetch-link64.exe", "MZ");
    Program("loaders/wine64");
    const char* oldPath = getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "";
    setenv("PATH", (dir.Path() + "loaders").c_str(), 1);
    std::unique_ptr<TclsUIV> withKey = MakeWineLink(prefix, exeDir);
    std::unique_ptr<TclsUIV> withoutKey = MakeWineLink(other, exeDir);
    setenv("PATH", savedPath.c_str(), 1);
    auto* serve = dynamic_cast<TServeLink*>(withKey.get());
    ASSERT_NE(serve, nullptr);
    EXPECT_EQ(serve->Command().Program, dir.Path() + "loaders/wine64");
    EXPECT_EQ(serve->Command().Arguments, (std::vector<std::string>{exeDir + "stormfetch-link64.exe", "serve"}));
    EXPECT_FALSE(serve->Connected());
    EXPECT_EQ(serve->HelperPid(), 0);
    EXPECT_EQ(withoutKey, nullptr);
}

TEST_F(WineLinkTest, HelperCommandsSplitIntoLoaderHelperAndVerbDespiteSpaces)
{
    const TWineTools tools{"/opt/my wine/bin/wine", "/usr/share/stormfetch files/stormfetch-link32.exe"};
    const TLinkCommands c = HelperCommands(tools, "/home/u/.wine");
    const QStringList connect = QProcess::splitCommand(QString::fromStdString(c.Connect));
    EXPECT_EQ(connect, (QStringList{"/opt/my wine/bin/wine", "/usr/share/stormfetch files/stormfetch-link32.exe",
                                    "connect"}));
    EXPECT_EQ(QProcess::splitCommand(QString::fromStdString(c.Zoom)).mid(2),
              (QStringList{"zoom", "%left%", "%top%", "%right%", "%bottom%"}));
    EXPECT_EQ(QProcess::splitCommand(QString::fromStdString(c.Redraw)).last(), "redraw");
    EXPECT_EQ(QProcess::splitCommand(QString::fromStdString(c.Watch)).last(), "watch");
    EXPECT_EQ(c.ConnectTimeoutMs, 60000);
    EXPECT_EQ(c.TimeoutMs, 10000);
    ASSERT_FALSE(c.Environment.empty());
    EXPECT_EQ(c.Environment.front(), (std::pair<std::string, std::string>{"WINEPREFIX", "/home/u/.wine/"}));

    const TServeCommand serve = HelperServeCommand(tools, "/home/u/.wine");
    EXPECT_EQ(serve.Program, "/opt/my wine/bin/wine");
    EXPECT_EQ(serve.Arguments,
              (std::vector<std::string>{"/usr/share/stormfetch files/stormfetch-link32.exe", "serve"}));
    EXPECT_EQ(serve.ConnectTimeoutMs, 60000);
    EXPECT_EQ(serve.Environment, c.Environment);
}

} // namespace
} // namespace sf::test
