// The files the user keeps: a file that exists but cannot be read is told apart from a
// missing one and is never written over; the download list keeps one spelling, its ten
// fields and a copy of lines it could not load.
#include "CoreTestEnv.h"
#include "core/Files.h"
#include "core/ListFile.h"
#include "core/ListHandlers.h"
#include "core/Log.h"
#include "core/Settings.h"
#include "core/StoredFiles.h"
#include <QElapsedTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace sf;
using namespace sf::test;

namespace {

const std::string kLot = "IL,Chicago,LOT\tShort Range Reflectivity, N0R\tLOT_N0R_0\tNew record\t\tTRUE\tTRUE\t"
                         "03/15/2012 07:05:09\t03/14/2012 23:59:00\t03/15/2012 17:30:00\r\n";
const std::string kMkx = "WI,Milwaukee,MKX\tShort Range Reflectivity, N0R\tMKX_N0R_0\tNew record\t\tFALSE\tTRUE\t"
                         "03/15/2012 07:05:09\t03/14/2012 23:59:00\t03/15/2012 17:30:00\r\n";

// Sets a file's last-write time to seconds after the epoch.
void Touch(const std::string& path, time_t seconds)
{
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::string LinkTarget(const std::string& path)
{
    return std::filesystem::read_symlink(path).string();
}

class StoredFiles : public ::testing::Test {
protected:
    TCoreEnv E;
    std::vector<std::string> Panel0;

    StoredFiles()
    {
        E.S.Logerrors1.Checked = true;
        E.S.Hub.Listeners.push_back([this](const std::string& c, const std::string& t) {
            if (c == "Sbar")
                Panel0.push_back(t);
        });
    }
    std::string Log() const
    {
        auto logs = FindFiles(E.Dir.Path() + "R*ErrorLog.txt");
        return logs.empty() ? std::string() : E.Dir.Read(logs[0].Name);
    }
    // A name in the program folder that exists but cannot be read: a link to nowhere, as a
    // list on a drive that is not mounted.
    std::string Dangling(const std::string& name)
    {
        const std::string path = E.Dir.Path() + name;
        std::filesystem::create_symlink(E.Dir.Path() + "unmounted/" + name, path);
        return path;
    }
    void AddLot()
    {
        E.S.RadarCmb.SetCaption("IL,Chicago,LOT");
        E.S.ProductCmb.SetCaption("N0R, Short Range Reflectivity");
        AddBtnClick(E.S);
    }
};

} // namespace

TEST_F(StoredFiles, ReadToldApartFromMissingAndFromUnreadable)
{
    std::string bytes, reason;
    EXPECT_EQ(ReadStoredFile(E.Dir.Path() + "none.txt", bytes, reason), TStoredRead::Missing);
    E.Dir.Write("Some.TXT", "abc");
    EXPECT_EQ(ReadStoredFile(E.Dir.Path() + "some.txt", bytes, reason), TStoredRead::Read);
    EXPECT_EQ(bytes, "abc");

    ForceDirectories(E.Dir.Path() + "folder.txt");
    EXPECT_EQ(ReadStoredFile(E.Dir.Path() + "folder.txt", bytes, reason), TStoredRead::Failed);
    EXPECT_EQ(reason, "it is a folder, not a file");
    Dangling("gone.txt");
    EXPECT_EQ(ReadStoredFile(E.Dir.Path() + "gone.txt", bytes, reason), TStoredRead::Failed);
    EXPECT_EQ(reason, "it is a link to a missing file");
    EXPECT_TRUE(PathPresent(E.Dir.Path() + "GONE.txt"));
    EXPECT_EQ(bytes, "abc"); // a failed read leaves the bytes alone
}

TEST_F(StoredFiles, PipeInPlaceOfAFileFailsAtOnce)
{
    const std::string path = E.Dir.Path() + "DownLoadList.txt";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    QElapsedTimer t;
    t.start();
    std::string bytes, reason;
    EXPECT_EQ(ReadStoredFile(path, bytes, reason), TStoredRead::Failed);
    EXPECT_EQ(reason, "it is not a regular file");
    EXPECT_LT(t.elapsed(), 5000);
}

// --- the download list ------------------------------------------------------------------

TEST_F(StoredFiles, IdentitiesAreNeverReusedAndNeverCopied)
{
    DownloadList list;
    TRadarObj* a = list.Add("a", TRadarObj::Create(E.Clock));
    TRadarObj* b = list.Add("b", TRadarObj::Create(E.Clock));
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->Id(), 0u);
    EXPECT_NE(a->Id(), b->Id());
    const uint64_t first = a->Id(), second = b->Id();
    list.Delete(0);
    list.Clear();
    TRadarObj* c = list.Add("a", TRadarObj::Create(E.Clock));
    EXPECT_NE(c->Id(), first);
    EXPECT_NE(c->Id(), second);
    EXPECT_EQ(list.IndexOfId(c->Id()), 0);
    EXPECT_EQ(list.IndexOfId(first), -1);
    EXPECT_EQ(list.IndexOfId(0), -1);
    TRadarObj work = TRadarObj::Create(E.Clock);
    work.Assign(*c);
    EXPECT_EQ(work.Id(), 0u); // a working copy is never taken for the record itself
    EXPECT_EQ(list.Add("a", TRadarObj::Create(E.Clock)), nullptr);
}

TEST_F(StoredFiles, TwoSpellingsLoadAndSaveTheOneModifiedLast)
{
    const std::string older = E.Dir.Write("DownLoadList.Txt", kMkx);
    const std::string newer = E.Dir.Write("DownLoadList.txt", kLot);
    Touch(older, 1700000000);
    Touch(newer, 1700000600);
    ASSERT_TRUE(LoadList(E.S));
    ASSERT_EQ(E.S.List.Count(), 1);
    EXPECT_EQ(E.S.List[0].Radar, "IL,Chicago,LOT");

    E.S.RadarCmb.SetCaption("WI,Green Bay,GRB");
    E.S.ProductCmb.SetCaption("N0R, Short Range Reflectivity");
    AddBtnClick(E.S);
    ASSERT_EQ(E.S.List.Count(), 2);
    EXPECT_EQ(E.Dir.Read("DownLoadList.Txt"), kMkx); // the twin is left as it was
    EXPECT_NE(E.Dir.Read("DownLoadList.txt").find("WI,Green Bay,GRB"), std::string::npos);

    // The other way round, and the choice is said once.
    E.S.List.Clear();
    E.S.Stored.ListName.clear();
    Panel0.clear();
    Touch(older, ::time(nullptr) + 600); // later than the save above
    ASSERT_TRUE(LoadList(E.S));
    EXPECT_EQ(E.S.List[0].Radar, "WI,Milwaukee,MKX");
    ASSERT_TRUE(SaveList(E.S));
    ASSERT_TRUE(SaveList(E.S));
    const std::string said = E.Dir.Path() + " holds DownLoadList.txt and DownLoadList.Txt; the download list uses "
                                            "DownLoadList.Txt, the one modified last";
    EXPECT_EQ(std::count(Panel0.begin(), Panel0.end(), said), 1);
    EXPECT_NE(Log().find(said), std::string::npos);
}

TEST_F(StoredFiles, LinesThatFailToLoadAreKeptInABackupBeforeTheNextSave)
{
    const std::string file = kLot + "IL,Chic\r\n" + kMkx + "\r\n";
    E.Dir.Write("DownLoadList.txt", file);
    ASSERT_TRUE(LoadList(E.S));
    EXPECT_EQ(E.S.List.Count(), 2);
    EXPECT_EQ(E.Dir.Read(kListBackupName), file);
    const std::string said = "DownLoadList.txt held 1 line that could not be loaded as written (line 2: 1 of 10 "
                             "fields); the file as it was is kept as " +
                             E.Dir.Path() + kListBackupName;
    EXPECT_NE(std::find(Panel0.begin(), Panel0.end(), said), Panel0.end());
    EXPECT_NE(Log().find(said), std::string::npos);
    ASSERT_TRUE(SaveList(E.S));
    EXPECT_EQ(E.Dir.Read("DownLoadList.txt").find("IL,Chic\r"), std::string::npos);
    EXPECT_EQ(E.Dir.Read(kListBackupName), file);

    // A clean file (blank lines only lose nothing) leaves the backup alone.
    E.S.List.Clear();
    E.Dir.Write("DownLoadList.txt", kLot + "\r\n  \r\n");
    ASSERT_TRUE(LoadList(E.S));
    EXPECT_EQ(E.Dir.Read(kListBackupName), file);
}

TEST_F(StoredFiles, ShiftedAndRepeatedLinesAreKeptInTheBackupToo)
{
    // A line written with a TAB inside its status: eleven fields, the flags and dates shifted.
    const std::string eleven = "IL,Chicago,LOT\tShort Range Reflectivity, N0R\tLOT_N0R_0\tError 404 Not\tFound\t\t"
                               "TRUE\tTRUE\t03/15/2012 07:05:09\t03/14/2012 23:59:00\t03/15/2012 17:30:00\r\n";
    E.Dir.Write("DownLoadList.txt", eleven + kMkx + kMkx);
    ASSERT_TRUE(LoadList(E.S));
    EXPECT_EQ(E.S.List.Count(), 2);
    EXPECT_EQ(E.Dir.Read(kListBackupName), eleven + kMkx + kMkx);
    EXPECT_NE(E.S.Sbar.Panel(0).find("held 2 lines"), std::string::npos) << E.S.Sbar.Panel(0);
}

TEST_F(StoredFiles, ListWithoutABackupPlaceIsNotWrittenOver)
{
    E.Dir.Write("DownLoadList.txt", kLot + "IL,Chic\r\n");
    ForceDirectories(E.Dir.Path() + kListBackupName); // the backup name is taken by a folder
    std::string error;
    EXPECT_FALSE(LoadList(E.S, &error));
    EXPECT_NE(error.find("is kept as it is"), std::string::npos) << error;
    EXPECT_FALSE(SaveList(E.S));
    EXPECT_EQ(E.Dir.Read("DownLoadList.txt"), kLot + "IL,Chic\r\n");
}

TEST_F(StoredFiles, UnreadableListIsReportedAndNeverWrittenOver)
{
    const std::string path = Dangling("DownLoadList.txt");
    std::string error;
    EXPECT_FALSE(LoadList(E.S, &error));
    EXPECT_EQ(error, "Cannot read " + path + ": it is a link to a missing file");
    EXPECT_TRUE(E.S.Stored.ListHeld);
    AddLot(); // the user adds a record: the list is not saved over the file
    EXPECT_EQ(E.S.List.Count(), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(LinkTarget(path), E.Dir.Path() + "unmounted/DownLoadList.txt");
    EXPECT_EQ(E.S.Sbar.Panel(0), HeldFileText(path));
    E.S.List.Delete(0);
    EXPECT_FALSE(SaveList(E.S)); // nor deleted for an empty list
    EXPECT_TRUE(std::filesystem::is_symlink(path));
}

TEST_F(StoredFiles, HeldListThatIsNotThereIsWrittenAndThenOwned)
{
    E.S.Stored.ListHeld = true; // its creation step was skipped, but there is no file
    AddLot();
    EXPECT_NE(E.Dir.Read("DownLoadList.Txt").find("IL,Chicago,LOT"), std::string::npos);
    EXPECT_FALSE(E.S.Stored.ListHeld);
}

TEST_F(StoredFiles, TabInTheSelectionsBecomesABlankInTheKey)
{
    E.S.RadarCmb.SetCaption("IL,Chicago\t,LOT");
    E.S.ProductCmb.SetCaption("N0R, Short\tRange Reflectivity");
    AddBtnClick(E.S);
    ASSERT_EQ(E.S.List.Count(), 1);
    EXPECT_EQ(E.S.List.Key(0), "IL,Chicago ,LOT\tShort Range Reflectivity, N0R");
    E.S.List.Clear();
    ASSERT_TRUE(LoadList(E.S));
    ASSERT_EQ(E.S.List.Count(), 1);
    EXPECT_EQ(E.S.List[0].Radar, "IL,Chicago ,LOT");
}

// --- the settings file ------------------------------------------------------------------

TEST_F(StoredFiles, UnreadableSettingsGiveDefaultsAndAreNeverWrittenOver)
{
    const std::string path = Dangling("stormfetch.ini");
    std::string error;
    EXPECT_FALSE(LoadSettings(E.S, &error));
    EXPECT_EQ(error, "Cannot read " + path + ": it is a link to a missing file");
    EXPECT_EQ(E.S.RadarCmb.Caption(), "IL,Chicago,LOT"); // the program runs on defaults
    EXPECT_FALSE(SaveSettings(E.S, &error));
    EXPECT_EQ(error, HeldFileText(path));
    EXPECT_TRUE(std::filesystem::is_symlink(path));
}

TEST_F(StoredFiles, SettingsThatBecameUnreadableAreNotReplacedByThisRunsKeys)
{
    E.Dir.Write("stormfetch.ini", "[Link]\r\nRedraw=/usr/bin/true\r\n");
    ASSERT_TRUE(LoadSettings(E.S));
    ASSERT_TRUE(SaveSettings(E.S));
    std::filesystem::rename(E.Dir.Path() + "stormfetch.ini", E.Dir.Path() + "kept.ini");
    std::filesystem::create_symlink(E.Dir.Path() + "unmounted/stormfetch.ini", E.Dir.Path() + "stormfetch.ini");
    std::string error;
    EXPECT_FALSE(SaveSettings(E.S, &error));
    EXPECT_EQ(error, "Unable to write to " + E.Dir.Path() + "stormfetch.ini: it is a link to a missing file");
    EXPECT_TRUE(std::filesystem::is_symlink(E.Dir.Path() + "stormfetch.ini"));
}
