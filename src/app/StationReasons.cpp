#include "app/StationReasons.h"
#include "app/Commands.h"
#include "core/Files.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/Text.h"
#include "host/UiViewClient.h"
#include "host/WineLink.h"
#include "imaging/LoopPlayer.h"
#include <cstdlib>
#include <unistd.h>

namespace sf {

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

bool HasHelper(const std::vector<std::string>& folders, const std::string& name)
{
    for (const std::string& dir : folders)
        if (FileExists(IncludeTrailingSlash(dir) + name))
            return true;
    return false;
}

std::string Joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

bool LinkSectionUsed(const TShared& s, bool& configured)
{
    const TIniFile ini(SettingsPath(s));
    configured = ReadLinkCommands(ini.Ini()).Configured();
    for (const std::string& name : ini.Ini().Sections())
        if (SameText(name, "Link"))
            return true;
    return false;
}

// The record whose image is the underlay on show, as the tray's one-second tick finds it; -1 when none.
int UnderlayRecord(const TShared& s)
{
    const std::string underlay = UpperCase(s.UnderlayName);
    for (int i = 0; i < s.List.Count(); ++i) {
        const std::string n = LoopMatchName(s.List[i].RemoteName, "latest");
        if (Contains(underlay, UpperCase(n + ".BMP")) || Contains(underlay, UpperCase(n + ".GIF")))
            return i;
    }
    return -1;
}

// What the loop and the zoom both need: a list, a map-server map, an underlay made by a record.
std::string MapStateProblem(const TShared& s)
{
    if (s.List.Empty())
        return EmptyListHint();
    if (!Contains(s.UiViewMap, "QUORSERVE"))
        return (s.UiViewMap.empty() ? std::string("UI-View32's current map is not known")
                                    : "UI-View32 shows " + s.UiViewMap + ", which is not a map-server map")
               + ": load a QuorServer map in UI-View32 (Maps, Load Map)";
    if (s.UnderlayName.empty())
        return "no underlay is selected in the map server: select one of Stormfetch's underlays there";
    if (UnderlayRecord(s) < 0)
        return "no record of the download list makes the underlay on show, " + s.UnderlayName +
               " (stormfetch --list shows the records)";
    return {};
}

} // namespace

std::string WineHelperProblem(const std::string& prefix, const std::vector<std::string>& helperFolders,
                              const std::string& pathList, const std::string& loaderDir)
{
    const bool wine32 = !FindLoader("wine", pathList, loaderDir).empty(),
               wine64 = !FindLoader("wine64", pathList, loaderDir).empty();
    if (!wine32 && !wine64)
        return "no Wine loader (wine or wine64 on PATH or in " + loaderDir +
               "): install Wine (Debian: apt install wine wine32 for a 32-bit UI-View32)";
    const bool helper32 = HasHelper(helperFolders, "stormfetch-link32.exe");
    const bool helper64 = HasHelper(helperFolders, "stormfetch-link64.exe");
    if (!helper32 && !helper64)
        return "the link helper stormfetch-link32.exe is not in " + Joined(helperFolders) +
               ": install the package that carries it, or build with mingw-w64 installed";
    // The pairing is the link's own choice, so this reason and the link never disagree.
    if (FindWineTools(helperFolders, pathList, loaderDir).Loader.empty())
        return wine32 ? "only stormfetch-link64.exe is installed, which needs wine64: install wine64 or the 32-bit helper"
                      : "only stormfetch-link32.exe is installed, which needs the 32-bit wine: install wine32";
    if (prefix.empty() || !IsRealWinePrefix(prefix))
        return "the Wine prefix " + prefix + " was not set up by Wine (no system.reg or drive_c/windows/system32): "
               "run WINEPREFIX=" + prefix + " wineboot, or name the right prefix with --wineprefix DIR";
    if (!HasUiView(prefix))
        return "UI-View32's registry key is not in the Wine prefix " + prefix +
               ": install UI-View32 there, or name the right prefix with --wineprefix DIR";
    return {};
}

std::string RedrawUnavailable(const TShared& s)
{
    bool configured = false;
    if (LinkSectionUsed(s, configured)) {
        if (!configured)
            return "redrawing is off: the [Link] section of " + SettingsPath(s) +
                   " has no commands (set Connect and Redraw there)";
        return "the map program did not answer the Connect command of " + SettingsPath(s) +
               " [Link]: start UI-View32; the next redraw connects again";
    }
    const char* path = std::getenv("PATH");
    const std::string problem = WineHelperProblem(s.WinePrefix, HelperFolders(ExecutableDir()), path ? path : "");
    if (!problem.empty())
        return "no link to the map program: " + problem;
    return "UI-View32 did not answer the Wine helper's connect in " + s.WinePrefix +
           ": start UI-View32 there; the next redraw connects again";
}

std::string LoopUnavailable(const TShared& s)
{
    if (std::string problem = MapStateProblem(s); !problem.empty())
        return "no loop: " + problem;
    const TRadarObj& r = s.List[UnderlayRecord(s)];
    if (!r.Accumulate)
        return "no loop: " + RecordKey(r) + " keeps no series of images; start one with stormfetch --accumulate \"" +
               RecordKey(r) + "\" on, and loop once a few images have come in";
    return "no loop yet: the tray's loop item is set up once a second while no download runs; try again";
}

std::string ZoomUnavailable(const TShared& s)
{
    if (std::string problem = MapStateProblem(s); !problem.empty())
        return "nothing to zoom to: " + problem;
    return "nothing to zoom to: " + RecordKey(s.List[UnderlayRecord(s)]) +
           " has no bounds yet (they come with its first image)";
}

} // namespace sf
