// The Wine helper against the stand-in automation server, through Wine itself. One
// throwaway prefix serves the whole binary (creating one takes seconds); the cases
// run in file order: the first one needs the class still unregistered.
#include "app/Demo.h"
#include "core/Clock.h"
#include "core/Files.h"
#include "core/ListFile.h"
#include "app/DemoServer.h"
#include "core/RadarObj.h"
#include <algorithm>
#include "host/CommandLink.h"
#include "host/ServeLink.h"
#include "host/WineLink.h"
#include "support/TempDir.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <csignal>
#include <sys/types.h>

#ifndef SF_BUILD_DIR
#error "the tests need the build folder (SF_BUILD_DIR)"
#endif

using namespace sf;

namespace {

// Generous bounds: Wine's first start on a busy machine takes tens of seconds.
constexpr int kPrefixMs = 300000;
constexpr int kProcessMs = 120000;

const std::string kBuild = SF_BUILD_DIR;
const std::string kHelper = kBuild + "stormfetch-link64.exe";
const std::string kStandIn = SF_STANDIN_EXE;

struct TOutcome {
    int Code = -1;
    std::string Err, Out;
};

class WineHelper : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const char* path = getenv("PATH");
        s_tools = FindWineTools({kBuild}, path ? path : "");
        if (s_tools.Loader.empty() || s_tools.Helper != kHelper || kStandIn.empty() || !FileExists(kStandIn)) {
            s_skip = "wine64 or the mingw-w64 cross-compiled helper and stand-in are missing";
            return;
        }
        s_dir = std::make_unique<test::TTempDir>();
        s_prefix = s_dir->Path() + "pfx/";
        std::string error;
        // The map program's registry entries and files first; Wine keeps them while it sets the prefix up.
        if (!BuildDemoHost(s_prefix, "LOT_N0R_0.bmp", &error)) {
            s_failure = "demo host: " + error;
            return;
        }
        // Wine adds drive Z: (the root folder) only to a dosdevices folder it creates itself;
        // the build folder, with the Windows programs in it, is reached through it.
        std::error_code ec;
        std::filesystem::create_directory_symlink("/", s_prefix + "dosdevices/z:", ec);
        TOutcome boot = Run({"wineboot", "-i"}, kPrefixMs);
        if (boot.Code != 0) {
            s_failure = "wineboot failed: " + boot.Err;
            return;
        }
        // The wineserver that wineboot left running cannot carry local servers: end it.
        StopWineServer();
        // One wineserver for the whole binary. Debian runs it with -p0, so it would end
        // whenever no Wine process is left (between cases) and the next process would
        // race its shutdown and the start of a new one; -p keeps it until -k.
        // A Wine process that finds no wineserver starts one itself and, when that start
        // fails, exits with the start's own status instead of its program's: a helper's
        // usage error once ended 127 here (the status the Debian wineserver script gives
        // when its exec fails). With the server started here, no case's process starts one.
        StartWineServer();
    }
    static void TearDownTestSuite()
    {
        if (s_dir)
            StopWineServer();
        s_dir.reset();
    }
    void SetUp() override
    {
        if (!s_skip.empty())
            GTEST_SKIP() << s_skip;
        ASSERT_TRUE(s_failure.empty()) << s_failure;
    }
    void TearDown() override { StopStandIn(); }

    static QProcessEnvironment Environment()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("WINEPREFIX", QString::fromStdString(s_prefix));
        env.insert("WINEDEBUG", "-all");
        env.remove("DISPLAY");
        return env;
    }
    /// Runs the Wine loader with args and waits for its end (killed at the bound).
    static TOutcome Run(const QStringList& args, int ms = kProcessMs)
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.setProgram(QString::fromStdString(s_tools.Loader));
        p.setArguments(args);
        p.start();
        TOutcome o;
        if (!p.waitForFinished(ms)) {
            p.kill();
            p.waitForFinished(5000);
            o.Err = "still running after " + std::to_string(ms / 1000) + " s";
            return o;
        }
        o.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        o.Err = p.readAllStandardError().toStdString();
        o.Out = p.readAllStandardOutput().toStdString();
        return o;
    }
    static TOutcome Helper(const QStringList& args)
    {
        return Run(QStringList{QString::fromStdString(kHelper)} + args);
    }
    static std::string WineServer()
    {
        const std::string server = s_tools.Loader.substr(0, s_tools.Loader.rfind('/') + 1) + "wineserver";
        return FileExists(server) ? server : std::string("wineserver");
    }
    static void StartWineServer()
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.start(QString::fromStdString(WineServer()), {"-p"});
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            s_failure = "wineserver -p did not start: " + p.readAllStandardError().toStdString();
    }
    static void StopWineServer()
    {
        QProcess k;
        k.setProcessEnvironment(Environment());
        const std::string server = s_tools.Loader.substr(0, s_tools.Loader.rfind('/') + 1) + "wineserver";
        k.start(QString::fromStdString(FileExists(server) ? server : std::string("wineserver")), {"-k"});
        k.waitForFinished(30000);
    }
    static std::string LogPath() { return s_prefix + "drive_c/standin-calls.log"; }
    /// The stand-in's call log, one line per entry.
    static std::vector<std::string> Calls()
    {
        std::vector<std::string> lines;
        std::string text = ReadText(LogPath());
        for (size_t start = 0; start < text.size();) {
            size_t end = text.find("\r\n", start);
            if (end == std::string::npos)
                end = text.size();
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }
    static bool WaitForCall(const std::string& line, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            for (const std::string& c : Calls())
                if (c == line)
                    return true;
            QThread::msleep(100);
        }
        return false;
    }
    /// Registers the stand-in's class and type library (once).
    static void Register()
    {
        if (s_registered)
            return;
        TOutcome r = Run({QString::fromStdString(kStandIn), "/RegServer"});
        ASSERT_EQ(r.Code, 0) << r.Err;
        s_registered = true;
    }
    /// Starts the stand-in and waits until its class and running object are registered;
    /// the call log starts empty.
    void StartStandIn()
    {
        Register();
        DeleteFile(LogPath());
        DeleteFile(s_prefix + "drive_c/standin-close"); // a request no instance took up
        m_standIn = std::make_unique<QProcess>();
        m_standIn->setProcessEnvironment(Environment());
        m_standIn->start(QString::fromStdString(s_tools.Loader), {QString::fromStdString(kStandIn)});
        ASSERT_TRUE(WaitForCall("ready", kProcessMs)) << "the stand-in did not register";
        DeleteFile(LogPath());
    }
    /// Ends the stand-in: killed, or (graceful) through its closing request, which also
    /// revokes its class registration. A killed server's registration stays behind in
    /// Wine, and creating the class then fails with 0x800706BA until another instance
    /// registers.
    void StopStandIn(bool graceful = true)
    {
        if (!m_standIn)
            return;
        if (graceful && m_standIn->state() != QProcess::NotRunning) {
            CloseStandIn();
            m_standIn->waitForFinished(kProcessMs);
        }
        if (m_standIn->state() != QProcess::NotRunning) {
            m_standIn->kill();
            m_standIn->waitForFinished(10000);
        }
        m_standIn.reset();
        DeleteFile(s_prefix + "drive_c/standin-close");
    }
    /// Asks the stand-in to raise the closing event and end.
    void CloseStandIn() { WriteText(s_prefix + "drive_c/standin-close", ""); }

    static std::string ReadText(const std::string& path)
    {
        std::string text;
        ReadFileBytes(path, text);
        return text;
    }
    static void WriteText(const std::string& path, const std::string& text) { SaveFileAtomic(path, text); }

    std::unique_ptr<QProcess> m_standIn;
    static inline TWineTools s_tools;
    static inline std::unique_ptr<test::TTempDir> s_dir;
    static inline std::string s_prefix, s_skip, s_failure;
    static inline bool s_registered = false;
};

/// The bits of a double as the stand-in logs them.
std::string Bits(double value)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    char text[20];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(bits));
    return text;
}

TEST_F(WineHelper, ConnectFailsCleanlyWhileNothingIsRegistered)
{
    if (s_registered)
        GTEST_SKIP() << "the stand-in is registered already (cases ran out of order)";
    TOutcome o = Helper({"connect"});
    EXPECT_EQ(o.Code, 1);
    EXPECT_NE(o.Err.find("0x80040154 Class not registered"), std::string::npos) << o.Err;
    EXPECT_EQ(std::count(o.Err.begin(), o.Err.end(), '\n'), 1) << o.Err;
}

TEST_F(WineHelper, RedrawAttachesOnlyAndReachesThe30thMethodOnce)
{
    Register();
    // Nothing runs: redraw fails and does not start the map program.
    DeleteFile(LogPath());
    TOutcome none = Helper({"redraw"});
    EXPECT_EQ(none.Code, 1);
    EXPECT_NE(none.Err.find("0x800401E3"), std::string::npos) << none.Err;
    EXPECT_FALSE(FileExists(LogPath())) << ReadText(LogPath());

    StartStandIn();
    TOutcome o = Helper({"redraw"});
    EXPECT_EQ(o.Code, 0) << o.Err;
    // One link per run ("link 1": the helper's check of a new link), then the call.
    EXPECT_EQ(Calls(), (std::vector<std::string>{"link 1", "method 30"}));
}

TEST_F(WineHelper, ZoomMakesItsThreeCallsInOrderWithTheBoundsBitExact)
{
    StartStandIn();
    // As the program passes them: the shortest exact text of each double.
    const double left = -97.123456789012345, top = 4.9406564584124654e-324, right = -0.0, bottom = 1.7976931348623157e308;
    TOutcome o = Helper({"zoom", QString::fromStdString(LinkNumber(left)), QString::fromStdString(LinkNumber(top)),
                         QString::fromStdString(LinkNumber(right)), QString::fromStdString(LinkNumber(bottom))});
    EXPECT_EQ(o.Code, 0) << o.Err;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"link 1", "method 13", "view 18",
                                                 "method 29 " + Bits(left) + " " + Bits(top) + " " + Bits(right) + " "
                                                     + Bits(bottom) + " 0 0"}));
    // A bound that is not a number is refused before any call.
    DeleteFile(LogPath());
    // The helper's own usage line tells its refusal from an exit of Wine's loader.
    TOutcome bad = Helper({"zoom", "1", "2", "x3", "4"});
    EXPECT_EQ(bad.Code, 2) << bad.Err;
    EXPECT_NE(bad.Err.find("usage: stormfetch-link"), std::string::npos) << bad.Err;
    EXPECT_TRUE(Calls().empty());
}

TEST_F(WineHelper, ConnectAttachesToTheRunningInstanceOrStartsOne)
{
    StartStandIn();
    TOutcome attach = Helper({"connect"});
    EXPECT_EQ(attach.Code, 0) << attach.Err;
    EXPECT_EQ(Calls(), (std::vector<std::string>{"link 1"})); // attached: nothing created
    StopStandIn();

    // None runs: COM starts the registered server, which creates the object.
    DeleteFile(LogPath());
    TOutcome start = Helper({"connect"});
    EXPECT_EQ(start.Code, 0) << start.Err;
    EXPECT_TRUE(WaitForCall("create", 10000)) << ReadText(LogPath());
    // That instance ends on the closing request like any other.
    CloseStandIn();
    EXPECT_TRUE(WaitForCall("closed", kProcessMs));
}

TEST_F(WineHelper, WatchEndsWith0OnTheClosingEventAnd1WhenTheServerDies)
{
    StartStandIn();
    QProcess watch;
    watch.setProcessEnvironment(Environment());
    watch.start(QString::fromStdString(s_tools.Loader), {QString::fromStdString(kHelper), "watch"});
    ASSERT_TRUE(WaitForCall("advise 1", kProcessMs)) << ReadText(LogPath());
    CloseStandIn();
    ASSERT_TRUE(watch.waitForFinished(kProcessMs));
    EXPECT_EQ(watch.exitCode(), 0) << watch.readAllStandardError().toStdString();
    EXPECT_TRUE(WaitForCall("event 3 0x00000000", 10000)) << ReadText(LogPath());
    StopStandIn();

    StartStandIn();
    QProcess lost;
    lost.setProcessEnvironment(Environment());
    lost.start(QString::fromStdString(s_tools.Loader), {QString::fromStdString(kHelper), "watch"});
    ASSERT_TRUE(WaitForCall("advise 1", kProcessMs)) << ReadText(LogPath());
    StopStandIn(false); // killed: no event
    ASSERT_TRUE(lost.waitForFinished(kProcessMs));
    EXPECT_EQ(lost.exitCode(), 1);
    EXPECT_NE(lost.readAllStandardError().toStdString().find("went away"), std::string::npos);
}

/// A home whose settings point RIDGE at base, whose list holds LOT N0R, and no Link section.
void PrepareHome(const std::string& home, const std::string& base, bool redraw)
{
    TSystemClock clock;
    ForceDirectories(home + "run/");
    SaveFileAtomic(home + "stormfetch.ini", "[URL]\r\nRIDGE=" + base + "ridge/RadarImg/\r\nRIDGENAT=" + base
                                               + "ridge/Conus/RadarImg/\r\nSelectRidge=0\r\n[User]\r\nLogErrors=1\r\n"
                                                 "NativeFmt=0\r\nWebTimeOut=7\r\nRedraw="
                                               + (redraw ? "1" : "0") + "\r\n");
    SaveFileAtomic(home + "TargetDirList.txt", "");
    DownloadList list;
    TRadarObj r = TRadarObj::Create(clock);
    r.SetNames("IL,Chicago,LOT", "Short Range Reflectivity, N0R",
               TNaming{base + "ridge/RadarImg/", base + "ridge/Conus/RadarImg/", false});
    list.Add("IL,Chicago,LOT\tShort Range Reflectivity, N0R", std::move(r));
    SaveFileAtomic(home + kListFileWriteName, ListText(list));
}

/// Starts the program on home; it finds its channel under home's run/ folder.
void StartProgram(QProcess& p, const std::string& home, const QStringList& args)
{
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home + "run/"));
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p.setProcessEnvironment(env);
    p.setProgram(SF_STORMFETCH_BINARY);
    p.setArguments(QStringList{"--home", QString::fromStdString(home)} + args);
    p.start();
}

/// Waits for p's end while this process's event loop runs (the test server lives here);
/// false when it had to be killed at the bound.
bool FinishServing(QProcess& p, int ms = kProcessMs)
{
    QElapsedTimer t;
    t.start();
    while (!p.waitForFinished(10) && t.elapsed() < ms)
        QCoreApplication::processEvents();
    if (p.state() == QProcess::NotRunning)
        return true;
    p.kill();
    p.waitForFinished(5000);
    return false;
}

/// The program (see PrepareHome) run once; returns "exit N" and its standard output.
std::string RunProgramOnce(const std::string& home, const std::string& prefix, bool redraw)
{
    TSystemClock clock;
    TDemoServer server(clock, DemoRadarSource());
    std::string error;
    if (!server.Start(&error))
        return "test server: " + error;
    PrepareHome(home, "http://127.0.0.1:" + std::to_string(server.Port()) + "/", redraw);
    QProcess p;
    StartProgram(p, home, {"--once", "--headless", "--wineprefix", QString::fromStdString(prefix)});
    if (!FinishServing(p))
        return "the program did not end";
    return "exit " + std::to_string(p.exitCode()) + "\n" + p.readAllStandardOutput().toStdString();
}

TEST_F(WineHelper, TheProgramRedrawsThroughTheHelperWithoutALinkSection)
{
    StartStandIn();
    const std::string underlay = s_prefix + "drive_c/Peak Systems/QuorServer9/Quor Underlays/LOT_N0R_0.bmp";
    DeleteFile(underlay);
    std::string out = RunProgramOnce(s_dir->Path() + "home/", s_prefix, true);
    EXPECT_EQ(out.rfind("exit 0\n", 0), 0u) << out;
    EXPECT_TRUE(FileExists(underlay)) << out;
    std::vector<std::string> calls = Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "method 30"), 1) << ReadText(LogPath()) << out;
    // One link with its sink, advised before the redraw and taken back when the program ends.
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "link 1"), 1) << ReadText(LogPath());
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "link 2"), 0) << ReadText(LogPath());
    const auto advised = std::find(calls.begin(), calls.end(), "advise 1");
    EXPECT_LT(advised, std::find(calls.begin(), calls.end(), "method 30")) << ReadText(LogPath());
    EXPECT_EQ(calls.back(), "unadvise 0") << ReadText(LogPath());
    StopStandIn();

    // "Redraw" unchecked: the underlay is written, nothing is asked of the map program.
    StartStandIn();
    DeleteFile(underlay);
    out = RunProgramOnce(s_dir->Path() + "home2/", s_prefix, false);
    EXPECT_EQ(out.rfind("exit 0\n", 0), 0u) << out;
    EXPECT_TRUE(FileExists(underlay)) << out;
    calls = Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "method 30"), 0) << ReadText(LogPath());
}

} // namespace

namespace {

/// Runs the event loop until done() or the (generous) bound; false at the bound.
template <typename F> bool PumpUntil(F done, int ms = kProcessMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

size_t CountOf(const std::vector<std::string>& lines, const std::string& line)
{
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& line)
{
    return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

} // namespace

TEST_F(WineHelper, TheResidentLinkKeepsOneLinkAndOneSinkOverManyCalls)
{
    StartStandIn();
    {
        TServeLink link(HelperServeCommand(s_tools, s_prefix));
        std::string error;
        ASSERT_TRUE(link.Connect(&error)) << error;
        const long long helper = link.HelperPid();
        EXPECT_NE(helper, 0);
        for (int i = 0; i < 40; ++i)
            ASSERT_TRUE(link.Redraw(&error)) << i << ": " << error;
        ASSERT_TRUE(link.ActivateView(&error)) << error;
        ASSERT_TRUE(link.ShowArea(-97.5, 42.25, -87.5, 36.75, &error)) << error;
        EXPECT_TRUE(link.Connect(&error)); // connected: nothing new
        EXPECT_EQ(link.HelperPid(), helper);
        const std::vector<std::string> calls = Calls();
        EXPECT_EQ(CountOf(calls, "method 30"), 40u) << ReadText(LogPath());
        EXPECT_EQ(CountOf(calls, "link 1"), 1u) << ReadText(LogPath());
        EXPECT_EQ(CountOf(calls, "link 2"), 0u) << ReadText(LogPath());
        EXPECT_EQ(CountOf(calls, "advise 1"), 1u) << ReadText(LogPath());
        // The sink is in place before the first call.
        EXPECT_LT(IndexOf(calls, "advise 1"), IndexOf(calls, "method 30")) << ReadText(LogPath());
        EXPECT_EQ(calls.back(), "method 29 " + Bits(-97.5) + " " + Bits(42.25) + " " + Bits(-87.5) + " " +
                                    Bits(36.75) + " 0 0");
    }
    // The link's end takes the sink back.
    EXPECT_TRUE(WaitForCall("unadvise 0", 10000)) << ReadText(LogPath());
}

// From here on the stand-in is killed at times: Wine then keeps its class registration,
// dead, for the rest of this wineserver's life, and COM no longer starts it by itself.
TEST_F(WineHelper, TheResidentLinkNoticesCloseAndDeathAndLinksAgain)
{
    StartStandIn();
    TServeLink link(HelperServeCommand(s_tools, s_prefix));
    int closings = 0;
    std::vector<std::string> notices;
    link.OnClosing = [&] { ++closings; };
    link.OnNotice = [&](const std::string& text) { notices.push_back(text); };
    std::string error;
    ASSERT_TRUE(link.Connect(&error)) << error;
    CloseStandIn();
    ASSERT_TRUE(PumpUntil([&] { return closings == 1; })) << ReadText(LogPath());
    EXPECT_FALSE(link.Connected());
    EXPECT_FALSE(link.Redraw(&error));
    EXPECT_TRUE(WaitForCall("event 3 0x00000000", 10000)) << ReadText(LogPath());
    StopStandIn();

    // Closed and not running: the link attaches only, so nothing starts it again.
    DeleteFile(LogPath());
    EXPECT_FALSE(link.Connect(&error));
    EXPECT_NE(error.find("0x800401E3"), std::string::npos) << error;
    EXPECT_FALSE(FileExists(LogPath())) << ReadText(LogPath());
    EXPECT_EQ(link.HelperPid(), 0);

    // Started again by its user: the next connect links and advises again.
    StartStandIn();
    ASSERT_TRUE(link.Connect(&error)) << error;
    ASSERT_TRUE(link.Redraw(&error)) << error;
    EXPECT_EQ(CountOf(Calls(), "advise 1"), 1u) << ReadText(LogPath());

    // Killed: the link notices without any call, and a later instance is linked again.
    StopStandIn(false);
    ASSERT_TRUE(PumpUntil([&] { return !link.Connected(); }));
    ASSERT_FALSE(notices.empty());
    EXPECT_NE(notices.back().find("went away"), std::string::npos) << notices.back();
    EXPECT_NE(notices.back().find("0x800706BA"), std::string::npos) << notices.back();
    StartStandIn();
    ASSERT_TRUE(link.Connect(&error)) << error;
    CloseStandIn();
    ASSERT_TRUE(PumpUntil([&] { return closings == 2; })) << ReadText(LogPath()); // the second close too
}

// The map program killed and started again between two probes (stretched here to make
// it certain): the redraw finds the old instance gone and reaches the new one through a
// new link, with one link and one sink made on it.
TEST_F(WineHelper, ARedrawAfterAKillAndANewStartBetweenTwoProbesReachesTheNewInstance)
{
    StartStandIn();
    TServeCommand command = HelperServeCommand(s_tools, s_prefix);
    command.Environment.emplace_back("STORMFETCH_LINK_PROBE_MS", "600000");
    TServeLink link(command);
    std::string error;
    ASSERT_TRUE(link.Connect(&error)) << error;
    ASSERT_TRUE(link.Redraw(&error)) << error;
    const long long first = link.HelperPid();
    StopStandIn(false);
    StartStandIn();
    EXPECT_TRUE(link.Connected()); // nothing noticed the death yet
    ASSERT_TRUE(link.Redraw(&error)) << error;
    EXPECT_NE(link.HelperPid(), first);
    const std::vector<std::string> calls = Calls();
    EXPECT_EQ(CountOf(calls, "link 1"), 1u) << ReadText(LogPath());
    EXPECT_EQ(CountOf(calls, "advise 1"), 1u) << ReadText(LogPath());
    EXPECT_EQ(CountOf(calls, "method 30"), 1u) << ReadText(LogPath());

    // Killed and not started again: the redraw fails with the call's own reason.
    StopStandIn(false);
    EXPECT_FALSE(link.Redraw(&error));
    EXPECT_NE(error.find("0x800706BA"), std::string::npos) << error;
    EXPECT_FALSE(link.Connected());
}

TEST_F(WineHelper, AKilledHelperIsStartedAgainAndLinksAgain)
{
    StartStandIn();
    TServeLink link(HelperServeCommand(s_tools, s_prefix));
    std::vector<std::string> notices;
    link.OnNotice = [&](const std::string& text) { notices.push_back(text); };
    std::string error;
    ASSERT_TRUE(link.Connect(&error)) << error;
    const long long first = link.HelperPid();
    ASSERT_NE(first, 0);
    ASSERT_EQ(::kill(static_cast<pid_t>(first), SIGKILL), 0);
    ASSERT_TRUE(PumpUntil([&] { return link.HelperPid() != 0 && link.HelperPid() != first && link.Connected(); }))
        << (notices.empty() ? std::string("no notice") : notices.back());
    EXPECT_NE(notices.front().find("ended unexpectedly"), std::string::npos) << notices.front();
    EXPECT_TRUE(link.Redraw(&error)) << error;
    EXPECT_EQ(CountOf(Calls(), "link 2"), 1u) << ReadText(LogPath());
}

TEST_F(WineHelper, ConnectStartsTheMapProgramAgainAfterItWasKilled)
{
    StartStandIn();
    TOutcome attach = Helper({"connect"});
    ASSERT_EQ(attach.Code, 0) << attach.Err;
    StopStandIn(false);

    DeleteFile(LogPath());
    TOutcome again = Helper({"connect"});
    EXPECT_EQ(again.Code, 0) << again.Err;
    EXPECT_TRUE(WaitForCall("ready", 10000)) << ReadText(LogPath());
    CloseStandIn();
    ASSERT_TRUE(WaitForCall("closed", kProcessMs)) << ReadText(LogPath());

    // The resident link's first connect does the same.
    TServeLink link(HelperServeCommand(s_tools, s_prefix));
    int closings = 0;
    link.OnClosing = [&] { ++closings; };
    std::string error;
    DeleteFile(LogPath());
    ASSERT_TRUE(link.Connect(&error)) << error;
    EXPECT_TRUE(link.Redraw(&error)) << error;
    CloseStandIn();
    EXPECT_TRUE(PumpUntil([&] { return closings == 1; })) << ReadText(LogPath());
}

/// A whole number from the environment, else fallback.
int EnvInt(const char* name, int fallback)
{
    const char* text = getenv(name);
    return text && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

/// One instance of the map program, over its life: linked once, one sink, every redraw sent to it made.
void ExpectOneLink(const std::vector<std::string>& calls, size_t redraws, const std::string& log)
{
    EXPECT_EQ(CountOf(calls, "link 1"), 1u) << log;
    EXPECT_EQ(CountOf(calls, "link 2"), 0u) << log;
    EXPECT_EQ(CountOf(calls, "advise 1"), 1u) << log;
    EXPECT_EQ(CountOf(calls, "advise 2"), 0u) << log;
    EXPECT_GE(CountOf(calls, "method 30"), redraws) << log;
}

// The whole program over a long run: every redraw goes through one link per instance of
// the map program, and two kills of it, each followed by its user starting it again,
// need nothing of ours. STORMFETCH_LINK_RUN_SECONDS and STORMFETCH_LINK_RUN_REDRAWS
// stretch it (600 and 100 make the ten-minute run).
TEST_F(WineHelper, ALongRunKeepsOneLinkPerMapProgramThroughTwoKills)
{
    const int seconds = EnvInt("STORMFETCH_LINK_RUN_SECONDS", 20);
    const int redraws = std::max(3, EnvInt("STORMFETCH_LINK_RUN_REDRAWS", 12));
    TSystemClock clock;
    TDemoServer server(clock, DemoRadarSource());
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    const std::string home = s_dir->Path() + "longrun/";
    PrepareHome(home, "http://127.0.0.1:" + std::to_string(server.Port()) + "/", true);
    StartStandIn();
    QProcess program;
    StartProgram(program, home, {"--headless", "--run-for", QString::number(seconds + 600), "--wineprefix",
                                 QString::fromStdString(s_prefix)});
    // The first underlay is redrawn by the program itself.
    ASSERT_TRUE(PumpUntil([&] { return CountOf(Calls(), "method 30") > 0 || program.state() == QProcess::NotRunning; }));
    ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().toStdString();

    auto send = [&](const QString& verb) {
        QProcess client;
        StartProgram(client, home, {"--send", verb});
        const bool ended = FinishServing(client);
        return std::make_pair(ended ? client.exitCode() : -1, client.readAllStandardOutput().toStdString() +
                                                                  client.readAllStandardError().toStdString());
    };
    QElapsedTimer t;
    t.start();
    size_t sentHere = 1; // the program's own first redraw
    for (int i = 0; i < redraws; ++i) {
        const qint64 due = 1000LL * seconds * i / redraws;
        PumpUntil([&] { return t.elapsed() >= due; }, seconds * 1000 + 1000);
        if (i == redraws / 3 || i == 2 * redraws / 3) {
            ExpectOneLink(Calls(), sentHere, ReadText(LogPath()));
            StopStandIn(false); // killed; its user starts it again
            StartStandIn();
            sentHere = 0;
        }
        const auto [code, said] = send("redraw");
        EXPECT_EQ(code, 0) << "redraw " << i << ": " << said;
        ++sentHere;
    }
    ExpectOneLink(Calls(), sentHere, ReadText(LogPath()));
    const auto [code, said] = send("close");
    EXPECT_EQ(code, 0) << said;
    ASSERT_TRUE(FinishServing(program));
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    // The program's end takes the sink back.
    EXPECT_TRUE(WaitForCall("unadvise 0", 10000)) << ReadText(LogPath());
}

TEST_F(WineHelper, The32BitHelperRunsUnder32BitWine)
{
    const std::string helper32 = kBuild + "stormfetch-link32.exe";
    std::string loader32;
    for (const char* candidate : {"/usr/lib/wine/wine", "/usr/bin/wine"})
        if (FileExists(candidate))
            loader32 = candidate;
    if (!FileExists(helper32))
        GTEST_SKIP() << "the 32-bit helper is not built (no i686-w64-mingw32-g++)";
    if (loader32.empty())
        GTEST_SKIP() << "32-bit Wine is not installed (dpkg --add-architecture i386; apt install wine32:i386): "
                        "the 32-bit helper is built but not run";
    QProcess p;
    p.setProcessEnvironment(Environment());
    p.start(QString::fromStdString(loader32), {QString::fromStdString(helper32), "zoom", "1", "2", "x3", "4"});
    ASSERT_TRUE(p.waitForFinished(kProcessMs));
    EXPECT_EQ(p.exitCode(), 2) << p.readAllStandardError().toStdString();
    EXPECT_NE(p.readAllStandardError().toStdString().find("usage:"), std::string::npos);
}
