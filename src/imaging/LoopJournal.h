// The record that makes a loop undoable. While a loop plays, the current underlay
// is parked under a temporary name and series members take its name in turn; a
// small hidden file in the underlay folder says which names are out of place, so
// that a loop cut short (killed, crashed, power lost) is put back at the next start.
#pragma once
#include <string>

namespace sf {

/// Name of the record inside the underlay folder.
inline constexpr const char* kLoopJournalName = ".stormfetch-loop";

/// What is out of place: the underlay's file name, the name it is parked under, and the
/// series member now shown under the underlay's name (empty while none is).
struct TLoopJournal {
    std::string Underlay;
    std::string Parked;
    std::string Shown;
};

/// Writes the record into folder (atomically); false when it cannot be written.
bool WriteLoopJournal(const std::string& folder, const TLoopJournal& journal);
/// Removes the record; true when none is left.
bool RemoveLoopJournal(const std::string& folder);
/// The record's text and back; Parse gives false on a record without both names.
std::string LoopJournalText(const TLoopJournal& journal);
bool ParseLoopJournal(const std::string& text, TLoopJournal& journal);

/// Outcome of a recovery.
enum class TLoopRecovery { NothingToDo, Restored, Unresolved };

/// Puts every file of folder named in the record back under its own name and removes the
/// record. Unresolved (the record stays) when both the underlay's name and its parking name
/// hold different images, so nothing is overwritten or deleted.
TLoopRecovery RecoverLoop(const std::string& folder);

} // namespace sf
