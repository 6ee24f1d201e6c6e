// File-system helpers with the Windows semantics the program relies on:
// names match ignoring case, masks use ? and * as the Windows find functions do,
// folder values end with "/". None of these raise; they report by result values.
#pragma once
#include "core/DateTime.h"
#include <cstdint>
#include <string>
#include <vector>

namespace sf {

class IClock;

/// One match of a find-first/find-next enumeration.
struct TFindEntry {
    std::string Name;      ///< the name as stored on disk
    bool IsDirectory = false;
    int64_t Size = 0;
    TDateTime LastWrite = 0; ///< local time
};

/// Windows-style mask match, ignoring case: "*" any run, "?" one character or none
/// just before "." or at the end; "*.*" matches every name.
bool MaskMatches(const std::string& mask, const std::string& name);
/// Resolves a path whose components may differ in case from the names on disk: each
/// existing component is replaced by its on-disk spelling; the rest stay as written.
std::string ResolvePath(const std::string& path);
/// The on-disk spelling of name inside folder (an exact spelling first, else the
/// lowest case-variant); empty when the folder holds no such name.
std::string NameInFolderIgnoringCase(const std::string& folder, const std::string& name);
/// Entries of the folder part of pathWithMask whose names match its last component
/// (files and folders, "." and ".." excluded): the name exactly as asked first, then by name.
std::vector<TFindEntry> FindFiles(const std::string& pathWithMask);

bool FileExists(const std::string& path);       ///< a file (not a folder), case ignored
bool DirectoryExists(const std::string& path);  ///< a folder, case ignored
bool ForceDirectories(const std::string& path); ///< creates the folder and its parents
bool DeleteFile(const std::string& path);       ///< a file only; false when missing
/// Renames without ever overwriting: fails when the target or a case-variant of it exists.
bool RenameFile(const std::string& from, const std::string& to);
/// Moves tmp over target atomically (for saves).
bool ReplaceFile(const std::string& tmp, const std::string& target);
/// Copies a file, overwriting the target (or its case-variant) atomically; the copy keeps
/// the source's last-write time, as the Windows copy does.
bool CopyFileOver(const std::string& from, const std::string& to);
/// Writes bytes to a hidden temporary file (".stormfetch-<pid>-XXXXXX.part") in the target's folder,
/// flushes it, then replaces the target (or its case-variant), keeping the target's mode.
bool SaveFileAtomic(const std::string& path, const std::string& bytes);
/// Whole file into bytes; false when it cannot be read.
bool ReadFileBytes(const std::string& path, std::string& bytes);
/// Name and folder parts at the last "/" (folder keeps its trailing "/").
std::string ExtractFileName(const std::string& path);
std::string ExtractFilePath(const std::string& path);
/// Folder value with exactly one trailing "/" (empty stays empty).
std::string IncludeTrailingSlash(const std::string& folder);

/// Size of the first match of a path or mask, -1 when nothing matches (INT32_MAX when larger).
int32_t FileSizeOf(const std::string& pathOrMask);
/// Last-write time (local, two-second resolution) of the first match, 0 when nothing matches.
TDateTime FileDateOf(const std::string& pathOrMask);
/// Appends "yyyymmddhhnnss<TAB>folder+name" for each match to list; returns the match count.
int ListFiles(const std::string& folder, const std::string& mask, std::vector<std::string>& list);
/// Creates/replaces path (atomically) with line + CR LF unless it holds that already; false on any failure.
bool WriteLineFile(const std::string& path, const std::string& line);
/// prefix + yyyymmdd + cleaned name (+ ".txt"), date from local or UTC now.
std::string DatedFileName(const std::string& prefix, const std::string& name, bool useLocal, const IClock& clock);
/// Appends line + CR LF to folder + fileName (created when missing); failures are swallowed.
void AppendLine(const std::string& folder, const std::string& fileName, const std::string& line);
/// Deletes the files (not folders) matching folder + mask; returns how many were matched.
int DeleteFiles(const std::string& folder, const std::string& mask);

/// Maps a Windows path (drive letter, "\" separators) into a Wine prefix through its
/// dosdevices links, matching components ignoring case; the result is canonical. A folder
/// value (ending in "\") ends in "/". Empty when the drive is not mapped.
std::string WinePathToLinux(const std::string& winePrefix, const std::string& windowsPath);

} // namespace sf
