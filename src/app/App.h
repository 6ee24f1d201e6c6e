// The program's run from its command line to its exit status.
#pragma once

namespace sf {

/// Parses the command line, takes the single-instance lock, runs the main object
/// headless until it closes, and returns the exit status (see TExitStatus).
int RunStormfetch(int argc, char** argv);

} // namespace sf
