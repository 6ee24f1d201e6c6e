// The single thread keeps the program alive during long operations by pumping the
// Qt event loop at fixed points.
#pragma once
#include "core/Clock.h"

namespace sf {

/// Processes all pending events (timers, sockets, input), then returns.
void Pump();
/// Processes events as they come for at most maxMs milliseconds, sleeping while none
/// arrive; returns after the first round of events. Works while the program is quitting.
void PumpWait(int maxMs);
/// Waits seconds of local time while pumping; no busy loop.
void Delay(const IClock& clock, double seconds);

} // namespace sf
