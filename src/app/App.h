// The program's run from its command line to its exit status.
#pragma once

namespace sf {

struct TFrontEnd;

/// Parses the command line, takes the single-instance lock, runs the main object until
/// it closes, and returns the exit status (see TExitStatus). With a front end and a
/// display (and without --headless) the window shows the main object; otherwise the
/// console view runs alone.
int RunStormfetch(int argc, char** argv, const TFrontEnd* frontEnd = nullptr);

} // namespace sf
