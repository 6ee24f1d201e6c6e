// The small file conveniences the program's formats are named and stored with.
#include "core/Clock.h"
#include "core/Files.h"
#include "core/Text.h"
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sf {

int32_t FileSizeOf(const std::string& pathOrMask)
{
    const std::vector<TFindEntry> found = FindFiles(pathOrMask);
    if (found.empty())
        return -1;
    // The size is a signed 32-bit value; a larger file reads as the largest one.
    return found.front().Size > INT32_MAX ? INT32_MAX : int32_t(found.front().Size);
}

TDateTime FileDateOf(const std::string& pathOrMask)
{
    const std::vector<TFindEntry> found = FindFiles(pathOrMask);
    if (found.empty())
        return 0;
    // File-system stamps are read with two-second resolution.
    TDateFields f = DecodeDateTime(found.front().LastWrite);
    f.Second -= f.Second % 2;
    f.Ms = 0;
    return EncodeDateTime(f);
}

int ListFiles(const std::string& folder, const std::string& mask, std::vector<std::string>& list)
{
    const std::string resolved = ResolvePath(folder);
    int count = 0;
    for (const TFindEntry& e : FindFiles(folder + mask)) {
        ++count;
        if (!e.Name.empty())
            list.push_back(FormatDateTime("yyyymmddhhnnss", e.LastWrite) + "\t" + resolved + e.Name);
    }
    return count;
}

namespace {

// True when path is a regular file (not a link to one) holding exactly bytes.
bool FileHolds(const std::string& path, const std::string& bytes)
{
    struct stat st {};
    std::string held;
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == off_t(bytes.size())
        && ReadFileBytes(path, held) && held == bytes;
}

} // namespace

bool WriteLineFile(const std::string& path, const std::string& line)
{
    // A site's bounds rarely change: a file that already says so is not written again, which
    // spares each conversion a flush to disk and a rename.
    const std::string bytes = line + "\r\n";
    return FileHolds(path, bytes) || SaveFileAtomic(path, bytes);
}

std::string DatedFileName(const std::string& prefix, const std::string& name, bool useLocal, const IClock& clock)
{
    std::string cleaned = name;
    const int txt = Pos(".TXT", UpperCase(cleaned));
    if (txt > 1)
        cleaned.erase(size_t(txt - 1));
    for (char bad : std::string("*%.><:,$`'{}/\\@!?")) {
        std::string kept;
        for (char c : cleaned)
            if (c != bad)
                kept += c;
        cleaned = kept;
    }
    cleaned = Trim(cleaned);
    if (cleaned.find('.') == std::string::npos)
        cleaned += ".txt";
    TDateFields f = DecodeDateTime(useLocal ? clock.LocalNow() : clock.UTCNow());
    if (f.Year == 0)
        f.Year = 2000;
    char mmdd[32];
    std::snprintf(mmdd, sizeof mmdd, "%02d%02d", f.Month, f.Day);
    return prefix + std::to_string(f.Year) + mmdd + cleaned;
}

void AppendLine(const std::string& folder, const std::string& fileName, const std::string& line)
{
    const std::string path = ResolvePath(folder + fileName);
    if (path.empty())
        return;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    const std::string data = line + "\r\n";
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n <= 0)
            break;
        p += n;
        left -= size_t(n);
    }
    ::close(fd);
}

int DeleteFiles(const std::string& folder, const std::string& mask)
{
    const std::string resolved = ResolvePath(folder);
    int count = 0;
    for (const TFindEntry& e : FindFiles(folder + mask)) {
        if (e.IsDirectory)
            continue;
        ::unlink((resolved + e.Name).c_str());
        ++count;
    }
    return count;
}

} // namespace sf
