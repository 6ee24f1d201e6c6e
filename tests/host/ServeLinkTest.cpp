// The resident link against a shell script that speaks the helper's line protocol:
// one process for all calls, the answers' reasons, the closing event, a helper that
// dies, a helper that hangs, and the orderly quit. Nothing here starts Wine.
#include "core/Files.h"
#include "host/ServeLink.h"
#include "support/TempDir.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

namespace sf::test {
namespace {

// Logs each request with its process id; answers by the files present in its folder.
const char* const kScript = R"(#!/bin/sh
dir=$(dirname "$0")
while IFS= read -r line; do
  echo "$$ $line" >> "$dir/log"
  case "$line" in
    quit) echo ok; exit 0 ;;
    hang) sleep 30 ;;
    redraw|zoom*) if [ -e "$dir/gone" ]; then rm -f "$dir/gone"
         echo "gone $line failed: 0x800706BA The RPC server is unavailable"
         echo "error $line failed: 0x800706BA The RPC server is unavailable"; exit 0; fi
       if [ -e "$dir/fail" ]; then echo "error $line failed: 0x800706BA The RPC server is unavailable"
       else echo ok; fi
       if [ -e "$dir/close" ]; then rm -f "$dir/close"; echo closed; exit 0; fi ;;
    *) if [ -e "$dir/fail" ]; then echo "error $line failed: 0x800706BA The RPC server is unavailable"
       else echo ok; fi
       if [ -e "$dir/close" ]; then rm -f "$dir/close"; echo closed; exit 0; fi ;;
  esac
done
echo "$$ end of input" >> "$dir/log"
)";

class ServeLinkTest : public ::testing::Test {
protected:
    ServeLinkTest()
    {
        const std::string script = dir.Write("helper.sh", kScript);
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        command.Program = "/bin/sh";
        command.Arguments = {script};
    }
    std::vector<std::string> Log()
    {
        std::string text;
        ReadFileBytes(dir.Path() + "log", text);
        std::vector<std::string> lines;
        for (size_t start = 0, end; start < text.size(); start = end + 1) {
            end = text.find('\n', start);
            lines.push_back(text.substr(start, end - start));
        }
        return lines;
    }
    template <typename F> bool PumpUntil(F done)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }
    TTempDir dir;
    TServeCommand command;
};

TEST(ServeLineTest, AnswersAndEventsAreToldApart)
{
    EXPECT_EQ(ParseServeLine("ok\r").Kind, TServeLine::Ok);
    const TServeLine e = ParseServeLine("error redraw failed: 0x800706BA The RPC server is unavailable");
    EXPECT_EQ(e.Kind, TServeLine::Error);
    EXPECT_EQ(e.Text, "redraw failed: 0x800706BA The RPC server is unavailable");
    EXPECT_EQ(ParseServeLine("closed").Kind, TServeLine::Closed);
    EXPECT_EQ(ParseServeLine("gone probe failed").Text, "probe failed");
    EXPECT_EQ(ParseServeLine("gone").Kind, TServeLine::Gone);
    EXPECT_EQ(ParseServeLine("okay").Kind, TServeLine::Other);
    EXPECT_EQ(ParseServeLine("goner").Kind, TServeLine::Other);
    EXPECT_EQ(ParseServeLine("error").Kind, TServeLine::Other);
}

TEST_F(ServeLinkTest, OneHelperCarriesEveryCallAndQuitsAtTheEnd)
{
    long long pid = 0;
    {
        TServeLink link(command);
        std::string error;
        ASSERT_TRUE(link.Connect(&error)) << error;
        pid = link.HelperPid();
        for (int i = 0; i < 5; ++i)
            ASSERT_TRUE(link.Redraw(&error)) << error;
        ASSERT_TRUE(link.ShowArea(-97.5, 42.25, -87.5, 36.75, &error)) << error;
        SaveFileAtomic(dir.Path() + "fail", "");
        EXPECT_FALSE(link.Redraw(&error));
        EXPECT_EQ(error, "redraw failed: 0x800706BA The RPC server is unavailable"); // the helper's reason
        EXPECT_EQ(link.HelperPid(), pid);
    }
    const std::string p = std::to_string(pid) + " ";
    EXPECT_EQ(Log(), (std::vector<std::string>{p + "connect", p + "redraw", p + "redraw", p + "redraw", p + "redraw",
                                               p + "redraw", p + "zoom -97.5 42.25 -87.5 36.75", p + "redraw",
                                               p + "quit"}));
}

TEST_F(ServeLinkTest, AfterTheClosingEventTheNextConnectAttachesWithANewHelper)
{
    TServeLink link(command);
    int closings = 0;
    link.OnClosing = [&] { ++closings; };
    std::string error;
    ASSERT_TRUE(link.Connect(&error)) << error;
    SaveFileAtomic(dir.Path() + "close", "");
    EXPECT_TRUE(link.Redraw(&error)) << error;
    ASSERT_TRUE(PumpUntil([&] { return closings == 1; }));
    EXPECT_FALSE(link.Connected());
    ASSERT_TRUE(link.Connect(&error)) << error;
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[2], std::to_string(link.HelperPid()) + " attach"); // never connect: nothing is started
    EXPECT_NE(log[0].substr(0, log[0].find(' ')), log[2].substr(0, log[2].find(' ')));
}

TEST_F(ServeLinkTest, AKilledHelperIsStartedAgainAndReattaches)
{
    TServeLink link(command);
    std::vector<std::string> notices;
    link.OnNotice = [&](const std::string& text) { notices.push_back(text); };
    std::string error;
    ASSERT_TRUE(link.Connect(&error)) << error;
    const long long first = link.HelperPid();
    ASSERT_EQ(::kill(static_cast<pid_t>(first), SIGKILL), 0);
    ASSERT_TRUE(PumpUntil([&] { return link.Connected() && link.HelperPid() != first; }));
    ASSERT_FALSE(notices.empty());
    EXPECT_NE(notices.front().find("ended unexpectedly"), std::string::npos) << notices.front();
    EXPECT_EQ(Log().back(), std::to_string(link.HelperPid()) + " attach");
    EXPECT_TRUE(link.Redraw(&error)) << error;
}

// A kill and a new start of the map program between two of the helper's probes: the
// call finds the old instance gone and is made once more through a new link, which
// attaches only. With no instance to attach to, the call's own reason stands.
TEST_F(ServeLinkTest, ACallThatFindsTheMapProgramGoneIsMadeAgainThroughANewLink)
{
    TServeLink link(command);
    std::vector<std::string> notices;
    link.OnNotice = [&](const std::string& text) { notices.push_back(text); };
    std::string error;
    ASSERT_TRUE(link.Connect(&error)) << error;
    const std::string first = std::to_string(link.HelperPid()) + " ";
    SaveFileAtomic(dir.Path() + "gone", "");
    EXPECT_TRUE(link.Redraw(&error)) << error;
    EXPECT_TRUE(link.Connected());
    const std::string second = std::to_string(link.HelperPid()) + " ";
    EXPECT_NE(first, second);
    EXPECT_EQ(Log(), (std::vector<std::string>{first + "connect", first + "redraw", second + "attach",
                                               second + "redraw"}));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("went away without closing"), std::string::npos) << notices[0];

    SaveFileAtomic(dir.Path() + "gone", "");
    EXPECT_TRUE(link.ShowArea(-97.5, 42.25, -87.5, 36.75, &error)) << error;
    EXPECT_EQ(Log().back(), std::to_string(link.HelperPid()) + " zoom -97.5 42.25 -87.5 36.75");

    // Gone, and nothing started since: one attach, and the redraw's reason.
    SaveFileAtomic(dir.Path() + "gone", "");
    SaveFileAtomic(dir.Path() + "fail", "");
    const size_t before = Log().size();
    EXPECT_FALSE(link.Redraw(&error));
    EXPECT_EQ(error, "redraw failed: 0x800706BA The RPC server is unavailable");
    EXPECT_FALSE(link.Connected());
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), before + 3) << log.back();
    EXPECT_EQ(log[before + 1].substr(log[before + 1].find(' ')), " attach");
}

TEST_F(ServeLinkTest, AHelperThatDoesNotAnswerIsStoppedAndTheCallFails)
{
    TServeLink hung(TServeCommand{"/bin/sh", {"-c", "sleep 30"}, {}, 300, 300, 0});
    std::string error;
    EXPECT_FALSE(hung.Connect(&error));
    EXPECT_NE(error.find("did not answer connect"), std::string::npos) << error;
    EXPECT_EQ(hung.HelperPid(), 0); // stopped, not left behind
    EXPECT_FALSE(hung.Connected());
}

} // namespace
} // namespace sf::test
