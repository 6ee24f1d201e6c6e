// Why a station command cannot run now, in the user's words and with what fixes it:
// the map link's conditions, and the state the tray's loop and zoom items need.
#pragma once
#include "core/Shared.h"
#include <string>
#include <vector>

namespace sf {

/// Which condition of the Wine helper link fails, in the order the program tests them
/// (loader, helper file, a prefix Wine set up, UI-View32's key), with the fix; empty
/// when the helper can work. pathList is $PATH; loaderDir the distribution's Wine folder.
std::string WineHelperProblem(const std::string& prefix, const std::vector<std::string>& helperFolders,
                              const std::string& pathList, const std::string& loaderDir = "/usr/lib/wine/");
/// Why the map cannot be redrawn while the Redraw button is disabled.
std::string RedrawUnavailable(const TShared& s);
/// Why "&Loop Radar" is not available (no list, no map-server map, no record behind the
/// underlay, no series).
std::string LoopUnavailable(const TShared& s);
/// Why "Radar &Zoom" has nothing to zoom to.
std::string ZoomUnavailable(const TShared& s);

} // namespace sf
