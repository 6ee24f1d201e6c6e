// The single thread keeps the program alive during long operations by pumping the
// Qt event loop at fixed points.
#pragma once
#include "core/Clock.h"

namespace sf {

/// Processes all pending events (timers, sockets, input), then returns.
void Pump();
/// Waits seconds of local time while pumping; no sleep between rounds.
void Delay(const IClock& clock, double seconds);

} // namespace sf
