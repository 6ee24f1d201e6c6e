// Temporary files an interrupted save leaves behind: the hidden ".part" files the atomic
// writers create beside their targets. At start the program removes its own stale ones
// from the folders only it writes.
#pragma once
#include "core/DateTime.h"
#include "core/Shared.h"
#include <functional>
#include <string>
#include <vector>

namespace sf {

/// True for this program's temporary names: ".stormfetch-XXXXXX.part" (pid := 0) and
/// "." + file name + "." + process id + ".part" (pid := that id).
bool IsOwnTempName(const std::string& name, long long& pid);
/// True when a process with that id runs on this machine.
bool ProcessAlive(long long pid);
/// Removes from folder the own temporary files that are stale: with a process id that is
/// not alive (or is this process: no save of its own is under way when this runs at start),
/// without one when last written more than an hour before utcNow. Returns the names removed.
std::vector<std::string> RemoveStaleTempFilesIn(const std::string& folder, TDateTime utcNow,
                                                const std::function<bool(long long)>& alive = ProcessAlive);
/// Start-up: the program folder and the local underlay folder (never the other target
/// folders, which other machines write); what was removed is logged.
void RemoveStaleTempFiles(TShared& s);

} // namespace sf
