// A program folder and a private runtime folder for starting the built program, and
// starts that wait for their end with a deadline while this process keeps serving.
#pragma once
#include "app/Demo.h"
#include "app/DemoServer.h"
#include "core/Clock.h"
#include "core/Files.h"
#include "core/ListFile.h"
#include "support/TempDir.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <string>

namespace sf::test {

struct TOutcome {
    bool Finished = false;
    int Status = -1;
    std::string Out, Err;
};

struct TStationHome {
    TTempDir Dir;
    std::string Home = Dir.Path() + "home/";
    std::string Runtime = Dir.Path() + "run/";
    std::string Prefix = Dir.Path() + "nowine/";

    TStationHome()
    {
        ForceDirectories(Home);
        ForceDirectories(Runtime);
        Dir.Write("home/stormfetch.ini", "[User]\r\nLogErrors=1\r\n");
        Dir.Write("home/TargetDirList.txt", "/tmp/\r\n");
    }
    /// A Wine prefix with UI-View32 and its map server, and settings pointing RIDGE at base.
    void MakeStation(const std::string& base, int webTimeOut, const std::string& extraIni = "")
    {
        std::string error;
        Prefix = Dir.Path() + "pfx/";
        if (!BuildDemoHost(Prefix, "LOT_N0R_0.bmp", &error))
            throw std::runtime_error(error);
        Dir.Write("home/stormfetch.ini", "[URL]\r\nRIDGE=" + base + "ridge/RadarImg/\r\nRIDGENAT=" + base
                                             + "ridge/Conus/RadarImg/\r\nSelectRidge=0\r\n[User]\r\nLogErrors=1\r\n"
                                               "NativeFmt=0\r\nWebTimeOut="
                                             + std::to_string(webTimeOut) + "\r\n" + extraIni);
        Dir.Write("home/TargetDirList.txt", "");
    }
    void Setup(QProcess& p, const QStringList& args, const std::string& home = {}) const
    {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(Runtime));
        env.insert("WINEPREFIX", QString::fromStdString(Prefix));
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        p.setProcessEnvironment(env);
        QStringList all = {"--home", QString::fromStdString(home.empty() ? Home : home)};
        all += args;
        p.setProgram(SF_STORMFETCH_BINARY);
        p.setArguments(all);
    }
    /// Starts the program and waits up to ms for its end, serving this process's events meanwhile.
    TOutcome Run(const QStringList& args, int ms = 30000, const std::string& home = {}) const
    {
        QProcess p;
        Setup(p, args, home);
        p.start();
        QElapsedTimer t;
        t.start();
        while (!p.waitForFinished(10) && t.elapsed() < ms)
            QCoreApplication::processEvents();
        TOutcome o;
        o.Finished = p.state() == QProcess::NotRunning;
        if (!o.Finished) {
            p.kill();
            p.waitForFinished(5000);
        }
        o.Status = p.exitCode();
        o.Out = p.readAllStandardOutput().toStdString();
        o.Err = p.readAllStandardError().toStdString();
        return o;
    }
    std::string ListFile() const
    {
        return FileExists(Home + kListFileReadName) ? Dir.Read("home/" + std::string(kListFileWriteName)) : "";
    }
};

/// Reads p's standard output into seen until text appears; false after ms without it.
inline bool WaitForText(QProcess& p, const std::string& text, std::string& seen, int ms)
{
    QElapsedTimer t;
    t.start();
    while (seen.find(text) == std::string::npos) {
        if (t.elapsed() > ms || p.state() == QProcess::NotRunning)
            return false;
        p.waitForReadyRead(10);
        QCoreApplication::processEvents();
        seen += p.readAllStandardOutput().toStdString();
    }
    return true;
}

inline bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace sf::test
