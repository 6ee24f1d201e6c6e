// Temporary files an interrupted save leaves behind: the hidden ".part" files the atomic
// writers create beside their targets. At start the program removes its own stale ones
// from the folders only it writes.
#pragma once
#include "core/Shared.h"
#include <functional>
#include <string>
#include <vector>

namespace sf {

/// Who writes a temporary: this process's id and this machine's name, "<pid>@<host>".
/// The machine matters because a Server writes into other machines' underlay folders,
/// where a process id of its own means nothing.
std::string TempWriterTag();
/// The temporary that a save of target is written to before it takes target's name:
/// "." + file name + "." + TempWriterTag() + ".part", beside target.
std::string OwnTempPath(const std::string& target);
/// True for this program's temporary names: "." + file name + "." + writer + ".part" and
/// ".stormfetch-" + writer + "-XXXXXX.part", where writer is "<pid>" or "<pid>@<host>"
/// (pid := that id, host := that name or empty), and the older ".stormfetch-XXXXXX.part"
/// without one (pid := 0).
bool IsOwnTempName(const std::string& name, long long& pid, std::string* host = nullptr);
/// True when a process with that id runs on this machine (another user's included).
bool ProcessAlive(long long pid);
/// Removes from folder the own temporary files whose writer is gone: a process id that is
/// not alive or is this process (no save of its own is under way when this runs at start),
/// or no process id at all (an older version's: single-instance, so not writing now).
/// A temporary another machine writes is judged by age instead: gone after an hour
/// without a write.
/// Returns the names removed.
std::vector<std::string> RemoveStaleTempFilesIn(const std::string& folder,
                                                const std::function<bool(long long)>& alive = ProcessAlive);
/// Start-up: the program folder, the local underlay folder and the shapefile folder (never
/// the other target folders, which other machines write); what was removed is logged.
void RemoveStaleTempFiles(TShared& s);

} // namespace sf
