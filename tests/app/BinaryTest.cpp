// The program itself, started as a user or a service would start it, in a
// temporary home with its own runtime folder (so parallel runs never meet).
#include "app/Demo.h"
#include "core/Clock.h"
#include "core/Files.h"
#include "core/IniFile.h"
#include "core/ListFile.h"
#include "support/TempDir.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QProcessEnvironment>
#include <gtest/gtest.h>
#include <csignal>

#ifndef SF_STORMFETCH_BINARY
#error "the tests need the path of the program (SF_STORMFETCH_BINARY)"
#endif

using namespace sf;

namespace {

struct TRun {
    test::TTempDir Dir;
    std::string Home = Dir.Path() + "home/";
    std::string Runtime = Dir.Path() + "run/";

    TRun()
    {
        ForceDirectories(Home);
        ForceDirectories(Runtime);
        Dir.Write("home/stormfetch.ini", "[User]\r\nLogErrors=1\r\n");
        // A target list exists, so the first show does not need UI-View32 to seed one.
        Dir.Write("home/TargetDirList.txt", "/tmp/\r\n");
    }
    void Setup(QProcess& p, const QStringList& args) const
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(Runtime));
        env.insert("WINEPREFIX", QString::fromStdString(Dir.Path() + "nowine/"));
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        p.setProcessEnvironment(env);
        QStringList all = {"--home", QString::fromStdString(Home)};
        all += args;
        p.setProgram(SF_STORMFETCH_BINARY);
        p.setArguments(all);
    }
    std::string Log() const
    {
        auto logs = FindFiles(Home + "R*ErrorLog.txt");
        return logs.empty() ? std::string() : Dir.Read("home/" + logs[0].Name);
    }
};

/// A home whose settings point RIDGE at base, whose list holds LOT N0R, and a Wine
/// prefix holding UI-View32 and its map server.
void PrepareRealHome(TRun& run, const std::string& base, int webTimeOut)
{
    std::string error;
    ASSERT_TRUE(BuildDemoHost(run.Dir.Path() + "pfx/", "LOT_N0R_0.bmp", &error)) << error;
    run.Dir.Write("home/stormfetch.ini", "[URL]\r\nRIDGE=" + base + "ridge/RadarImg/\r\nRIDGENAT=" + base
                                             + "ridge/Conus/RadarImg/\r\nSelectRidge=0\r\n[User]\r\nLogErrors=1\r\nNativeFmt=0\r\nWebTimeOut="
                                             + std::to_string(webTimeOut) + "\r\n");
    run.Dir.Write("home/TargetDirList.txt", "");
    TSystemClock clock;
    DownloadList list;
    TRadarObj r = TRadarObj::Create(clock);
    r.SetNames("IL,Chicago,LOT", "Short Range Reflectivity, N0R", TNaming{base + "ridge/RadarImg/", base + "ridge/Conus/RadarImg/", false});
    list.Add("IL,Chicago,LOT\tShort Range Reflectivity, N0R", std::move(r));
    run.Dir.Write("home/" + std::string(kListFileWriteName), ListText(list));
}

bool WaitForOutput(QProcess& p, const std::string& text, std::string& seen, int ms)
{
    while (seen.find(text) == std::string::npos) {
        if (!p.waitForReadyRead(ms))
            return false;
        seen += p.readAllStandardOutput().toStdString();
    }
    return true;
}

} // namespace

TEST(Binary, VersionAndHelp)
{
    QProcess p;
    p.start(SF_STORMFETCH_BINARY, {"--version"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAllStandardOutput().toStdString(), "Stormfetch 2.9.1\n");
    QProcess bad;
    bad.start(SF_STORMFETCH_BINARY, {"--run-for", "soon"});
    ASSERT_TRUE(bad.waitForFinished(10000));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_NE(bad.readAllStandardError().toStdString().find("--run-for"), std::string::npos);
}

TEST(Binary, OnceWithoutMapServerExits3WithTheSuspensionTexts)
{
    TRun run;
    QProcess p;
    run.Setup(p, {"--once", "--headless"});
    p.start();
    ASSERT_TRUE(p.waitForFinished(60000));
    std::string out = p.readAllStandardOutput().toStdString();
    EXPECT_EQ(p.exitCode(), 3) << out;
    EXPECT_NE(out.find("Sbar: Cannot find QuorServer directory!"), std::string::npos) << out;
    EXPECT_NE(out.find("StateLbl: Processing suspended, cannot find local QuorServer directory!"), std::string::npos);
    // The normal close ran: settings saved, shutdown line logged.
    EXPECT_EQ(TIniFile(run.Home + "stormfetch.ini").Ini().ReadString("User", "Version", ""), "Stormfetch 2.9.1");
    EXPECT_NE(run.Log().find("Shut down while in server mode. "), std::string::npos);
}

TEST(Binary, OnceWithAListThatCannotBeReadExits2AndNamesIt)
{
    TRun run;
    ForceDirectories(run.Home + "DownLoadList.txt"); // not a file: it cannot be loaded
    QProcess p;
    run.Setup(p, {"--once", "--headless"});
    p.start();
    ASSERT_TRUE(p.waitForFinished(60000));
    const std::string err = p.readAllStandardError().toStdString();
    EXPECT_EQ(p.exitCode(), 2) << err;
    EXPECT_NE(err.find("Cannot read " + run.Home + "DownLoadList.txt: it is a folder, not a file"), std::string::npos)
        << err;
    EXPECT_TRUE(DirectoryExists(run.Home + "DownLoadList.txt"));
}

TEST(Binary, SecondInstanceExitsAtOnceWhileTheFirstRuns)
{
    TRun run;
    QProcess first;
    run.Setup(first, {"--headless", "--run-for", "60"});
    first.start();
    std::string seen;
    ASSERT_TRUE(WaitForOutput(first, "starting", seen, 20000)) << seen;

    QProcess second;
    run.Setup(second, {"--headless", "--run-for", "60"});
    second.start();
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardOutput().toStdString().find("starting"), std::string::npos);
    EXPECT_EQ(first.state(), QProcess::Running);

    kill((pid_t)first.processId(), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitCode(), 0);

    // The lock of a process that ended does not block the next start.
    QProcess third;
    run.Setup(third, {"--version"});
    third.start();
    ASSERT_TRUE(third.waitForFinished(10000));
    QProcess fourth;
    run.Setup(fourth, {"--headless", "--run-for", "1"});
    fourth.start();
    ASSERT_TRUE(fourth.waitForFinished(30000));
    EXPECT_EQ(fourth.exitCode(), 0);
    EXPECT_NE(fourth.readAllStandardOutput().toStdString().find("starting"), std::string::npos);
}

TEST(Binary, MissingUiViewClosesAtFirstShowWithStatus3)
{
    TRun run;
    run.Dir.Write("home/TargetDirList.txt", "");
    QProcess p;
    run.Setup(p, {"--headless", "--run-for", "60"});
    p.start();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 3);
    EXPECT_NE(p.readAllStandardError().toStdString().find("Cannot find UIView directory."), std::string::npos);
    EXPECT_NE(run.Log().find("Shut down while in server mode. "), std::string::npos);
}

TEST(Binary, SigtermClosesCleanlyWithSettingsSaved)
{
    TRun run;
    QProcess p;
    run.Setup(p, {"--headless"});
    p.start();
    std::string seen;
    ASSERT_TRUE(WaitForOutput(p, "starting", seen, 20000)) << seen;
    kill((pid_t)p.processId(), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    seen += p.readAllStandardOutput().toStdString();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << seen;
    EXPECT_EQ(TIniFile(run.Home + "stormfetch.ini").Ini().ReadString("User", "Version", ""), "Stormfetch 2.9.1");
    std::string log = run.Log();
    // A new day's file opens with the mode line, which stands for the start line.
    EXPECT_NE(log.find("Stormfetch 2.9.1 server mode.  QuorUnderlayPath = "), std::string::npos) << log;
    EXPECT_NE(log.find("Stormfetch 2.9.1 Shut down while in server mode. "), std::string::npos) << log;
}

TEST(Binary, DemoProducesAnUnderlayAndItsBoundsFile)
{
    TRun run;
    QProcess p;
    run.Setup(p, {"--demo", "--headless", "--run-for", "30"});
    p.start();
    ASSERT_TRUE(p.waitForFinished(90000));
    std::string out = p.readAllStandardOutput().toStdString();
    EXPECT_EQ(p.exitCode(), 0) << out;
    EXPECT_NE(out.find("Demo underlays are written to "), std::string::npos) << out;
    std::string underlays = run.Home + "demo/wine/drive_c/Peak Systems/QuorServer9/Quor Underlays/";
    EXPECT_TRUE(FileExists(underlays + "LOT_N0R_0.bmp")) << out;
    EXPECT_TRUE(FileExists(underlays + "LOT_N0R_0.Sat")) << out;
    // The real settings of the home are untouched by the demo.
    EXPECT_EQ(run.Dir.Read("home/stormfetch.ini"), "[User]\r\nLogErrors=1\r\n");
}

TEST(Binary, OnceAgainstTheTestServerWritesTheUnderlayAndExits0)
{
    TRun run;
    TSystemClock clock;
    TDemoServer server(clock, DemoRadarSource());
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    PrepareRealHome(run, "http://127.0.0.1:" + std::to_string(server.Port()) + "/", 7);
    QProcess p;
    run.Setup(p, {"--once", "--headless", "--wineprefix", QString::fromStdString(run.Dir.Path() + "pfx/")});
    p.start();
    // The server lives in this process: keep serving while the program runs.
    QElapsedTimer t;
    t.start();
    while (!p.waitForFinished(10) && t.elapsed() < 60000)
        QCoreApplication::processEvents();
    ASSERT_EQ(p.state(), QProcess::NotRunning);
    std::string out = p.readAllStandardOutput().toStdString();
    EXPECT_EQ(p.exitCode(), 0) << out;
    const std::string underlays = run.Dir.Path() + "pfx/drive_c/Peak Systems/QuorServer9/Quor Underlays/";
    EXPECT_TRUE(FileExists(underlays + "LOT_N0R_0.bmp")) << out;
    EXPECT_TRUE(FileExists(underlays + "LOT_N0R_0.Sat")) << out;
    EXPECT_GT(server.Requests(), 0);
    EXPECT_NE(run.Log().find("Stormfetch 2.9.1 Shut down while in server mode. "), std::string::npos);
}

TEST(Binary, SigtermDuringAStalledTransferClosesWithinTheWaits)
{
    // A server that takes connections and never answers: the fetch hangs until its
    // time-out (a minute here), so only the close path can end it.
    QTcpServer stalled;
    ASSERT_TRUE(stalled.listen(QHostAddress::LocalHost, 0));
    TRun run;
    PrepareRealHome(run, "http://127.0.0.1:" + std::to_string(stalled.serverPort()) + "/", 60);
    QProcess p;
    // The connection states are printed with --verbose only.
    run.Setup(p, {"--headless", "--verbose", "--wineprefix", QString::fromStdString(run.Dir.Path() + "pfx/")});
    p.start();
    std::string seen;
    ASSERT_TRUE(WaitForOutput(p, "StateLbl: Waiting for header", seen, 30000)) << seen;
    QElapsedTimer t;
    t.start();
    kill((pid_t)p.processId(), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    seen += p.readAllStandardOutput().toStdString();
    EXPECT_LT(t.elapsed(), 12000) << seen;
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << seen;
    EXPECT_EQ(TIniFile(run.Home + "stormfetch.ini").Ini().ReadString("User", "Version", ""), "Stormfetch 2.9.1");
    EXPECT_EQ(TIniFile(run.Home + "stormfetch.ini").Ini().ReadInteger("User", "WebTimeOut", 0), 60);
    EXPECT_NE(run.Log().find("Stormfetch 2.9.1 Shut down while in server mode. "), std::string::npos) << run.Log();
}
