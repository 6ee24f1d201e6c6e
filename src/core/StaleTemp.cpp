#include "core/StaleTemp.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Text.h"
#include <cctype>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace sf {

namespace {

constexpr const char* kAtomicPrefix = ".stormfetch-";
constexpr size_t kAtomicRandom = 6; // the XXXXXX of the temporary-file template
constexpr const char* kPartSuffix = ".part";

bool AllDigits(const std::string& s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

/// A process id as written in a name: 1 to 10 digits, above 0.
bool ReadPid(const std::string& digits, long long& pid)
{
    long long value = 0;
    if (!AllDigits(digits) || digits.size() > 10 || !TryStrToInt(digits, value) || value <= 0)
        return false;
    pid = value;
    return true;
}

/// "<pid>" or "<pid>@<host>": the id and, when given, the machine.
bool ReadWriter(const std::string& text, long long& pid, std::string& host)
{
    const size_t at = text.find('@');
    host = at == std::string::npos ? std::string() : text.substr(at + 1);
    if (at != std::string::npos && host.empty())
        return false;
    return ReadPid(text.substr(0, at), pid);
}

/// This machine's short name, kept to letters, digits, "-" and "_" so that it never holds
/// the "." or "@" the names are split at.
std::string MachineName()
{
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return "localhost";
    std::string name;
    for (const char* c = buffer; *c && *c != '.'; ++c)
        name += std::isalnum(static_cast<unsigned char>(*c)) || *c == '-' ? *c : '_';
    return name.empty() ? std::string("localhost") : name;
}

/// A temporary of another machine is left alone this long after its last write: a copy
/// over the network never stalls that long, a writer that died did.
constexpr time_t kForeignTempAge = 3600;

} // namespace

std::string TempWriterTag()
{
    return std::to_string(::getpid()) + "@" + MachineName();
}

std::string OwnTempPath(const std::string& target)
{
    return ExtractFilePath(target) + "." + ExtractFileName(target) + "." + TempWriterTag() + kPartSuffix;
}

bool IsOwnTempName(const std::string& name, long long& pid, std::string* hostOut)
{
    pid = 0;
    std::string host;
    if (hostOut)
        hostOut->clear();
    if (name.size() < 2 || name[0] != '.' || !EndsWith(name, kPartSuffix))
        return false;
    const std::string stem = name.substr(0, name.size() - std::string(kPartSuffix).size());
    if (StartsWith(stem, kAtomicPrefix)) {
        const std::string rest = stem.substr(std::string(kAtomicPrefix).size());
        if (rest.size() == kAtomicRandom)
            return true;
        const size_t dash = rest.rfind('-');
        if (dash != std::string::npos && rest.size() - dash - 1 == kAtomicRandom
            && ReadWriter(rest.substr(0, dash), pid, host)) {
            if (hostOut)
                *hostOut = host;
            return true;
        }
        pid = 0;
    }
    const size_t dot = stem.rfind('.');
    if (dot == std::string::npos || dot < 2) // "." + at least one character of the file name
        return false;
    if (!ReadWriter(stem.substr(dot + 1), pid, host)) {
        pid = 0;
        return false;
    }
    if (hostOut)
        *hostOut = host;
    return true;
}

bool ProcessAlive(long long pid)
{
    if (pid <= 0 || pid > 0x7fffffffLL)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

std::vector<std::string> RemoveStaleTempFilesIn(const std::string& folder,
                                                const std::function<bool(long long)>& alive)
{
    std::vector<std::string> removed;
    if (folder.empty() || !DirectoryExists(folder))
        return removed;
    const std::string dir = IncludeTrailingSlash(ResolvePath(folder));
    const long long self = ::getpid();
    for (const TFindEntry& e : FindFiles(dir + "*.part")) {
        long long pid = 0;
        std::string host;
        if (e.IsDirectory || !IsOwnTempName(e.Name, pid, &host))
            continue;
        const std::string path = dir + e.Name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const bool foreign = !host.empty() && host != MachineName();
        const bool stale = foreign ? std::time(nullptr) - st.st_mtime > kForeignTempAge
                                   : pid == 0 || pid == self || !(alive && alive(pid));
        if (stale && ::unlink(path.c_str()) == 0)
            removed.push_back(e.Name);
    }
    return removed;
}

void RemoveStaleTempFiles(TShared& s)
{
    std::vector<std::string> folders = {s.ProgramDir};
    if (!s.QuorUnderlayPath.empty() && s.QuorUnderlayPath != "-1")
        folders.push_back(s.QuorUnderlayPath);
    // The shapefile folder when it is a folder of this machine (a Windows one lies on none).
    const std::string shapes = Trim(s.TargetED.Caption());
    if (!shapes.empty() && shapes[0] == '/')
        folders.push_back(IncludeTrailingSlash(shapes));
    for (size_t i = 0; i < folders.size(); ++i) {
        const std::string& folder = folders[i];
        bool seen = false;
        for (size_t j = 0; j < i; ++j)
            seen |= SameText(IncludeTrailingSlash(folders[j]), IncludeTrailingSlash(folder));
        if (seen)
            continue;
        const std::vector<std::string> removed = RemoveStaleTempFilesIn(folder);
        if (!removed.empty())
            AppendLog(s, "Removed " + std::to_string(removed.size()) + " temporary file" +
                             (removed.size() == 1 ? "" : "s") + " left by an interrupted save from " + folder);
    }
}

} // namespace sf
