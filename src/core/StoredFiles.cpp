#include "core/StoredFiles.h"
#include "core/Files.h"
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sf {

namespace {

std::string ErrnoText(int error)
{
    return std::strerror(error);
}

// A descriptor closed when it goes out of scope.
struct TReadFd {
    int Fd;
    ~TReadFd()
    {
        if (Fd >= 0)
            ::close(Fd);
    }
};

} // namespace

bool PathPresent(const std::string& path)
{
    const std::string p = ResolvePath(path);
    struct stat st;
    return !p.empty() && lstat(p.c_str(), &st) == 0;
}

TStoredRead ReadStoredFile(const std::string& path, std::string& bytes, std::string& reason)
{
    const std::string p = ResolvePath(path);
    struct stat st;
    if (p.empty())
        return TStoredRead::Missing;
    if (lstat(p.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return TStoredRead::Missing;
        reason = ErrnoText(errno);
        return TStoredRead::Failed;
    }
    if (stat(p.c_str(), &st) != 0) {
        reason = errno == ENOENT ? "it is a link to a missing file" : ErrnoText(errno);
        return TStoredRead::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? "it is a folder, not a file" : "it is not a regular file";
        return TStoredRead::Failed;
    }
    // Non-blocking, so that a pipe put in the file's place between the checks cannot hold us.
    TReadFd fd{::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (fd.Fd < 0) {
        reason = ErrnoText(errno);
        return TStoredRead::Failed;
    }
    if (fstat(fd.Fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = "it is not a regular file";
        return TStoredRead::Failed;
    }
    std::string data;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            reason = ErrnoText(errno);
            return TStoredRead::Failed;
        }
        if (n == 0)
            break;
        data.append(buf, size_t(n));
    }
    bytes.swap(data);
    return TStoredRead::Read;
}

bool LoadStoredFile(const std::string& path, std::string& bytes, bool& found, bool& held, std::string* error)
{
    std::string reason;
    const TStoredRead read = ReadStoredFile(path, bytes, reason);
    found = read == TStoredRead::Read;
    held = read == TStoredRead::Failed;
    if (held && error)
        *error = CannotReadText(path, reason);
    return !held;
}

std::string CannotReadText(const std::string& path, const std::string& reason)
{
    return "Cannot read " + path + ": " + reason;
}

std::string HeldFileText(const std::string& path)
{
    return "Unable to write to " + path + ": it could not be loaded at start, so it is kept as it is";
}

} // namespace sf
