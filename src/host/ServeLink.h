// The Wine helper's resident link: one `stormfetch-link serve` process run through
// QProcess holds the one connection to the map program, its event sink advised at
// connect and unadvised when the link ends. Requests are lines on the helper's
// standard input, each answered by one line; calls wait on a nested event loop, so
// timers and windows keep running. The helper's unasked lines "closed" and "gone"
// end the link (the helper ends with it); the next Connect starts a new helper,
// which attaches only, once a link has been made (a closed map program is never
// started again behind the user's back). A call that finds the map program gone is
// made once more through a new link, to the instance its user may have started since. A helper that dies while the link is up
// is started again at once and reattaches.
#pragma once
#include "host/UiViewClient.h"
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QProcess;
class QEventLoop;

namespace sf {

/// One line of the helper's output, by kind: an answer ("ok", "error <reason>") or an
/// event ("closed", "gone <reason>"); anything else is Other.
struct TServeLine {
    enum TKind { Other, Ok, Error, Closed, Gone } Kind = Other;
    std::string Text; ///< the reason of Error and Gone
};
/// Classifies one output line (a trailing CR and blanks are ignored).
TServeLine ParseServeLine(std::string line);

/// How the resident helper is run.
struct TServeCommand {
    std::string Program;                ///< the Wine loader
    std::vector<std::string> Arguments; ///< the helper's path and "serve"
    std::vector<std::pair<std::string, std::string>> Environment; ///< set for the helper
    int TimeoutMs = 10000;        ///< an answer later than this ends the helper
    int ConnectTimeoutMs = 60000; ///< the same for connect, which may start Wine and the map program
    int SlowMs = 5000;            ///< a call waiting this long is announced through OnSlow
};

class TServeLink : public TclsUIV {
public:
    explicit TServeLink(TServeCommand command);
    /// Ends the link in order (quit: the sink is unadvised), else stops the helper.
    ~TServeLink() override;
    TServeLink(const TServeLink&) = delete;
    TServeLink& operator=(const TServeLink&) = delete;

    /// Starts the helper and connects (the first link may start the map program).
    bool Connect(std::string* error) override;
    bool Connected() const override { return m_connected; }
    bool Redraw(std::string* error) override;
    /// Nothing to do: the helper's zoom makes all three calls.
    bool ActivateView(std::string* error) override;
    bool ShowArea(double left, double top, double right, double bottom, std::string* error) override;
    bool Busy() const override { return m_busy; }
    /// The running helper's process id, 0 when none runs (for tests).
    long long HelperPid() const;
    const TServeCommand& Command() const { return m_command; }

private:
    bool StartHelper(std::string* error);
    /// Sends one request and waits for its answer; false with the reason otherwise.
    bool Request(const std::string& line, int timeoutMs, std::string* error);
    void ReadLines();
    void Line(const TServeLine& line);
    /// A request on a live link; a server found gone by it is linked to anew and asked once more.
    bool Call(const std::string& line, std::string* error);
    void Finished();
    void LinkLost();
    void Reattach();

    TServeCommand m_command;
    std::unique_ptr<QProcess> m_process;
    std::string m_pending;  ///< output not yet ended by a newline
    std::string m_answer;   ///< the reason of the latest answer when it was an error
    bool m_answered = false, m_answerOk = false;
    bool m_asyncAttach = false; ///< an attach sent without a caller waiting for it
    bool m_connected = false, m_everConnected = false, m_busy = false, m_stopping = false;
    bool m_helperEnding = false; ///< the helper said closed or gone and is ending
    bool m_serverGone = false;   ///< it said gone: the map program died behind the link
    QEventLoop* m_wait = nullptr;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); ///< expires with this link
};

} // namespace sf
