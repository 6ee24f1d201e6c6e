// Windows paths of the host programs, mapped into their Wine prefix.
#include "core/Files.h"
#include "core/Text.h"
#include <cctype>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

namespace sf {

namespace {

std::string Canonical(const std::string& path)
{
    char buf[PATH_MAX];
    if (!::realpath(path.c_str(), buf))
        return {};
    return buf;
}

std::string Join(const std::string& folder, const std::string& name)
{
    return (folder.empty() || folder.back() == '/') ? folder + name : folder + "/" + name;
}

} // namespace

std::string WinePathToLinux(const std::string& winePrefix, const std::string& windowsPath)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : windowsPath) {
        if (c == '\\' || c == '/') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    const bool isFolder = !windowsPath.empty() && (windowsPath.back() == '\\' || windowsPath.back() == '/');

    const std::string drive = parts.front();
    if (winePrefix.empty() || drive.size() != 2 || drive[1] != ':' || !std::isalpha((unsigned char)drive[0]))
        return {};
    const std::string devices = Join(winePrefix, "dosdevices");
    const std::string link = NameInFolderIgnoringCase(devices, LowerCase(drive));
    if (link.empty())
        return {};
    std::string current = Canonical(Join(devices, link));
    if (current.empty())
        return {};
    const std::string root = current; // ".." never leaves the drive

    bool existing = true; // while the components exist they are matched and their links resolved
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string& name = parts[i];
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            if (current == root)
                continue;
            if (existing) {
                const std::string parent = Canonical(Join(current, ".."));
                if (!parent.empty())
                    current = parent;
            } else {
                const size_t slash = current.rfind('/');
                if (slash != std::string::npos && slash > 0)
                    current.erase(slash);
            }
            continue;
        }
        if (existing) {
            const std::string found = NameInFolderIgnoringCase(current, name);
            if (!found.empty()) {
                const std::string next = Canonical(Join(current, found));
                current = next.empty() ? Join(current, found) : next;
                continue;
            }
            existing = false;
        }
        current = Join(current, name);
    }
    if (isFolder && current.back() != '/')
        current += '/';
    return current;
}

} // namespace sf
