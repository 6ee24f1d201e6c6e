#include "core/IniFile.h"
#include "host/CommandLink.h"
#include "support/TempDir.h"
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>
#include <gtest/gtest.h>

namespace sf::test {
namespace {

namespace fs = std::filesystem;

class CommandLinkTest : public ::testing::Test {
protected:
    // A small executable shell script in the temporary folder; returns its path.
    std::string Script(const std::string& name, const std::string& body)
    {
        const std::string path = dir.Write(name, "#!/bin/sh\n" + body + "\n");
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    TTempDir dir;
};

TEST_F(CommandLinkTest, ExitCodeZeroIsSuccessAnythingElseFails)
{
    TLinkCommands c;
    c.Redraw = Script("ok.sh", "exit 0");
    TCommandLink ok(c);
    std::string error;
    EXPECT_TRUE(ok.Redraw(&error)) << error;

    c.Redraw = Script("fail.sh", "exit 3");
    TCommandLink bad(c);
    EXPECT_FALSE(bad.Redraw(&error));
    EXPECT_NE(error.find("exit code 3"), std::string::npos) << error;
}

TEST_F(CommandLinkTest, MissingProgramFailsWithAMessage)
{
    TLinkCommands c;
    c.Redraw = dir.Path() + "does-not-exist";
    TCommandLink link(c);
    std::string error;
    EXPECT_FALSE(link.Redraw(&error));
    EXPECT_NE(error.find("could not be started"), std::string::npos) << error;
}

TEST_F(CommandLinkTest, HangingCommandIsKilledAtTheLimitWhileEventsRun)
{
    TLinkCommands c;
    c.Redraw = Script("hang.sh", "exec sleep 30");
    c.TimeoutMs = 300;
    TCommandLink link(c);
    bool timerRan = false;
    QTimer::singleShot(20, [&] { timerRan = true; });
    std::string error;
    EXPECT_FALSE(link.Redraw(&error));
    EXPECT_NE(error.find("stopped"), std::string::npos) << error;
    EXPECT_TRUE(timerRan); // the event loop kept running during the wait
    EXPECT_FALSE(link.Busy());
}

TEST_F(CommandLinkTest, ApplicationQuittingStopsARunningCommand)
{
    TLinkCommands c;
    c.Redraw = Script("hang.sh", "exec sleep 30");
    TCommandLink link(c);
    bool result = true, ran = false;
    std::string error;
    // The command runs inside the application's own loop, which is told to end meanwhile.
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(100, [] { QCoreApplication::exit(0); });
        result = link.Redraw(&error);
        ran = true;
    });
    QCoreApplication::exec();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(result);
    EXPECT_NE(error.find("stopped"), std::string::npos) << error;
    EXPECT_FALSE(link.Busy());
}

TEST_F(CommandLinkTest, ZoomReplacesTheBoundsInEachArgumentWithoutAShell)
{
    const std::string out = dir.Path() + "args.txt";
    TLinkCommands c;
    c.Zoom = Script("zoom.sh", "for a in \"$@\"; do echo \"[$a]\"; done > \"" + out + "\"") +
             " \"area %left% %top%\" %right%,%bottom% \"$HOME;x\"";
    TCommandLink link(c);
    std::string error;
    ASSERT_TRUE(link.ActivateView(&error));
    ASSERT_TRUE(link.ShowArea(-101.25, 35.5, -97, 32.125, &error)) << error;
    EXPECT_EQ(dir.Read("args.txt"), "[area -101.25 35.5]\n[-97,32.125]\n[$HOME;x]\n");
}

TEST_F(CommandLinkTest, GuardRefusesASecondCommandWhileOneRuns)
{
    TLinkCommands c;
    c.Redraw = Script("slow.sh", "sleep 0.3");
    TCommandLink link(c);
    bool nestedResult = true;
    std::string nestedError;
    QTimer::singleShot(50, [&] { nestedResult = link.Redraw(&nestedError); });
    std::string error;
    EXPECT_TRUE(link.Redraw(&error)) << error;
    EXPECT_FALSE(nestedResult);
    EXPECT_NE(nestedError.find("still running"), std::string::npos);
}

TEST_F(CommandLinkTest, ConnectRunsOnceAndFailureLeavesTheLinkDown)
{
    const std::string count = dir.Path() + "count.txt";
    TLinkCommands c;
    c.Connect = Script("connect.sh", "echo x >> \"" + count + "\"");
    TCommandLink link(c);
    EXPECT_TRUE(link.Connect(nullptr));
    EXPECT_TRUE(link.Connect(nullptr));
    EXPECT_TRUE(link.Connected());
    EXPECT_EQ(dir.Read("count.txt"), "x\n");

    c.Connect = Script("noconnect.sh", "exit 1");
    TCommandLink down(c);
    EXPECT_FALSE(down.Connect(nullptr));
    EXPECT_FALSE(down.Connected());
}

TEST_F(CommandLinkTest, WatchEndingWhileConnectedIsTheClosingNotification)
{
    TLinkCommands c;
    c.Redraw = Script("ok.sh", "exit 0");
    c.Watch = Script("watch.sh", "sleep 0.2");
    TCommandLink link(c);
    int closing = 0;
    QEventLoop loop;
    link.OnClosing = [&] {
        ++closing;
        loop.quit();
    };
    ASSERT_TRUE(link.Connect(nullptr)); // no Connect command: connected at once
    QTimer::singleShot(10000, &loop, &QEventLoop::quit); // a bound, not a measurement
    loop.exec();
    EXPECT_EQ(closing, 1);
    EXPECT_TRUE(link.Connected()); // the link is kept, as it was
}

TEST_F(CommandLinkTest, WatchEndingWithAFailureIsOnlyReported)
{
    TLinkCommands c;
    c.Watch = Script("watch.sh", "echo 'helper: lost the server 0x800706BA' >&2; exit 1");
    TCommandLink link(c);
    int closing = 0;
    std::string notice;
    QEventLoop loop;
    link.OnClosing = [&] {
        ++closing;
        loop.quit();
    };
    link.OnNotice = [&](const std::string& text) {
        notice = text;
        loop.quit();
    };
    ASSERT_TRUE(link.Connect(nullptr));
    QTimer::singleShot(10000, &loop, &QEventLoop::quit); // a bound, not a measurement
    loop.exec();
    EXPECT_EQ(closing, 0);
    EXPECT_NE(notice.find("exit code 1"), std::string::npos) << notice;
    EXPECT_NE(notice.find("0x800706BA"), std::string::npos) << notice;
}

TEST_F(CommandLinkTest, EnvironmentAndStandardErrorReachTheCaller)
{
    TLinkCommands c;
    c.Environment = {{"SF_LINK_TEST", "in the prefix"}};
    c.Redraw = Script("env.sh", "test \"$SF_LINK_TEST\" = 'in the prefix' || exit 4\necho 'first line' >&2\n"
                                "echo 'second line' >&2\nexit 5");
    TCommandLink link(c);
    std::string error;
    EXPECT_FALSE(link.Redraw(&error));
    EXPECT_NE(error.find("exit code 5: first line"), std::string::npos) << error;
    EXPECT_EQ(error.find("second line"), std::string::npos) << error;
}

TEST_F(CommandLinkTest, ConnectHasItsOwnLimitAndAnnouncesASlowStart)
{
    TLinkCommands c;
    c.Connect = Script("slow.sh", "sleep 1.5");
    c.TimeoutMs = 1000; // would stop the connect
    c.ConnectTimeoutMs = 20000;
    c.SlowMs = 200;
    TCommandLink link(c);
    std::string slow;
    link.OnSlow = [&](const std::string& text) { slow = text; };
    std::string error;
    EXPECT_TRUE(link.Connect(&error)) << error;
    EXPECT_NE(slow.find("at most 20 s"), std::string::npos) << slow;
}

TEST_F(CommandLinkTest, SettingsSectionChoosesTheAdapter)
{
    EXPECT_FALSE(MakeLink(ReadLinkCommands(TIniText("[URL]\r\nX=1\r\n")))->Connect(nullptr));
    const TLinkCommands c = ReadLinkCommands(
        TIniText("[Link]\r\nConnect=a b\r\nRedraw=r\r\nZoom=z %left%\r\nWatch=w\r\n"));
    EXPECT_EQ(c.Connect, "a b");
    EXPECT_EQ(c.Redraw, "r");
    EXPECT_EQ(c.Zoom, "z %left%");
    EXPECT_EQ(c.Watch, "w");
    EXPECT_NE(dynamic_cast<TCommandLink*>(MakeLink(c).get()), nullptr);
}

TEST(LinkNumber, ShortestExactTextWithDecimalPoint)
{
    EXPECT_EQ(LinkNumber(-97.0), "-97");
    EXPECT_EQ(LinkNumber(35.123456789), "35.123456789");
    EXPECT_EQ(LinkNumber(0.1), "0.1");
}

} // namespace
} // namespace sf::test
