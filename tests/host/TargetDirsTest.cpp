#include "HostFixture.h"
#include "core/Text.h"
#include "host/HostDiscovery.h"
#include "host/TargetDirs.h"
#include <filesystem>

namespace sf::test {
namespace {

namespace fs = std::filesystem;

const char* const kNoServerBox = "Cannot find QuorServer!\r\rUiView32 2.0.3 and QuorServer6 or later must be installed!\r"
                                 "Press add btn and select local QuorServer directory.";

class TargetDirsTest : public HostFixture {
protected:
    TargetDirsTest()
    {
        s.Hooks.RefreshUiViewStatus = [this] {
            ++refreshes;
            HostDiscovery(s);
        };
    }
    std::string Folder(const std::string& rel)
    {
        fs::create_directories(dir.Path() + rel);
        return fs::canonical(dir.Path() + rel).string() + "/";
    }
    int refreshes = 0;
};

TEST_F(TargetDirsTest, AddStoresTheFolderWithSlashAndIgnoresCaseDuplicates)
{
    s.QuorUnderlayPath = Folder("underlays");
    const std::string share = Folder("Share");
    dialogs.Folders = {dir.Path() + "Share", dir.Path() + "share/"};
    AddTargetBtnClick(s);
    EXPECT_EQ(s.TargetCmb.Items, (std::vector<std::string>{share}));
    EXPECT_EQ(s.TargetCmb.Caption(), share);
    EXPECT_EQ(dir.Read("prog/TargetDirList.txt"), share + "\r\n");
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(dialogs.Calls.front(), "browse: Stormfetch Target Directory @ /");

    s.TargetCmb.SetCaption("other");
    AddTargetBtnClick(s); // the same folder in another letter case
    EXPECT_EQ(s.TargetCmb.Items.size(), 1u);
    EXPECT_EQ(s.TargetCmb.Caption(), "other");
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(refreshes, 0); // the map server is known
    EXPECT_TRUE(dialogs.Errors.empty());
}

TEST_F(TargetDirsTest, AddKeepsTheOrderAndRewritesTheWholeFile)
{
    s.QuorUnderlayPath = Folder("underlays");
    const std::string a = Folder("a"), b = Folder("b");
    dialogs.Folders = {dir.Path() + "b", dir.Path() + "a/"};
    AddTargetBtnClick(s);
    AddTargetBtnClick(s);
    EXPECT_EQ(dir.Read("prog/TargetDirList.txt"), b + "\r\n" + a + "\r\n");
}

TEST_F(TargetDirsTest, CancelledBrowserWithoutServerStillReportsIt)
{
    s.Shape1.BrushColor = clLime;
    dialogs.Folders = {std::nullopt};
    AddTargetBtnClick(s);
    EXPECT_TRUE(s.TargetCmb.Items.empty());
    EXPECT_EQ(refreshes, 1);
    ASSERT_EQ(dialogs.Errors.size(), 1u);
    EXPECT_EQ(dialogs.Errors[0], kNoServerBox);
    EXPECT_EQ(s.Sbar.Panel(0), "Cannot find QuorServer directory! Press Target directories, add btn and select local QuorServer dir");
    EXPECT_EQ(s.Sbar.Panel(1), "ERROR");
    EXPECT_EQ(s.Shape1.BrushColor, clRed);
    EXPECT_EQ(s.StateLbl.Caption(), "Processing suspended, cannot find local QuorServer directory!");
    EXPECT_NE(LogText().find("Cannot find QuorServer"), std::string::npos);
    EXPECT_FALSE(fs::exists(s.ProgramDir + "TargetDirList.txt"));
}

TEST_F(TargetDirsTest, AddWithMinusOneAsUnderlayPathAsksDiscoveryWhichFindsTheServer)
{
    MakePrefix();
    s.QuorUnderlayPath = "-1";
    dialogs.Folders = {std::nullopt};
    AddTargetBtnClick(s);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(s.QuorUnderlayPath, DriveC("Peak Systems/QuorServer9/Quor Underlays/"));
    EXPECT_TRUE(dialogs.Errors.empty());
}

TEST_F(TargetDirsTest, DeleteAsksAndRemovesTheEntryIgnoringCaseAndBlanks)
{
    s.QuorUnderlayPath = Folder("underlays");
    const std::string a = Folder("a"), b = Folder("b");
    s.TargetCmb.Items = {a, b};
    s.TargetCmb.SetCaption("  " + UpperCase(a) + " ");
    dialogs.Answers = {false, true};
    TargetDelBtnClick(s); // answered No
    EXPECT_EQ(s.TargetCmb.Items.size(), 2u);
    EXPECT_EQ(saves, 0);
    TargetDelBtnClick(s);
    ASSERT_FALSE(dialogs.Questions.empty());
    EXPECT_EQ(dialogs.Questions.back(), "Delete directory " + UpperCase(a) + "?");
    EXPECT_EQ(s.TargetCmb.Items, (std::vector<std::string>{b}));
    EXPECT_EQ(s.TargetCmb.Caption(), "");
    EXPECT_EQ(dir.Read("prog/TargetDirList.txt"), b + "\r\n");
    EXPECT_EQ(saves, 1);
    EXPECT_TRUE(fs::exists(dir.Path() + "a")); // the folder itself stays
    EXPECT_EQ(refreshes, 2);
}

TEST_F(TargetDirsTest, DeleteWithEmptyOrUnknownTextAsksNothingButRefreshes)
{
    s.QuorUnderlayPath = Folder("underlays");
    s.TargetCmb.Items = {Folder("a")};
    s.TargetCmb.SetCaption("");
    TargetDelBtnClick(s);
    s.TargetCmb.SetCaption("/not/in/list/");
    TargetDelBtnClick(s);
    EXPECT_TRUE(dialogs.Questions.empty());
    EXPECT_EQ(s.TargetCmb.Items.size(), 1u);
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(saves, 0);
}

TEST_F(TargetDirsTest, DeleteWithoutServerReportsIt)
{
    s.TargetCmb.SetCaption("x");
    TargetDelBtnClick(s);
    ASSERT_EQ(dialogs.Errors.size(), 1u);
    EXPECT_EQ(dialogs.Errors[0], kNoServerBox);
}

TEST_F(TargetDirsTest, FirstShowSeedsTheUnderlayDirectory)
{
    MakePrefix();
    HostDiscovery(s);
    SeedTargetList(s);
    EXPECT_EQ(s.TargetCmb.Items, (std::vector<std::string>{s.QuorUnderlayPath}));
    EXPECT_EQ(s.TargetCmb.Caption(), s.QuorUnderlayPath);
    EXPECT_EQ(dir.Read("prog/TargetDirList.txt"), s.QuorUnderlayPath + "\r\n");
    EXPECT_EQ(closes, 0);
}

TEST_F(TargetDirsTest, FirstShowWithoutServerOrUiViewClosesTheProgram)
{
    SeedTargetList(s);
    ASSERT_EQ(dialogs.Errors.size(), 1u);
    EXPECT_EQ(dialogs.Errors[0], "Cannot find UIView directory.  UiView must be installed before proceeding\rAborting...");
    EXPECT_EQ(closes, 1);
}

TEST_F(TargetDirsTest, FirstShowWithUiViewButNoServerAddsNothing)
{
    s.UiViewFolder = Folder("uiview");
    SeedTargetList(s);
    EXPECT_TRUE(s.TargetCmb.Items.empty());
    EXPECT_TRUE(dialogs.Errors.empty());
    EXPECT_EQ(closes, 0);
}

TEST_F(TargetDirsTest, FirstShowWithAListShowsItsOnlyEntry)
{
    s.TargetCmb.Items = {"/x/"};
    SeedTargetList(s);
    EXPECT_EQ(s.TargetCmb.Caption(), "/x/");
    EXPECT_EQ(closes, 0);
    s.TargetCmb.Items = {"/x/", "/y/"};
    s.TargetCmb.SetCaption("");
    SeedTargetList(s);
    EXPECT_EQ(s.TargetCmb.Caption(), "");
}

TEST_F(TargetDirsTest, LoadReplacesTheItemsAndSkipsBlankLines)
{
    s.TargetCmb.Items = {"/old/"};
    LoadTargetList(s); // no file: unchanged
    EXPECT_EQ(s.TargetCmb.Items, (std::vector<std::string>{"/old/"}));
    dir.Write("prog/TargetDirList.txt", "/a/\r\n\r\n/b/\n/c/");
    LoadTargetList(s);
    EXPECT_EQ(s.TargetCmb.Items, (std::vector<std::string>{"/a/", "/b/", "/c/"}));
}

TEST_F(TargetDirsTest, UnreadableListIsNeitherSeededNorWrittenOver)
{
    MakePrefix();
    HostDiscovery(s);
    // The list lies on a drive that is not mounted: it exists, but cannot be read.
    const std::string path = s.ProgramDir + "TargetDirList.txt";
    fs::create_symlink(dir.Path() + "unmounted/TargetDirList.txt", path);
    std::string error;
    EXPECT_FALSE(LoadTargetList(s, &error));
    EXPECT_EQ(error, "Cannot read " + path + ": it is a link to a missing file");
    SeedTargetList(s);
    EXPECT_TRUE(s.TargetCmb.Items.empty());
    EXPECT_TRUE(fs::is_symlink(path));

    const std::string share = Folder("Share");
    dialogs.Folders = {share};
    AddTargetBtnClick(s); // the user's addition stays in the box, the file stays as kept
    EXPECT_EQ(s.TargetCmb.Items, (std::vector<std::string>{share}));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(s.Sbar.Panel(0), "Unable to write to " + path + ": it could not be loaded at start, so it is kept as it is");
}

TEST_F(TargetDirsTest, EmptyListReadWithoutErrorIsSeeded)
{
    MakePrefix();
    HostDiscovery(s);
    dir.Write("prog/TargetDirList.txt", "\r\n");
    s.Stored.TargetsHeld = true; // as at start, before the creation step read it
    ASSERT_TRUE(LoadTargetList(s));
    SeedTargetList(s);
    EXPECT_EQ(dir.Read("prog/TargetDirList.txt"), s.QuorUnderlayPath + "\r\n");
}

TEST_F(TargetDirsTest, ControlsCarryTheirTexts)
{
    InitTargetControls(s);
    EXPECT_EQ(s.AddTargetBtn.Hint, "Add \\QuorServerX\\Quor Underlays\\ target directory to the list");
    EXPECT_EQ(s.TargetDelBtn.Hint, "Delete an existing \\QuorServerX\\Quor Underlays\\ target directory");
    EXPECT_EQ(std::string(kTargetBoxLabel), "Select \\QuorserverX\\Quor Underlays\\ Target Directories");
}

} // namespace
} // namespace sf::test
