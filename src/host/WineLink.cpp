#include "host/WineLink.h"
#include "host/CommandLink.h"
#include "host/WineRegistry.h"
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace sf {

namespace fs = std::filesystem;

namespace {
const char* const kUiViewKey = "Software\\VB and VBA Program Settings\\Peak Systems\\UI-View32";

std::string WithSlash(std::string dir)
{
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

bool IsFile(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool IsExecutable(const std::string& path) { return IsFile(path) && access(path.c_str(), X_OK) == 0; }

std::string FindHelper(const std::vector<std::string>& folders, const std::string& name)
{
    for (const std::string& dir : folders)
        if (IsFile(WithSlash(dir) + name))
            return WithSlash(dir) + name;
    return {};
}

/// A command-line word in double quotes, as the command splitter reads it.
std::string Quoted(const std::string& word) { return "\"" + word + "\""; }
} // namespace

std::string FindLoader(const std::string& name, const std::string& pathList, const std::string& loaderDir)
{
    size_t start = 0;
    while (start <= pathList.size()) {
        size_t end = pathList.find(':', start);
        if (end == std::string::npos)
            end = pathList.size();
        const std::string dir = pathList.substr(start, end - start);
        if (!dir.empty() && IsExecutable(WithSlash(dir) + name))
            return WithSlash(dir) + name;
        start = end + 1;
    }
    return IsExecutable(WithSlash(loaderDir) + name) ? WithSlash(loaderDir) + name : std::string();
}

std::vector<std::string> HelperFolders(const std::string& executableDir)
{
    const std::string dir = WithSlash(executableDir);
    return {dir, dir + "../share/stormfetch/"};
}

TWineTools FindWineTools(const std::vector<std::string>& helperFolders, const std::string& pathList,
                         const std::string& loaderDir)
{
    // Debian's 32-bit loader is "wine" in the Wine folder; elsewhere "wine" on the path runs both kinds.
    const std::string helper32 = FindHelper(helperFolders, "stormfetch-link32.exe");
    const std::string wine32 = FindLoader("wine", pathList, loaderDir);
    if (!helper32.empty() && !wine32.empty())
        return {wine32, helper32};
    const std::string helper64 = FindHelper(helperFolders, "stormfetch-link64.exe");
    const std::string wine64 = FindLoader("wine64", pathList, loaderDir);
    if (!helper64.empty() && !wine64.empty())
        return {wine64, helper64};
    return {};
}

bool IsRealWinePrefix(const std::string& prefix)
{
    std::error_code ec;
    const std::string p = WithSlash(prefix);
    return IsFile(p + "system.reg") && fs::is_directory(p + "drive_c/windows/system32", ec);
}

bool HasUiView(const std::string& prefix)
{
    TWineRegistry reg(WithSlash(prefix));
    reg.Refresh();
    return reg.KeyExists(TRegRoot::CurrentUser, kUiViewKey);
}

TLinkCommands HelperCommands(const TWineTools& tools, const std::string& prefix)
{
    const std::string run = Quoted(tools.Loader) + " " + Quoted(tools.Helper) + " ";
    TLinkCommands c;
    c.Connect = run + "connect";
    c.Redraw = run + "redraw";
    c.Zoom = run + "zoom %left% %top% %right% %bottom%";
    c.Watch = run + "watch";
    c.ConnectTimeoutMs = 60000;
    c.Environment = {{"WINEPREFIX", WithSlash(prefix)}, {"WINEDEBUG", "-all"}};
    return c;
}

TServeCommand HelperServeCommand(const TWineTools& tools, const std::string& prefix)
{
    TServeCommand c;
    c.Program = tools.Loader;
    c.Arguments = {tools.Helper, "serve"};
    c.Environment = {{"WINEPREFIX", WithSlash(prefix)}, {"WINEDEBUG", "-all"}};
    return c;
}

std::unique_ptr<TclsUIV> MakeWineLink(const std::string& prefix, const std::string& executableDir)
{
    if (prefix.empty() || !IsRealWinePrefix(prefix) || !HasUiView(prefix))
        return nullptr;
    const char* path = getenv("PATH");
    const TWineTools tools = FindWineTools(HelperFolders(executableDir), path ? path : "");
    if (tools.Loader.empty())
        return nullptr;
    return std::make_unique<TServeLink>(HelperServeCommand(tools, prefix));
}

std::string ExecutableDir()
{
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : WithSlash(self.parent_path().string());
}

} // namespace sf
