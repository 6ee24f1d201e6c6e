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

void Delay(const IClock& clock, double seconds)
{
    const TDateTime end = clock.LocalNow() + seconds / 86400.0;
    for (TDateTime now = clock.LocalNow(); now < end; now = clock.LocalNow()) {
        if (!QCoreApplication::instance())
            return;
        // Run the event loop for a short slice: timers, sockets and input are served
        // exactly as by a bare pump, but the thread sleeps while nothing happens.
        const int sliceMs = std::clamp((int)((end - now) * 86400000.0), 1, 10);
        QEventLoop loop;
        QTimer::singleShot(sliceMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

} // namespace sf
