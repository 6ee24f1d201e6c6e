// The default link to UI-View32: the helper program stormfetch-link run by Wine inside
// the prefix that holds UI-View32, resident for the program's life (host/ServeLink).
// Used when the settings file has no Link section, Wine and the helper are
// installed, and the prefix is a real Wine prefix with UI-View32 in it.
#pragma once
#include "host/ServeLink.h"
#include "host/UiViewClient.h"
#include <string>
#include <vector>

namespace sf {

/// A Wine loader and the helper built for it.
struct TWineTools {
    std::string Loader; ///< empty when nothing usable is installed
    std::string Helper;
};

/// The first executable of that name in the folders of pathList ($PATH), else in loaderDir;
/// empty when there is none.
std::string FindLoader(const std::string& name, const std::string& pathList, const std::string& loaderDir);
/// Where the helper may be: the executable's folder, then its data folder ../share/stormfetch/.
std::vector<std::string> HelperFolders(const std::string& executableDir);
/// The 32-bit helper with a 32-bit Wine loader when both exist (UI-View32 is a 32-bit
/// program), else the 64-bit helper with wine64. pathList is $PATH; loaderDir is the
/// distribution's Wine folder (/usr/lib/wine/ on Debian).
TWineTools FindWineTools(const std::vector<std::string>& helperFolders, const std::string& pathList,
                         const std::string& loaderDir = "/usr/lib/wine/");
/// A prefix Wine has set up: system.reg and drive_c/windows/system32 exist (folders
/// written only to look like a prefix have no system32).
bool IsRealWinePrefix(const std::string& prefix);
/// UI-View32's registry key exists in the prefix.
bool HasUiView(const std::string& prefix);
/// The helper's verbs as link commands, run by the loader with WINEPREFIX set;
/// Connect may take a minute (Wine's first start in a prefix).
TLinkCommands HelperCommands(const TWineTools& tools, const std::string& prefix);
/// The resident helper ("serve") run by the loader with WINEPREFIX set.
TServeCommand HelperServeCommand(const TWineTools& tools, const std::string& prefix);
/// The helper link for the prefix, or null when one of its conditions is missing.
std::unique_ptr<TclsUIV> MakeWineLink(const std::string& prefix, const std::string& executableDir);
/// The folder of the running executable, ending with "/".
std::string ExecutableDir();

} // namespace sf
