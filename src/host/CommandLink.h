// The link through configured commands: each call runs one command line as a child
// process (no shell) while the event loop keeps running; exit code 0 is success and
// a command still running after the time limit is killed. A Watch command started
// on connect announces, by ending with exit code 0, that the map program closes; any
// other end of it is only reported.
#pragma once
#include "host/UiViewClient.h"
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QProcess;

namespace sf {

class TCommandLink : public TclsUIV {
public:
    explicit TCommandLink(TLinkCommands commands);
    ~TCommandLink() override;
    /// Runs Connect (connected without a command when it is empty), then starts Watch.
    bool Connect(std::string* error) override;
    bool Connected() const override { return m_connected; }
    /// Runs Redraw; fails when it is not configured.
    bool Redraw(std::string* error) override;
    /// Nothing to run: the Zoom command does the whole view change.
    bool ActivateView(std::string* error) override;
    /// Runs Zoom with %left% %top% %right% %bottom% replaced.
    bool ShowArea(double left, double top, double right, double bottom, std::string* error) override;
    bool Busy() const override { return m_busy; }
    const TLinkCommands& Commands() const { return m_commands; }

    /// Runs one command line with the given replacements; the guard refuses a second
    /// command while one runs. Public for tests.
    bool Run(const std::string& commandLine, const std::vector<std::pair<std::string, std::string>>& replacements,
             std::string* error, int timeoutMs = 0);

private:
    void StartWatch();
    void WatchEnded(int exitCode, bool crashed);
    TLinkCommands m_commands;
    bool m_connected = false;
    bool m_busy = false;
    std::unique_ptr<QProcess> m_watch;
};

/// Number text for a command argument: shortest exact form, "." as decimal point.
std::string LinkNumber(double value);

} // namespace sf
