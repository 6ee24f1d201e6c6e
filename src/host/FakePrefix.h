// Writes a small Wine prefix holding UI-View32 and a map server the way their
// installers leave them: registry files, drive C: behind dosdevices, UiView32.ini,
// the server's ini and its underlay folder. Used by the demonstration feed and tests.
#pragma once
#include <string>

namespace sf {

struct TFakePrefixOptions {
    bool UiView = true;                                  ///< UI-View32 registry key, folder and ini
    std::string ProgramFolder = "C:\\UIView32\\";        ///< the "Program Folder" value
    std::string LastMap = "C:\\UIView32\\MAPS\\!!QuorServer9.map"; ///< LAST_MAP (empty: no key)
    std::string ServerName = "QuorServer9";              ///< empty: no map server
    std::string ServerFolder = "C:\\Peak Systems\\QuorServer9\\";
    std::string ClassId = "{6B1F54A2-3C0D-4E8B-9A71-52D0C3E4F981}";
    bool Wow64 = false;            ///< register as a 32-bit library of a 64-bit prefix (Wow6432Node)
    bool InUserClasses = false;    ///< register under HKCU\Software\Classes instead of HKLM
    std::string Underlay = "N0R_0.bmp"; ///< UNDERLAY file in "Quor Underlays" (empty: no key)
    bool CreateUnderlay = true;    ///< create the underlay file itself
};

/// Windows path C:\... to its place under prefix + "drive_c/" (no case matching).
std::string FakePrefixPath(const std::string& prefix, const std::string& windowsPath);
/// Escapes text for a Wine registry string: \\ and \" and \x for non-ASCII (UTF-8 in).
std::string RegEscape(const std::string& text);
/// Creates the prefix in folder prefix (created when missing); false with a message on failure.
bool WriteFakePrefix(const std::string& prefix, const TFakePrefixOptions& options, std::string* error = nullptr);

} // namespace sf
