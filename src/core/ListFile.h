// DownLoadList.txt: one record per line, ten TAB-separated fields, CR LF line ends.
#pragma once
#include "core/Shared.h"
#include <functional>
#include <string>

namespace sf {

/// The name the list is written under; it is read as "DownLoadList.txt" (same file, case ignored).
inline constexpr const char* kListFileWriteName = "DownLoadList.Txt";
inline constexpr const char* kListFileReadName = "DownLoadList.txt";

/// The stored line of one record (without line end); empty when its Radar is empty.
std::string ListLine(const TRadarObj& r);
/// The whole file text for the list (CR LF after each line); empty when no line was built.
std::string ListText(const DownloadList& list);
/// Appends the records of the file text to list (duplicates skipped silently); report
/// receives "Error loading Radar object" for every line shorter than 20 characters.
void LoadListText(const std::string& text, DownloadList& list, const TNaming& naming, const IClock& clock,
                  const std::function<void(const std::string&)>& report);

/// Writes ProgramDir + "DownLoadList.Txt" atomically (deletes it for an empty list); false on failure.
bool SaveList(TShared& s);
/// Reads ProgramDir + "DownLoadList.txt" into the list when it exists; false when it could not be read.
bool LoadList(TShared& s);

} // namespace sf
