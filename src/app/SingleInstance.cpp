#include "app/SingleInstance.h"
#include "core/Files.h"
#include <QLocalServer>
#include <QLocalSocket>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sf {

namespace {
constexpr const char* kLockName = "Skyvane";
constexpr const char* kNotice = "Skyvane\n";

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
} // namespace

std::string InstanceLockFolder()
{
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg && IsFolder(xdg)) {
        std::string dir = xdg;
        if (dir.back() != '/')
            dir += '/';
        return dir;
    }
    // A private folder for this user; refuse one that another user owns or that is a
    // link, since the lock must not be placed where someone else controls it.
    std::string dir = "/tmp/stormfetch-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
        return {};
    if ((st.st_mode & 0077) != 0)
        chmod(dir.c_str(), 0700);
    return dir + "/";
}

TSingleInstance::TSingleInstance(std::string folder)
    : m_folder(std::move(folder)), m_lockPath(m_folder + kLockName), m_socketPath(m_folder + kLockName + ".socket")
{
}

TSingleInstance::~TSingleInstance()
{
    if (m_server) {
        m_server->close();
        m_server.reset();
    }
    if (m_fd >= 0) {
        // The lock file stays: removing it could race with a copy that is starting and
        // has opened it already. The kernel drops the lock with the descriptor.
        close(m_fd);
    }
}

bool TSingleInstance::Acquire(std::string* error)
{
    m_fd = open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        if (error)
            *error = "cannot open the lock file " + m_lockPath + ": " + std::strerror(errno);
        return true;
    }
    // flock belongs to the open file: a process that ended has released it, so a stale
    // file never blocks a new start.
    if (flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        int e = errno;
        close(m_fd);
        m_fd = -1;
        if (e == EWOULDBLOCK)
            return false;
        if (error)
            *error = "cannot lock " + m_lockPath + ": " + std::strerror(e);
        return true;
    }
    std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(m_fd, 0) == 0) {
        ssize_t w = write(m_fd, pid.data(), pid.size());
        (void)w;
    }
    return true;
}

void TSingleInstance::RecordFolder(const std::string& folder)
{
    if (m_fd < 0)
        return;
    const std::string text = std::to_string(getpid()) + "\n" + folder + "\n";
    if (ftruncate(m_fd, 0) == 0) {
        ssize_t w = pwrite(m_fd, text.data(), text.size(), 0);
        (void)w;
    }
}

std::string TSingleInstance::HolderFolder() const
{
    std::string text;
    if (!ReadFileBytes(m_lockPath, text))
        return {};
    const size_t first = text.find('\n');
    if (first == std::string::npos)
        return {};
    const size_t second = text.find('\n', first + 1);
    return second == std::string::npos ? std::string() : text.substr(first + 1, second - first - 1);
}

bool TSingleInstance::Listen()
{
    // Only the lock holder gets here, so a socket file left by an ended copy is stale.
    QLocalServer::removeServer(QString::fromStdString(m_socketPath));
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(QString::fromStdString(m_socketPath))) {
        m_server.reset();
        return false;
    }
    return true;
}

bool TSingleInstance::SendNotice() const
{
    QLocalSocket s;
    s.connectToServer(QString::fromStdString(m_socketPath));
    if (!s.waitForConnected(1000))
        return false;
    s.write(kNotice);
    bool ok = s.waitForBytesWritten(1000);
    s.disconnectFromServer();
    if (s.state() != QLocalSocket::UnconnectedState)
        s.waitForDisconnected(500);
    return ok;
}

} // namespace sf
