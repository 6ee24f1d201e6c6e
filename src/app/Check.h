// The set-up check of a station: what discovery finds and what would stop the
// station working, one line each. It never starts the map program, never redraws
// and never zooms.
#pragma once
#include <iosfwd>
#include <string>

namespace sf {

struct TCheckOptions {
    std::string ProgramDir;     ///< ends in "/"
    std::string ExeName;        ///< names the settings file
    std::string WinePrefixArg;  ///< --wineprefix as given (empty: none)
};

/// Prints one line per item to out; returns 0 when nothing blocks the station, else 1
/// with the first blocking reason on err. Needs a Qt application object (for the GET).
int RunSetupCheck(const TCheckOptions& options, std::ostream& out, std::ostream& err);

/// How the Wine prefix was chosen: "--wineprefix", "$WINEPREFIX" or "the default ~/.wine".
std::string PrefixOrigin(const std::string& argument);
/// True when a process whose command line names UiView32.exe (case ignored) is running.
bool MapProgramRunning();

} // namespace sf
