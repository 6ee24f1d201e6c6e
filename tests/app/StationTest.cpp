// The station commands, started as a user at an SSH prompt would: on a program folder
// without a running copy, against a running copy, and the channel's bad input.
#include "StationRun.h"
#include <QLocalSocket>
#include <gtest/gtest.h>
#include <csignal>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#ifndef SF_STORMFETCH_BINARY
#error "the tests need the path of the program (SF_STORMFETCH_BINARY)"
#endif

using namespace sf;
using namespace sf::test;

namespace {

// A running copy in the home's own runtime folder; ended (killed if need be) with the test.
struct TRunningCopy {
    QProcess P;
    std::string Seen;
    TRunningCopy(const TStationHome& home, const QStringList& args)
    {
        home.Setup(P, QStringList{"--headless"} + args);
        P.start();
    }
    ~TRunningCopy()
    {
        if (P.state() != QProcess::NotRunning) {
            P.kill();
            P.waitForFinished(5000);
        }
    }
    bool WaitFor(const std::string& text, int ms) { return WaitForText(P, text, Seen, ms); }
    bool WaitForEnd(int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!P.waitForFinished(10) && t.elapsed() < ms)
            QCoreApplication::processEvents();
        Seen += P.readAllStandardOutput().toStdString();
        return P.state() == QProcess::NotRunning;
    }
};

// Sends raw bytes on the running copy's socket and returns what came back before it closed.
std::string RawExchange(const std::string& socketPath, const std::string& bytes, int ms, bool* closed)
{
    QLocalSocket s;
    s.connectToServer(QString::fromStdString(socketPath));
    if (!s.waitForConnected(2000))
        return "<no connection>";
    if (!bytes.empty()) {
        s.write(bytes.data(), (qint64)bytes.size());
        s.flush();
    }
    std::string got;
    QElapsedTimer t;
    t.start();
    while (s.state() == QLocalSocket::ConnectedState && t.elapsed() < ms) {
        s.waitForReadyRead(50);
        got += s.readAll().toStdString();
    }
    got += s.readAll().toStdString();
    *closed = s.state() != QLocalSocket::ConnectedState;
    return got;
}

} // namespace

TEST(Station, ListCommandsOnAProgramFolderWithoutARunningCopy)
{
    TStationHome home;
    TOutcome empty = home.Run({"--list"});
    ASSERT_TRUE(empty.Finished);
    EXPECT_EQ(empty.Status, 0) << empty.Err;
    EXPECT_TRUE(Has(empty.Out, "stormfetch --add LOT N0R")) << empty.Out;

    TOutcome add = home.Run({"--add", "lot"});
    EXPECT_EQ(add.Status, 0) << add.Err;
    EXPECT_TRUE(Has(add.Out, "Added LOT N0R")) << add.Out;
    EXPECT_TRUE(Has(home.ListFile(), "IL,Chicago,LOT\tShort Range Reflectivity, N0R\t")) << home.ListFile();
    TOutcome mosaic = home.Run({"--add", "ConUS"});
    EXPECT_EQ(mosaic.Status, 0) << mosaic.Err;
    const std::string before = home.ListFile();

    TOutcome dup = home.Run({"--add", "LOT", "n0r"});
    EXPECT_EQ(dup.Status, 1);
    EXPECT_TRUE(Has(dup.Err, "Record already in list, aborting....")) << dup.Err;
    TOutcome unknown = home.Run({"--add", "XQZ"});
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_TRUE(Has(unknown.Err, "unknown radar site \"XQZ\"")) << unknown.Err;
    TOutcome badProduct = home.Run({"--add", "LOT", "Q9Q"});
    EXPECT_EQ(badProduct.Status, 2);
    EXPECT_EQ(home.ListFile(), before);

    EXPECT_EQ(home.Run({"--disable", "lot n0r"}).Status, 0);
    EXPECT_EQ(home.Run({"--accumulate", "LOT N0R", "on"}).Status, 0);
    TOutcome list = home.Run({"--list"});
    EXPECT_EQ(list.Status, 0);
    ASSERT_TRUE(Has(list.Out, "Key")) << list.Out;
    const size_t row = list.Out.find("LOT N0R");
    ASSERT_NE(row, std::string::npos) << list.Out;
    const std::string line = list.Out.substr(row, list.Out.find('\n', row) - row);
    // The last two columns: accumulate on, download off.
    std::istringstream words(line);
    std::vector<std::string> cells{std::istream_iterator<std::string>(words), {}};
    ASSERT_GE(cells.size(), 2u) << line;
    EXPECT_EQ(cells[cells.size() - 2], "Yes") << line;
    EXPECT_EQ(cells.back(), "No") << line;
    EXPECT_TRUE(Has(list.Out, "ConUS")) << list.Out;
    EXPECT_TRUE(Has(home.ListFile(), "\tTRUE\tFALSE\t"));

    EXPECT_EQ(home.Run({"--remove", "LOT N0R"}).Status, 0);
    EXPECT_EQ(home.Run({"--remove", "LOT N0R"}).Status, 2);
    // The other record is untouched.
    EXPECT_FALSE(Has(home.ListFile(), "IL,Chicago,LOT"));
    EXPECT_TRUE(Has(home.ListFile(), "!!ConUS,Iowa State University")) << home.ListFile();

    TOutcome send = home.Run({"--send", "status"});
    EXPECT_EQ(send.Status, 1);
    EXPECT_TRUE(Has(send.Err, "no copy of Stormfetch is running")) << send.Err;
    TOutcome sources = home.Run({"--sources"});
    EXPECT_EQ(sources.Status, 0);
    EXPECT_TRUE(Has(sources.Out, "Radar sources (built-in):")) << sources.Out;
    EXPECT_TRUE(Has(sources.Out, "IL,Chicago,LOT"));
}

TEST(Station, CommandsReachTheRunningCopyAndItsHandlers)
{
    TStationHome home;
    TSystemClock clock;
    TDemoServer server(clock, DemoRadarSource());
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    home.MakeStation("http://127.0.0.1:" + std::to_string(server.Port()) + "/", 7);
    TRunningCopy copy(home, {"--wineprefix", QString::fromStdString(home.Prefix)});
    ASSERT_TRUE(copy.WaitFor("stormfetch --add LOT N0R", 30000)) << copy.Seen; // the empty-list hint

    TOutcome add = home.Run({"--add", "LOT"});
    EXPECT_EQ(add.Status, 0) << add.Err;
    EXPECT_TRUE(Has(add.Out, "Added LOT N0R"));
    TOutcome dup = home.Run({"--add", "LOT"});
    EXPECT_EQ(dup.Status, 1);
    EXPECT_TRUE(Has(dup.Err, "Record already in list, aborting....")) << dup.Err;
    EXPECT_EQ(home.Run({"--add", "XQZ"}).Status, 2);
    TOutcome list = home.Run({"--list"});
    EXPECT_TRUE(Has(list.Out, "LOT N0R")) << list.Out;

    TOutcome download = home.Run({"--send", "download", "lot n0r"}, 60000);
    EXPECT_EQ(download.Status, 0) << download.Out << download.Err;
    const std::string underlays = home.Prefix + "drive_c/Peak Systems/QuorServer9/Quor Underlays/";
    EXPECT_TRUE(FileExists(underlays + "LOT_N0R_0.bmp")) << download.Out << download.Err;

    TOutcome status = home.Run({"--send", "status"});
    EXPECT_EQ(status.Status, 0) << status.Err;
    EXPECT_TRUE(Has(status.Out, "Status bar: ")) << status.Out;
    EXPECT_TRUE(Has(status.Out, "LOT N0R")) << status.Out;
    EXPECT_EQ(home.Run({"--send", "bogus"}).Status, 2);

    // Another program folder may not drive this copy.
    const std::string other = home.Dir.Path() + "other/";
    ForceDirectories(other);
    TOutcome refused = home.Run({"--send", "status"}, 30000, other);
    EXPECT_EQ(refused.Status, 1);
    EXPECT_TRUE(Has(refused.Err, "refused: the running copy works in ")) << refused.Err;

    // A second start without a command still just tells the first and ends.
    TOutcome second = home.Run({"--headless"});
    EXPECT_EQ(second.Status, 0);

    TOutcome close = home.Run({"--send", "close"});
    EXPECT_EQ(close.Status, 0) << close.Err;
    ASSERT_TRUE(copy.WaitForEnd(30000));
    EXPECT_EQ(copy.P.exitCode(), 0);
    EXPECT_TRUE(Has(copy.Seen, "Closed"));
    EXPECT_TRUE(Has(copy.Seen, "Command from another start: add LOT")) << copy.Seen; // the journal names each command
    EXPECT_TRUE(Has(home.ListFile(), "IL,Chicago,LOT")); // the added record was saved by the running copy
}

TEST(Station, ChannelAnswersBadInputAndDropsSilentClients)
{
    TStationHome home;
    TRunningCopy copy(home, {});
    ASSERT_TRUE(copy.WaitFor("starting", 30000)) << copy.Seen;
    const std::string socket = home.Runtime + "Skyvane.socket";
    bool closed = false;
    // The first show may still be running; give the socket a moment to be served.
    std::string garbage = RawExchange(socket, "hello there\n", 10000, &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(garbage.rfind("= 2 malformed command", 0), 0u) << garbage;

    std::string endless = RawExchange(socket, std::string(20000, 'x'), 10000, &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(endless.rfind("= 2 command too long", 0), 0u) << endless;

    QElapsedTimer t;
    t.start();
    std::string silent = RawExchange(socket, "", 15000, &closed);
    EXPECT_TRUE(closed) << "a silent client is never dropped";
    EXPECT_LT(t.elapsed(), 12000);
    EXPECT_TRUE(silent.empty()) << silent;

    TOutcome status = home.Run({"--send", "status"});
    EXPECT_EQ(status.Status, 0) << status.Err;
    EXPECT_EQ(copy.P.state(), QProcess::Running);
    kill((pid_t)copy.P.processId(), SIGTERM);
    ASSERT_TRUE(copy.WaitForEnd(20000));
    EXPECT_EQ(copy.P.exitCode(), 0);
}

TEST(Station, CheckPassesAGoodSetupAndNamesEachBrokenOne)
{
    TSystemClock clock;
    TDemoServer server(clock, DemoRadarSource());
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    const std::string base = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";

    TStationHome good;
    good.MakeStation(base, 5);
    ASSERT_EQ(good.Run({"--add", "LOT"}).Status, 0);
    TOutcome ok = good.Run({"--check", "--wineprefix", QString::fromStdString(good.Prefix)});
    EXPECT_EQ(ok.Status, 0) << ok.Out << ok.Err;
    EXPECT_TRUE(Has(ok.Out, "ok    Wine prefix: " + good.Prefix + " (chosen by --wineprefix)")) << ok.Out;
    EXPECT_TRUE(Has(ok.Out, "ok    map-server folder: ")) << ok.Out;
    EXPECT_TRUE(Has(ok.Out, "ok    radar base URL: GET ")) << ok.Out;
    EXPECT_TRUE(Has(ok.Out, "note  link: no [Link] commands")) << ok.Out; // a prefix Wine never set up
    EXPECT_TRUE(Has(ok.Out, "ok    source layout: ridge at ")) << ok.Out;

    // No Wine prefix at all.
    TOutcome noWine = good.Run({"--check", "--wineprefix", QString::fromStdString(good.Dir.Path() + "none/")});
    EXPECT_EQ(noWine.Status, 1);
    EXPECT_TRUE(Has(noWine.Err, "the set-up check failed: Wine prefix: ")) << noWine.Err;

    // An empty download list.
    TStationHome empty;
    empty.MakeStation(base, 5);
    TOutcome noList = empty.Run({"--check"});
    EXPECT_EQ(noList.Status, 1);
    EXPECT_TRUE(Has(noList.Err, "download list: The download list is empty")) << noList.Out << noList.Err;

    // A radar server that does not answer.
    TStationHome offline;
    offline.MakeStation("http://127.0.0.1:1/", 2);
    ASSERT_EQ(offline.Run({"--add", "LOT"}).Status, 0);
    TOutcome noWeb = offline.Run({"--check"});
    EXPECT_EQ(noWeb.Status, 1);
    EXPECT_TRUE(Has(noWeb.Out, "FAIL  radar base URL: GET http://127.0.0.1:1/")) << noWeb.Out;

    // A [Link] Connect command that fails while the map program runs.
    TStationHome link;
    link.MakeStation(base, 5, "[Link]\r\nConnect=false\r\n");
    ASSERT_EQ(link.Run({"--add", "LOT"}).Status, 0);
    QProcess map;
    map.start("bash", {"-c", "exec -a UiView32.exe sleep 60"});
    ASSERT_TRUE(map.waitForStarted(5000));
    TOutcome badLink = link.Run({"--check"});
    map.kill();
    map.waitForFinished(5000);
    EXPECT_EQ(badLink.Status, 1);
    EXPECT_TRUE(Has(badLink.Out, "FAIL  link: the [Link] commands of ")) << badLink.Out;
    EXPECT_TRUE(Has(badLink.Out, ": Connect failed: ")) << badLink.Out;
}

TEST(Station, OutputLevelsAndTheOnceStatusOfFailedFetches)
{
    TSystemClock clock;
    TDemoServer server(clock, DemoRadarSource());
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    // Each level on its own fresh station, so each run finds a new image to fetch.
    auto once = [&](const QStringList& level) {
        TStationHome home;
        home.MakeStation("http://127.0.0.1:" + std::to_string(server.Port()) + "/", 7);
        EXPECT_EQ(home.Run({"--add", "LOT"}).Status, 0);
        return home.Run(QStringList{"--once", "--headless"} + level, 60000);
    };
    TOutcome normal = once({});
    EXPECT_EQ(normal.Status, 0) << normal.Out << normal.Err;
    EXPECT_TRUE(Has(normal.Out, "Sbar: ")) << normal.Out;
    EXPECT_FALSE(Has(normal.Out, "StateLbl: Connected")) << normal.Out;
    // The start and shutdown lines of the log are no errors: standard output.
    EXPECT_TRUE(Has(normal.Out, "initialized in server mode.")) << normal.Out;
    EXPECT_TRUE(Has(normal.Out, "Shut down while in server mode.")) << normal.Out;
    EXPECT_FALSE(Has(normal.Err, "initialized in server mode.")) << normal.Err;

    TOutcome verbose = once({"--verbose"});
    EXPECT_TRUE(Has(verbose.Out, "StateLbl: Connected")) << verbose.Out;

    TOutcome quiet = once({"--quiet"});
    EXPECT_EQ(quiet.Status, 0);
    EXPECT_FALSE(Has(quiet.Out, "Sbar: ")) << quiet.Out;
    EXPECT_FALSE(Has(quiet.Out, "starting")) << quiet.Out;
    EXPECT_TRUE(Has(quiet.Out, "RidgeLbl: Finished processing")) << quiet.Out; // the cycle's summary

    // Every fetch fails: status 4, so a monitor can alert.
    TStationHome down;
    down.MakeStation("http://127.0.0.1:1/", 2);
    ASSERT_EQ(down.Run({"--add", "LOT"}).Status, 0);
    TOutcome failed = down.Run({"--once", "--headless"}, 60000);
    EXPECT_EQ(failed.Status, 4) << failed.Out << failed.Err;
    EXPECT_TRUE(Has(failed.Err, "Log: ")) << failed.Err; // the log's error lines go to the error stream
}

TEST(Station, UnwritableHomeIsRefusedAndMissingHostNamesThePrefix)
{
    TStationHome home;
    // A folder this user cannot write: a read-only home, or for root (who writes anywhere
    // the mode allows) a folder of the process file system.
    std::string unwritable = "/proc/self/";
    if (geteuid() != 0) {
        unwritable = home.Dir.Path() + "readonly/";
        ForceDirectories(unwritable);
        chmod(unwritable.c_str(), 0500);
    }
    TOutcome o = home.Run({"--headless", "--once"}, 30000, unwritable);
    EXPECT_EQ(o.Status, 2);
    EXPECT_TRUE(Has(o.Err, "the program folder " + unwritable + " is not writable: ")) << o.Err;
    TOutcome add = home.Run({"--add", "LOT"}, 30000, unwritable);
    EXPECT_EQ(add.Status, 2);
    EXPECT_TRUE(Has(add.Err, "is not writable: ")) << add.Err;
    EXPECT_FALSE(Has(add.Out, "Added")) << add.Out;
    if (geteuid() != 0)
        chmod(unwritable.c_str(), 0700); // so the temporary folder can be removed

    home.Dir.Write("home/TargetDirList.txt", "");
    TOutcome missing = home.Run({"--headless", "--run-for", "60"});
    EXPECT_EQ(missing.Status, 3);
    EXPECT_TRUE(Has(missing.Err, "Cannot find UIView directory.")) << missing.Err;
    EXPECT_TRUE(Has(missing.Err, "UI-View32 was looked for in the Wine prefix " + home.Prefix + " (chosen by $WINEPREFIX)"))
        << missing.Err;
}
