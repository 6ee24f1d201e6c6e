// The record that makes the series shift recoverable. A shift parks every series image
// under a temporary name and then names each back one place further down; a small
// hidden file in the underlay folder lists those renames before the first one is made,
// so that a shift cut short (killed, crashed, power lost) is finished at the next start
// or before the next shift, with every image back under a series name.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace sf {

/// Name of the record inside the underlay folder.
inline constexpr const char* kShiftJournalName = ".stormfetch-shift";

/// One planned rename, both names plain file names inside the folder.
struct TShiftRename {
    std::string From;
    std::string To;
};

/// A shift as planned: Park moves the images to temporaries (newest first), Name gives
/// each temporary its series name; Phase says which of the two is under way.
struct TShiftJournal {
    int Phase = 1;
    std::string Underlay;            ///< the underlay's file name (the series head)
    std::string Bounds;              ///< the underlay's bounds file, copied to members without one
    std::vector<TShiftRename> Park;  ///< series image -> temporary
    std::vector<TShiftRename> Name;  ///< temporary -> series image, newest first
    std::vector<std::string> Leftovers; ///< masks of temporaries removed once named back
    std::vector<std::string> Drop;      ///< files removed at the end (the image past the tenth)
};

/// Writes the record into folder (atomically); false when it cannot be written.
bool WriteShiftJournal(const std::string& folder, const TShiftJournal& journal);
/// Removes the record; true when none is left.
bool RemoveShiftJournal(const std::string& folder);
/// The record's text and back; Parse gives false on a record naming anything but plain names.
std::string ShiftJournalText(const TShiftJournal& journal);
bool ParseShiftJournal(const std::string& text, TShiftJournal& journal);

/// Called after every record write ("record") and every rename ("park", "name", "head").
using TShiftStep = std::function<void(const std::string& step)>;

/// Carries out the renames of the record from its phase on; every step that is already
/// done is recognised and skipped, so it can run again after any interruption. The record
/// stays (in phase 2) for SettleShift or RecoverShift. False when a rename or copy failed.
bool CompleteShift(const std::string& folder, TShiftJournal& journal, const TShiftStep& step = {});

/// Outcome of a recovery.
enum class TShiftRecovery { NothingToDo, Finished, Unresolved };

/// Finishes a recorded shift, gives the underlay's name back to the newest series image
/// when the underlay is missing (the new one was never written), and removes the record.
/// Unresolved (the record stays) when a parked image cannot take its series name because
/// another file holds it: nothing is overwritten or deleted.
TShiftRecovery RecoverShift(const std::string& folder, const TShiftStep& step = {});

/// The new underlay is in place: the shift's record of folder is no longer needed.
void SettleShift(const std::string& folder);

} // namespace sf
