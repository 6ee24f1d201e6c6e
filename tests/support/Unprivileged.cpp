#include "support/Unprivileged.h"
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sf::test {

namespace {

constexpr uid_t kNobodyFallback = 65534; // "nobody" on Debian when the user database lacks it

uid_t NobodyUid()
{
    const passwd* pw = ::getpwnam("nobody");
    return pw ? pw->pw_uid : kNobodyFallback;
}

gid_t NobodyGid()
{
    const passwd* pw = ::getpwnam("nobody");
    return pw ? pw->pw_gid : kNobodyFallback;
}

} // namespace

std::string RunUnprivileged(const std::function<std::string()>& body)
{
    if (::geteuid() != 0)
        return body();
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return std::string("pipe: ") + std::strerror(errno);
    const uid_t uid = NobodyUid();
    const gid_t gid = NobodyGid();
    const pid_t child = ::fork();
    if (child < 0)
        return std::string("fork: ") + std::strerror(errno);
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string result;
        // Groups first, then the group, then the user: once the user is dropped the rest
        // can no longer be changed.
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            result = std::string("cannot drop privileges: ") + std::strerror(errno);
        else if (::geteuid() == 0)
            result = "still root after setuid";
        else
            result = body();
        const ssize_t n = ::write(pipeFds[1], result.data(), result.size());
        ::_exit(n == ssize_t(result.size()) ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string out;
    char buf[512];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            out.append(buf, size_t(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return "lost the unprivileged child";
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the unprivileged child ended abnormally: " + out;
    return out;
}

void OpenToUnprivileged(const std::string& folder)
{
    if (::geteuid() != 0)
        return;
    std::error_code ec;
    // Its parents (the test's temporary folder is private to its owner) need only be crossed.
    for (std::filesystem::path p = std::filesystem::path(folder).parent_path(); !p.empty() && p != p.root_path();
         p = p.parent_path()) {
        struct stat st;
        if (::stat(p.c_str(), &st) == 0 && (st.st_mode & 0001) == 0)
            ::chmod(p.c_str(), st.st_mode | 0001);
        if (p == std::filesystem::temp_directory_path())
            break;
    }
    if (::chown(folder.c_str(), NobodyUid(), NobodyGid()) != 0)
        ::chmod(folder.c_str(), 0777);
}

} // namespace sf::test
