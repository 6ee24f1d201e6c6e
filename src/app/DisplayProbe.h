// Whether the window system named by the environment (DISPLAY, WAYLAND_DISPLAY,
// QT_QPA_PLATFORM) takes a connection. Qt ends the process when its platform plugin
// cannot connect, so the attempt is made in a child process first.
#pragma once
#include <functional>
#include <string>

namespace sf {

struct TDisplayProbe {
    bool Usable = false;
    std::string Reason; ///< why not, in one line (empty when usable)
};

/// Runs connect in a child process (its standard error captured); usable when the child
/// ends with status 0 within timeoutMs. Call before any thread or Qt object exists.
TDisplayProbe ProbeDisplay(const std::function<void()>& connect, int timeoutMs = 10000);

} // namespace sf
