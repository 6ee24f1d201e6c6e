#include "imaging/LoopJournal.h"
#include "core/Files.h"
#include "core/Text.h"

namespace sf {

namespace {

std::string JournalPath(const std::string& folder)
{
    return IncludeTrailingSlash(folder) + kLoopJournalName;
}

/// True when both files exist with the same bytes (a rename cut short on a file system
/// without no-replace renames leaves the file under both names).
bool SameBytes(const std::string& a, const std::string& b)
{
    std::string x, y;
    return ReadFileBytes(a, x) && ReadFileBytes(b, y) && x == y;
}

} // namespace

bool WriteLoopJournal(const std::string& folder, const TLoopJournal& journal)
{
    return SaveFileAtomic(JournalPath(folder), LoopJournalText(journal));
}

bool RemoveLoopJournal(const std::string& folder)
{
    const std::string path = JournalPath(folder);
    return !FileExists(path) || DeleteFile(path);
}

TLoopRecovery RecoverLoop(const std::string& folder)
{
    const std::string dir = IncludeTrailingSlash(folder);
    std::string text;
    if (dir.empty() || !FileExists(JournalPath(dir)) || !ReadFileBytes(JournalPath(dir), text))
        return TLoopRecovery::NothingToDo;
    TLoopJournal j;
    if (!ParseLoopJournal(text, j)) {
        // A record that names nothing usable cannot move anything back.
        RemoveLoopJournal(dir);
        return TLoopRecovery::NothingToDo;
    }
    const std::string x = dir + j.Underlay, parked = dir + j.Parked;
    const std::string shown = j.Shown.empty() ? std::string() : dir + j.Shown;
    bool moved = false;
    if (!shown.empty() && FileExists(x)) {
        // The underlay's name holds the member on show, or (a rename cut short on a file
        // system without no-replace renames) a second name of it.
        if (!FileExists(shown))
            moved |= RenameFile(x, shown);
        else if (FileExists(parked) && SameBytes(shown, x))
            moved |= DeleteFile(ResolvePath(x));
    }
    if (FileExists(parked) && FileExists(x) && SameBytes(parked, x))
        moved |= DeleteFile(ResolvePath(parked)); // the parking rename cut short the same way
    if (FileExists(parked) && !FileExists(x))
        moved |= RenameFile(parked, x);
    if (FileExists(parked))
        return TLoopRecovery::Unresolved;
    RemoveLoopJournal(dir);
    return moved ? TLoopRecovery::Restored : TLoopRecovery::NothingToDo;
}

} // namespace sf
