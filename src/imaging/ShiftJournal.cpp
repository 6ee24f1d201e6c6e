#include "imaging/ShiftJournal.h"
#include "core/Files.h"
#include "core/Text.h"
#include "imaging/LoopJournal.h"

namespace sf {

namespace {

std::string JournalPath(const std::string& folder)
{
    return IncludeTrailingSlash(folder) + kShiftJournalName;
}

/// True when both files exist with the same bytes (a rename cut short on a file system
/// without no-replace renames leaves the file under both names).
bool SameBytes(const std::string& a, const std::string& b)
{
    std::string x, y;
    return ReadFileBytes(a, x) && ReadFileBytes(b, y) && x == y;
}

void Tell(const TShiftStep& step, const char* what)
{
    if (step)
        step(what);
}

/// A temporary still waiting for its series name.
bool AwaitsName(const TShiftJournal& j, const std::string& name)
{
    for (const TShiftRename& r : j.Name)
        if (SameText(r.From, name))
            return true;
    return false;
}

} // namespace

bool WriteShiftJournal(const std::string& folder, const TShiftJournal& journal)
{
    return SaveFileAtomic(JournalPath(folder), ShiftJournalText(journal));
}

bool RemoveShiftJournal(const std::string& folder)
{
    const std::string path = JournalPath(folder);
    return !FileExists(path) || DeleteFile(path);
}

bool CompleteShift(const std::string& folder, TShiftJournal& j, const TShiftStep& step)
{
    const std::string dir = IncludeTrailingSlash(folder);
    bool ok = true;
    if (j.Phase == 1) {
        // Every temporary name was free when the record was written, so one that exists
        // now holds its image already; the name it came from then holds a newer file or,
        // after a rename cut short, a second name of the same one.
        for (const TShiftRename& r : j.Park) {
            const std::string from = dir + r.From, to = dir + r.To;
            if (FileExists(to)) {
                if (FileExists(from) && SameBytes(from, to))
                    DeleteFile(ResolvePath(from));
                continue;
            }
            if (!FileExists(from))
                continue;
            if (RenameFile(from, to))
                Tell(step, "park");
            else
                ok = false;
        }
        // Naming back reuses the names parked above: the record must say so first, or a
        // recovery would take a member named back for an image not yet parked.
        j.Phase = 2;
        if (!WriteShiftJournal(dir, j)) {
            j.Phase = 1;
            return false;
        }
        Tell(step, "record");
    }
    for (const TShiftRename& r : j.Name) {
        const std::string from = dir + r.From, to = dir + r.To;
        if (FileExists(from)) {
            if (!FileExists(to)) {
                if (RenameFile(from, to))
                    Tell(step, "name");
                else
                    ok = false;
            } else if (SameBytes(from, to)) {
                DeleteFile(ResolvePath(from));
            } else {
                ok = false; // another file holds the name: the image stays parked
            }
        }
        const size_t dot = r.To.find('.');
        const std::string sat = dir + r.To.substr(0, dot) + ".sat";
        if (FileExists(to) && !FileExists(sat) && FileExists(dir + j.Bounds) &&
            !CopyFileOver(ResolvePath(dir + j.Bounds), sat))
            ok = false;
    }
    for (const std::string& mask : j.Leftovers) {
        std::vector<std::string> list;
        ListFiles(dir, mask, list);
        for (const std::string& line : list) {
            const std::string path = line.substr(line.find('\t') + 1);
            if (!AwaitsName(j, ExtractFileName(path)))
                DeleteFile(path);
        }
    }
    for (const std::string& name : j.Drop)
        if (FileExists(dir + name))
            DeleteFile(ResolvePath(dir + name));
    return ok;
}

TShiftRecovery RecoverShift(const std::string& folder, const TShiftStep& step)
{
    const std::string dir = IncludeTrailingSlash(folder);
    std::string text;
    if (dir.empty() || !FileExists(JournalPath(dir)) || !ReadFileBytes(JournalPath(dir), text))
        return TShiftRecovery::NothingToDo;
    TShiftJournal j;
    if (!ParseShiftJournal(text, j)) {
        // A record that names nothing usable cannot move anything back.
        RemoveShiftJournal(dir);
        return TShiftRecovery::NothingToDo;
    }
    // A loop cut short parks the underlay under a name the shift would take for one of
    // its own temporaries: the loop's undo goes first.
    if (FileExists(dir + kLoopJournalName))
        return TShiftRecovery::Unresolved;
    CompleteShift(dir, j, step);
    for (const TShiftRename& r : j.Name)
        if (FileExists(dir + r.From))
            return TShiftRecovery::Unresolved;
    if (!FileExists(dir + j.Underlay)) {
        // The new underlay never took its place: the newest image shows again.
        for (const TShiftRename& r : j.Name)
            if (FileExists(dir + r.To)) {
                if (RenameFile(dir + r.To, dir + j.Underlay))
                    Tell(step, "head");
                break;
            }
    }
    RemoveShiftJournal(dir);
    return TShiftRecovery::Finished;
}

void SettleShift(const std::string& folder)
{
    RemoveShiftJournal(folder);
}

} // namespace sf
