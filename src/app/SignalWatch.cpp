#include "app/SignalWatch.h"
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace sf {

namespace {
// The write end of the pipe: the one value a signal handler may reach.
std::atomic<int> g_signalWriteFd{-1};

extern "C" void OnStopSignal(int sig)
{
    int saved = errno;
    int fd = g_signalWriteFd.load();
    if (fd >= 0) {
        unsigned char b = (unsigned char)sig;
        ssize_t w = write(fd, &b, 1);
        (void)w;
    }
    errno = saved;
}
} // namespace

TSignalWatch::TSignalWatch(std::function<void(int)> onSignal) : m_onSignal(std::move(onSignal))
{
    if (pipe2(m_fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_signalWriteFd.store(m_fds[1]);
    m_notifier = std::make_unique<QSocketNotifier>(m_fds[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
        unsigned char buf[16];
        ssize_t n;
        while ((n = read(m_fds[0], buf, sizeof buf)) > 0)
            for (ssize_t i = 0; i < n; ++i)
                if (m_onSignal)
                    m_onSignal(buf[i]);
    });
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    m_active = sigaction(SIGINT, &sa, nullptr) == 0 && sigaction(SIGTERM, &sa, nullptr) == 0;
}

TSignalWatch::~TSignalWatch()
{
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    g_signalWriteFd.store(-1);
    m_notifier.reset();
    for (int& fd : m_fds)
        if (fd >= 0) {
            close(fd);
            fd = -1;
        }
}

} // namespace sf
