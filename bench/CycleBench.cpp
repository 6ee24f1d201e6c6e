// Measures the not-new cycle: the program started with --once on a download list of 150
// site records whose newest listed image it already has, against the demo radar server
// on 127.0.0.1 (in this process, so its work is not the program's). Each record costs
// one listing fetch and nothing else. Prints, per run, the cycle's own elapsed time (its
// "Downloaded 0 and processed 0 files in s.mmm sec" line) and the whole --once, and
// their medians beside the target.
// Usage: stormfetch_cycle_bench [runs [reference-binary]]
//        (with a reference binary, an earlier build, the two run in turn and both medians
//        are printed: on a shared machine only an interleaved comparison means much)
//        stormfetch_cycle_bench --serve SECONDS   (prepares a home, prints the command
//        line to profile, and serves for at most SECONDS)
#include "app/Demo.h"
#include "core/Clock.h"
#include "core/DateTime.h"
#include "core/ListFile.h"
#include "core/SourceLists.h"
#include "core/Text.h"
#include "imaging/Synthetic.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace sf;

namespace {

constexpr int kRecords = 150;
constexpr double kTargetMs = 60;

/// 150 site records, each already holding the newest image the server lists and due now.
std::string NotNewList(const TDemoServer& server, const IClock& serverClock, const IClock& clock)
{
    DownloadList list;
    const TNaming naming{server.RidgeBase(), server.RidgeNatBase(), false};
    const TDateTime newest = DemoImageTime(serverClock.UTCNow());
    for (const std::string& radar : BuiltInRadars()) {
        if (StartsWith(radar, "!!"))
            continue;
        TRadarObj r = TRadarObj::Create(clock);
        r.SetNames(radar, "Short Range Reflectivity, N0R", naming);
        r.LastImage = newest;
        r.PrevImage = newest - 5 * kOneMinute;
        r.NextAttempt = clock.UTCNow() - kOneMinute;
        list.Add(radar + "\tShort Range Reflectivity, N0R", std::move(r));
        if (list.Count() == kRecords)
            break;
    }
    return ListText(list);
}

struct TRun {
    double CycleMs = -1, OnceMs = 0;
    int Downloaded = -1;
};

/// Runs the program once and reads the cycle's summary line from its console.
TRun RunOnce(const std::string& binary, const std::string& home, const std::string& prefix)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    // A lock folder of its own: a copy of the program already running for this user
    // (a station, another bench) would otherwise turn every run away.
    const std::string lockDir = home + "run";
    std::filesystem::create_directories(lockDir);
    std::filesystem::permissions(lockDir, std::filesystem::perms::owner_all);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(lockDir));
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(QString::fromStdString(binary), {"--headless", "--once", "--home", QString::fromStdString(home),
                                             "--wineprefix", QString::fromStdString(prefix)});
    // The server lives in this process: serve while the program runs (bounded).
    QTimer wake;
    wake.start(50);
    while (p.state() != QProcess::NotRunning && t.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    if (p.state() != QProcess::NotRunning)
        p.kill();
    p.waitForFinished(5000);
    TRun run;
    run.OnceMs = double(t.nsecsElapsed()) / 1e6;
    const std::string out = p.readAllStandardOutput().toStdString();
    const std::string marker = "FileLbl: Downloaded ";
    const size_t at = out.rfind(marker);
    if (at != std::string::npos) {
        run.Downloaded = std::atoi(out.c_str() + at + marker.size());
        const size_t in = out.find(" files in ", at);
        if (in != std::string::npos)
            run.CycleMs = std::atof(out.c_str() + in + 10) * 1000.0;
    }
    return run;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool serve = argc > 2 && std::string(argv[1]) == "--serve";
    const int runs = serve ? 0 : (argc > 1 ? std::max(1, std::atoi(argv[1])) : 9);
    const int serveSeconds = serve ? std::clamp(std::atoi(argv[2]), 1, 3600) : 0;

    char templ[] = "/tmp/sfcyclebenchXXXXXX";
    if (!mkdtemp(templ))
        return 1;
    const std::string home = std::string(templ) + "/";
    TSystemClock clock;
    // The server's clock stands an hour back and still: its newest image never changes
    // while the runs go on, so no run ever finds a new one.
    TFakeClock serverClock(clock.UTCNow() - 1.0 / 24, clock.LocalOffset());
    // Every site has an archive listing, not only those the generator places on the map.
    TDemoRadarSource source = DemoRadarSource();
    source.SiteWorld = [](const std::string& site, const std::string&) { return SyntheticSiteWorldFile(site); };
    TDemoFeed feed(home, serverClock, source);
    std::string error;
    if (!feed.Prepare(&error)) {
        std::fprintf(stderr, "cannot start the demo feed: %s\n", error.c_str());
        return 1;
    }
    const auto writeList = [&] {
        std::ofstream(home + kListFileWriteName, std::ios::binary) << NotNewList(feed.Server(), serverClock, clock);
    };
    writeList();
    const std::string binary = SF_STORMFETCH_BINARY;

    if (serve) {
        std::printf("%s --headless --once --home %s --wineprefix %s\n", binary.c_str(), home.c_str(),
                    feed.WinePrefix().c_str());
        std::printf("(the list is written again every 2 s; serving for %d s)\n", serveSeconds);
        std::fflush(stdout);
        QTimer rewrite;
        QObject::connect(&rewrite, &QTimer::timeout, writeList);
        rewrite.start(2000);
        QTimer::singleShot(serveSeconds * 1000, &app, &QCoreApplication::quit);
        app.exec();
        std::filesystem::remove_all(home);
        return 0;
    }

    const std::string reference = argc > 2 ? argv[2] : "";
    std::vector<double> cycles, onces, refCycles;
    bool allNotNew = true;
    RunOnce(binary, home, feed.WinePrefix()); // warms the file cache; not counted
    for (int i = 0; i < runs; ++i) {
        writeList();
        const TRun r = RunOnce(binary, home, feed.WinePrefix());
        std::printf("run %d: cycle %.0f ms, whole --once %.0f ms%s", i + 1, r.CycleMs, r.OnceMs,
                    r.Downloaded == 0 ? "" : "  (NOT A NOT-NEW CYCLE)");
        allNotNew = allNotNew && r.Downloaded == 0;
        if (r.CycleMs >= 0)
            cycles.push_back(r.CycleMs);
        onces.push_back(r.OnceMs);
        if (!reference.empty()) {
            writeList();
            const TRun ref = RunOnce(reference, home, feed.WinePrefix());
            std::printf("; reference cycle %.0f ms%s", ref.CycleMs, ref.Downloaded == 0 ? "" : "  (NOT A NOT-NEW CYCLE)");
            if (ref.CycleMs >= 0)
                refCycles.push_back(ref.CycleMs);
        }
        std::printf("\n");
    }
    const double cycle = Median(cycles);
    std::printf("not-new cycle, %d listing fetches: median %.0f ms over %zu runs (min %.0f, max %.0f), target <= %.0f ms%s\n",
                kRecords, cycle, cycles.size(), cycles.empty() ? 0 : *std::min_element(cycles.begin(), cycles.end()),
                cycles.empty() ? 0 : *std::max_element(cycles.begin(), cycles.end()), kTargetMs,
                cycle <= kTargetMs && allNotNew ? "" : "  OVER THE TARGET");
    if (!refCycles.empty())
        std::printf("reference build, interleaved: median %.0f ms (this build / reference: %.2f)\n", Median(refCycles),
                    Median(refCycles) > 0 ? cycle / Median(refCycles) : 0.0);
    std::printf("whole --once: median %.0f ms\n", Median(onces));
    std::filesystem::remove_all(home);
    return cycle <= kTargetMs && allNotNew ? 0 : 1;
}
