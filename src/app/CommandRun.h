// A start with a station command (--list, --add, --send, --check ...): sent to the
// running copy when there is one, else applied to the program folder's files.
#pragma once
#include "app/CommandLine.h"
#include <iosfwd>
#include <string>

namespace sf {

/// Runs opt.Command and returns the exit status. exePath: this executable (it names the
/// default program folder and the settings file). Needs a Qt application object.
int RunCommandStart(const TCommandLine& opt, const std::string& exePath, std::ostream& out, std::ostream& err);

/// How long a start waits for the running copy's answer to verb (a download runs a whole cycle).
int ReplyWaitMs(const TStationCommand& command);

} // namespace sf
