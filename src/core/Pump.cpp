#include "core/Pump.h"
#include <QCoreApplication>
#include <QEventLoop>

namespace sf {

void Pump()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void Delay(const IClock& clock, double seconds)
{
    const TDateTime end = clock.LocalNow() + seconds / 86400.0;
    while (clock.LocalNow() < end) {
        // Waiting for the next event (bounded, so the clock is read again soon) keeps
        // timers and sockets alive exactly like a bare pump, without burning a core.
        if (QCoreApplication::instance())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
}

} // namespace sf
