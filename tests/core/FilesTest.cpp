#include "core/Clock.h"
#include "core/Files.h"
#include "support/TempDir.h"
#include <algorithm>
#include <dirent.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

namespace sf {
namespace {

using test::TTempDir;

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void SetMTime(const std::string& path, int y, int mo, int d, int h, int mi, int s)
{
    std::tm tm{};
    tm.tm_year = y - 1900, tm.tm_mon = mo - 1, tm.tm_mday = d, tm.tm_hour = h, tm.tm_min = mi, tm.tm_sec = s;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    utimbuf times{t, t};
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
}

TEST(ResolvePath, FindsEachComponentIgnoringCase)
{
    TTempDir dir;
    dir.Write("Quor Underlays/lot_n0r_0.bmp", "x");
    EXPECT_EQ(ResolvePath(dir.Path() + "QUOR UNDERLAYS/LOT_N0R_0.BMP"), dir.Path() + "Quor Underlays/lot_n0r_0.bmp");
    // Missing components stay as written after the part that exists.
    EXPECT_EQ(ResolvePath(dir.Path() + "quor underlays/New/File.TXT"), dir.Path() + "Quor Underlays/New/File.TXT");
    EXPECT_EQ(ResolvePath(dir.Path() + "quor underlays/"), dir.Path() + "Quor Underlays/");
    // The folder as written, only the file in another case; or missing altogether.
    EXPECT_EQ(ResolvePath(dir.Path() + "Quor Underlays/LOT_N0R_0.bmp"), dir.Path() + "Quor Underlays/lot_n0r_0.bmp");
    EXPECT_EQ(ResolvePath(dir.Path() + "Quor Underlays/Other.bmp"), dir.Path() + "Quor Underlays/Other.bmp");
    EXPECT_EQ(ResolvePath(dir.Path() + "Quor Underlays//LOT_N0R_0.bmp"), dir.Path() + "Quor Underlays/lot_n0r_0.bmp");
}

TEST(ResolvePath, ExactSpellingWinsOverACaseVariant)
{
    TTempDir dir;
    dir.Write("a.txt", "lower");
    dir.Write("A.txt", "upper");
    EXPECT_EQ(ResolvePath(dir.Path() + "a.txt"), dir.Path() + "a.txt");
    EXPECT_EQ(ResolvePath(dir.Path() + "A.txt"), dir.Path() + "A.txt");
}

TEST(Files, TwoSpellingsReachOneFile)
{
    TTempDir dir;
    ASSERT_TRUE(SaveFileAtomic(dir.Path() + "DownLoadList.Txt", "one\r\n"));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(dir.Path() + "DownLoadList.txt", bytes));
    EXPECT_EQ(bytes, "one\r\n");
    // Writing onto the other spelling replaces that file instead of making a twin.
    ASSERT_TRUE(SaveFileAtomic(dir.Path() + "DownLoadList.txt", "two\r\n"));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"DownLoadList.Txt"});
    EXPECT_EQ(dir.Read("DownLoadList.Txt"), "two\r\n");
    EXPECT_TRUE(FileExists(dir.Path() + "DOWNLOADLIST.TXT"));
    EXPECT_FALSE(DirectoryExists(dir.Path() + "DOWNLOADLIST.TXT"));
    EXPECT_TRUE(DeleteFile(dir.Path() + "downloadlist.txt"));
    EXPECT_TRUE(Names(dir.Path()).empty());
    EXPECT_FALSE(DeleteFile(dir.Path() + "downloadlist.txt"));
}

TEST(FindFiles, ListsFilesAndFoldersButNotDotEntries)
{
    TTempDir dir;
    dir.Write("b1.bmp", "12345");
    dir.Write("B.bmp", "1");
    dir.Write("b10.bmp", "1");
    ASSERT_TRUE(ForceDirectories(dir.Path() + "B2.bmp"));
    const std::vector<TFindEntry> found = FindFiles(dir.Path() + "B?.BMP");
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].Name, "B.bmp");
    EXPECT_EQ(found[1].Name, "B2.bmp");
    EXPECT_TRUE(found[1].IsDirectory);
    EXPECT_EQ(found[2].Name, "b1.bmp");
    EXPECT_EQ(found[2].Size, 5);
    EXPECT_TRUE(FindFiles(dir.Path() + "*.gif").empty());
    EXPECT_TRUE(FindFiles(dir.Path() + "missing/*.*").empty());
}

TEST(FileSizeOf, FirstMatchOrMinusOne)
{
    TTempDir dir;
    dir.Write("Image.GIF", std::string(300, 'x'));
    dir.Write("empty.gif", "");
    EXPECT_EQ(FileSizeOf(dir.Path() + "image.gif"), 300);
    EXPECT_EQ(FileSizeOf(dir.Path() + "empty.gif"), 0);
    EXPECT_EQ(FileSizeOf(dir.Path() + "none.gif"), -1);
    EXPECT_EQ(FileSizeOf(dir.Path() + "I*.gif"), 300);
    EXPECT_EQ(FileSizeOf(dir.Path() + "*.png"), -1);
}

TEST(FileDateOf, LocalLastWriteTimeOrZero)
{
    TTempDir dir;
    const std::string path = dir.Write("LOT_N0R_0.gfw", "x");
    SetMTime(path, 2009, 4, 15, 23, 15, 3);
    // Two-second resolution: 23:15:03 reads as 23:15:02.
    EXPECT_EQ(FormatDateTime("yyyymmddhhnnss", FileDateOf(dir.Path() + "lot_n0r_0.GFW")), "20090415231502");
    EXPECT_EQ(FileDateOf(dir.Path() + "missing.gfw"), 0);
}

TEST(ListFiles, AppendsStampTabFolderAndNameWithoutClearing)
{
    TTempDir dir;
    SetMTime(dir.Write("LOT1.bmp", "x"), 2009, 4, 5, 3, 7, 9);
    SetMTime(dir.Write("LOT.bmp", "x"), 2010, 12, 31, 23, 59, 58);
    dir.Write("LOT1.sat", "x");
    std::vector<std::string> list{"kept"};
    EXPECT_EQ(ListFiles(dir.Path(), "LOT?.bmp", list), 2);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], "kept");
    EXPECT_EQ(list[1], "20101231235958\t" + dir.Path() + "LOT.bmp");
    EXPECT_EQ(list[2], "20090405030709\t" + dir.Path() + "LOT1.bmp");
}

TEST(ListFiles, EmptyFolderLeavesTheListUnchanged)
{
    TTempDir dir;
    std::vector<std::string> list{"a", "b"};
    EXPECT_EQ(ListFiles(dir.Path(), "*.*", list), 0);
    EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(ListFiles(dir.Path() + "missing/", "*.*", list), 0);
}

TEST(WriteLineFile, WritesOneCrLfLineReplacingTheOldFile)
{
    TTempDir dir;
    dir.Write("LOT.Sat", "old content that is longer\r\n");
    ASSERT_TRUE(WriteLineFile(dir.Path() + "lot.sat", "42.1,-88.2,40.0,-86.0"));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"LOT.Sat"});
    EXPECT_EQ(dir.Read("LOT.Sat"), "42.1,-88.2,40.0,-86.0\r\n");
    EXPECT_FALSE(WriteLineFile(dir.Path() + "missing/x.sat", "x"));
    EXPECT_FALSE(WriteLineFile(dir.Path(), "x"));
}

TEST(WriteLineFile, AFileThatHoldsTheLineAlreadyIsLeftAsItIs)
{
    TTempDir dir;
    const std::string path = dir.Path() + "LOT.Sat";
    const auto inode = [&] {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    ASSERT_TRUE(WriteLineFile(path, "42.1,-88.2,40.0,-86.0"));
    const ino_t first = inode();
    ASSERT_TRUE(WriteLineFile(path, "42.1,-88.2,40.0,-86.0"));
    EXPECT_EQ(inode(), first); // not written again
    // Anything else in the file, even after the same line, is replaced.
    for (const std::string held : {"42.1,-88.2,40.0,-86.0\r\nmore", "42.1,-88.2,40.0,-86.0\n", "42.1,-88.2,40.0,-86.1\r\n"}) {
        dir.Write("LOT.Sat", held);
        ASSERT_TRUE(WriteLineFile(path, "42.1,-88.2,40.0,-86.0"));
        EXPECT_EQ(dir.Read("LOT.Sat"), "42.1,-88.2,40.0,-86.0\r\n") << held;
    }
    // A link that leads to the same text is not the file itself: it is replaced by one.
    dir.Write("elsewhere", "42.1,-88.2,40.0,-86.0\r\n");
    std::filesystem::remove(path);
    std::filesystem::create_symlink(dir.Path() + "elsewhere", path);
    ASSERT_TRUE(WriteLineFile(path, "42.1,-88.2,40.0,-86.0"));
    EXPECT_FALSE(std::filesystem::is_symlink(path));
}

TEST(DatedFileName, CleansTheNameAndPrefixesTheDate)
{
    TFakeClock clock(EncodeDateTime({2009, 3, 5, 23, 30, 0, 0}), 2.0 / 24); // local is already 6 March
    EXPECT_EQ(DatedFileName("R", "ErrorLog", false, clock), "R20090305ErrorLog.txt");
    EXPECT_EQ(DatedFileName("R", "ErrorLog", true, clock), "R20090306ErrorLog.txt");
    EXPECT_EQ(DatedFileName("R", "my log.txt", false, clock), "R20090305my log.txt");
    EXPECT_EQ(DatedFileName("R", "my log.TXT.bak", false, clock), "R20090305my log.txt");
    EXPECT_EQ(DatedFileName("R", "*%.><:,$`'{}/\\@!?", false, clock), "R20090305.txt");
    EXPECT_EQ(DatedFileName("R", " a/b\\c:d.e ", false, clock), "R20090305abcde.txt");
    // ".TXT" at the very start is not cut; its dot is removed like any other.
    EXPECT_EQ(DatedFileName("R", ".txtlog", false, clock), "R20090305txtlog.txt");
}

TEST(AppendLine, CreatesThenAppendsCrLfLines)
{
    TTempDir dir;
    AppendLine(dir.Path(), "R20090305ErrorLog.txt", "first");
    AppendLine(dir.Path(), "r20090305errorlog.TXT", "second");
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"R20090305ErrorLog.txt"});
    EXPECT_EQ(dir.Read("R20090305ErrorLog.txt"), "first\r\nsecond\r\n");
    AppendLine(dir.Path() + "missing/", "x.txt", "lost"); // swallowed
    EXPECT_FALSE(FileExists(dir.Path() + "missing/x.txt"));
}

TEST(DeleteFiles, DeletesMatchingFilesButNotFolders)
{
    TTempDir dir;
    dir.Write("LOT1.bmp", "x");
    dir.Write("lot2.BMP", "x");
    dir.Write("LOT1.sat", "x");
    ASSERT_TRUE(ForceDirectories(dir.Path() + "LOT3.bmp"));
    EXPECT_EQ(DeleteFiles(dir.Path(), "LOT*.bmp"), 2);
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"LOT1.sat", "LOT3.bmp"}));
    EXPECT_EQ(DeleteFiles(dir.Path(), "*.gif"), 0);
}

TEST(RenameFile, NeverOverwrites)
{
    TTempDir dir;
    dir.Write("from.bmp", "new");
    dir.Write("To.bmp", "old");
    EXPECT_FALSE(RenameFile(dir.Path() + "from.bmp", dir.Path() + "To.bmp"));
    EXPECT_FALSE(RenameFile(dir.Path() + "from.bmp", dir.Path() + "to.BMP")); // a case-variant exists
    EXPECT_EQ(dir.Read("To.bmp"), "old");
    EXPECT_EQ(dir.Read("from.bmp"), "new");
    EXPECT_TRUE(RenameFile(dir.Path() + "FROM.bmp", dir.Path() + "B1.bmp"));
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"B1.bmp", "To.bmp"}));
    EXPECT_EQ(dir.Read("B1.bmp"), "new");
    EXPECT_FALSE(RenameFile(dir.Path() + "missing.bmp", dir.Path() + "x.bmp"));
}

TEST(ReplaceFile, MovesOverTheCaseVariantOfTheTarget)
{
    TTempDir dir;
    dir.Write("new.part", "new");
    dir.Write("Settings.INI", "old");
    EXPECT_TRUE(ReplaceFile(dir.Path() + "new.part", dir.Path() + "settings.ini"));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"Settings.INI"});
    EXPECT_EQ(dir.Read("Settings.INI"), "new");
}

TEST(SaveFileAtomic, LeavesNoTemporaryFileAndKeepsTheOldOneOnFailure)
{
    TTempDir dir;
    ASSERT_TRUE(SaveFileAtomic(dir.Path() + "list.txt", "abc"));
    ASSERT_TRUE(SaveFileAtomic(dir.Path() + "list.txt", std::string(100000, 'z')));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"list.txt"});
    EXPECT_EQ(dir.Read("list.txt").size(), 100000u);
    // A target that cannot be replaced (a folder) fails and leaves everything as it was.
    ASSERT_TRUE(ForceDirectories(dir.Path() + "sub"));
    EXPECT_FALSE(SaveFileAtomic(dir.Path() + "sub", "x"));
    EXPECT_FALSE(SaveFileAtomic(dir.Path() + "nofolder/x.txt", "x"));
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"list.txt", "sub"}));
}

TEST(SaveFileAtomic, KeepsTheFileMode)
{
    TTempDir dir;
    const std::string path = dir.Write("a.txt", "x");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(SaveFileAtomic(path, "y"));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(CopyFileOver, OverwritesAndKeepsTheSourceTime)
{
    TTempDir dir;
    const std::string src = dir.Write("LOT_N0R_0.gfw", "world");
    SetMTime(src, 2009, 4, 15, 23, 15, 2);
    dir.Write("target/lot_n0r_0.GFW", "older");
    ASSERT_TRUE(CopyFileOver(src, dir.Path() + "Target/LOT_N0R_0.gfw"));
    EXPECT_EQ(Names(dir.Path() + "target"), std::vector<std::string>{"lot_n0r_0.GFW"});
    EXPECT_EQ(dir.Read("target/lot_n0r_0.GFW"), "world");
    EXPECT_EQ(FormatDateTime("yyyymmddhhnnss", FileDateOf(dir.Path() + "target/lot_n0r_0.GFW")), "20090415231502");
    EXPECT_FALSE(CopyFileOver(dir.Path() + "missing", dir.Path() + "x"));
}

TEST(ForceDirectories, CreatesParentsAndReusesCaseVariants)
{
    TTempDir dir;
    ASSERT_TRUE(ForceDirectories(dir.Path() + "Peak Systems/QuorServer9/ShpFiles/"));
    EXPECT_TRUE(DirectoryExists(dir.Path() + "peak systems/quorserver9/shpfiles"));
    ASSERT_TRUE(ForceDirectories(dir.Path() + "PEAK SYSTEMS/New"));
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"Peak Systems"});
    EXPECT_TRUE(DirectoryExists(dir.Path() + "Peak Systems/New"));
    dir.Write("file", "x");
    EXPECT_FALSE(ForceDirectories(dir.Path() + "file"));
}

TEST(PathParts, SplitAtTheLastSlash)
{
    EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(ExtractFileName("c.txt"), "c.txt");
    EXPECT_EQ(ExtractFilePath("c.txt"), "");
    EXPECT_EQ(ExtractFileName("/a/"), "");
    EXPECT_EQ(IncludeTrailingSlash("/a/b"), "/a/b/");
    EXPECT_EQ(IncludeTrailingSlash("/a/b//"), "/a/b/");
    EXPECT_EQ(IncludeTrailingSlash("/"), "/");
    EXPECT_EQ(IncludeTrailingSlash(""), "");
}

} // namespace
} // namespace sf
