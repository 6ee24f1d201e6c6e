// One running copy per user: the lock file "Skyvane" taken at start and held to the
// end, and the local socket "Skyvane.socket" beside it on which the first copy takes
// the notice of a second start and the commands of the command channel.
#pragma once
#include <memory>
#include <string>

class QLocalServer;

namespace sf {

/// The folder of the lock: $XDG_RUNTIME_DIR when it is a folder, else a private
/// folder of this user under /tmp (created with mode 0700). Ends in "/"; empty when
/// no usable folder exists.
std::string InstanceLockFolder();

class TSingleInstance {
public:
    /// folder: where the lock and the socket live (ends in "/").
    explicit TSingleInstance(std::string folder);
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    /// Takes the lock; true when this is the only running copy. A lock left by a
    /// process that ended does not count. error holds why the lock could not be
    /// checked at all (the program then runs without it).
    bool Acquire(std::string* error = nullptr);
    /// The first copy: listens on the socket (reachable only by this user); the command
    /// channel serves its connections. False when the socket cannot be opened.
    bool Listen();
    /// The listening server (nullptr before Listen or after it failed).
    QLocalServer* Server() const { return m_server.get(); }
    /// A second copy: sends the "Skyvane" notice to the first; false when nobody answered.
    bool SendNotice() const;
    /// The holder: writes its program folder into the lock file, after its process id.
    void RecordFolder(const std::string& folder);
    /// A second copy: the program folder the holder recorded (empty when none yet).
    std::string HolderFolder() const;

    const std::string& LockPath() const { return m_lockPath; }
    const std::string& SocketPath() const { return m_socketPath; }

private:
    std::string m_folder, m_lockPath, m_socketPath;
    int m_fd = -1;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace sf
