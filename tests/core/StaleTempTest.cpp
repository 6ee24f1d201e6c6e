// Temporary files an interrupted save left behind are removed at start from the folders
// only this program writes, and only when no live save can own them.
#include "CoreTestEnv.h"
#include "core/Files.h"
#include "core/StaleTemp.h"
#include "support/Unprivileged.h"
#include <cerrno>
#include <csignal>
#include <algorithm>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace sf;
using namespace sf::test;

namespace {

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
    EXPECT_TRUE(IsOwnTempName(".stormfetch-4242-aZ09xy.part", pid));
    EXPECT_EQ(pid, 4242);
    EXPECT_TRUE(IsOwnTempName(".LOT_N0R_0.bmp.4242.part", pid));
    EXPECT_EQ(pid, 4242);
    for (const char* other : {"stormfetch-aZ09xy.part", ".stormfetch-aZ09x.part", ".stormfetch-aZ09xyz.part",
                              ".LOT_N0R_0.bmp.part", ".LOT.bmp.42a.part", "..4242.part", ".LOT.bmp.0.part",
                              ".LOT.bmp.4242.part.old", "LOT.bmp.4242.part", ".x.99999999999.part",
                              ".stormfetch-0-aZ09xy.part", ".stormfetch-42-aZ09x.part", ".stormfetch-4x-aZ09xy.part"})
        EXPECT_FALSE(IsOwnTempName(other, pid)) << other;
}

TEST(StaleTemp, NamesCarryTheWritersMachine)
{
    long long pid = -1;
    std::string host = "x";
    EXPECT_TRUE(IsOwnTempName(".stormfetch-4242@radar-pc-aZ09xy.part", pid, &host));
    EXPECT_EQ(pid, 4242);
    EXPECT_EQ(host, "radar-pc");
    EXPECT_TRUE(IsOwnTempName(".LOT_N0R_0.bmp.77@server2.part", pid, &host));
    EXPECT_EQ(pid, 77);
    EXPECT_EQ(host, "server2");
    EXPECT_TRUE(IsOwnTempName(".LOT_N0R_0.bmp.4242.part", pid, &host));
    EXPECT_EQ(host, "");
    for (const char* other : {".stormfetch-4242@-aZ09xy.part", ".LOT.bmp.42@.part", ".LOT.bmp.@pc.part"})
        EXPECT_FALSE(IsOwnTempName(other, pid, &host)) << other;

    // What this process writes is recognised as its own, on this machine.
    const std::string tag = TempWriterTag();
    ASSERT_TRUE(IsOwnTempName(ExtractFileName(OwnTempPath("/u/LOT_N0R_0.bmp")), pid, &host));
    EXPECT_EQ(pid, (long long)::getpid());
    EXPECT_EQ(std::to_string(pid) + "@" + host, tag);
}

TEST(StaleTemp, AnotherMachinesTemporaryIsJudgedByItsAge)
{
    // A Server copies into a Client's underlay folder: its process id means nothing here,
    // so a copy under way at the Client's start must stay, and one its writer left goes.
    TCoreEnv e;
    const std::string d = e.Dir.Path();
    const time_t now = ::time(nullptr);
    const std::string dead = std::to_string(DeadPid());
    e.Dir.Write(".stormfetch-" + dead + "@otherbox-abc123.part", "x");           // being written now
    SetAge(e.Dir.Write(".LOT_N0R_0.gif." + dead + "@otherbox.part", "x"), now, 2 * 3600); // left long ago
    const std::string here = TempWriterTag().substr(TempWriterTag().find('@')); // "@<this machine>"
    const std::string localDead = ".MKX_N0R_0.bmp." + dead + here + ".part";
    e.Dir.Write(localDead, "x"); // this machine's, its writer gone: at once

    const auto removed = RemoveStaleTempFilesIn(d);
    EXPECT_EQ(removed.size(), 2u);
    EXPECT_EQ(Names(d), std::vector<std::string>{".stormfetch-" + dead + "@otherbox-abc123.part"});
}

TEST(StaleTemp, ASaveCutShortLeavesATemporaryTheNextStartKnowsAndRemoves)
{
    TCoreEnv e;
    const std::string d = e.Dir.Path();
    // The writer dies inside the write: the file-size limit's signal ends it there, as a
    // kill would, without any timing.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const struct rlimit limit = {16, 16};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        SaveFileAtomic(d + "stormfetch.ini", std::string(4096, 'x'));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ) << status;
    const std::vector<std::string> left = Names(d);
    ASSERT_EQ(left.size(), 1u);
    long long pid = 0;
    EXPECT_TRUE(IsOwnTempName(left[0], pid)) << left[0];
    EXPECT_EQ(pid, child);
    EXPECT_EQ(RemoveStaleTempFilesIn(d), left);
    EXPECT_TRUE(Names(d).empty());

    const std::string beside = OwnTempPath(d + "LOT_N0R_0.bmp");
    EXPECT_EQ(beside, d + ".LOT_N0R_0.bmp." + TempWriterTag() + ".part");
    EXPECT_TRUE(IsOwnTempName(ExtractFileName(beside), pid));
    EXPECT_EQ(pid, ::getpid());
}

TEST(StaleTemp, LivenessOfProcesses)
{
    EXPECT_TRUE(ProcessAlive(::getpid()));
    EXPECT_TRUE(ProcessAlive(::getppid()));
    EXPECT_FALSE(ProcessAlive(DeadPid()));
    EXPECT_FALSE(ProcessAlive(0));
    EXPECT_FALSE(ProcessAlive(-5));
}

TEST(StaleTemp, AnotherUsersProcessIsAlive)
{
    // Signalling another user's process is refused (EPERM), yet it runs: as root every
    // process may be signalled, so the check runs as an ordinary user against this
    // (root's) test process, else against process 1.
    const long long other = ::geteuid() == 0 ? ::getpid() : 1;
    const std::string failed = RunUnprivileged([other]() -> std::string {
        errno = 0;
        if (::kill(pid_t(other), 0) == 0 || errno != EPERM)
            return "process " + std::to_string(other) + " is not another user's here";
        return ProcessAlive(other) ? "" : "another user's live process taken for dead";
    });
    if (failed.find("is not another user's here") != std::string::npos)
        GTEST_SKIP() << failed;
    EXPECT_EQ(failed, "");
}

TEST(StaleTemp, EveryOwnFileWhoseWriterIsGoneGoesAtOnce)
{
    TCoreEnv e;
    const std::string d = e.Dir.Path();
    const time_t now = ::time(nullptr);
    const std::string dead = std::to_string(DeadPid());
    e.Dir.Write(".stormfetch-new001.part", "x"); // an older version's, without an id: written a second ago
    e.Dir.Write(".stormfetch-" + dead + "-abc123.part", "x");
    e.Dir.Write(".stormfetch-" + std::to_string(::getppid()) + "-abc123.part", "x"); // a live save elsewhere
    e.Dir.Write(".LOT_N0R_0.bmp." + dead + ".part", "x");
    e.Dir.Write(".LOT_N0R_0.bmp." + std::to_string(::getppid()) + ".part", "x");   // a live save elsewhere
    e.Dir.Write(".MKX_N0R_0.bmp." + std::to_string(::getpid()) + ".part", "x");    // ours: nothing is saving at start
    SetAge(e.Dir.Write("notes.part", "x"), now, 2 * 3600);
    SetAge(e.Dir.Write(".other.part", "x"), now, 2 * 3600);
    e.Dir.Write("LOT_N0R_0.bmp", "underlay");
    ForceDirectories(d + ".stormfetch-folder.part");

    const auto removed = RemoveStaleTempFilesIn(d);
    EXPECT_EQ(removed.size(), 4u);
    const std::vector<std::string> left = {".LOT_N0R_0.bmp." + std::to_string(::getppid()) + ".part",
                                           ".other.part", ".stormfetch-" + std::to_string(::getppid()) + "-abc123.part",
                                           ".stormfetch-folder.part", "LOT_N0R_0.bmp", "notes.part"};
    EXPECT_EQ(Names(d), left);
}

TEST(StaleTemp, StartUpCleansTheProgramUnderlayAndShapefileFoldersButNoOtherTarget)
{
    TCoreEnv e;
    const std::string d = e.Dir.Path();
    e.S.QuorUnderlayPath = d + "Quor Underlays/";
    ForceDirectories(e.S.QuorUnderlayPath);
    ForceDirectories(d + "lan/");
    ForceDirectories(d + "shp/");
    e.S.TargetCmb.Items = {e.S.QuorUnderlayPath, d + "lan/"};
    e.S.TargetED.SetCaption(d + "shp");
    e.S.Logerrors1.Checked = true;
    const std::string dead = std::to_string(DeadPid());
    e.Dir.Write(".stormfetch-abc123.part", "x");
    e.Dir.Write("Quor Underlays/.stormfetch-" + dead + "-abc123.part", "x");
    e.Dir.Write("Quor Underlays/.ConUS.bmp." + dead + ".part", "x");
    e.Dir.Write("shp/.tor.shp." + dead + ".part", "x");
    e.Dir.Write("lan/.ConUS.bmp." + dead + ".part", "x");
    RemoveStaleTempFiles(e.S);
    EXPECT_FALSE(FileExists(d + ".stormfetch-abc123.part"));
    EXPECT_FALSE(FileExists(e.S.QuorUnderlayPath + ".stormfetch-" + dead + "-abc123.part"));
    EXPECT_FALSE(FileExists(e.S.QuorUnderlayPath + ".ConUS.bmp." + dead + ".part"));
    EXPECT_FALSE(FileExists(d + "shp/.tor.shp." + dead + ".part"));
    EXPECT_TRUE(FileExists(d + "lan/.ConUS.bmp." + dead + ".part")); // other machines write there
    auto logs = FindFiles(d + "R*ErrorLog.txt");
    ASSERT_EQ(logs.size(), 1u);
    const std::string log = e.Dir.Read(logs[0].Name);
    EXPECT_NE(log.find("Removed 2 temporary files left by an interrupted save from " + e.S.QuorUnderlayPath),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Removed 1 temporary file left by an interrupted save from " + d + "shp/"), std::string::npos)
        << log;
}
