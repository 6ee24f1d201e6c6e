// Name matching, case-insensitive path resolution and enumeration.
#include "core/Files.h"
#include "core/Text.h"
#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>
#include <ctime>

namespace sf {

namespace {

enum class TMaskToken { Literal, Star, DosStar, Qm, DosDot };
struct TMaskItem {
    TMaskToken Kind;
    char Ch;
};

char Up(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// The Windows find functions rewrite a mask before matching: "?" becomes a question mark
// that matches nothing at a "." or the end of the name, a "." followed by a wildcard or the
// end may also match the end of the name, and a "*" followed by "." stops at the last ".".
std::vector<TMaskItem> CompileMask(const std::string& mask)
{
    std::vector<TMaskItem> items;
    if (mask == "*.*") {
        items.push_back({TMaskToken::Star, 0});
        return items;
    }
    for (size_t i = 0; i < mask.size(); ++i) {
        const char c = mask[i];
        const char next = i + 1 < mask.size() ? mask[i + 1] : 0;
        if (c == '?')
            items.push_back({TMaskToken::Qm, 0});
        else if (c == '*')
            items.push_back({next == '.' ? TMaskToken::DosStar : TMaskToken::Star, 0});
        else if (c == '.' && (next == '?' || next == '*' || next == 0))
            items.push_back({TMaskToken::DosDot, '.'});
        else
            items.push_back({TMaskToken::Literal, Up(c)});
    }
    return items;
}

class TMatcher {
public:
    TMatcher(const std::vector<TMaskItem>& mask, const std::string& name)
        : m_mask(mask), m_name(name), m_lastDot(name.rfind('.')),
          m_memo((mask.size() + 1) * (name.size() + 1), -1)
    {
    }
    bool Match(size_t i, size_t j)
    {
        signed char& memo = m_memo[i * (m_name.size() + 1) + j];
        if (memo < 0)
            memo = Compute(i, j) ? 1 : 0;
        return memo == 1;
    }

private:
    bool Compute(size_t i, size_t j)
    {
        const size_t len = m_name.size();
        if (i == m_mask.size())
            return j == len;
        const TMaskItem& item = m_mask[i];
        switch (item.Kind) {
        case TMaskToken::Star:
            for (size_t k = j; k <= len; ++k)
                if (Match(i + 1, k))
                    return true;
            return false;
        case TMaskToken::DosStar: {
            // Any run that does not swallow the name's last ".".
            const size_t limit = (m_lastDot != std::string::npos && m_lastDot >= j) ? m_lastDot : len;
            for (size_t k = j; k <= limit; ++k)
                if (Match(i + 1, k))
                    return true;
            return false;
        }
        case TMaskToken::Qm:
            if (j < len && m_name[j] != '.')
                return Match(i + 1, j + 1);
            return Match(i + 1, j); // at a "." or the end it matches no character
        case TMaskToken::DosDot:
            if (j < len && m_name[j] == '.')
                return Match(i + 1, j + 1);
            return j == len && Match(i + 1, j);
        case TMaskToken::Literal:
            return j < len && Up(m_name[j]) == item.Ch && Match(i + 1, j + 1);
        }
        return false;
    }

    const std::vector<TMaskItem>& m_mask;
    const std::string& m_name;
    size_t m_lastDot;
    std::vector<signed char> m_memo;
};

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The on-disk spelling of name in folder (exact spelling first), empty when none.
std::string FindCaseVariant(const std::string& folder, const std::string& name)
{
    if (Exists(folder + name))
        return name;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return {};
    std::string best;
    while (dirent* e = readdir(dir)) {
        const std::string candidate = e->d_name;
        if (SameText(candidate, name) && (best.empty() || candidate < best))
            best = candidate;
    }
    closedir(dir);
    return best;
}

TDateTime LocalDateTimeOf(const struct timespec& ts)
{
    std::tm local{};
    const std::time_t secs = ts.tv_sec;
    if (!localtime_r(&secs, &local))
        return 0;
    TDateFields f;
    f.Year = local.tm_year + 1900;
    f.Month = local.tm_mon + 1;
    f.Day = local.tm_mday;
    f.Hour = local.tm_hour;
    f.Minute = local.tm_min;
    f.Second = local.tm_sec;
    f.Ms = int(ts.tv_nsec / 1000000);
    return EncodeDateTime(f);
}

} // namespace

std::string NameInFolderIgnoringCase(const std::string& folder, const std::string& name)
{
    return FindCaseVariant((folder.empty() || folder.back() == '/') ? folder : folder + "/", name);
}

bool MaskMatches(const std::string& mask, const std::string& name)
{
    const std::vector<TMaskItem> items = CompileMask(mask);
    TMatcher matcher(items, name);
    return matcher.Match(0, 0);
}

std::string ResolvePath(const std::string& path)
{
    if (path.empty() || Exists(path))
        return path;
    // Most often only the file itself is missing: with its folder there as written, that
    // folder's own walk would give it back unchanged, so only the last name is looked up.
    const size_t last = path.rfind('/');
    if (last != std::string::npos && last + 1 < path.size()) {
        const std::string folder = path.substr(0, last + 1), name = path.substr(last + 1);
        if (name != "." && name != ".." && folder.find("//") == std::string::npos && Exists(folder)) {
            const std::string found = FindCaseVariant(folder, name);
            return folder + (found.empty() ? name : found);
        }
    }
    std::string result;
    size_t pos = 0;
    if (path[0] == '/') {
        result = "/";
        pos = 1;
    }
    bool resolving = true;
    while (pos <= path.size()) {
        size_t slash = path.find('/', pos);
        if (slash == std::string::npos)
            slash = path.size();
        const std::string comp = path.substr(pos, slash - pos);
        const bool hasSlash = slash < path.size();
        if (!comp.empty()) {
            std::string spelled = comp;
            if (resolving && comp != "." && comp != "..") {
                const std::string found = FindCaseVariant(result, comp);
                if (found.empty())
                    resolving = false; // the rest does not exist yet: keep it as written
                else
                    spelled = found;
            }
            result += spelled;
        }
        if (hasSlash && (result.empty() || result.back() != '/'))
            result += '/';
        pos = slash + 1;
    }
    return result;
}

std::vector<TFindEntry> FindFiles(const std::string& pathWithMask)
{
    std::vector<TFindEntry> entries;
    const std::string folder = ResolvePath(ExtractFilePath(pathWithMask));
    const std::string mask = ExtractFileName(pathWithMask);
    if (mask.empty())
        return entries;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return entries;
    const std::vector<TMaskItem> items = CompileMask(mask);
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        TMatcher matcher(items, name);
        if (!matcher.Match(0, 0))
            continue;
        struct stat st;
        const std::string full = folder + name;
        if (stat(full.c_str(), &st) != 0 && lstat(full.c_str(), &st) != 0)
            continue;
        TFindEntry entry;
        entry.Name = name;
        entry.IsDirectory = S_ISDIR(st.st_mode);
        entry.Size = st.st_size;
        entry.LastWrite = LocalDateTimeOf(st.st_mtim);
        entries.push_back(entry);
    }
    closedir(dir);
    // A stable order: the name exactly as asked first, then by name.
    std::sort(entries.begin(), entries.end(), [&](const TFindEntry& a, const TFindEntry& b) {
        const bool ea = a.Name == mask, eb = b.Name == mask;
        if (ea != eb)
            return ea;
        return a.Name < b.Name;
    });
    return entries;
}

bool FileExists(const std::string& path)
{
    struct stat st;
    const std::string p = ResolvePath(path);
    return !p.empty() && stat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st;
    const std::string p = ResolvePath(path);
    return !p.empty() && stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ExtractFileName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtractFilePath(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string IncludeTrailingSlash(const std::string& folder)
{
    if (folder.empty())
        return folder;
    std::string r = folder;
    while (r.size() > 1 && r.back() == '/')
        r.pop_back();
    if (r != "/")
        r += '/';
    return r;
}

} // namespace sf
