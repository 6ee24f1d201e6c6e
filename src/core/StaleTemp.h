// Temporary files an interrupted save leaves behind: the hidden ".part" files the atomic
// writers create beside their targets. At start the program removes its own stale ones
// from the folders only it writes.
#pragma once
#include "core/Shared.h"
#include <functional>
#include <string>
#include <vector>

namespace sf {

/// The temporary that a save of target is written to before it takes target's name:
/// "." + file name + "." + this process's id + ".part", beside target.
std::string OwnTempPath(const std::string& target);
/// True for this program's temporary names: "." + file name + "." + process id + ".part" and
/// ".stormfetch-" + process id + "-XXXXXX.part" (pid := that id), and the older
/// ".stormfetch-XXXXXX.part" without one (pid := 0).
bool IsOwnTempName(const std::string& name, long long& pid);
/// True when a process with that id runs on this machine (another user's included).
bool ProcessAlive(long long pid);
/// Removes from folder the own temporary files whose writer is gone: a process id that is
/// not alive or is this process (no save of its own is under way when this runs at start),
/// or no process id at all (an older version's: single-instance, so not writing now).
/// Returns the names removed.
std::vector<std::string> RemoveStaleTempFilesIn(const std::string& folder,
                                                const std::function<bool(long long)>& alive = ProcessAlive);
/// Start-up: the program folder, the local underlay folder and the shapefile folder (never
/// the other target folders, which other machines write); what was removed is logged.
void RemoveStaleTempFiles(TShared& s);

} // namespace sf
