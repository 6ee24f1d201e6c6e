// The settings file: ProgramDir + executable name before its first "." + ".ini".
#pragma once
#include "core/Shared.h"
#include <string>

namespace sf {

/// Built-in addresses of the NWS servers and the map server's usual shapefile folder.
inline constexpr const char* kDefaultRidgeBase = "https://radar.weather.gov/ridge/RadarImg/";
inline constexpr const char* kDefaultRidgeNatBase = "https://radar.weather.gov/ridge/Conus/RadarImg/";
inline constexpr const char* kDefaultShpURL = "https://www.weather.gov/regsci/gis/shapefiles/";
inline constexpr const char* kBuiltInShpFolder = "C:\\Peak Systems\\QuorServer9\\ShpFiles\\";

/// The settings file's full path.
std::string SettingsPath(const TShared& s);
/// Reads every key into the controls and shared values (defaults for missing keys). A file
/// that exists but cannot be read gives the defaults, is held (never written over) and
/// makes the result false with "Cannot read <path>: <reason>".
bool LoadSettings(TShared& s, std::string* error = nullptr);
/// Writes every key in the fixed order; on failure returns false with "Unable to write to <path>"
/// (with the reason when the file is held or has become unreadable: it is then not written).
bool SaveSettings(TShared& s, std::string* error = nullptr);
/// The mode selector's click: log line, Download button caption and hint, window caption, save.
void ModeSwitch(TShared& s);

} // namespace sf
