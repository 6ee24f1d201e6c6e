// SIGINT and SIGTERM turned into an ordinary event of the event loop, so a stop
// request takes the same close path as the window's close button.
#pragma once
#include <functional>
#include <memory>

class QSocketNotifier;

namespace sf {

class TSignalWatch {
public:
    /// Installs the handlers; onSignal runs on the event loop with the signal number.
    explicit TSignalWatch(std::function<void(int)> onSignal);
    /// Restores the default handlers.
    ~TSignalWatch();
    TSignalWatch(const TSignalWatch&) = delete;
    TSignalWatch& operator=(const TSignalWatch&) = delete;
    /// False when the pipe or the handlers could not be set up.
    bool Active() const { return m_active; }

private:
    std::function<void(int)> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_fds[2] = {-1, -1};
    bool m_active = false;
};

} // namespace sf
