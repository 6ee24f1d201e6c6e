#include "host/HostDiscovery.h"
#include "core/Files.h"
#include "core/IniFile.h"
#include "core/Text.h"
#include "host/HostText.h"
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sf {

namespace {

const char* const kUiViewKey = "\\Software\\VB and VBA Program Settings\\Peak Systems\\UI-View32\\";

// Class-root lookups of a 32-bit registration first (the map server is a 32-bit
// library), then the shared place.
std::optional<std::string> ReadClassString(const TWineRegistry& reg, const std::string& path)
{
    if (auto v = reg.ReadString(TRegRoot::ClassesRoot, "Wow6432Node\\" + path, ""); v && !v->empty())
        return v;
    return reg.ReadString(TRegRoot::ClassesRoot, path, "");
}

bool IsFolder(const std::string& folder)
{
    return !folder.empty() && DirectoryExists(folder);
}

// One registered map-server name: its folder, its underlay folder and, from its own ini
// file, the underlay the map shows (whose folder wins when that file exists).
void TryServer(TShared& s, const TWineRegistry& reg, const std::string& name, std::string* serverIni)
{
    const std::string f = FindServerFolder(reg, name);
    if (f.empty())
        return; // without a registered folder there is nothing to look under
    if (IsFolder(f) && f != s.QuorServerPath)
        s.QuorServerPath = f;
    const std::string underlays = f + "Quor Underlays/";
    if (!IsFolder(underlays))
        return;
    s.QuorUnderlayPath = CanonicalFolder(underlays);
    const std::string ini = s.QuorServerPath + name + ".ini";
    if (serverIni)
        *serverIni = ini;
    const std::string u = TIniText(ReadHostIniText(ini)).ReadString("SETUP", "UNDERLAY", "");
    s.UnderlayName = WinFileName(u);
    if (u.empty())
        return;
    const std::string file = WinePathToLinux(s.WinePrefix, u);
    if (!file.empty() && FileExists(file))
        s.QuorUnderlayPath = CanonicalFolder(ExtractFilePath(ResolvePath(file)));
}

} // namespace

std::string ChooseWinePrefix(const std::string& argument)
{
    std::string p = argument;
    if (p.empty())
        if (const char* env = std::getenv("WINEPREFIX"))
            p = env;
    if (p.empty())
        if (const char* home = std::getenv("HOME"))
            p = std::string(home) + "/.wine";
    return p.empty() ? p : IncludeTrailingSlash(p);
}

std::string CanonicalFolder(const std::string& folder)
{
    if (folder.empty())
        return folder;
    std::error_code ec;
    const std::string resolved = ResolvePath(folder);
    auto canon = std::filesystem::canonical(std::filesystem::path(resolved), ec);
    if (ec)
        return IncludeTrailingSlash(folder);
    return IncludeTrailingSlash(canon.string());
}

std::string ReadHostIniText(const std::string& path)
{
    const std::string resolved = ResolvePath(path);
    std::error_code ec;
    // Only a plain file is read: a pipe or device under that name would block or never end.
    if (!FileExists(resolved) || !std::filesystem::is_regular_file(resolved, ec))
        return {};
    std::ifstream f(resolved, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return Windows1252ToUtf8(ss.str());
}

std::string ReadLastMap(const std::string& folder)
{
    if (!IsFolder(folder))
        return "-1";
    const std::string ini = folder + "UiView32.ini";
    if (!FileExists(ResolvePath(ini)))
        return "-1";
    return TIniText(ReadHostIniText(ini)).ReadString("MAPS", "LAST_MAP", "");
}

std::string FindServerFolder(const TWineRegistry& reg, const std::string& name)
{
    std::string n = StartsWith(name, "!!") ? name.substr(2) : name;
    const size_t dot = n.find('.');
    if (dot != std::string::npos)
        n.resize(dot + 1);
    else
        n += '.';
    const auto clsid = ReadClassString(reg, n + "clsMapServ\\Clsid");
    if (!clsid || clsid->empty())
        return {};
    const auto library = ReadClassString(reg, "CLSID\\" + *clsid + "\\InprocServer32");
    if (!library)
        return {};
    const std::string folder = WinFolderPart(*library);
    if (folder.empty())
        return {};
    const std::string local = WinePathToLinux(reg.Prefix(), folder);
    return local.empty() ? local : CanonicalFolder(local);
}

void HostDiscovery(TShared& s, TWineRegistry& reg, std::string* serverIni)
{
    try {
        s.LastMap.clear();
        if (s.WinePrefix.empty())
            return;
        if (reg.Prefix() != IncludeTrailingSlash(s.WinePrefix))
            reg = TWineRegistry(s.WinePrefix);
        reg.Refresh();
        if (reg.KeyExists(TRegRoot::CurrentUser, kUiViewKey)) {
            const std::string stored = reg.ReadString(TRegRoot::CurrentUser, kUiViewKey, "Program Folder").value_or("");
            s.UiViewFolder = stored.empty() ? stored : WinePathToLinux(s.WinePrefix, stored);
            s.LastMap = ReadLastMap(s.UiViewFolder);
            const std::string file = WinFileName(s.LastMap);
            const size_t dot = file.find('.');
            std::string map = dot == std::string::npos ? std::string() : file.substr(0, dot);
            if (map.find("!!") != std::string::npos)
                map.erase(0, 2);
            s.UiViewMap = map;
            const size_t bang = s.LastMap.find("!!");
            if (bang != std::string::npos && UpperCase(s.LastMap).find("QUORSERVE") != std::string::npos) {
                std::string server = s.LastMap.substr(bang + 2, 50);
                server = server.substr(0, server.find('.'));
                TryServer(s, reg, server, serverIni);
            }
        }
        if (!IsFolder(s.QuorServerPath))
            TryServer(s, reg, "QUORSERVER7", serverIni);
        if (!IsFolder(s.QuorServerPath))
            TryServer(s, reg, "QUORSERVER6", serverIni);
    } catch (...) {
        // Discovery reports nothing itself; the values found so far stay.
    }
}

void HostDiscovery(TShared& s, std::string* serverIni)
{
    TWineRegistry reg(s.WinePrefix);
    HostDiscovery(s, reg, serverIni);
}

} // namespace sf
