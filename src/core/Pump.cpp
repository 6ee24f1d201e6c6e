#include "core/Pump.h"
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace sf {

void Pump()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void PumpWait(int maxMs)
{
    if (!QCoreApplication::instance())
        return;
    // The wake-up timer bounds the wait. The dispatcher is asked directly rather than
    // through a nested QEventLoop, because a nested loop returns at once (serving
    // nothing) once the application has been told to quit, and the close path still
    // has to serve sockets and timers while it waits for a running cycle.
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(std::max(0, maxMs));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void Delay(const IClock& clock, double seconds)
{
    const TDateTime end = clock.LocalNow() + seconds / 86400.0;
    for (TDateTime now = clock.LocalNow(); now < end; now = clock.LocalNow()) {
        if (!QCoreApplication::instance())
            return;
        PumpWait(std::clamp((int)((end - now) * 86400000.0), 1, 10));
    }
}

} // namespace sf
