// Temporary files an interrupted save left behind are removed at start from the folders
// only this program writes, and only when no live save can own them.
#include "CoreTestEnv.h"
#include "core/Files.h"
#include "core/StaleTemp.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace sf;
using namespace sf::test;

namespace {

constexpr TDateTime kEpochDays = 25569.0;

void SetAge(const std::string& path, time_t now, int secondsAgo)
{
    const struct timespec times[2] = {{now - secondsAgo, 0}, {now - secondsAgo, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const TFindEntry& e : FindFiles(folder + "*"))
        names.push_back(e.Name);
    std::sort(names.begin(), names.end());
    return names;
}

// The id of a process that has ended.
long long DeadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

} // namespace

TEST(StaleTemp, OwnNamesAreRecognisedWithTheirProcessId)
{
    long long pid = -1;
    EXPECT_TRUE(IsOwnTempName(".stormfetch-aZ09xy.part", pid));
    EXPECT_EQ(pid, 0);
    EXPECT_TRUE(IsOwnTempName(".LOT_N0R_0.bmp.4242.part", pid));
    EXPECT_EQ(pid, 4242);
    for (const char* other : {"stormfetch-aZ09xy.part", ".stormfetch-aZ09x.part", ".stormfetch-aZ09xyz.part",
                              ".LOT_N0R_0.bmp.part", ".LOT.bmp.42a.part", "..4242.part", ".LOT.bmp.0.part",
                              ".LOT.bmp.4242.part.old", "LOT.bmp.4242.part", ".x.99999999999.part"})
        EXPECT_FALSE(IsOwnTempName(other, pid)) << other;
}

TEST(StaleTemp, LivenessOfProcesses)
{
    EXPECT_TRUE(ProcessAlive(::getpid()));
    EXPECT_TRUE(ProcessAlive(::getppid()));
    EXPECT_FALSE(ProcessAlive(DeadPid()));
    EXPECT_FALSE(ProcessAlive(0));
    EXPECT_FALSE(ProcessAlive(-5));
}

TEST(StaleTemp, OnlyStaleOwnFilesGo)
{
    TCoreEnv e;
    const std::string d = e.Dir.Path();
    const time_t now = ::time(nullptr);
    const TDateTime utcNow = kEpochDays + double(now) / 86400.0;
    SetAge(e.Dir.Write(".stormfetch-old001.part", "x"), now, 2 * 3600);
    SetAge(e.Dir.Write(".stormfetch-new001.part", "x"), now, 10 * 60);
    e.Dir.Write(".LOT_N0R_0.bmp." + std::to_string(DeadPid()) + ".part", "x");
    e.Dir.Write(".LOT_N0R_0.bmp." + std::to_string(::getppid()) + ".part", "x");   // a live save elsewhere
    e.Dir.Write(".MKX_N0R_0.bmp." + std::to_string(::getpid()) + ".part", "x");    // ours: nothing is saving at start
    SetAge(e.Dir.Write("notes.part", "x"), now, 2 * 3600);
    SetAge(e.Dir.Write(".other.part", "x"), now, 2 * 3600);
    e.Dir.Write("LOT_N0R_0.bmp", "underlay");
    ForceDirectories(d + ".stormfetch-folder.part");

    const auto removed = RemoveStaleTempFilesIn(d, utcNow);
    EXPECT_EQ(removed.size(), 3u);
    const std::vector<std::string> left = {".LOT_N0R_0.bmp." + std::to_string(::getppid()) + ".part",
                                           ".other.part", ".stormfetch-folder.part", ".stormfetch-new001.part",
                                           "LOT_N0R_0.bmp", "notes.part"};
    EXPECT_EQ(Names(d), left);
}

TEST(StaleTemp, StartUpCleansTheProgramAndUnderlayFoldersButNoOtherTarget)
{
    TCoreEnv e;
    const std::string d = e.Dir.Path();
    e.S.QuorUnderlayPath = d + "Quor Underlays/";
    ForceDirectories(e.S.QuorUnderlayPath);
    ForceDirectories(d + "lan/");
    e.S.TargetCmb.Items = {e.S.QuorUnderlayPath, d + "lan/"};
    e.S.Logerrors1.Checked = true;
    const std::string dead = std::to_string(DeadPid());
    e.Dir.Write(".stormfetch-abc123.part", "x");
    e.Dir.Write("Quor Underlays/.ConUS.bmp." + dead + ".part", "x");
    e.Dir.Write("lan/.ConUS.bmp." + dead + ".part", "x");
    // The fake clock stands far in the future, so the file without a process id is old.
    e.Clock.Set(kEpochDays + double(::time(nullptr)) / 86400.0 + 1.0);
    RemoveStaleTempFiles(e.S);
    EXPECT_FALSE(FileExists(d + ".stormfetch-abc123.part"));
    EXPECT_FALSE(FileExists(e.S.QuorUnderlayPath + ".ConUS.bmp." + dead + ".part"));
    EXPECT_TRUE(FileExists(d + "lan/.ConUS.bmp." + dead + ".part")); // other machines write there
    auto logs = FindFiles(d + "R*ErrorLog.txt");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(e.Dir.Read(logs[0].Name).find("Removed 1 temporary file left by an interrupted save from " +
                                             e.S.QuorUnderlayPath),
              std::string::npos);
}
