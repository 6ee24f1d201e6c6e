// The one rule for a file name read back from a hidden record in the underlay folder
// (the loop's undo record, the series shift's record).
#pragma once
#include <string>

namespace sf {

/// A plain file name inside the folder: not empty, not "." or "..", no "/", and no control
/// characters (a CR or NUL would not survive the next write or the file system), so a
/// damaged record can never name a file outside its folder.
bool IsPlainRecordName(const std::string& name);

} // namespace sf
