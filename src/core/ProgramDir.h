// Where the program keeps its settings, lists and logs.
#pragma once
#include <string>

namespace sf {

/// The program folder, ending in "/": homeArg (from --home) when given, created if missing;
/// else the executable's folder when it is writable and the program is not installed;
/// else $XDG_DATA_HOME/stormfetch/ (default ~/.local/share/stormfetch/), created.
/// Relative folders are made absolute.
std::string ResolveProgramDir(const std::string& homeArg, const std::string& exePath);
/// The program folder a start without --home uses, by the rule above, without creating it.
std::string DefaultProgramDir(const std::string& exePath);
/// Why folder (ending in "/") is not there as a folder: "<path> is a file, not a folder" for
/// a part of it that is a file, else "<path>: <the system's reason>" from creating it; empty
/// when it exists or can be created now.
std::string FolderProblem(const std::string& folder);
/// The installed data folder "<prefix>/share/stormfetch/" of a program installed as
/// "<prefix>/bin/<exe>", when that folder exists; else empty (a portable build).
std::string InstalledDataDir(const std::string& exePath);
/// The settings file's name: the executable's name up to its first "." + ".ini".
std::string SettingsFileName(const std::string& exePath);

} // namespace sf
