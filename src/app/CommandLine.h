// The command line of the program and the exit statuses scripts rely on.
#pragma once
#include <string>
#include <vector>

namespace sf {

/// Exit statuses of the program.
enum TExitStatus : int {
    kExitOk = 0,            ///< normal close (also a second instance, a signal, --version, --help)
    kExitFailure = 1,       ///< the event loop could not be started
    kExitUsage = 2,         ///< command-line error, or a program folder that cannot be created
    kExitStartFailed = 2,   ///< --once: a creation step failed (a stored file that cannot be read)
    kExitNoMapServer = 3,   ///< --once found no map-server folder, or the host program is missing
    kExitAllFetchesFailed = 4, ///< --once: the tick ran and every fetch it attempted failed
    kExitRefused = 1,       ///< a station command was refused or failed (the reason is printed)
};

/// Output levels of the console view.
enum class TOutputLevel { Quiet, Normal, Verbose };

/// One station command of the command line (--list, --add, --send ...).
struct TStationCommand {
    std::string Verb;               ///< "list", "sources", "check", "add", "remove", "enable",
                                    ///< "disable", "accumulate", "send", "layout"; empty: none
    std::vector<std::string> Args;  ///< the verb's arguments as typed
};

/// What the command line asks for.
struct TCommandLine {
    bool Headless = false;
    bool Once = false;
    bool Demo = false;
    bool Version = false;
    bool Help = false;
    int RunForSeconds = 0;   ///< 0: run until closed
    std::string Home;        ///< program folder, ending in "/" (empty: the executable's folder)
    std::string WinePrefix;  ///< where the host programs are found (empty: $WINEPREFIX, else ~/.wine)
    TOutputLevel Level = TOutputLevel::Normal;
    TStationCommand Command;
    std::string DemoStall;   ///< --demo-stall NAME: that layout of the demo feed answers 503
    std::string Layout;      ///< --layout with --demo: the demo feed's layout (empty: ridge); without
                             ///< --demo the option is the command "layout"
};

/// The parse of the arguments after the program name; Error is empty on success.
struct TParseResult {
    TCommandLine Options;
    std::string Error;
};

/// Parses "--name value" and "--name=value" forms; unknown options, missing or bad
/// values and stray arguments give an error text.
TParseResult ParseCommandLine(const std::vector<std::string>& args);
/// The usage text printed by --help; homeDefault is the program folder used without --home.
std::string UsageText(const std::string& homeDefault = "the executable's folder");

} // namespace sf
