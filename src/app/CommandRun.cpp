#include "app/CommandRun.h"
#include "app/Channel.h"
#include "app/Check.h"
#include "app/CommandDialogs.h"
#include "app/Commands.h"
#include "app/ConsoleView.h"
#include "app/SingleInstance.h"
#include "core/Files.h"
#include "core/Grid.h"
#include "core/ListFile.h"
#include "core/ProgramDir.h"
#include "core/Settings.h"
#include "core/SourceLists.h"
#include "host/HostDiscovery.h"
#include <cerrno>
#include <cstring>
#include <memory>
#include <ostream>
#include <sstream>
#include <unistd.h>

namespace sf {

namespace {

void Print(const TCommandResult& r, std::ostream& out, std::ostream& err)
{
    for (const std::string& line : r.Out)
        out << line << "\n";
    if (r.Message.empty())
        out.flush();
    else if (r.Status == 0)
        out << r.Message << std::endl;
    else
        err << "stormfetch: " << r.Message << std::endl;
}

// No copy runs: the command works on the program folder's files, loaded as a start loads them
// (discovery reads only; the map program is never started).
int RunOnFiles(const TCommandLine& opt, const std::string& programDir, const std::string& exePath, std::ostream& out,
               std::ostream& err)
{
    TSystemClock clock;
    // A refusal is the command's answer, printed once by Print; its box is not shown as well.
    std::ostringstream shown;
    THeadlessDialogs headless(out, shown, false);
    TCommandDialogs dialogs(headless);
    TShared s(clock, dialogs);
    s.ProgramDir = programDir;
    s.ExeName = ExtractFileName(exePath);
    s.WinePrefix = ChooseWinePrefix(opt.WinePrefix);
    HostDiscovery(s);
    LoadSettings(s);
    std::string error;
    if (!LoadSourceLists(s, &error))
        err << "stormfetch: " << error << std::endl;
    if (!LoadList(s)) {
        err << "stormfetch: cannot read " << programDir << kListFileReadName << "; nothing was changed" << std::endl;
        return kExitRefused;
    }
    RebuildGrid(s);
    WireListClicks(s);
    const TCommandResult r = RunListCommand(s, dialogs, opt.Command.Verb, opt.Command.Args);
    Print(r, out, err);
    return r.Status;
}

} // namespace

int ReplyWaitMs(const TStationCommand& command)
{
    const bool longRun = command.Verb == "send" && !command.Args.empty()
                         && (command.Args[0] == "download" || command.Args[0] == "shapefiles"
                             || command.Args[0] == "loop");
    return longRun ? 600000 : 60000;
}

int RunCommandStart(const TCommandLine& opt, const std::string& exePath, std::ostream& out, std::ostream& err)
{
    std::string programDir = ResolveProgramDir(opt.Home, exePath);
    if (opt.Demo)
        programDir += "demo/";
    if (!DirectoryExists(programDir)) {
        const std::string why = FolderProblem(programDir);
        err << "stormfetch: the program folder " << programDir << " cannot be used: "
            << (why.empty() ? std::string("it does not exist") : why) << std::endl;
        return kExitUsage;
    }
    const TStationCommand& command = opt.Command;
    if (command.Verb == "check")
        return RunSetupCheck({programDir, ExtractFileName(exePath), opt.WinePrefix}, out, err);

    const std::string lockFolder = InstanceLockFolder();
    if (lockFolder.empty()) {
        err << "stormfetch: no private runtime folder, so no running copy can be reached" << std::endl;
        return kExitRefused;
    }
    TSingleInstance instance(lockFolder);
    std::string lockError;
    if (!instance.Acquire(&lockError)) {
        // A copy runs: it alone writes the list, so the command goes to it.
        TChannelRequest request{programDir, command.Verb, command.Args};
        const TSendResult sent = SendChannelRequest(instance.SocketPath(), request, out, err, ReplyWaitMs(command));
        if (!sent.Connected) {
            err << "stormfetch: a copy is running (lock " << instance.LockPath() << ") but does not answer on "
                << instance.SocketPath() << std::endl;
            return kExitRefused;
        }
        return sent.Status;
    }
    if (command.Verb == "send") {
        err << "stormfetch: no copy of Stormfetch is running for this user; --send needs one" << std::endl;
        return kExitRefused;
    }
    // The list file's save ignores failures, so a change is not reported as done in a
    // folder that cannot take it.
    const bool changes = command.Verb != "list" && command.Verb != "sources";
    if (changes && access(programDir.c_str(), W_OK | X_OK) != 0) {
        err << "stormfetch: the program folder " << programDir << " is not writable: " << std::strerror(errno)
            << "; nothing was changed" << std::endl;
        return kExitUsage;
    }
    // The lock stays held while the files change, so a copy starting now cannot read them half-written.
    return RunOnFiles(opt, programDir, exePath, out, err);
}

} // namespace sf
