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
/// Returns how many lines holding something the next save cannot write back as they were
/// (too short, without a source, not ten fields, or a repeated key).
/// firstDropped, when given, receives where the first such line is ("line 3: 2 of 10 fields").
int LoadListText(const std::string& text, DownloadList& list, const TNaming& naming, const IClock& clock,
                 const std::function<void(const std::string&)>& report, std::string* firstDropped = nullptr);

/// The backup kept beside the list when lines could not be loaded.
inline constexpr const char* kListBackupName = "DownLoadList.txt.bak";

/// The list file both load and save use: the one spelling of DownLoadList.txt in ProgramDir,
/// or, when several case-variants are there, the one modified last (said once in the status
/// bar and the error log); ProgramDir + "DownLoadList.Txt" when there is none.
std::string ListFilePath(TShared& s);
/// Writes the list file atomically (deletes it for an empty list); false on failure, and
/// false without writing while the file is held (it exists but was not loaded).
bool SaveList(TShared& s);
/// Reads the list file into the list when it exists. When lines could not be loaded, the file
/// is kept as it was under kListBackupName first (said in the status bar and the error log).
/// False with "Cannot read <path>: <reason>" when it exists but cannot be read; the file is
/// then held.
bool LoadList(TShared& s, std::string* error = nullptr);

} // namespace sf
