#include "core/Timer.h"
#include <QTimer>

namespace sf {

TTimer::TTimer(std::string name, int intervalMs, bool enabled)
    : m_name(std::move(name)), m_interval(intervalMs), m_enabled(false), m_timer(std::make_unique<QTimer>())
{
    m_timer->setInterval(intervalMs);
    QObject::connect(m_timer.get(), &QTimer::timeout, [this] { Fire(); });
    SetEnabled(enabled);
}

TTimer::~TTimer() = default;

void TTimer::SetEnabled(bool on)
{
    m_enabled = on;
    if (on && m_interval > 0)
        m_timer->start(m_interval);
    else
        m_timer->stop();
}

void TTimer::SetInterval(int ms)
{
    m_interval = ms;
    m_timer->setInterval(ms);
    if (m_enabled)
        SetEnabled(true);
}

void TTimer::Fire()
{
    // A timer whose handler is still running must not fire again from a pump inside
    // that handler; the handlers guard themselves by disabling their timer first.
    if (!OnTimer)
        return;
    // Handlers report their own failures; one that still escapes must not unwind
    // through the event loop (which would end the program), so it stops here.
    try {
        OnTimer();
    } catch (...) {
    }
}

} // namespace sf
