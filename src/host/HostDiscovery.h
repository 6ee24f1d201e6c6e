// Finds UI-View32, the map it shows, and its map server (program folder, underlay
// directory, shown underlay) inside the Wine prefix that holds them. Only reads.
#pragma once
#include "core/Shared.h"
#include "host/WineRegistry.h"
#include <string>

namespace sf {

/// The prefix to use: the --wineprefix argument when given, else $WINEPREFIX, else ~/.wine; ends with "/".
std::string ChooseWinePrefix(const std::string& argument);
/// An existing folder as its canonical on-disk path ending with "/" (names matched
/// ignoring case); a missing folder comes back with just the trailing "/" added.
std::string CanonicalFolder(const std::string& folder);
/// A private-profile file of a host program (Windows-1252) read into UTF-8 ini text;
/// the name matches ignoring case. Empty text when missing.
std::string ReadHostIniText(const std::string& path);

/// UI-View32's last map from folder + "UiView32.ini" (MAPS / LAST_MAP); "-1" when the
/// folder or the file is missing, empty when the key is.
std::string ReadLastMap(const std::string& folder);
/// The map server's program folder (canonical, ending "/") from its class registration,
/// 32-bit registrations under Wow6432Node included; empty when not found.
std::string FindServerFolder(const TWineRegistry& reg, const std::string& name);

/// Sets UiViewFolder, LastMap, UiViewMap, QuorServerPath, QuorUnderlayPath and
/// UnderlayName from the registry and ini files of s.WinePrefix. Values other than
/// LastMap keep their last value when this run finds less. Never throws.
/// serverIni receives the map server's ini path when one was worked out.
void HostDiscovery(TShared& s, TWineRegistry& reg, std::string* serverIni = nullptr);
/// The same with a registry read afresh from s.WinePrefix.
void HostDiscovery(TShared& s, std::string* serverIni = nullptr);

} // namespace sf
