// Measures the link to the map program through Wine against the stand-in server, in
// one run: redraw and zoom through the one-shot verbs (a Wine process each) beside the
// same calls through the resident helper after its connect; the time from the closing
// request to the link's closing notification; and the time to notice a killed server.
// Creates a throwaway prefix (wineboot takes seconds). Run by hand:
//   stormfetch_link_bench [calls]
#include "core/Files.h"
#include "host/ServeLink.h"
#include "host/WineLink.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace sf;

namespace {

const std::string kBuild = SF_BUILD_DIR;
const std::string kStandIn = SF_STANDIN_EXE;

struct TBench {
    TWineTools Tools;
    std::string Prefix;

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("WINEPREFIX", QString::fromStdString(Prefix));
        env.insert("WINEDEBUG", "-all");
        env.remove("DISPLAY");
        return env;
    }
    int Run(const QString& program, const QStringList& args, int ms = 300000) const
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.start(program, args);
        if (!p.waitForFinished(ms)) {
            p.kill();
            p.waitForFinished(5000);
            return -1;
        }
        return p.exitCode();
    }
    int Wine(const QStringList& args) const { return Run(QString::fromStdString(Tools.Loader), args); }
    std::string Log() const
    {
        std::string text;
        ReadFileBytes(Prefix + "drive_c/standin-calls.log", text);
        return text;
    }
    bool WaitLog(const std::string& what, int ms) const
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (Log().find(what) != std::string::npos)
                return true;
            QThread::msleep(20);
        }
        return false;
    }
    std::unique_ptr<QProcess> StartStandIn() const
    {
        DeleteFile(Prefix + "drive_c/standin-calls.log");
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(Environment());
        p->start(QString::fromStdString(Tools.Loader), {QString::fromStdString(kStandIn)});
        if (!WaitLog("ready", 120000))
            std::fprintf(stderr, "the stand-in did not register\n");
        return p;
    }
    void Close() const { SaveFileAtomic(Prefix + "drive_c/standin-close", ""); }
};

/// Median, 90th percentile and largest of the samples in ms.
void Print(const char* what, std::vector<double> ms)
{
    if (ms.empty())
        return;
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s n=%3zu  median %8.2f ms  p90 %8.2f ms  max %8.2f ms\n", what, ms.size(), ms[ms.size() / 2],
                ms[ms.size() * 9 / 10], ms.back());
}

template <typename F> bool PumpUntil(F done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    TBench b;
    const char* path = getenv("PATH");
    b.Tools = FindWineTools({kBuild}, path ? path : "");
    if (b.Tools.Loader.empty() || kStandIn.empty() || !FileExists(kStandIn)) {
        std::fprintf(stderr, "wine64, the helper or the stand-in is missing\n");
        return 1;
    }
    QTemporaryDir dir;
    b.Prefix = dir.path().toStdString() + "/pfx/";
    if (b.Wine({"wineboot", "-i"}) != 0)
        return 1;
    const std::string server = b.Tools.Loader.substr(0, b.Tools.Loader.rfind('/') + 1) + "wineserver";
    b.Run(QString::fromStdString(server), {"-k"}); // wineboot's wineserver cannot carry local servers
    if (b.Wine({QString::fromStdString(kStandIn), "/RegServer"}) != 0)
        return 1;
    std::unique_ptr<QProcess> standIn = b.StartStandIn();
    const QString helper = QString::fromStdString(b.Tools.Helper);

    std::vector<double> oneRedraw, oneZoom, redraw, zoom, closing, gone;
    QElapsedTimer t;
    const int oneShots = std::min(calls, 20);
    for (int i = 0; i < oneShots; ++i) {
        t.start();
        b.Wine({helper, "redraw"});
        oneRedraw.push_back(t.nsecsElapsed() / 1e6);
        t.start();
        b.Wine({helper, "zoom", "-97.5", "42.25", "-87.5", "36.75"});
        oneZoom.push_back(t.nsecsElapsed() / 1e6);
    }

    {
        TServeLink link(HelperServeCommand(b.Tools, b.Prefix));
        std::string error;
        t.start();
        if (!link.Connect(&error)) {
            std::fprintf(stderr, "connect: %s\n", error.c_str());
            return 1;
        }
        const double connectMs = t.nsecsElapsed() / 1e6;
        for (int i = 0; i < calls; ++i) {
            t.start();
            link.Redraw(&error);
            redraw.push_back(t.nsecsElapsed() / 1e6);
            t.start();
            link.ShowArea(-97.5, 42.25, -87.5, 36.75, &error);
            zoom.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf("%-44s %8.2f ms\n", "resident: connect (helper start, attach)", connectMs);

        // Closing: from the request (the stand-in polls for it every 100 ms) to the notification.
        bool closed = false;
        link.OnClosing = [&] { closed = true; };
        for (int i = 0; i < 3; ++i) {
            closed = false;
            t.start();
            b.Close();
            if (PumpUntil([&] { return closed; }, 60000))
                closing.push_back(t.nsecsElapsed() / 1e6);
            standIn->waitForFinished(60000);
            standIn = b.StartStandIn();
            link.Connect(&error);
        }

        // A killed server: from the kill to the notice.
        bool lost = false;
        link.OnNotice = [&](const std::string&) { lost = true; };
        for (int i = 0; i < 3; ++i) {
            lost = false;
            t.start();
            standIn->kill();
            if (PumpUntil([&] { return lost; }, 60000))
                gone.push_back(t.nsecsElapsed() / 1e6);
            standIn->waitForFinished(10000);
            standIn = b.StartStandIn();
            link.Connect(&error);
        }
    }
    Print("one-shot: redraw (one Wine process each)", oneRedraw);
    Print("one-shot: zoom (one Wine process each)", oneZoom);
    Print("resident: redraw", redraw);
    Print("resident: zoom (three calls)", zoom);
    Print("closing request -> OnClosing (incl. <=100 ms poll)", closing);
    Print("server killed -> noticed", gone);
    b.Close();
    standIn->waitForFinished(60000);
    b.Run(QString::fromStdString(server), {"-k"});
    return 0;
}
