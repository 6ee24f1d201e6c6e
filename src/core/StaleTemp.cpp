#include "core/StaleTemp.h"
#include "core/Files.h"
#include "core/Log.h"
#include "core/Text.h"
#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace sf {

namespace {

constexpr const char* kAtomicPrefix = ".stormfetch-";
constexpr size_t kAtomicRandom = 6; // the XXXXXX of the temporary-file template
constexpr const char* kPartSuffix = ".part";
constexpr TDateTime kUnixEpochDays = 25569.0; // 1 January 1970 as a day count
constexpr TDateTime kAnHour = 1.0 / 24.0;

bool AllDigits(const std::string& s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

TDateTime UtcOf(const struct timespec& t)
{
    return kUnixEpochDays + (double(t.tv_sec) + double(t.tv_nsec) / 1e9) / 86400.0;
}

} // namespace

bool IsOwnTempName(const std::string& name, long long& pid)
{
    pid = 0;
    if (name.size() < 2 || name[0] != '.' || !EndsWith(name, kPartSuffix))
        return false;
    const std::string stem = name.substr(0, name.size() - std::string(kPartSuffix).size());
    if (StartsWith(stem, kAtomicPrefix) && stem.size() == std::string(kAtomicPrefix).size() + kAtomicRandom)
        return true;
    const size_t dot = stem.rfind('.');
    if (dot == std::string::npos || dot < 2) // "." + at least one character of the file name
        return false;
    const std::string digits = stem.substr(dot + 1);
    if (!AllDigits(digits) || digits.size() > 10)
        return false;
    long long value = 0;
    if (!TryStrToInt(digits, value) || value <= 0)
        return false;
    pid = value;
    return true;
}

bool ProcessAlive(long long pid)
{
    if (pid <= 0 || pid > 0x7fffffffLL)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

std::vector<std::string> RemoveStaleTempFilesIn(const std::string& folder, TDateTime utcNow,
                                                const std::function<bool(long long)>& alive)
{
    std::vector<std::string> removed;
    if (folder.empty() || !DirectoryExists(folder))
        return removed;
    const std::string dir = IncludeTrailingSlash(ResolvePath(folder));
    const long long self = ::getpid();
    for (const TFindEntry& e : FindFiles(dir + "*.part")) {
        long long pid = 0;
        if (e.IsDirectory || !IsOwnTempName(e.Name, pid))
            continue;
        const std::string path = dir + e.Name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        bool stale;
        if (pid != 0)
            stale = pid == self || !(alive && alive(pid));
        else
            stale = utcNow - UtcOf(st.st_mtim) > kAnHour;
        if (stale && ::unlink(path.c_str()) == 0)
            removed.push_back(e.Name);
    }
    return removed;
}

void RemoveStaleTempFiles(TShared& s)
{
    std::vector<std::string> folders = {s.ProgramDir};
    if (!s.QuorUnderlayPath.empty() && s.QuorUnderlayPath != "-1" && !SameText(s.QuorUnderlayPath, s.ProgramDir))
        folders.push_back(s.QuorUnderlayPath);
    for (const std::string& folder : folders) {
        const std::vector<std::string> removed = RemoveStaleTempFilesIn(folder, s.Clock.UTCNow());
        if (!removed.empty())
            AppendLog(s, "Removed " + std::to_string(removed.size()) + " temporary file" +
                             (removed.size() == 1 ? "" : "s") + " left by an interrupted save from " + folder);
    }
}

} // namespace sf
