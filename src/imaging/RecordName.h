// The one rule for a file name read back from a hidden record in the underlay folder
// (the loop's undo record, the series shift's record).
#pragma once
#include <functional>
#include <string>

namespace sf {

/// A plain file name inside the folder: not empty, not "." or "..", no "/", and no control
/// characters (a CR or NUL would not survive the next write or the file system), so a
/// damaged record can never name a file outside its folder.
bool IsPlainRecordName(const std::string& name);
/// Calls take(key, value) for every "key=value" line of a record (LF or CR LF; lines
/// without "=" are passed over); stops and returns false as soon as take does.
bool ForEachRecordLine(const std::string& text,
                       const std::function<bool(const std::string& key, const std::string& value)>& take);

} // namespace sf
