// Creating, replacing, renaming, copying and deleting files. Every target name is
// resolved ignoring case first, so that a write reaches the existing case-variant.
#include "core/Files.h"
#include "core/StaleTemp.h"
#include <cerrno>
#include <cstdio>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sf {

namespace {

// A file descriptor closed when it goes out of scope.
class TFd {
public:
    explicit TFd(int fd) : m_fd(fd) {}
    ~TFd() { Close(); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return m_fd; }
    bool Close()
    {
        if (m_fd < 0)
            return true;
        const bool ok = ::close(m_fd) == 0;
        m_fd = -1;
        return ok;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

mode_t DefaultFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool LExists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Writes bytes to a new hidden file in folder; returns its path, empty on failure.
std::string WriteTempFile(const std::string& folder, const std::string& bytes, mode_t mode)
{
    // The writer's process id in the name tells the start-up sweep whether it still writes.
    std::string name = folder + ".stormfetch-" + TempWriterTag() + "-XXXXXX.part";
    const int raw = ::mkstemps(name.data(), 5);
    if (raw < 0)
        return {};
    TFd fd(raw);
    bool ok = ::fchmod(fd.Get(), mode) == 0;
    ok = ok && WriteAll(fd.Get(), bytes.data(), bytes.size());
    ok = ok && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    if (!ok) {
        const int reason = errno;
        ::unlink(name.c_str());
        errno = reason;
        return {};
    }
    return name;
}

} // namespace

bool ForceDirectories(const std::string& path)
{
    if (path.empty())
        return false;
    const std::string resolved = ResolvePath(path);
    std::string current;
    size_t pos = 0;
    while (pos <= resolved.size()) {
        size_t slash = resolved.find('/', pos);
        if (slash == std::string::npos)
            slash = resolved.size();
        current = resolved.substr(0, slash);
        if (!current.empty() && !LExists(current)) {
            if (::mkdir(current.c_str(), 0777) != 0 && errno != EEXIST)
                return false;
        }
        pos = slash + 1;
    }
    struct stat st;
    return stat(resolved.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& path)
{
    const std::string p = ResolvePath(path);
    struct stat st;
    if (p.empty() || lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    return ::unlink(p.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to)
{
    const std::string source = ResolvePath(from);
    const std::string target = ResolvePath(to); // a case-variant of the target resolves onto itself
    if (source.empty() || target.empty() || !LExists(source) || LExists(target))
        return false;
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without no-replace renames: a hard link never overwrites either.
    struct stat st;
    if (lstat(source.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    if (::link(source.c_str(), target.c_str()) != 0)
        return false;
    ::unlink(source.c_str());
    return true;
}

bool ReplaceFile(const std::string& tmp, const std::string& target)
{
    const std::string source = ResolvePath(tmp);
    const std::string dest = ResolvePath(target);
    if (source.empty() || dest.empty())
        return false;
    return ::rename(source.c_str(), dest.c_str()) == 0;
}

bool SaveFileAtomic(const std::string& path, const std::string& bytes)
{
    const std::string target = ResolvePath(path);
    if (target.empty() || target.back() == '/')
        return false;
    mode_t mode = DefaultFileMode();
    struct stat st;
    if (stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return false;
        mode = st.st_mode & 07777;
    }
    const std::string tmp = WriteTempFile(ExtractFilePath(target), bytes, mode);
    if (tmp.empty())
        return false;
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        const int reason = errno; // kept for the caller's message
        ::unlink(tmp.c_str());
        errno = reason;
        return false;
    }
    return true;
}

bool ReadFileBytes(const std::string& path, std::string& bytes)
{
    const std::string p = ResolvePath(path);
    if (p.empty())
        return false;
    TFd fd(::open(p.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        return false;
    struct stat st;
    if (fstat(fd.Get(), &st) != 0 || S_ISDIR(st.st_mode))
        return false;
    std::string data;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            break;
        data.append(buf, size_t(n));
    }
    bytes.swap(data);
    return true;
}

bool CopyFileOver(const std::string& from, const std::string& to)
{
    const std::string source = ResolvePath(from);
    std::string bytes;
    struct stat st;
    if (source.empty() || stat(source.c_str(), &st) != 0 || S_ISDIR(st.st_mode) || !ReadFileBytes(source, bytes))
        return false;
    if (!SaveFileAtomic(to, bytes))
        return false;
    // Like the Windows copy, the copy keeps the source's last-write time.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, ResolvePath(to).c_str(), times, 0);
    return true;
}

} // namespace sf
