#include "core/ProgramDir.h"
#include "core/Files.h"
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <pwd.h>
#include <unistd.h>

namespace sf {

namespace {

std::string Absolute(const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    char buf[4096];
    if (!::getcwd(buf, sizeof buf))
        return path;
    return IncludeTrailingSlash(buf) + path;
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()))
        if (pw->pw_dir && *pw->pw_dir)
            return pw->pw_dir;
    return "/tmp";
}

} // namespace

std::string InstalledDataDir(const std::string& exePath)
{
    std::string exeDir = ExtractFilePath(Absolute(exePath));
    while (exeDir.size() > 1 && exeDir.back() == '/')
        exeDir.pop_back();
    if (ExtractFileName(exeDir) != "bin")
        return {};
    const std::string data = ExtractFilePath(exeDir) + "share/stormfetch/";
    return DirectoryExists(data) ? data : std::string();
}

std::string ResolveProgramDir(const std::string& homeArg, const std::string& exePath)
{
    if (!homeArg.empty()) {
        const std::string dir = IncludeTrailingSlash(ResolvePath(Absolute(homeArg)));
        ForceDirectories(dir);
        return dir;
    }
    const std::string dir = DefaultProgramDir(exePath);
    ForceDirectories(dir);
    return dir;
}

std::string DefaultProgramDir(const std::string& exePath)
{
    const std::string exeDir = ExtractFilePath(Absolute(exePath));
    // An installed program never writes beside itself, even where it could (root
    // running /usr/bin/stormfetch would otherwise keep its settings in /usr/bin).
    if (!exeDir.empty() && InstalledDataDir(exePath).empty() && DirectoryExists(exeDir) &&
        ::access(exeDir.c_str(), W_OK) == 0)
        return IncludeTrailingSlash(exeDir);
    // The XDG rule: a relative $XDG_DATA_HOME is ignored.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const std::string data = (xdg && xdg[0] == '/') ? std::string(xdg) : HomeFolder() + "/.local/share";
    return IncludeTrailingSlash(data) + "stormfetch/";
}

std::string FolderProblem(const std::string& folder)
{
    // Each part from the root down: the first one that is a file, or that cannot be made, is the reason.
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '/')
            continue;
        const std::string part = folder.substr(0, i);
        struct stat st;
        if (::stat(part.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return part + " is a file, not a folder";
            continue;
        }
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return part + ": " + std::strerror(errno);
    }
    return {};
}

std::string SettingsFileName(const std::string& exePath)
{
    const std::string name = ExtractFileName(exePath);
    return name.substr(0, name.find('.')) + ".ini";
}

} // namespace sf
