#include "app/App.h"
#include "app/Channel.h"
#include "app/Check.h"
#include "app/CommandDialogs.h"
#include "app/CommandLine.h"
#include "app/CommandRun.h"
#include "app/Commands.h"
#include "app/ConsoleView.h"
#include "app/Demo.h"
#include "app/DisplayProbe.h"
#include "app/ExitStatus.h"
#include "app/FrontEnd.h"
#include "app/Main.h"
#include "app/SignalWatch.h"
#include "app/SingleInstance.h"
#include "app/Station.h"
#include "core/Files.h"
#include "core/ProgramDir.h"
#include "core/layouts/LayoutChain.h"
#include <QCoreApplication>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace sf {

namespace {

// This executable, as the system names it (no application object exists yet).
std::string SelfPath()
{
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, (size_t)n) : std::string();
}

} // namespace

bool WindowPossible()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* v = std::getenv(name);
        if (v && *v)
            return true;
    }
    return false;
}

int RunStormfetch(int argc, char** argv, const TFrontEnd* frontEnd)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    TParseResult parsed = ParseCommandLine(args);
    if (!parsed.Error.empty()) {
        std::cerr << "stormfetch: " << parsed.Error << "\nTry 'stormfetch --help'" << std::endl;
        return kExitUsage;
    }
    const TCommandLine& opt = parsed.Options;
    if (opt.Help) {
        // The folder this very program uses without --home, not a rule to work out.
        std::cout << UsageText(DefaultProgramDir(SelfPath()));
        return kExitOk;
    }
    if (opt.Version) {
        std::cout << kVersionText << std::endl;
        return kExitOk;
    }

    // Commands never show a window, so they never touch the window system.
    if (!opt.Command.Verb.empty()) {
        QCoreApplication commandApp(argc, argv);
        QCoreApplication::setApplicationName("Stormfetch");
        return RunCommandStart(opt, QCoreApplication::applicationFilePath().toStdString(), std::cout, std::cerr);
    }

    // Qt ends the process when the display named by the environment refuses it (a stale
    // DISPLAY over SSH): try it in a child first, and run the console view when it fails.
    bool withWindow = frontEnd && !opt.Headless && WindowPossible();
    std::string noDisplay;
    if (withWindow) {
        const TDisplayProbe probe = ProbeDisplay([&] {
            int probeArgc = argc;
            auto probeApp = frontEnd->MakeApplication(probeArgc, argv);
            (void)probeApp.release(); // the child ends without tearing the connection down
        });
        withWindow = probe.Usable;
        noDisplay = probe.Reason;
    }
    std::unique_ptr<QCoreApplication> app =
        withWindow ? frontEnd->MakeApplication(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName("Stormfetch");

    // One running copy per user; a second one hands its notice to the first and ends.
    std::string lockFolder = InstanceLockFolder();
    std::unique_ptr<TSingleInstance> instance;
    if (lockFolder.empty()) {
        std::cerr << "stormfetch: no private folder for the instance lock; running without it" << std::endl;
    } else {
        instance = std::make_unique<TSingleInstance>(lockFolder);
        std::string lockError;
        if (!instance->Acquire(&lockError)) {
            instance->SendNotice();
            const std::string theirs = instance->HolderFolder();
            std::cerr << "stormfetch: another copy is already running for this user"
                      << (theirs.empty() ? std::string() : " in " + theirs) << " (lock " << instance->LockPath()
                      << "); this one ends";
            // One copy per user whatever its folder: a start for another folder learns which one runs.
            if (!theirs.empty() && !opt.Home.empty() && RealFolder(opt.Home) != RealFolder(theirs))
                std::cerr << "; stop it first with: stormfetch --home " << theirs << " --send close";
            std::cerr << std::endl;
            return kExitOk;
        }
        if (!lockError.empty())
            std::cerr << "stormfetch: " << lockError << "; running without the instance lock" << std::endl;
        else if (!instance->Listen())
            std::cerr << "stormfetch: cannot listen on " << instance->SocketPath()
                      << "; commands cannot reach this copy" << std::endl;
    }

    if (!opt.Headless && !withWindow)
        std::cerr << "stormfetch: "
                  << (!noDisplay.empty() ? "the display cannot be used (" + noDisplay + ")"
                                         : WindowPossible() ? "no window in this build" : "no display")
                  << ", running headless" << std::endl;

    // --home, else the executable's folder when writable, else $XDG_DATA_HOME/stormfetch/.
    std::string programDir = ResolveProgramDir(opt.Home, QCoreApplication::applicationFilePath().toStdString());
    if (opt.Demo)
        programDir += "demo/";
    if (!ForceDirectories(programDir) || !DirectoryExists(programDir)) {
        const std::string why = FolderProblem(programDir);
        std::cerr << "stormfetch: cannot create the program folder " << programDir
                  << (why.empty() ? std::string() : ": " + why) << std::endl;
        return kExitUsage;
    }
    if (instance)
        instance->RecordFolder(programDir);
    // Settings, lists and the log are written here; a folder that refuses them is found now.
    if (access(programDir.c_str(), W_OK | X_OK) != 0) {
        std::cerr << "stormfetch: the program folder " << programDir << " is not writable: " << std::strerror(errno)
                  << std::endl;
        return kExitUsage;
    }

    TSystemClock clock;
    THeadlessDialogs headless(std::cout, std::cerr, isatty(STDOUT_FILENO) == 1);
    std::unique_ptr<IDialogs> windowDialogs = withWindow ? frontEnd->MakeDialogs() : nullptr;
    // Commands from the channel must never wait on a question box, in a window or not.
    TCommandDialogs dialogs(windowDialogs ? *windowDialogs : static_cast<IDialogs&>(headless));

    std::unique_ptr<TDemoFeed> demo;
    std::string winePrefix = opt.WinePrefix;
    if (opt.Demo) {
        TDemoRadarSource source = DemoRadarSource();
        TLayout stalled = TLayout::Ridge;
        if (ParseLayout(opt.DemoStall, stalled))
            source.Stalled = [stalled](TLayout layout, TDateTime) { return layout == stalled; };
        demo = std::make_unique<TDemoFeed>(programDir, clock, std::move(source));
        demo->SettingsName = SettingsFileName(QCoreApplication::applicationFilePath().toStdString());
        std::vector<TLayout> chain;
        std::string why;
        if (ParseLayoutList(opt.Layout, chain, why)) {
            demo->Layout = chain.front();
            demo->Fallbacks.assign(chain.begin() + 1, chain.end());
        }
        std::string error;
        if (!demo->Prepare(&error)) {
            std::cerr << "stormfetch: the demo feed cannot start: " << error << std::endl;
            return kExitFailure;
        }
        winePrefix = demo->WinePrefix();
    }

    TMain main(clock, dialogs, TMainOptions{programDir, winePrefix, true});
    // The settings file is named after the executable (up to its first ".").
    main.Shared().ExeName = ExtractFileName(QCoreApplication::applicationFilePath().toStdString());
    TConsoleView view(main.Shared().Hub, clock, std::cout);
    view.SetLevel(opt.Level, &std::cerr);
    // Commands from other starts; they wait until the first show is done.
    TStation station(main, dialogs, programDir);
    std::unique_ptr<TChannelServer> channel;
    if (instance && instance->Server())
        channel = std::make_unique<TChannelServer>(
            *instance->Server(), [&](const TChannelRequest& r, const std::shared_ptr<TChannelReply>& reply) {
                std::string said = r.Verb;
                for (const std::string& a : r.Args)
                    said += " " + a;
                view.Note("Command from another start: " + said);
                station.Handle(r, reply);
            });
    if (demo)
        demo->Attach(main);
    main.Wire();
    std::unique_ptr<IWindowView> window = withWindow ? frontEnd->MakeWindow(main) : nullptr;

    bool created = true;
    bool inLoop = false;
    std::unique_ptr<QTimer> watchdog;
    main.OnCloseRequested = [&] {
        if (!inLoop)
            return;
        QCoreApplication::exit(0);
        // A cycle that does not come back to the event loop within the close request's
        // waits is left behind: the closing steps run where we are and the process ends.
        watchdog = std::make_unique<QTimer>();
        watchdog->setSingleShot(true);
        QObject::connect(watchdog.get(), &QTimer::timeout, [&] {
            main.Closing();
            std::cout.flush();
            std::fflush(nullptr);
            _exit(RunExitStatus({opt.Once, !created, main.HostMissing(), !main.Shared().QuorServerPath.empty()}));
        });
        watchdog->start(9000);
    };
    TSignalWatch signals([&](int) {
        view.Note("Stop requested, closing");
        main.RequestClose();
    });

    view.Note(std::string(kVersionText) + " starting in " + programDir);
    created = main.Create();
    if (demo)
        demo->Started(view);
    main.FirstShow();
    if (main.HostMissing())
        view.Error("UI-View32 was looked for in the Wine prefix " + main.Shared().WinePrefix + " (chosen by "
                   + PrefixOrigin(opt.WinePrefix) + "); name another with --wineprefix DIR");
    else if (main.Shared().List.Empty())
        view.Summary(EmptyListHint());
    station.SetReady();
    if (window)
        window->FirstShown();

    if (!main.CloseRequested()) {
        if (opt.Once) {
            main.TickOnce();
        } else {
            if (opt.RunForSeconds > 0)
                QTimer::singleShot(opt.RunForSeconds * 1000, [&] {
                    view.Note("Run time of " + std::to_string(opt.RunForSeconds) + " s is over, closing");
                    main.RequestClose();
                });
            inLoop = true;
            if (!main.CloseRequested())
                app->exec();
            inLoop = false;
        }
    }
    if (watchdog)
        watchdog->stop();
    main.CloseQuery();
    main.Closing();
    view.Note("Closed");

    return RunExitStatus({opt.Once, !created, main.HostMissing(), !main.Shared().QuorServerPath.empty(),
                          main.FetchAttempts(), main.FetchFailures()});
}

} // namespace sf
